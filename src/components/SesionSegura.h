#pragma once
#include <QString>
#include <functional>

class QSqlDatabase;
class QSqlError;

// What every database session of the program must be, host and company alike.
//
// No password is ever sent in clear: the client library only finds the authentication methods
// that never do (its native one, ed25519, and the SHA-2 ones), so a server, or anyone posing as
// one, that asks to switch to "mysql_clear_password" or "dialog" gets a refused login instead.
//
// With TLS set up in the host's settings (a CA file in "MySQLSSLCA", and "MySQLSSL" = "Sí" to
// require it), every session asks for TLS and checks the server's certificate against that CA
// (or, without one, against the system's CAs); a session the server left in clear is closed
// before any statement. The Qt 6.4 driver cannot compare the certificate's host name with the
// server's: a private CA that signs only the host's servers makes up for it.
struct AjustesTls {
    QString ca;              // the CA file; "" for none
    bool requerido = false;  // "MySQLSSL" = "Sí"
    bool activo() const { return requerido || !ca.isEmpty(); }
};

// The TLS settings of every session opened from now on.
void PonerTls(const AjustesTls& ajustes);
// The TLS settings of a host installation: "MySQLSSLCA" (a path, relative to the installation
// folder `carpeta` when not absolute) and "MySQLSSL" ("Sí", "Si", "1" or "true" require TLS), as
// `leer` answers for a key.
AjustesTls LeerAjustesTls(const std::function<QString(const QString&)>& leer,
                          const QString& carpeta);
AjustesTls TlsEnUso();

// Limits the client library to the authentication methods that send no password in clear. Runs
// once, before the first session; a later call does nothing.
void RestringirAutenticacion();

// The driver's connect options for TLS, to append to the others ("" when TLS is not set up);
// `error` says why when the CA file cannot be handed to the driver.
QString OpcionesTls(QString* error);

// After a session opened: "" when it is as it must be; otherwise why it is refused (TLS set up
// but the session is in clear).
QString ComprobarCifrado(QSqlDatabase& db);

// The reason of a login that failed, in Spanish when it is one of the refusals above (a request
// for a password in clear, a certificate of another CA, a server without TLS); "" otherwise.
QString MotivoRechazoSesion(const QSqlError& error);
