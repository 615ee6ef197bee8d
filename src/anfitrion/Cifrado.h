#pragma once
#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

// Enciphers the host's stored credentials with a secret key kept in the host installation folder.
//
// Each value is sealed (XChaCha20-Poly1305) under a subkey of its own selector and bound to its
// place, the setting or the company row and field it is kept in: a value stored for one use (the
// host's user and password, or one of a company's four connection fields) never deciphers as
// another, nor when copied into another company's row. The stored form is "v2:" and base64 of the
// random nonce followed by the sealed text. Values of the earlier form (base64 of a nonce and a
// secret box, bound to the selector only) are refused where values are read: one copied from
// another company's row, or put under the other host setting, would decipher there. They are opened
// only to be sealed again in their place (talmira-host resellar).
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
    // when it is missing, unreadable, of the wrong size, or open to others (archivoclave::leer).
    static std::optional<Cifrado> abrir(const QString& carpeta, QString* error = nullptr);

    // Stored form of `texto` for `selector` at `lugar`: printable ASCII, never empty, different on
    // every call.
    QString cifrar(const QString& texto, int selector, const QString& lugar = QString()) const;

    // Plain text of a stored form; nullopt when it does not decipher (wrong key, wrong selector,
    // another place, tampered, truncated, not base64, empty, not UTF-8 text, the earlier form).
    // Never the stored text itself.
    std::optional<QString> descifrar(const QString& guardado, int selector,
                                     const QString& lugar = QString()) const;
    // Plain text of a value of the earlier form for `selector`; nullopt for anything else. Only
    // for sealing such a value again in its place: it tells nothing of where it belongs.
    std::optional<QString> descifrarAnterior(const QString& guardado, int selector) const;

    // Why `guardado` did not decipher, for the caller to say which value: "falta el valor" when it
    // is empty or blank, else that it does not belong to this installation's key.
    static QString motivoSinDescifrar(const QString& guardado);
    // The same for a value read for `selector` in the installation in `carpeta`; a value of the
    // earlier form under this key is told as such, with the command that seals it again.
    QString porQueNoDescifra(const QString& guardado, int selector, const QString& carpeta) const;
    // True when `guardado` is not of the current form: of the earlier one, or no stored form.
    static bool formaAnterior(const QString& guardado);
    // The place of a host setting ("MySQLUsuario", "MySQLPassword").
    static QString lugarAjuste(const QString& clave);
    // The place of a company's field: its Id and, for the server (selector 1), its port, which
    // is kept in plain text beside it and so is bound to the server's value.
    static QString lugarEmpresa(int id, int selector, int puerto = 0);

    Cifrado(const Cifrado& otro);
    Cifrado& operator=(const Cifrado& otro);
    Cifrado(Cifrado&& otro) noexcept;
    Cifrado& operator=(Cifrado&& otro) noexcept;
    ~Cifrado();

    static constexpr int tamanoClave = 32;
    static constexpr int selectorMaximo = 4;

private:
    Cifrado() = default;
    using Clave = std::array<unsigned char, tamanoClave>;
    bool subclave(int selector, Clave& sub) const;
    Clave clave_{};
};
