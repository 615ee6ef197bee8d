#include "plataforma/ConexionTcp.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <QByteArray>
#include <algorithm>
#include <climits>
#include <mutex>

namespace {
// Winsock is started once for the process, on the first connection, and left running.
bool iniciarWinsock() {
    static std::once_flag una;
    static bool iniciado = false;
    std::call_once(una, [] {
        WSADATA datos{};
        iniciado = WSAStartup(MAKEWORD(2, 2), &datos) == 0;
    });
    return iniciado;
}

void ponerEspera(SOCKET s, int milisegundos) {
    const DWORD espera = DWORD(std::max(milisegundos, 1));
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&espera), sizeof espera);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&espera), sizeof espera);
}

// Connects within `milisegundos`: SO_SNDTIMEO does not bound a connect on Windows, so the socket
// connects without blocking and the wait is select's.
bool conectarConEspera(SOCKET s, const addrinfo* d, int milisegundos) {
    u_long sinBloqueo = 1;
    if (ioctlsocket(s, FIONBIO, &sinBloqueo) != 0) return false;
    if (connect(s, d->ai_addr, int(d->ai_addrlen)) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
        fd_set escritura, fallo;
        FD_ZERO(&escritura);
        FD_ZERO(&fallo);
        FD_SET(s, &escritura);
        FD_SET(s, &fallo);
        timeval espera{milisegundos / 1000, (milisegundos % 1000) * 1000};
        if (select(0, nullptr, &escritura, &fallo, &espera) != 1 || !FD_ISSET(s, &escritura))
            return false;
        int error = 0;
        int largo = sizeof error;
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &largo) != 0 ||
            error != 0)
            return false;
    }
    sinBloqueo = 0;
    return ioctlsocket(s, FIONBIO, &sinBloqueo) == 0;
}

SOCKET comoSocket(long long s) { return static_cast<SOCKET>(s); }
}  // namespace

ConexionTcp::~ConexionTcp() {
    if (socket_ != -1) closesocket(comoSocket(socket_));
}

bool ConexionTcp::conectar(const QString& host, int puerto, int milisegundos) {
    if (!iniciarWinsock()) return false;
    addrinfo pista{};
    pista.ai_socktype = SOCK_STREAM;
    pista.ai_protocol = IPPROTO_TCP;
    addrinfo* direcciones = nullptr;
    const QByteArray nombre = host.isEmpty() ? QByteArrayLiteral("localhost") : host.toUtf8();
    if (getaddrinfo(nombre.constData(), QByteArray::number(puerto).constData(), &pista,
                    &direcciones) != 0)
        return false;
    SOCKET s = INVALID_SOCKET;
    for (addrinfo* d = direcciones; d && s == INVALID_SOCKET; d = d->ai_next) {
        // Not inherited by a program this one starts.
        s = ::socket(d->ai_family, d->ai_socktype, d->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
        ponerEspera(s, milisegundos);
        if (!conectarConEspera(s, d, milisegundos)) {
            closesocket(s);
            s = INVALID_SOCKET;
        }
    }
    freeaddrinfo(direcciones);
    socket_ = s == INVALID_SOCKET ? -1 : static_cast<long long>(s);
    return s != INVALID_SOCKET;
}

bool ConexionTcp::leer(unsigned char* destino, std::size_t largo) {
    for (std::size_t hecho = 0; hecho < largo;) {
        const int parte = int(std::min<std::size_t>(largo - hecho, INT_MAX));
        const int n = recv(comoSocket(socket_), reinterpret_cast<char*>(destino + hecho), parte, 0);
        if (n <= 0) return false;
        hecho += static_cast<std::size_t>(n);
    }
    return true;
}

bool ConexionTcp::enviar(const unsigned char* datos, std::size_t largo) {
    for (std::size_t hecho = 0; hecho < largo;) {
        const int parte = int(std::min<std::size_t>(largo - hecho, INT_MAX));
        const int n =
            send(comoSocket(socket_), reinterpret_cast<const char*>(datos + hecho), parte, 0);
        if (n <= 0) return false;
        hecho += static_cast<std::size_t>(n);
    }
    return true;
}
