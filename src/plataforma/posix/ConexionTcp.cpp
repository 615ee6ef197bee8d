#include "plataforma/ConexionTcp.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <QByteArray>

namespace {
void ponerEspera(int fd, int milisegundos) {
    const timeval espera{milisegundos / 1000, (milisegundos % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &espera, sizeof espera);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &espera, sizeof espera);
}
}  // namespace

ConexionTcp::~ConexionTcp() {
    if (socket_ >= 0) ::close(static_cast<int>(socket_));
}

bool ConexionTcp::conectar(const QString& host, int puerto, int milisegundos) {
    addrinfo pista{};
    pista.ai_socktype = SOCK_STREAM;
    addrinfo* direcciones = nullptr;
    const QByteArray nombre = host.isEmpty() ? QByteArrayLiteral("localhost") : host.toUtf8();
    if (::getaddrinfo(nombre.constData(), QByteArray::number(puerto).constData(), &pista,
                      &direcciones) != 0)
        return false;
    int fd = -1;
    for (addrinfo* d = direcciones; d && fd < 0; d = d->ai_next) {
        fd = ::socket(d->ai_family, d->ai_socktype | SOCK_CLOEXEC, d->ai_protocol);
        if (fd >= 0) ponerEspera(fd, milisegundos);
        if (fd >= 0 && ::connect(fd, d->ai_addr, d->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(direcciones);
    socket_ = fd;
    return fd >= 0;
}

bool ConexionTcp::leer(unsigned char* destino, std::size_t largo) {
    for (std::size_t hecho = 0; hecho < largo;) {
        const ssize_t n = ::recv(socket(), destino + hecho, largo - hecho, 0);
        if (n <= 0) return false;
        hecho += static_cast<std::size_t>(n);
    }
    return true;
}

bool ConexionTcp::enviar(const unsigned char* datos, std::size_t largo) {
    for (std::size_t hecho = 0; hecho < largo;) {
        const ssize_t n = ::send(socket(), datos + hecho, largo - hecho, MSG_NOSIGNAL);
        if (n <= 0) return false;
        hecho += static_cast<std::size_t>(n);
    }
    return true;
}
