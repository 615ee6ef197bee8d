#include "components/ArchivoClave.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <vector>

#include "components/Disco.h"

namespace archivoclave {

namespace {

QString textoErrno(int numero) { return QString::fromLocal8Bit(std::strerror(numero)); }

bool fallar(QString* error, const QString& texto) {
    if (error) *error = texto;
    return false;
}

QString noSeCreo(const QString& ruta, int numero) {
    return QStringLiteral("No se pudo crear el archivo de clave %1: %2")
        .arg(ruta, textoErrno(numero));
}

// Writes `tamano` random bytes to the new file `fd`, owner only; the errno of a failure, else 0.
int llenar(int fd, std::size_t tamano) {
    std::vector<unsigned char> nueva(tamano);
    randombytes_buf(nueva.data(), nueva.size());
    const bool bien = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 &&
                      escribirTodo(fd, nueva.data(), nueva.size()) && sincronizar(fd);
    const int numero = bien ? 0 : errno;
    sodium_memzero(nueva.data(), nueva.size());
    return numero;
}

// Reads up to `tamano` bytes of `fd` into `destino`; the count read, or -1 with errno set.
qint64 leerHasta(int fd, unsigned char* destino, std::size_t tamano) {
    std::size_t total = 0;
    while (total < tamano) {
        const ssize_t n = ::read(fd, destino + total, tamano - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        total += static_cast<std::size_t>(n);
    }
    return static_cast<qint64>(total);
}

}  // namespace

bool crear(const QString& ruta, std::size_t tamano, QString* error) {
    const QByteArray rutaLocal = QFile::encodeName(ruta);
    struct stat info {};
    if (::lstat(rutaLocal.constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return fallar(
                error, QStringLiteral("El archivo de clave %1 no es un archivo normal.").arg(ruta));
        if (static_cast<std::size_t>(info.st_size) != tamano)
            return fallar(error,
                          QStringLiteral("El archivo de clave %1 existe pero no tiene %2 bytes.")
                              .arg(ruta, QString::number(tamano)));
        return true;
    }

    // The key is written to a private temporary name and then linked under its final name: the
    // final name never shows a partial key, and link() refuses to replace a key created meanwhile.
    QByteArray plantilla =
        QFile::encodeName(QFileInfo(ruta).dir().filePath(QStringLiteral(".talmira.key.XXXXXX")));
    const int fd = ::mkstemp(plantilla.data());  // created 0600 by mkstemp itself
    if (fd < 0) return fallar(error, noSeCreo(ruta, errno));

    int numero = llenar(fd, tamano);
    if (::close(fd) != 0 && numero == 0) numero = errno;
    if (numero == 0 && ::link(plantilla.constData(), rutaLocal.constData()) != 0 &&
        errno != EEXIST)  // another process made the key first: that key stands
        numero = errno;
    ::unlink(plantilla.constData());
    return numero == 0 || fallar(error, noSeCreo(ruta, numero));
}

bool leer(const QString& ruta, unsigned char* destino, std::size_t tamano, QString* error) {
    const int fd = ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int numero = errno;
        return fallar(error,
                      numero == ENOENT
                          ? QStringLiteral("No se encontró el archivo de clave %1.").arg(ruta)
                          : QStringLiteral("No se pudo leer el archivo de clave %1: %2")
                                .arg(ruta, textoErrno(numero)));
    }
    // One byte more than a key: a longer file is detected without reading it all.
    std::vector<unsigned char> leido(tamano + 1);
    const qint64 total = leerHasta(fd, leido.data(), leido.size());
    const int numero = errno;
    ::close(fd);
    const bool completo = total == static_cast<qint64>(tamano);
    if (completo) std::memcpy(destino, leido.data(), tamano);
    sodium_memzero(leido.data(), leido.size());
    if (total < 0)
        return fallar(error, QStringLiteral("No se pudo leer el archivo de clave %1: %2")
                                 .arg(ruta, textoErrno(numero)));
    return completo || fallar(error, QStringLiteral("El archivo de clave %1 no tiene %2 bytes.")
                                         .arg(ruta, QString::number(tamano)));
}

}  // namespace archivoclave
