#include "components/DeArchivos.h"

#include <QFileInfo>

#include "components/Dialogos.h"

bool DeArchivos::HayArchivo(const QString& ruta) const {
    const QFileInfo info(ruta);
    return !ruta.isEmpty() && info.exists() && info.isFile();
}

void DeArchivos::AbreDocumento(const QString& ruta, int, int) const {
    dialogos().abrirDocumento(ruta);
}
