#include "report/TrabajoEnHilo.h"

#include <chrono>

#include "basedatos/Biblioteca.h"

TrabajoEnHilo::TrabajoEnHilo(BasesDD servidor, QString base, Trabajo trabajo, bool cargaLocal)
    : servidor_(std::move(servidor)),
      base_(std::move(base)),
      trabajo_(std::move(trabajo)),
      cargaLocal_(cargaLocal) {}

TrabajoEnHilo::~TrabajoEnHilo() {
    if (hilo_.joinable()) hilo_.join();
}

void TrabajoEnHilo::empezar() {
    hilo_ = std::thread([this] {
        const HiloBaseDatos hilo;
        {
            Conexion conexion;
            if (!servidor_.AbrirBdD(conexion, base_, cargaLocal_))
                error_ = servidor_.ultimoError();
            else
                bien_ = trabajo_(conexion, &error_);
        }
        const std::lock_guard<std::mutex> cerrojo(mutex_);
        terminado_ = true;
        fin_.notify_all();
    });
}

bool TrabajoEnHilo::esperar(int ms) {
    if (!hilo_.joinable()) return true;
    {
        std::unique_lock<std::mutex> cerrojo(mutex_);
        if (!fin_.wait_for(cerrojo, std::chrono::milliseconds(ms), [this] { return terminado_; }))
            return false;
    }
    hilo_.join();
    return true;
}
