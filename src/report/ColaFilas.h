#pragma once
#include <QString>
#include <QVariantList>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "libro/HojaExcel.h"

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
    // The rows stop before their end, for `motivo`: the writer gets no more of them and its save
    // fails (FuenteFilas::error), so no workbook short of rows is written.
    void abortar(const QString& motivo);
    // True once the writer has called cerrarLector; waits at most `ms` milliseconds for it.
    bool esperarLector(int ms);
    // The code (first value) of the row the writer has reached, to a batch; "" before the first.
    QString claveEnEscritura() const;
    // Once the writer has taken every row: the code at `fraccion` (0 to 1) of them, to a batch;
    // "" before that.
    QString claveEnFraccion(double fraccion) const;

    // Writer side.
    bool siguiente(QVariantList& fila) override;
    QString error() const override;
    void cerrarLector();

private:
    using Lote = std::vector<QVariantList>;
    static constexpr std::size_t FilasPorLote = 256;
    static constexpr std::size_t LotesEnEspera = 32;
    bool entregar(const std::function<void()>& esperando);

    mutable std::mutex mutex_;
    std::condition_variable cambio_;
    std::deque<Lote> lotes_;
    bool terminada_ = false;
    bool lectorCerrado_ = false;
    Lote armando_;  // reader's batch being filled
    Lote leyendo_;  // writer's batch being read
    std::size_t enLectura_ = 0;
    QString claveEnEscritura_;
    std::vector<QString> clavesDeLotes_;  // the first code of each batch the writer took
    bool tomadas_ = false;                // the writer has taken the last row
    QString error_;                       // why the rows stopped early
};
