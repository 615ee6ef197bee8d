#include "archivos/CarpetaTrabajo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "archivos/ErrorSistema.h"

namespace {
const char* const ArchivoCerrojo = "en-uso";
// A folder without its lock file older than this is taken as abandoned.
constexpr time_t SegundosSinCerrojo = 3600;

QByteArray rutaCerrojo(const QString& carpeta) {
    return QFile::encodeName(carpeta) + '/' + ArchivoCerrojo;
}

// Whether the folder at `ruta` (already checked: a folder of this user) was left by a process
// that no longer runs.
bool abandonada(const QString& ruta, const struct stat& datos) {
    const int fd = ::open(rutaCerrojo(ruta).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT && std::time(nullptr) - datos.st_mtime > SegundosSinCerrojo;
    const bool libre = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return libre;
}
}  // namespace

CarpetaTrabajo::CarpetaTrabajo(const QString& padre, const QString& prefijo)
    : carpeta_(padre + u'/' + prefijo + QStringLiteral("XXXXXX")) {
    if (!carpeta_.isValid()) {
        error_ = carpeta_.errorString();
        return;
    }
    cerrojo_ = ::open(rutaCerrojo(carpeta_.path()).constData(),
                      O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (cerrojo_ >= 0 && ::flock(cerrojo_, LOCK_EX | LOCK_NB) == 0) return;
    error_ = TextoErrorSistema(errno);
    if (cerrojo_ >= 0) ::close(cerrojo_);
    cerrojo_ = -1;
    carpeta_.remove();
}

CarpetaTrabajo::~CarpetaTrabajo() {
    // The folder goes first: until then its lock tells other runs it is in use.
    carpeta_.remove();
    if (cerrojo_ >= 0) ::close(cerrojo_);
}

void CarpetaTrabajo::limpiarAbandonadas(const QString& padre, const QString& prefijo) {
    const QDir dir(padre);
    const QStringList nombres =
        dir.entryList({prefijo + QStringLiteral("??????")},
                      QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString& nombre : nombres) {
        const QString ruta = dir.filePath(nombre);
        struct stat datos {};
        if (::lstat(QFile::encodeName(ruta).constData(), &datos) != 0 || !S_ISDIR(datos.st_mode) ||
            datos.st_uid != ::geteuid())
            continue;
        if (abandonada(ruta, datos)) QDir(ruta).removeRecursively();
    }
}
