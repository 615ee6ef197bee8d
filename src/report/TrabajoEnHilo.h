#pragma once
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class Conexion;

// Work for the server on a second connection to the host database, on a thread of its own, while
// the program's own connection goes on with something else. The connection is made, used and
// closed on that thread, set up for the client library; the work never touches the window or the
// program's own connection.
class TrabajoEnHilo {
public:
    struct Ajustes {
        QString servidor, usuario, password, base;
        int puerto = 3306;
    };
    // The work: true when done, false with the server's error.
    using Trabajo = std::function<bool(Conexion& conexion, QString* error)>;

    TrabajoEnHilo(Ajustes ajustes, Trabajo trabajo);
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
    Ajustes ajustes_;
    Trabajo trabajo_;
    std::thread hilo_;
    std::mutex mutex_;
    std::condition_variable fin_;
    bool terminado_ = false;
    bool bien_ = false;
    QString error_;
};
