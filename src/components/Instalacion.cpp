#include "components/Instalacion.h"

#include <QDir>

QString Instalacion::nombreArchivoAjustes() { return QStringLiteral("talmira.ini"); }
QString Instalacion::seccionAjustes() { return QStringLiteral("Talmira"); }

void Instalacion::ponerCarpeta(const QString& carpeta) {
    if (carpeta != carpeta_) cifrado_.reset();
    carpeta_ = carpeta;
}

QString Instalacion::archivoAjustes() const {
    return QDir(carpeta_).filePath(nombreArchivoAjustes());
}

const Cifrado* Instalacion::cifrado(QString* error) {
    if (carpeta_.isEmpty()) {
        if (error) *error = QStringLiteral("No se ha localizado la instalación de Talmira Premium");
        return nullptr;
    }
    if (!cifrado_) cifrado_ = Cifrado::abrir(carpeta_, error);
    return cifrado_ ? &*cifrado_ : nullptr;
}
