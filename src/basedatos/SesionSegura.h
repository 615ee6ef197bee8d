#pragma once
#include <QString>
#include <functional>
#include <optional>

typedef struct st_mysql MYSQL;

// What every database session of the program must be, host and company alike: a server proves
// who it is before it gets anything.
//
// The login methods a server may ask for are limited by the client library itself: without
// verified TLS, only those that never reveal the password to the server (the native one and
// ed25519); with verified TLS, the SHA-2 ones too. The clear-text and dialog methods never.
//
// With TLS set up in the host's settings (a CA file in "MySQLSSLCA", "MySQLSSL" = "Sí", or a
// certificate fingerprint in "MySQLSSLHuella"), the library refuses the handshake before any
// credential leaves when the server offers no TLS, when its certificate is not signed by that CA
// (or, without one, by the system's), or when it was issued for another name than the server the
// host names; a pinned fingerprint must match the server's certificate.
struct AjustesTls {
    QString ca;              // the CA file; "" for the system's CAs
    bool requerido = false;  // "MySQLSSL" = "Sí"
    QString huella;          // SHA-256 of the server's certificate, in hex; "" for none
    bool activo() const { return requerido || !ca.isEmpty() || !huella.isEmpty(); }
};

// The TLS settings of the host's installation, for every session the program opens on the host's
// servers from now on.
void PonerTls(const AjustesTls& ajustes);
AjustesTls TlsEnUso();

// The TLS settings of a host installation, as `leer` answers for a key: "MySQLSSLCA" (a path,
// relative to the installation folder `carpeta` when not absolute), "MySQLSSL" ("Sí", "Si", "1",
// "true" require TLS; "No", "0", "false" or blank leave it to the other two) and
// "MySQLSSLHuella". nullopt, with a Spanish reason in `error`, for a value the program does not
// understand: TLS is never turned off by a typing slip.
std::optional<AjustesTls> LeerAjustesTls(const std::function<QString(const QString&)>& leer,
                                         const QString& carpeta, QString* error);

// Sets on `sesion`, before it connects, the login methods it accepts and the TLS it demands, as
// `ajustes` say; with a pinned fingerprint, `huellaSha1` is the SHA-1 of the certificate whose
// SHA-256 was found to be the one pinned (HuellaServidor.h). False, with the reason in `error`,
// when the CA file cannot be used.
bool ProtegerSesion(MYSQL* sesion, const AjustesTls& ajustes, const QByteArray& huellaSha1,
                    QString* error);

// The reason of a login that failed with `tls` asked for, in Spanish, when it is one of the
// refusals above (a login
// method the program does not allow, a server without TLS, a certificate of another CA or for
// another name, a fingerprint that does not match); "" otherwise.
QString MotivoRechazoSesion(unsigned numero, const QString& texto, const AjustesTls& tls);
