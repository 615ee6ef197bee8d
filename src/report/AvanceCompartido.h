#pragma once
#include <QString>
#include <mutex>
#include <utility>

// Where a worker thread has got to (a database and a code), for the window's thread to show on
// the progress line while it waits for that worker.
class AvanceCompartido {
public:
    void poner(const QString& base, const QString& clave) {
        std::lock_guard<std::mutex> cerrojo(mutex_);
        base_ = base;
        clave_ = clave;
    }
    std::pair<QString, QString> tomar() const {
        std::lock_guard<std::mutex> cerrojo(mutex_);
        return {base_, clave_};
    }

private:
    mutable std::mutex mutex_;
    QString base_, clave_;
};
