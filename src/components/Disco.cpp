#include "components/Disco.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>

bool escribirTodo(int fd, const void* datos, std::size_t tamano) {
    const auto* p = static_cast<const char*>(datos);
    while (tamano > 0) {
        const ssize_t n = ::write(fd, p, tamano);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        tamano -= static_cast<std::size_t>(n);
    }
    return true;
}

bool sincronizar(int fd) {
    while (::fsync(fd) != 0)
        if (errno != EINTR) return false;
    return true;
}

void sincronizarCarpeta(const QString& archivo) {
    const QByteArray carpeta = QFile::encodeName(QFileInfo(archivo).absolutePath());
    const int fd = ::open(carpeta.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)sincronizar(fd);
    ::close(fd);
}
