#include "Soporte.h"

#include <sodium.h>

#include <QDir>
#include <QFile>

#include "anfitrion/Cifrado.h"

namespace soporte {
QString carpetaBinarios() { return QStringLiteral(VARELMO_BIN_DIR); }
QString carpetaPruebas() { return QStringLiteral(VARELMO_TESTS_DIR); }

QByteArray contenido(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool guardar(const QString& ruta, const QByteArray& bytes) {
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QStringList entradas(const QString& carpeta) {
    return QDir(carpeta).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                   QDir::Name);
}

QString selladoAnterior(const QString& carpeta, int selector, const QString& texto) {
    const QByteArray clave = contenido(QDir(carpeta).filePath(Cifrado::nombreArchivoClave()));
    unsigned char sub[crypto_secretbox_KEYBYTES];
    if (sodium_init() < 0 || clave.size() != crypto_kdf_KEYBYTES ||
        crypto_kdf_derive_from_key(sub, sizeof sub, static_cast<uint64_t>(selector), "varelmo1",
                                   reinterpret_cast<const unsigned char*>(clave.constData())) != 0)
        return QString();
    const QByteArray claro = texto.toUtf8();
    constexpr auto extra =
        static_cast<qsizetype>(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES);
    QByteArray sellado(extra + claro.size(), '\0');
    auto* nonce = reinterpret_cast<unsigned char*>(sellado.data());
    randombytes_buf(nonce, crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(nonce + crypto_secretbox_NONCEBYTES,
                          reinterpret_cast<const unsigned char*>(claro.constData()),
                          static_cast<unsigned long long>(claro.size()), nonce, sub);
    return QString::fromLatin1(sellado.toBase64());
}
}  // namespace soporte
