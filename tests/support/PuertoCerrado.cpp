// ServidorPrueba::puertoCerrado, apart: it asks the POSIX sockets for a free port, and the tests
// built for Windows do without it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ServidorPrueba.h"

int ServidorPrueba::puertoCerrado() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof dir;
    int puerto = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&dir), sizeof dir) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&dir), &largo) == 0)
        puerto = ntohs(dir.sin_port);
    ::close(s);
    return puerto;
}
