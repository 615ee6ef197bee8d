#include "plataforma/SenalesDeCierre.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <mutex>

#include "plataforma/windows/Sistema.h"

// Windows asks a console program to end through its console control handler, which the system
// runs on a thread of its own: Ctrl-C and Ctrl-Break at the console, the console window closed, the
// session's logoff and the machine's shutdown.

namespace {
std::atomic<bool> llegada{false};
std::mutex guarda;                         // guards `actual` against its destruction
SenalesDeCierre* actual = nullptr;         // the object that emits `recibida`
HANDLE cerrado = nullptr;                  // set once the program has closed
constexpr DWORD EsperaDelCierreMs = 4000;  // the system allows about 5 s

BOOL WINAPI alRecibir(DWORD evento) {
    llegada = true;
    {
        const std::lock_guard<std::mutex> bloqueo(guarda);
        if (SenalesDeCierre* destino = actual)
            QMetaObject::invokeMethod(
                destino, [destino] { emit destino->recibida(); }, Qt::QueuedConnection);
    }
    // For these three the system ends the process as soon as the handler returns: wait, within
    // the time it allows, until the program has closed (saved the user's choices, dropped the
    // working table).
    if (evento == CTRL_CLOSE_EVENT || evento == CTRL_LOGOFF_EVENT || evento == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(cerrado, EsperaDelCierreMs);
    return TRUE;
}
}  // namespace

SenalesDeCierre::SenalesDeCierre(QObject* padre) : QObject(padre) {
    llegada = false;
    if (!cerrado) cerrado = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(cerrado);
    {
        const std::lock_guard<std::mutex> bloqueo(guarda);
        actual = this;
    }
    SetConsoleCtrlHandler(alRecibir, TRUE);
}

SenalesDeCierre::~SenalesDeCierre() {
    SetConsoleCtrlHandler(alRecibir, FALSE);
    {
        const std::lock_guard<std::mutex> bloqueo(guarda);
        actual = nullptr;
    }
    // The event stays for the life of the process: a handler still waiting on it must find it.
    SetEvent(cerrado);
}

bool SenalesDeCierre::llego() { return llegada; }
