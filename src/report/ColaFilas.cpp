#include "report/ColaFilas.h"

#include <algorithm>
#include <chrono>

namespace {
constexpr std::chrono::milliseconds PasoDeEspera{20};
}

bool ColaFilas::poner(QVariantList&& fila, const std::function<void()>& esperando) {
    armando_.push_back(std::move(fila));
    return armando_.size() < FilasPorLote || entregar(esperando);
}

bool ColaFilas::entregar(const std::function<void()>& esperando) {
    std::unique_lock<std::mutex> cerrojo(mutex_);
    while (!lectorCerrado_ && lotes_.size() >= LotesEnEspera) {
        if (!cambio_.wait_for(cerrojo, PasoDeEspera,
                              [this] { return lectorCerrado_ || lotes_.size() < LotesEnEspera; }) &&
            esperando) {
            cerrojo.unlock();
            esperando();
            cerrojo.lock();
        }
    }
    if (lectorCerrado_) return false;
    if (!armando_.empty()) {
        lotes_.push_back(std::move(armando_));
        armando_ = Lote();
        armando_.reserve(FilasPorLote);
        cambio_.notify_all();
    }
    return true;
}

void ColaFilas::terminar(const std::function<void()>& esperando) {
    entregar(esperando);
    std::lock_guard<std::mutex> cerrojo(mutex_);
    terminada_ = true;
    cambio_.notify_all();
}

bool ColaFilas::esperarLector(int ms) {
    std::unique_lock<std::mutex> cerrojo(mutex_);
    return cambio_.wait_for(cerrojo, std::chrono::milliseconds(ms),
                            [this] { return lectorCerrado_; });
}

bool ColaFilas::siguiente(QVariantList& fila) {
    if (enLectura_ == leyendo_.size()) {
        std::unique_lock<std::mutex> cerrojo(mutex_);
        cambio_.wait(cerrojo, [this] { return terminada_ || !lotes_.empty(); });
        if (lotes_.empty()) {
            tomadas_ = true;
            return false;
        }
        leyendo_ = std::move(lotes_.front());
        lotes_.pop_front();
        enLectura_ = 0;
        claveEnEscritura_ = leyendo_.front().value(0).toString();
        clavesDeLotes_.push_back(claveEnEscritura_);
        cambio_.notify_all();
    }
    fila = std::move(leyendo_[enLectura_++]);
    return true;
}

QString ColaFilas::claveEnEscritura() const {
    std::lock_guard<std::mutex> cerrojo(mutex_);
    return claveEnEscritura_;
}

void ColaFilas::abortar(const QString& motivo) {
    std::lock_guard<std::mutex> cerrojo(mutex_);
    error_ = motivo;
    lotes_.clear();
    armando_.clear();
    terminada_ = true;
    cambio_.notify_all();
}

QString ColaFilas::error() const {
    std::lock_guard<std::mutex> cerrojo(mutex_);
    return error_;
}

QString ColaFilas::claveEnFraccion(double fraccion) const {
    std::lock_guard<std::mutex> cerrojo(mutex_);
    if (!tomadas_ || clavesDeLotes_.empty()) return QString();
    const auto ultimo = clavesDeLotes_.size() - 1;
    return clavesDeLotes_[std::min(
        ultimo, static_cast<std::size_t>(fraccion * static_cast<double>(ultimo + 1)))];
}

void ColaFilas::cerrarLector() {
    std::lock_guard<std::mutex> cerrojo(mutex_);
    lectorCerrado_ = true;
    lotes_.clear();
    cambio_.notify_all();
}
