#pragma once
#include <QString>
#include <cstddef>

// A TCP connection of the program's own, for the few bytes it exchanges with a server before the
// client library takes over (reading a server's certificate). A server that does not answer ends
// the attempt within the given time, in the connect and in every read and write. Closed when it
// goes.
class ConexionTcp {
public:
    ConexionTcp() = default;
    ~ConexionTcp();
    ConexionTcp(const ConexionTcp&) = delete;
    ConexionTcp& operator=(const ConexionTcp&) = delete;

    // Connects to `host` ("" is this machine) on `puerto`, trying each of its addresses.
    bool conectar(const QString& host, int puerto, int milisegundos);
    // Reads exactly `largo` bytes; false when the connection ends or fails first.
    bool leer(unsigned char* destino, std::size_t largo);
    // Sends all `largo` bytes; false when the connection fails.
    bool enviar(const unsigned char* datos, std::size_t largo);
    // The system's socket, for a TLS library that works on it (SSL_set_fd).
    int socket() const { return static_cast<int>(socket_); }

private:
    long long socket_ = -1;
};
