#include "basedatos/HuellaServidor.h"

#include <errmsg.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>

#include "basedatos/Conexion.h"
#include "plataforma/ConexionTcp.h"

namespace {

constexpr int MilisegundosDeEspera = 5000;
constexpr unsigned ClienteProtocolo41 = 0x0200, ClienteSsl = 0x0800, ClienteSeguro = 0x8000;

// The server's greeting: whether it offers TLS.
bool ofreceTls(ConexionTcp& tcp, bool* ofrece) {
    unsigned char cabecera[4];
    if (!tcp.leer(cabecera, sizeof cabecera)) return false;
    const size_t largo = cabecera[0] | (cabecera[1] << 8) | (cabecera[2] << 16);
    QByteArray saludo(static_cast<qsizetype>(largo), Qt::Uninitialized);
    if (!tcp.leer(reinterpret_cast<unsigned char*>(saludo.data()), largo)) return false;
    // Protocol 10: its number, the server's version (ends with NUL), the thread id (4), the
    // first part of the nonce (8), a filler (1), then the low half of its capabilities.
    const qsizetype fin = saludo.indexOf('\0', 1);
    if (saludo.isEmpty() || saludo.at(0) != 10 || fin < 0 || saludo.size() < fin + 16) return false;
    const auto capacidades =
        static_cast<unsigned>(static_cast<unsigned char>(saludo.at(fin + 14)) |
                              static_cast<unsigned char>(saludo.at(fin + 15)) << 8);
    *ofrece = (capacidades & ClienteSsl) != 0;
    return true;
}

// The request for TLS a client sends in place of its login.
bool pedirTls(ConexionTcp& tcp) {
    unsigned char paquete[4 + 32] = {32, 0, 0, 1};
    const unsigned capacidades = ClienteProtocolo41 | ClienteSsl | ClienteSeguro;
    for (int i = 0; i < 4; ++i) paquete[4 + i] = static_cast<unsigned char>(capacidades >> (8 * i));
    paquete[4 + 6] = 1;   // largest packet: 16 MiB
    paquete[4 + 8] = 45;  // utf8mb4
    return tcp.enviar(paquete, sizeof paquete);
}

QByteArray resumen(X509* certificado, const EVP_MD* metodo) {
    unsigned char datos[EVP_MAX_MD_SIZE];
    unsigned int largo = 0;
    if (X509_digest(certificado, metodo, datos, &largo) != 1) return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(datos), static_cast<qsizetype>(largo)).toHex();
}

}  // namespace

QByteArray HuellaSha1DeServidorFijado(const QString& host, int puerto, const QString& sha256,
                                      FalloBase* fallo) {
    const auto falla = [&](unsigned numero, const QString& texto) {
        *fallo = {numero, texto};
        return QByteArray();
    };
    ConexionTcp tcp;
    bool ofrece = false;
    if (!tcp.conectar(host, puerto, MilisegundosDeEspera) || !ofreceTls(tcp, &ofrece))
        return falla(
            CR_CONN_HOST_ERROR,
            QStringLiteral("Can't connect to server on '%1' to read its certificate").arg(host));
    if (!ofrece)
        return falla(CR_SSL_CONNECTION_ERROR,
                     QStringLiteral("SSL is required, but the server does not support it"));
    const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> contexto(
        SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    const std::unique_ptr<SSL, decltype(&SSL_free)> tls(
        contexto ? SSL_new(contexto.get()) : nullptr, SSL_free);
    // The certificate is judged by its fingerprint alone, so the handshake checks nothing else.
    if (!tls || !pedirTls(tcp) || SSL_set_fd(tls.get(), tcp.socket()) != 1 ||
        SSL_connect(tls.get()) != 1)
        return falla(CR_SSL_CONNECTION_ERROR,
                     QStringLiteral("TLS handshake to read the server's certificate failed"));
    const std::unique_ptr<X509, decltype(&X509_free)> certificado(
        SSL_get1_peer_certificate(tls.get()), X509_free);
    if (!certificado || resumen(certificado.get(), EVP_sha256()) != sha256.toLatin1())
        return falla(CR_SSL_CONNECTION_ERROR,
                     QStringLiteral("Fingerprint verification of server certificate failed"));
    return resumen(certificado.get(), EVP_sha1());
}
