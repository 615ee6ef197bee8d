#include "plataforma/Disco.h"

#include <fcntl.h>
#include <sys/stat.h>
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

namespace {
// 0 when this user may use `ruta` as `modo` asks (W_OK, and X_OK for a folder), else the errno
// that says why.
int impedimento(const QByteArray& ruta, const struct stat& datos, int modo) {
    if ((datos.st_mode & 0222) == 0) return EACCES;
    return ::access(ruta.constData(), modo) == 0 ? 0 : errno;
}
}  // namespace

int ImpedimentoEscritura(const QString& ruta, bool* elArchivo) {
    *elArchivo = false;
    const QByteArray carpeta = QFile::encodeName(QFileInfo(ruta).absolutePath());
    struct stat datos {};
    if (::stat(carpeta.constData(), &datos) != 0) return errno;
    if (!S_ISDIR(datos.st_mode)) return ENOTDIR;
    if (const int numero = impedimento(carpeta, datos, W_OK | X_OK); numero != 0) return numero;
    // The workbook is renamed over the file, which replaces a link or anything else there; only a
    // regular file that refuses to be written stops it.
    const QByteArray archivo = QFile::encodeName(QFileInfo(ruta).absoluteFilePath());
    if (::lstat(archivo.constData(), &datos) != 0 || !S_ISREG(datos.st_mode)) return 0;
    *elArchivo = true;
    return impedimento(archivo, datos, W_OK);
}
