#pragma once
#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

// Enciphers the host's stored credentials with a secret key kept in the host installation folder.
//
// Each value is a libsodium secret box under a subkey of its own selector, so a value stored for
// one use (the host's user and password, or one of a company's four connection fields) never
// deciphers as another. The stored form is base64 of the random nonce followed by the box.
class Cifrado {
public:
    // Selectors: 0 = the host's own user and password; 1 to 4 = a company's server, database,
    // user and password.
    static QString nombreArchivoClave();  // "talmira.key"

    // Creates the key file in `carpeta` when it does not exist: 32 random bytes, mode 0600, owner
    // only from the moment it appears. An existing key file is left untouched (replacing it would
    // make every stored value unreadable); one of the wrong size is reported, not overwritten.
    static bool crearClave(const QString& carpeta, QString* error = nullptr);

    // Loads the key of the installation in `carpeta`; nullopt with a Spanish error naming the file
    // when it is missing, unreadable or of the wrong size.
    static std::optional<Cifrado> abrir(const QString& carpeta, QString* error = nullptr);

    // Stored form of `texto` for `selector`: printable ASCII, never empty, different on every call.
    QString cifrar(const QString& texto, int selector) const;

    // Plain text of a stored form; nullopt when it does not decipher (wrong key, wrong selector,
    // tampered, truncated, not base64, empty, not UTF-8 text). Never the stored text itself.
    std::optional<QString> descifrar(const QString& guardado, int selector) const;

    Cifrado(const Cifrado& otro);
    Cifrado& operator=(const Cifrado& otro);
    Cifrado(Cifrado&& otro) noexcept;
    Cifrado& operator=(Cifrado&& otro) noexcept;
    ~Cifrado();

    static constexpr int tamanoClave = 32;

private:
    Cifrado() = default;
    using Clave = std::array<unsigned char, tamanoClave>;
    bool subclave(int selector, Clave& sub) const;
    Clave clave_{};
};
