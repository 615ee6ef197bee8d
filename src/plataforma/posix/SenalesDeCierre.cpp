#include "plataforma/SenalesDeCierre.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace {
int tuberia[2] = {-1, -1};
volatile std::sig_atomic_t llegada = 0;
// A shutdown or `kill`, the session or terminal gone, Ctrl-C and Ctrl-\ at the terminal.
constexpr int Senales[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};

extern "C" void alRecibir(int) {
    llegada = 1;
    const char marca = 1;
    // Nothing else is safe in a signal handler; a full pipe already holds a mark.
    [[maybe_unused]] const ssize_t escrito = ::write(tuberia[1], &marca, 1);
}
}  // namespace

SenalesDeCierre::SenalesDeCierre(QObject* padre) : QObject(padre) {
    llegada = 0;
    if (::pipe2(tuberia, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // the signals keep their default action
    aviso_ = new QSocketNotifier(tuberia[0], QSocketNotifier::Read, this);
    connect(aviso_, &QSocketNotifier::activated, this, [this] {
        char marcas[16];
        while (::read(tuberia[0], marcas, sizeof marcas) > 0) {
        }
        emit recibida();
    });
    struct sigaction accion {};
    accion.sa_handler = alRecibir;
    sigemptyset(&accion.sa_mask);
    accion.sa_flags = SA_RESTART;
    for (int senal : Senales) ::sigaction(senal, &accion, nullptr);
    // A file that grows past the user's size limit fails its write, which is reported, instead of
    // ending the program with its working folder and the working table left behind.
    std::signal(SIGXFSZ, SIG_IGN);
}

SenalesDeCierre::~SenalesDeCierre() {
    for (int senal : Senales) std::signal(senal, SIG_DFL);
    delete aviso_;
    for (int& extremo : tuberia)
        if (extremo >= 0) {
            ::close(extremo);
            extremo = -1;
        }
}

bool SenalesDeCierre::llego() { return llegada != 0; }
