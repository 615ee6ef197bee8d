#include "plataforma/Carpetas.h"

#include <QDir>
#include <QStandardPaths>

QString CarpetaAjustesDelUsuario() {
    // %APPDATA% follows the user from one machine of the domain to another; Qt's generic
    // configuration folder on Windows is the local one.
    const QString roaming = qEnvironmentVariable("APPDATA");
    if (!roaming.isEmpty()) return QDir::fromNativeSeparators(roaming);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString NombreCarpetaAjustes() { return QStringLiteral("Varelmo"); }

// The authorities live in the system's certificate store, which OpenSSL 3.0 cannot read.
QString CarpetaAutoridadesDelSistema() { return QString(); }
