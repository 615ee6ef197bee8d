#include "anfitrion/Cifrado.h"

#include <sodium.h>

#include <QDir>
#include <QStringDecoder>

#include "anfitrion/ArchivoClave.h"

namespace {

// Context of the subkeys: exactly crypto_kdf_CONTEXTBYTES characters.
constexpr char contextoSubclaves[] = "varelmo1";
static_assert(sizeof(contextoSubclaves) - 1 == crypto_kdf_CONTEXTBYTES);
static_assert(Cifrado::tamanoClave == crypto_kdf_KEYBYTES);
static_assert(Cifrado::tamanoClave == crypto_secretbox_KEYBYTES);
static_assert(Cifrado::tamanoClave == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);

// The current stored form starts with this; base64 never holds a ':'.
const QString PrefijoActual = QStringLiteral("v2:");

// What a value is bound to: its selector and its place.
QByteArray datosAsociados(int selector, const QString& lugar) {
    return QStringLiteral("varelmo|%1|").arg(selector).toUtf8() + lugar.toUtf8();
}

// The bytes of a stored form's base64, when it is exactly what cifrar() produces: printable,
// no blanks.
std::optional<QByteArray> base64Estricto(QStringView texto) {
    if (texto.isEmpty()) return std::nullopt;
    for (const QChar ch : texto)
        if (ch.unicode() > 0x7e || ch.unicode() <= 0x20) return std::nullopt;
    auto decodificado =
        QByteArray::fromBase64Encoding(texto.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decodificado) return std::nullopt;
    return *decodificado;
}

std::optional<QString> comoTexto(QByteArray& claro) {
    QStringDecoder decodificador(QStringDecoder::Utf8);
    QString texto = decodificador.decode(claro);
    sodium_memzero(claro.data(), static_cast<size_t>(claro.size()));
    if (decodificador.hasError()) return std::nullopt;
    return texto;
}

bool sodioListo() {
    // sodium_init() is safe to call more than once, but once is enough: its answer is kept.
    static const bool listo = sodium_init() >= 0;
    return listo;
}

bool fallar(QString* error, const QString& texto) {
    if (error) *error = texto;
    return false;
}

}  // namespace

QString Cifrado::nombreArchivoClave() { return QStringLiteral("talmira.key"); }

bool Cifrado::crearClave(const QString& carpeta, QString* error) {
    if (!sodioListo())
        return fallar(error, QStringLiteral("No se pudo iniciar la biblioteca de cifrado."));
    return archivoclave::crear(QDir(carpeta).filePath(nombreArchivoClave()), tamanoClave, error);
}

std::optional<Cifrado> Cifrado::abrir(const QString& carpeta, QString* error) {
    if (!sodioListo()) {
        fallar(error, QStringLiteral("No se pudo iniciar la biblioteca de cifrado."));
        return std::nullopt;
    }
    Cifrado cifrado;
    if (!archivoclave::leer(QDir(carpeta).filePath(nombreArchivoClave()), cifrado.clave_.data(),
                            cifrado.clave_.size(), error))
        return std::nullopt;
    return cifrado;
}

bool Cifrado::subclave(int selector, Clave& sub) const {
    return crypto_kdf_derive_from_key(sub.data(), sub.size(),
                                      static_cast<uint64_t>(static_cast<unsigned int>(selector)),
                                      contextoSubclaves, clave_.data()) == 0;
}

QString Cifrado::cifrar(const QString& texto, int selector, const QString& lugar) const {
    QByteArray claro = texto.toUtf8();
    const QByteArray asociados = datosAsociados(selector, lugar);
    constexpr auto nonceBytes =
        static_cast<qsizetype>(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
    QByteArray salida(nonceBytes +
                          static_cast<qsizetype>(crypto_aead_xchacha20poly1305_ietf_ABYTES) +
                          claro.size(),
                      Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(salida.data());
    randombytes_buf(nonce, static_cast<size_t>(nonceBytes));
    Clave sub{};
    subclave(selector, sub);
    unsigned long long largo = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        nonce + nonceBytes, &largo, reinterpret_cast<const unsigned char*>(claro.constData()),
        static_cast<unsigned long long>(claro.size()),
        reinterpret_cast<const unsigned char*>(asociados.constData()),
        static_cast<unsigned long long>(asociados.size()), nullptr, nonce, sub.data());
    sodium_memzero(sub.data(), sub.size());
    sodium_memzero(claro.data(), static_cast<size_t>(claro.size()));
    return PrefijoActual + QString::fromLatin1(salida.toBase64());
}

std::optional<QString> Cifrado::descifrarAnterior(const QString& guardado, int selector) const {
    // The earlier form: a secret box bound to the selector alone.
    if (!formaAnterior(guardado)) return std::nullopt;
    const std::optional<QByteArray> datos = base64Estricto(guardado);
    constexpr auto minimo =
        static_cast<qsizetype>(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES);
    if (!datos || datos->size() < minimo) return std::nullopt;
    const auto* nonce = reinterpret_cast<const unsigned char*>(datos->constData());
    QByteArray claro(datos->size() - minimo, Qt::Uninitialized);
    Clave sub{};
    subclave(selector, sub);
    const int resultado = crypto_secretbox_open_easy(
        reinterpret_cast<unsigned char*>(claro.data()), nonce + crypto_secretbox_NONCEBYTES,
        static_cast<unsigned long long>(datos->size()) - crypto_secretbox_NONCEBYTES, nonce,
        sub.data());
    sodium_memzero(sub.data(), sub.size());
    if (resultado != 0) return std::nullopt;
    return comoTexto(claro);
}

std::optional<QString> Cifrado::descifrar(const QString& guardado, int selector,
                                          const QString& lugar) const {
    if (formaAnterior(guardado)) return std::nullopt;
    const std::optional<QByteArray> datos =
        base64Estricto(QStringView(guardado).mid(PrefijoActual.size()));
    constexpr auto nonceBytes =
        static_cast<qsizetype>(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
    constexpr auto minimo =
        nonceBytes + static_cast<qsizetype>(crypto_aead_xchacha20poly1305_ietf_ABYTES);
    if (!datos || datos->size() < minimo) return std::nullopt;
    const QByteArray asociados = datosAsociados(selector, lugar);
    const auto* nonce = reinterpret_cast<const unsigned char*>(datos->constData());
    QByteArray claro(datos->size() - minimo, Qt::Uninitialized);
    Clave sub{};
    subclave(selector, sub);
    unsigned long long largo = 0;
    const int resultado = crypto_aead_xchacha20poly1305_ietf_decrypt(
        reinterpret_cast<unsigned char*>(claro.data()), &largo, nullptr, nonce + nonceBytes,
        static_cast<unsigned long long>(datos->size() - nonceBytes),
        reinterpret_cast<const unsigned char*>(asociados.constData()),
        static_cast<unsigned long long>(asociados.size()), nonce, sub.data());
    sodium_memzero(sub.data(), sub.size());
    if (resultado != 0) return std::nullopt;
    return comoTexto(claro);
}

bool Cifrado::formaAnterior(const QString& guardado) { return !guardado.startsWith(PrefijoActual); }

QString Cifrado::motivoSinDescifrar(const QString& guardado) {
    // An empty value is one never stored, not one stored under another key.
    if (guardado.trimmed().isEmpty()) return QStringLiteral("falta el valor");
    return QStringLiteral("el valor guardado no corresponde a la clave de esta instalación");
}

QString Cifrado::porQueNoDescifra(const QString& guardado, int selector,
                                  const QString& carpeta) const {
    if (!descifrarAnterior(guardado.trimmed(), selector)) return motivoSinDescifrar(guardado);
    return QStringLiteral(
               "el valor está cifrado en la forma anterior, que no lo liga a su lugar, y ya no se "
               "acepta; vuelva a sellarlo con la orden: talmira-host resellar \"%1\"")
        .arg(carpeta);
}

QString Cifrado::lugarAjuste(const QString& clave) { return QStringLiteral("ajuste ") + clave; }

QString Cifrado::lugarEmpresa(int id, int selector, int puerto) {
    QString lugar = QStringLiteral("empresa %1").arg(id);
    if (selector == 1) lugar += QStringLiteral(" puerto %1").arg(puerto);
    return lugar;
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
