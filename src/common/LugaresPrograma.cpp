#include "common/LugaresPrograma.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
// The folder under the user's configuration folder and under each data folder.
const QString kCarpetaPropia = QStringLiteral("varelmo");
}  // namespace

CarpetasUsuario CarpetasDelUsuario() {
    CarpetasUsuario c;
    c.configuracion = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    c.documentos = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (c.documentos.isEmpty()) c.documentos = QDir::homePath();
    c.datos = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    return c;
}

QString CarpetaDatosPaquete(const QString& carpetaEjecutable) {
    return QDir::cleanPath(carpetaEjecutable + QStringLiteral("/../share/") + kCarpetaPropia);
}

LugaresPrograma ElegirLugares(const QString& rutaEjecutable, bool carpetaEscribible,
                              const CarpetasUsuario& usuario) {
    const QFileInfo ejecutable(rutaEjecutable);
    const QDir propia(QDir::cleanPath(ejecutable.absolutePath()));
    const QString nombre = ejecutable.completeBaseName();
    const QString ini = nombre + QStringLiteral(".ini");
    const QString txt = nombre + QStringLiteral(".txt");

    // The description file in the package's data folder: beside the tree the executable is in
    // first (an unpacked or relocated package), then the user's and the system's data folders.
    QStringList datos{CarpetaDatosPaquete(propia.path())};
    for (const QString& d : usuario.datos) datos << QDir(d).filePath(kCarpetaPropia);
    QString delPaquete;
    for (const QString& d : std::as_const(datos))
        if (QFileInfo(QDir(d).filePath(txt)).isFile()) {
            delPaquete = QDir(d).filePath(txt);
            break;
        }
    // The package's layout (its own tree, not a package installed elsewhere on the system): run
    // from /usr/bin even by a user who may write there, it never fills the system's folder with
    // settings and workbooks.
    const bool comoPaquete = QFileInfo(QDir(datos.first()).filePath(txt)).isFile() &&
                             !QFileInfo::exists(propia.filePath(txt));

    LugaresPrograma l;
    l.instalado = !carpetaEscribible || comoPaquete;
    if (!l.instalado) {
        l.ajustes = propia.filePath(ini);
        l.descripcion = propia.filePath(txt);
        l.libros = propia.path();
        return l;
    }
    l.ajustes = QDir(usuario.configuracion).filePath(kCarpetaPropia + u'/' + ini);
    // A folder that is only read (a shared copy) still holds its own description file.
    if (QFileInfo::exists(propia.filePath(txt)))
        l.descripcion = propia.filePath(txt);
    else
        l.descripcion = delPaquete.isEmpty() ? QDir(datos.first()).filePath(txt) : delPaquete;
    l.libros = QDir::cleanPath(usuario.documentos);
    return l;
}

void CrearCarpetasDelUsuario(const LugaresPrograma& lugares) {
    const QString ajustes = QFileInfo(lugares.ajustes).absolutePath();
    if (!QFileInfo::exists(ajustes) && QDir().mkpath(QFileInfo(ajustes).absolutePath()))
        QDir().mkdir(ajustes, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(lugares.libros);
}

bool CarpetaEscribible(const QString& carpeta) {
    // access() answers for this user, its groups and a file system mounted read-only.
    return ::access(QFile::encodeName(carpeta).constData(), W_OK | X_OK) == 0;
}
