#include "TerminalPrueba.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cstdlib>

TerminalPrueba::TerminalPrueba() {
    maestro_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (maestro_ < 0 || ::grantpt(maestro_) != 0 || ::unlockpt(maestro_) != 0) return;
    dispositivo_ = QString::fromLocal8Bit(::ptsname(maestro_));
    esclavo_ = ::open(::ptsname(maestro_), O_RDWR | O_NOCTTY);
}

TerminalPrueba::~TerminalPrueba() {
    if (esclavo_ >= 0) ::close(esclavo_);
    if (maestro_ >= 0) ::close(maestro_);
}

QByteArray TerminalPrueba::leido() {
    char bloque[4096];
    for (;;) {
        const ssize_t n = ::read(maestro_, bloque, sizeof bloque);
        if (n <= 0) break;
        leido_.append(bloque, n);
    }
    return leido_;
}

bool TerminalPrueba::esperar(const QByteArray& texto, int ms) {
    QElapsedTimer reloj;
    reloj.start();
    while (!leido().contains(texto)) {
        const qint64 queda = ms - reloj.elapsed();
        if (queda <= 0) return false;
        pollfd p{maestro_, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(queda));
    }
    return true;
}
