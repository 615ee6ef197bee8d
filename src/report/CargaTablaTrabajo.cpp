#include "report/CargaTablaTrabajo.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "basedatos/FilasCarga.h"

qint64 TextoCarga::dar(char* destino, qint64 tamano) {
    while (pendiente_.size() - dado_ < tamano && !agotadas_) {
        if (dado_ > 0) pendiente_.remove(0, dado_), dado_ = 0;
        if (!filas_.siguiente(fila_)) {
            agotadas_ = true;
            if (!filas_.error().isEmpty()) return -1;
            break;
        }
        AnadirFilaCarga(pendiente_, fila_);
    }
    const qint64 n = std::min<qint64>(tamano, pendiente_.size() - dado_);
    std::memcpy(destino, pendiente_.constData() + dado_, static_cast<size_t>(n));
    dado_ += n;
    return n;
}

CargaTablaTrabajo::CargaTablaTrabajo(BasesDD servidor, const QString& base, const QString& tabla)
    : trabajo_(
          std::move(servidor), base,
          [this, tabla](Conexion& conexion, QString* error) {
              // The client library ends a load cut short as if it were whole, and the server
              // keeps what it got: only the transaction's rollback undoes it.
              // The server waits for the rows while the merge waits for the companies' servers
              // and the writer: longer than its default half minute.
              TextoCarga texto(cola_);
              Transaccion transaccion(conexion);
              const bool hecho =
                  conexion.ejecutar(QStringLiteral("SET SESSION net_read_timeout = 600"), {},
                                    error) &&
                  transaccion.empezar(error) &&
                  conexion.cargarLocal(
                      SentenciaCarga(tabla),
                      [this, &texto](char* destino, qint64 tamano) {
                          avisarPedido();
                          return texto.dar(destino, tamano);
                      },
                      error) &&
                  transaccion.confirmar(error);
              cola_.cerrarLector();
              return hecho;
          },
          true) {}

CargaTablaTrabajo::~CargaTablaTrabajo() {
    abortar(QStringLiteral("la carga de la tabla de trabajo se interrumpió"));
}

void CargaTablaTrabajo::empezar() { trabajo_.empezar(); }

void CargaTablaTrabajo::avisarPedido() {
    const std::lock_guard<std::mutex> cerrojo(mutex_);
    if (pedida_) return;
    pedida_ = true;
    pedido_.notify_all();
}

bool CargaTablaTrabajo::esperarPedido(QString* error) {
    while (true) {
        {
            std::unique_lock<std::mutex> cerrojo(mutex_);
            if (pedido_.wait_for(cerrojo, std::chrono::milliseconds(50),
                                 [this] { return pedida_; }))
                return true;
        }
        if (trabajo_.esperar(0)) {
            if (error) *error = trabajo_.error();
            return false;
        }
    }
}

bool CargaTablaTrabajo::poner(QVariantList&& fila, const std::function<void()>& esperando) {
    return cola_.poner(std::move(fila), esperando);
}

bool CargaTablaTrabajo::terminar(const std::function<void()>& esperando, QString* error) {
    cola_.terminar(esperando);
    while (!trabajo_.esperar(50))
        if (esperando) esperando();
    if (!trabajo_.bien() && error) *error = trabajo_.error();
    return trabajo_.bien();
}

void CargaTablaTrabajo::abortar(const QString& motivo) { cola_.abortar(motivo); }
