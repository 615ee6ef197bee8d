#include "plataforma/Disco.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>

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

namespace {
// The permissions a new file gets: 0666 less the process's umask, read without changing it
// (setting the mask to read it back would affect every thread of the process meanwhile).
mode_t permisosNuevos() {
    mode_t mascara = 022;
    QFile estado(QStringLiteral("/proc/self/status"));
    if (estado.open(QIODevice::ReadOnly)) {
        for (const QByteArray& linea : estado.readAll().split('\n')) {
            if (!linea.startsWith("Umask:")) continue;
            bool bien = false;
            const uint valor = linea.mid(6).trimmed().toUInt(&bien, 8);
            if (bien) mascara = static_cast<mode_t>(valor & 0777);
            break;
        }
    }
    return static_cast<mode_t>(0666 & ~mascara);
}
}  // namespace

unsigned PermisosParaReemplazar(const QString& ruta) {
    struct stat anterior {};
    return ::lstat(QFile::encodeName(ruta).constData(), &anterior) == 0 && S_ISREG(anterior.st_mode)
               ? static_cast<unsigned>(anterior.st_mode & 07777)
               : permisosNuevos();
}

int AsentarArchivo(const QString& ruta, unsigned permisos) {
    const int fd = ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno;
    struct stat datos {};
    int numero = 0;
    if (::fstat(fd, &datos) != 0)
        numero = errno;
    else if (!S_ISREG(datos.st_mode))
        numero = EINVAL;
    else if (::fchmod(fd, static_cast<mode_t>(permisos)) != 0 || !sincronizar(fd))
        numero = errno;
    if (::close(fd) != 0 && numero == 0) numero = errno;
    return numero;
}

bool PonerEnSuLugar(const QString& nuevo, const QString& destino) {
    if (std::rename(QFile::encodeName(nuevo).constData(), QFile::encodeName(destino).constData()) !=
        0)
        return false;
    sincronizarCarpeta(destino);
    return true;
}

bool CarpetaEscribible(const QString& carpeta) {
    return ::access(QFile::encodeName(carpeta).constData(), W_OK | X_OK) == 0;
}
