#include "programa/LugaresPrograma.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "plataforma/Carpetas.h"

namespace {
// The folder of the program's data under each data folder.
const QString kCarpetaPropia = QStringLiteral("varelmo");
// The console companion's name is the program's with this ending (varelmo-consola.exe).
const QString kSufijoConsola = QStringLiteral("-consola");
}  // namespace

QString RutaDelPrograma() {
    const QFileInfo propia(QCoreApplication::applicationFilePath());
    QString nombre = propia.completeBaseName();
    if (!nombre.endsWith(kSufijoConsola) || nombre.size() == kSufijoConsola.size())
        return propia.filePath();
    nombre.chop(kSufijoConsola.size());
    if (!propia.suffix().isEmpty()) nombre += u'.' + propia.suffix();
    return propia.dir().filePath(nombre);
}

CarpetasUsuario CarpetasDelUsuario() {
    CarpetasUsuario c;
    c.configuracion = CarpetaAjustesDelUsuario();
    c.documentos = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (c.documentos.isEmpty()) c.documentos = QDir::homePath();
    c.datos = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    return c;
}

QString CarpetaDatosPaquete(const QString& carpetaEjecutable) {
    return QDir::cleanPath(carpetaEjecutable + QStringLiteral("/../share/") + kCarpetaPropia);
}

LugaresPrograma LugaresJunto(const QString& rutaEjecutable) {
    const QFileInfo ejecutable(rutaEjecutable);
    const QDir propia(QDir::cleanPath(ejecutable.absolutePath()));
    LugaresPrograma l;
    l.ajustes = propia.filePath(ejecutable.completeBaseName() + QStringLiteral(".ini"));
    l.descripcion = propia.filePath(ejecutable.completeBaseName() + QStringLiteral(".txt"));
    l.libros = propia.path();
    return l;
}

LugaresPrograma ElegirLugares(const QString& rutaEjecutable, bool carpetaEscribible,
                              const CarpetasUsuario& usuario) {
    const QFileInfo ejecutable(rutaEjecutable);
    const QDir propia(QDir::cleanPath(ejecutable.absolutePath()));
    const QString nombre = ejecutable.completeBaseName();
    const QString txt = nombre + QStringLiteral(".txt");
    const QString junto = propia.filePath(txt);
    const QString enArbol = QDir(CarpetaDatosPaquete(propia.path())).filePath(txt);
    const bool hayJunto = QFileInfo::exists(junto);
    const bool hayEnArbol = QFileInfo(enArbol).isFile();

    // The package's layout (the description file in its own tree, not beside the executable):
    // run from /usr/bin even by a user who may write there, it never fills the system's folder
    // with settings and workbooks. A package installed elsewhere on the system does not count.
    LugaresPrograma l;
    l.instalado = !carpetaEscribible || (!hayJunto && hayEnArbol);
    if (!l.instalado) return LugaresJunto(rutaEjecutable);
    l.ajustes = QDir(usuario.configuracion)
                    .filePath(NombreCarpetaAjustes() + u'/' + nombre + QStringLiteral(".ini"));
    l.libros = QDir::cleanPath(usuario.documentos);
    // A folder that is only read (a shared copy) still holds its own description file; else the
    // package's, in its own tree first, then in the user's and the system's data folders.
    l.descripcion = hayJunto ? junto : enArbol;
    if (!hayJunto && !hayEnArbol)
        for (const QString& d : usuario.datos)
            if (const QString ruta = QDir(d).filePath(kCarpetaPropia + u'/' + txt);
                QFileInfo(ruta).isFile()) {
                l.descripcion = ruta;
                break;
            }
    return l;
}

void CrearCarpetasDelUsuario(const LugaresPrograma& lugares) {
    const QString ajustes = QFileInfo(lugares.ajustes).absolutePath();
    if (!QFileInfo::exists(ajustes) && QDir().mkpath(QFileInfo(ajustes).absolutePath()))
        QDir().mkdir(ajustes, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(lugares.libros);
}
