#include "plataforma/Carpetas.h"

#include <QStandardPaths>

QString CarpetaAjustesDelUsuario() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString NombreCarpetaAjustes() { return QStringLiteral("varelmo"); }

QString CarpetaAutoridadesDelSistema() { return QStringLiteral("/etc/ssl/certs"); }
