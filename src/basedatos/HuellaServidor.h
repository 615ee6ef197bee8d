#pragma once
#include <QByteArray>
#include <QString>

struct FalloBase;

// A server pinned by the SHA-256 fingerprint of its certificate (a self-signed one, as a rule).
// The client library can only pin by SHA-1, so the certificate is first fetched here: a TLS
// handshake of its own, started as a client starts one (the server's greeting read, a request
// for TLS sent, no credentials at all). When its SHA-256 is the one pinned, the SHA-1 of that same
// certificate is what the session's own handshake is then held to, so the session meets the very
// certificate checked here. Empty, with the reason in `fallo`, when the server offers no TLS,
// cannot be reached, or shows another certificate.
QByteArray HuellaSha1DeServidorFijado(const QString& host, int puerto, const QString& sha256,
                                      FalloBase* fallo);
