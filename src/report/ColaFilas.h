#pragma once
#include <QVariantList>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "components/LibroExcel.h"

// Rows handed from the thread that reads them from the database (the window's thread, which owns
// the connection) to the thread that writes the workbook. The reader side waits when the writer
// lags, but only in short steps, so the caller can refresh the progress line meanwhile; the
// writer side waits for rows as it needs them. Rows travel in batches to keep the locking cheap.
class ColaFilas : public FuenteFilas {
public:
    // Reader side. False when the writer no longer takes rows (it finished or failed); `esperando`
    // runs between the short waits while the queue is full.
    bool poner(QVariantList&& fila, const std::function<void()>& esperando);
    // No more rows (the last batch is handed over, waiting as poner does).
    void terminar(const std::function<void()>& esperando);
    // True once the writer has called cerrarLector; waits at most `ms` milliseconds for it.
    bool esperarLector(int ms);

    // Writer side.
    bool siguiente(QVariantList& fila) override;
    void cerrarLector();

private:
    using Lote = std::vector<QVariantList>;
    static constexpr std::size_t FilasPorLote = 256;
    static constexpr std::size_t LotesEnEspera = 32;
    bool entregar(const std::function<void()>& esperando);

    std::mutex mutex_;
    std::condition_variable cambio_;
    std::deque<Lote> lotes_;
    bool terminada_ = false;
    bool lectorCerrado_ = false;
    Lote armando_;   // reader's batch being filled
    Lote leyendo_;   // writer's batch being read
    std::size_t enLectura_ = 0;
};
