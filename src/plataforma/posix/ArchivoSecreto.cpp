#include "plataforma/ArchivoSecreto.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "plataforma/Disco.h"

int CrearArchivoSecreto(const QString& ruta, const unsigned char* datos, std::size_t tamano) {
    // The secret is written to a private temporary name and then linked under its final name: the
    // final name never shows a partial secret, and link() refuses to replace one created
    // meanwhile.
    QByteArray plantilla = QFile::encodeName(QFileInfo(ruta).dir().filePath(
        u'.' + QFileInfo(ruta).fileName() + QStringLiteral(".XXXXXX")));
    const int fd = ::mkstemp(plantilla.data());  // created 0600 by mkstemp itself
    if (fd < 0) return errno;
    const bool escrito =
        ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && escribirTodo(fd, datos, tamano) && sincronizar(fd);
    int numero = escrito ? 0 : errno;
    if (::close(fd) != 0 && numero == 0) numero = errno;
    if (numero == 0 && ::link(plantilla.constData(), QFile::encodeName(ruta).constData()) != 0 &&
        errno != EEXIST)  // another process made it first: that one stands
        numero = errno;
    ::unlink(plantilla.constData());
    return numero;
}

bool ExisteGrupo(const QString& grupo) {
    return ::getgrnam(QFile::encodeName(grupo).constData()) != nullptr;
}

int CompartirConGrupo(const QString& ruta, const QString& grupo) {
    const group* g = ::getgrnam(QFile::encodeName(grupo).constData());
    if (!g) return ENOENT;
    const int fd =
        ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    const bool bien = fd >= 0 && ::fchown(fd, static_cast<uid_t>(-1), g->gr_gid) == 0 &&
                      ::fchmod(fd, S_IRUSR | S_IWUSR | S_IRGRP) == 0;
    const int numero = bien ? 0 : errno;
    if (fd >= 0) ::close(fd);
    return numero;
}

std::optional<qint64> TamanoSinSeguirEnlaces(const QString& ruta) {
    struct stat info {};
    if (::lstat(QFile::encodeName(ruta).constData(), &info) != 0) return std::nullopt;
    return S_ISREG(info.st_mode) ? qint64{info.st_size} : qint64{-1};
}

LecturaSecreto::LecturaSecreto(const QString& ruta)
    : archivo_(::open(QFile::encodeName(ruta).constData(),
                      O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC)),
      error_(archivo_ < 0 ? errno : 0) {}

LecturaSecreto::~LecturaSecreto() {
    if (archivo_ >= 0) ::close(archivo_);
}

std::optional<QString> LecturaSecreto::motivoNoConfiable() const {
    struct stat info {};
    if (::fstat(archivo_, &info) != 0) return std::nullopt;
    if (!S_ISREG(info.st_mode)) return QStringLiteral("no es un archivo normal");
    if (info.st_uid != ::geteuid() && info.st_uid != 0)
        return QStringLiteral("pertenece a otro usuario (su dueño debe ser este usuario o root)");
    const QString permisos =
        QStringLiteral(" (permisos %1; deben ser 600, o 640 para compartirlo con un grupo)")
            .arg(info.st_mode & 0777, 0, 8);
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("pueden modificarlo otros usuarios además de su dueño") + permisos;
    if (info.st_mode & S_IROTH) return QStringLiteral("cualquier usuario puede leerlo") + permisos;
    return QString();
}

qint64 LecturaSecreto::leerHasta(unsigned char* destino, std::size_t tamano) {
    std::size_t total = 0;
    while (total < tamano) {
        const ssize_t n = ::read(archivo_, destino + total, tamano - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        total += static_cast<std::size_t>(n);
    }
    return static_cast<qint64>(total);
}
