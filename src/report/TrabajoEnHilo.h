#pragma once
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "basedatos/BasesDD.h"

// Work for the server on a second connection to the host database, on a thread of its own, while
// the program's own connection goes on with something else. The connection is made, used and
// closed on that thread, set up for the client library, with a copy of the server's settings
// (BasesDD) taken when the work is made; the work never touches the window or the program's own
// connection.
class TrabajoEnHilo {
public:
    // The work: true when done, false with the server's error.
    using Trabajo = std::function<bool(Conexion& conexion, QString* error)>;

    // The work on database `base` of the server `servidor` names; `cargaLocal` for a session that
    // loads rows from memory (Conexion::cargarLocal).
    TrabajoEnHilo(BasesDD servidor, QString base, Trabajo trabajo, bool cargaLocal = false);
    ~TrabajoEnHilo();  // waits for the thread
    TrabajoEnHilo(const TrabajoEnHilo&) = delete;
    TrabajoEnHilo& operator=(const TrabajoEnHilo&) = delete;

    void empezar();
    // True once the work has ended (or never started); waits at most `ms` milliseconds for it.
    bool esperar(int ms);
    // Once ended: whether the work was done, and the reason when not.
    bool bien() const { return bien_; }
    QString error() const { return error_; }

private:
    BasesDD servidor_;
    QString base_;
    Trabajo trabajo_;
    std::thread hilo_;
    std::mutex mutex_;
    std::condition_variable fin_;
    bool cargaLocal_ = false;
    bool terminado_ = false;
    bool bien_ = false;
    QString error_;
};
