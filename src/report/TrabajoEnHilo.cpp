#include "report/TrabajoEnHilo.h"

#include <chrono>

#include "basedatos/BasesDD.h"
#include "basedatos/Biblioteca.h"

TrabajoEnHilo::TrabajoEnHilo(Ajustes ajustes, Trabajo trabajo)
    : ajustes_(std::move(ajustes)), trabajo_(std::move(trabajo)) {}

TrabajoEnHilo::~TrabajoEnHilo() {
    if (hilo_.joinable()) hilo_.join();
}

void TrabajoEnHilo::empezar() {
    hilo_ = std::thread([this] {
        const HiloBaseDatos hilo;
        BasesDD ajustes;
        ajustes.cRuta = ajustes_.servidor;
        ajustes.cUsuario = ajustes_.usuario;
        ajustes.cPassword = ajustes_.password;
        ajustes.cPuerto = ajustes_.puerto;
        {
            Conexion conexion;
            if (!ajustes.AbrirBdD(conexion, ajustes_.base))
                error_ = ajustes.ultimoError();
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
