#include "plataforma/Cerrojo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

CerrojoDeProceso::~CerrojoDeProceso() { soltar(); }

bool CerrojoDeProceso::tomar(const QString& ruta, int* error) {
    soltar();
    const int fd = ::open(QFile::encodeName(ruta).constData(),
                          O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        archivo_ = fd;
        return true;
    }
    *error = errno;
    if (fd >= 0) ::close(fd);
    return false;
}

void CerrojoDeProceso::soltar() {
    if (archivo_ >= 0) ::close(static_cast<int>(archivo_));
    archivo_ = -1;
}

CerrojoDeProceso::Estado CerrojoDeProceso::estado(const QString& ruta) {
    const int fd = ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT ? Estado::Ausente : Estado::Tomado;
    const bool libre = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return libre ? Estado::Libre : Estado::Tomado;
}

std::optional<long long> CambioDeCarpetaPropia(const QString& ruta) {
    struct stat datos {};
    if (::lstat(QFile::encodeName(ruta).constData(), &datos) != 0 || !S_ISDIR(datos.st_mode) ||
        datos.st_uid != ::geteuid())
        return std::nullopt;
    return static_cast<long long>(datos.st_mtime);
}
