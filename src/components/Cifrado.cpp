#include "Cifrado.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>

namespace {

// Context of the subkeys: exactly crypto_kdf_CONTEXTBYTES characters.
constexpr char contextoSubclaves[] = "varelmo1";
static_assert(sizeof(contextoSubclaves) - 1 == crypto_kdf_CONTEXTBYTES);
static_assert(Cifrado::tamanoClave == crypto_kdf_KEYBYTES);
static_assert(Cifrado::tamanoClave == crypto_secretbox_KEYBYTES);

bool sodioListo() {
    // sodium_init() is safe to call more than once, but once is enough: its answer is kept.
    static const bool listo = sodium_init() >= 0;
    return listo;
}

QString textoErrno(int numero) { return QString::fromLocal8Bit(std::strerror(numero)); }

bool fallar(QString* error, const QString& texto) {
    if (error) *error = texto;
    return false;
}

// Writes all of `datos` to `fd`, retrying short writes and interruptions.
bool escribirTodo(int fd, const unsigned char* datos, size_t tamano) {
    while (tamano > 0) {
        const ssize_t n = ::write(fd, datos, tamano);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        datos += n;
        tamano -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

QString Cifrado::nombreArchivoClave() { return QStringLiteral("talmira.key"); }

bool Cifrado::crearClave(const QString& carpeta, QString* error) {
    const QString ruta = QDir(carpeta).filePath(nombreArchivoClave());
    if (!sodioListo())
        return fallar(error, QStringLiteral("No se pudo iniciar la biblioteca de cifrado."));

    const QByteArray rutaLocal = QFile::encodeName(ruta);
    struct stat info {};
    if (::lstat(rutaLocal.constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return fallar(
                error, QStringLiteral("El archivo de clave %1 no es un archivo normal.").arg(ruta));
        if (info.st_size != tamanoClave)
            return fallar(error,
                          QStringLiteral("El archivo de clave %1 existe pero no tiene %2 bytes.")
                              .arg(ruta, QString::number(tamanoClave)));
        return true;
    }

    // The key is written to a private temporary name and then linked under its final name: the
    // final name never shows a partial key, and link() refuses to replace a key created meanwhile.
    QByteArray plantilla =
        QFile::encodeName(QDir(carpeta).filePath(QStringLiteral(".talmira.key.XXXXXX")));
    const int fd = ::mkstemp(plantilla.data());  // created 0600 by mkstemp itself
    if (fd < 0)
        return fallar(error, QStringLiteral("No se pudo crear el archivo de clave %1: %2")
                                 .arg(ruta, textoErrno(errno)));

    Clave nueva{};
    randombytes_buf(nueva.data(), nueva.size());
    bool bien = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 &&
                escribirTodo(fd, nueva.data(), nueva.size()) && ::fsync(fd) == 0;
    int numero = bien ? 0 : errno;
    sodium_memzero(nueva.data(), nueva.size());
    if (::close(fd) != 0 && bien) {
        bien = false;
        numero = errno;
    }
    if (bien && ::link(plantilla.constData(), rutaLocal.constData()) != 0) {
        numero = errno;
        bien = numero == EEXIST;  // another process made the key first: that key stands
    }
    ::unlink(plantilla.constData());
    if (!bien)
        return fallar(error, QStringLiteral("No se pudo crear el archivo de clave %1: %2")
                                 .arg(ruta, textoErrno(numero)));
    return true;
}

std::optional<Cifrado> Cifrado::abrir(const QString& carpeta, QString* error) {
    const QString ruta = QDir(carpeta).filePath(nombreArchivoClave());
    if (!sodioListo()) {
        fallar(error, QStringLiteral("No se pudo iniciar la biblioteca de cifrado."));
        return std::nullopt;
    }
    const int fd = ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int numero = errno;
        fallar(error, numero == ENOENT
                          ? QStringLiteral("No se encontró el archivo de clave %1.").arg(ruta)
                          : QStringLiteral("No se pudo leer el archivo de clave %1: %2")
                                .arg(ruta, textoErrno(numero)));
        return std::nullopt;
    }
    Cifrado cifrado;
    // One byte more than a key: a longer file is detected without reading it all.
    unsigned char leido[tamanoClave + 1];
    size_t total = 0;
    bool bien = true;
    while (total < sizeof leido) {
        const ssize_t n = ::read(fd, leido + total, sizeof leido - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            bien = false;
            break;
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    const int numero = errno;
    ::close(fd);
    if (bien && total == static_cast<size_t>(tamanoClave))
        std::memcpy(cifrado.clave_.data(), leido, cifrado.clave_.size());
    sodium_memzero(leido, sizeof leido);
    if (!bien) {
        fallar(error, QStringLiteral("No se pudo leer el archivo de clave %1: %2")
                          .arg(ruta, textoErrno(numero)));
        return std::nullopt;
    }
    if (total != static_cast<size_t>(tamanoClave)) {
        fallar(error, QStringLiteral("El archivo de clave %1 no tiene %2 bytes.")
                          .arg(ruta, QString::number(tamanoClave)));
        return std::nullopt;
    }
    return cifrado;
}

bool Cifrado::subclave(int selector, Clave& sub) const {
    return crypto_kdf_derive_from_key(sub.data(), sub.size(),
                                      static_cast<uint64_t>(static_cast<unsigned int>(selector)),
                                      contextoSubclaves, clave_.data()) == 0;
}

QString Cifrado::cifrar(const QString& texto, int selector) const {
    QByteArray claro = texto.toUtf8();
    QByteArray salida(
        static_cast<qsizetype>(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES) +
            claro.size(),
        Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(salida.data());
    randombytes_buf(nonce, crypto_secretbox_NONCEBYTES);
    Clave sub{};
    subclave(selector, sub);
    crypto_secretbox_easy(nonce + crypto_secretbox_NONCEBYTES,
                          reinterpret_cast<const unsigned char*>(claro.constData()),
                          static_cast<unsigned long long>(claro.size()), nonce, sub.data());
    sodium_memzero(sub.data(), sub.size());
    sodium_memzero(claro.data(), static_cast<size_t>(claro.size()));
    return QString::fromLatin1(salida.toBase64());
}

std::optional<QString> Cifrado::descifrar(const QString& guardado, int selector) const {
    if (guardado.isEmpty()) return std::nullopt;
    // Only the exact printable form cifrar() produces is accepted: no blanks, no other characters.
    for (const QChar ch : guardado)
        if (ch.unicode() > 0x7e || ch.unicode() <= 0x20) return std::nullopt;
    const auto decodificado = QByteArray::fromBase64Encoding(
        guardado.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decodificado) return std::nullopt;
    const QByteArray& datos = *decodificado;
    constexpr auto minimo =
        static_cast<qsizetype>(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES);
    if (datos.size() < minimo) return std::nullopt;
    const auto* nonce = reinterpret_cast<const unsigned char*>(datos.constData());
    QByteArray claro(datos.size() - minimo, Qt::Uninitialized);
    Clave sub{};
    subclave(selector, sub);
    const int resultado = crypto_secretbox_open_easy(
        reinterpret_cast<unsigned char*>(claro.data()), nonce + crypto_secretbox_NONCEBYTES,
        static_cast<unsigned long long>(datos.size()) - crypto_secretbox_NONCEBYTES, nonce,
        sub.data());
    sodium_memzero(sub.data(), sub.size());
    if (resultado != 0) return std::nullopt;
    QStringDecoder decodificador(QStringDecoder::Utf8);
    QString texto = decodificador.decode(claro);
    sodium_memzero(claro.data(), static_cast<size_t>(claro.size()));
    if (decodificador.hasError()) return std::nullopt;
    return texto;
}

Cifrado::Cifrado(const Cifrado& otro) : clave_(otro.clave_) {}

Cifrado& Cifrado::operator=(const Cifrado& otro) {
    clave_ = otro.clave_;
    return *this;
}

Cifrado::Cifrado(Cifrado&& otro) noexcept : clave_(otro.clave_) {
    sodium_memzero(otro.clave_.data(), otro.clave_.size());
}

Cifrado& Cifrado::operator=(Cifrado&& otro) noexcept {
    if (this != &otro) {
        clave_ = otro.clave_;
        sodium_memzero(otro.clave_.data(), otro.clave_.size());
    }
    return *this;
}

Cifrado::~Cifrado() { sodium_memzero(clave_.data(), clave_.size()); }
