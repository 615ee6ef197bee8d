#include "programa/ReporteEnHilo.h"

#include <QThread>

#include "basedatos/Biblioteca.h"

ReporteEnHilo::ReporteEnHilo(QObject* padre) : QObject(padre) {}

ReporteEnHilo::~ReporteEnHilo() {
    if (!hilo_) return;
    detener_ = true;
    hilo_->wait();
}

void ReporteEnHilo::iniciar(const SolicitudReporte& solicitud, ConexionesReporte conexiones) {
    if (hilo_) return;
    detener_ = false;
    hilo_.reset(QThread::create([this, solicitud, conexiones] {
        const HiloBaseDatos biblioteca;
        resultado_ = GenerarReporte(solicitud, conexiones, [this](const QString& linea) {
            emit avance(linea);
            return !detener_;
        });
    }));
    // Delivered on this object's thread once the run's thread has ended.
    connect(hilo_.get(), &QThread::finished, this, &ReporteEnHilo::alTerminar,
            Qt::QueuedConnection);
    hilo_->start();
}

void ReporteEnHilo::alTerminar() {
    hilo_->wait();
    // The thread object goes once its own signal has been delivered everywhere.
    hilo_.release()->deleteLater();
    emit terminado(resultado_);
}
