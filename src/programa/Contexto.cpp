#include "programa/Contexto.h"

#include <QFileInfo>

void Contexto::ponerEjecutable(const QString& rutaEjecutable) {
    const QFileInfo info(rutaEjecutable);
    archivoPrograma = info.fileName();
    nombrePrograma = info.completeBaseName();
    lugares = LugaresJunto(rutaEjecutable);
}
