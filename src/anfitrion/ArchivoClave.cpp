#include "anfitrion/ArchivoClave.h"

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

#include "archivos/ErrorSistema.h"
#include "plataforma/Disco.h"

namespace archivoclave {

namespace {

bool fallar(QString* error, const QString& texto) {
    if (error) *error = texto;
    return false;
}

QString noSeCreo(const QString& ruta, int numero) {
    return QStringLiteral("No se pudo crear el archivo de clave %1: %2")
        .arg(ruta, TextoErrorSistema(numero));
}

// Why the key file could not be opened.
QString noSeAbrio(const QString& ruta, int numero) {
    if (numero == ENOENT) return QStringLiteral("No se encontró el archivo de clave %1.").arg(ruta);
    if (numero == ELOOP)
        return QStringLiteral("El archivo de clave %1 no se usa: es un enlace simbólico.")
            .arg(ruta);
    return QStringLiteral("No se pudo leer el archivo de clave %1: %2")
        .arg(ruta, TextoErrorLectura(numero));
}

// Why an open key file is not to be trusted with the key, "" when it is: a regular file of this
// user or of root, which only its owner may change and nobody outside its group may read. A key
// that others can change or read no longer keeps the stored passwords secret.
QString motivoNoConfiable(const struct stat& info) {
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
    // Opened without waiting (a FIFO in its place would block the open for ever) and without
    // following a link; the checks are made on the file actually opened.
    const int fd =
        ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return fallar(error, noSeAbrio(ruta, errno));
    struct stat info {};
    const QString motivo =
        ::fstat(fd, &info) == 0 ? motivoNoConfiable(info) : TextoErrorSistema(errno);
    if (!motivo.isEmpty()) {
        ::close(fd);
        return fallar(error,
                      QStringLiteral("El archivo de clave %1 no se usa: %2.").arg(ruta, motivo));
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
                                 .arg(ruta, TextoErrorSistema(numero)));
    return completo || fallar(error, QStringLiteral("El archivo de clave %1 no tiene %2 bytes.")
                                         .arg(ruta, QString::number(tamano)));
}

}  // namespace archivoclave
