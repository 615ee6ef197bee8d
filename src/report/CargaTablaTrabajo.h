#pragma once
#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "basedatos/BasesDD.h"
#include "report/ColaFilas.h"
#include "report/TrabajoEnHilo.h"

// The text of a LOAD DATA LOCAL INFILE made from `filas` a few rows at a time, as the server asks
// for it (a FuenteCarga): rows stop early when their source stops with an error.
class TextoCarga {
public:
    explicit TextoCarga(FuenteFilas& filas) : filas_(filas) {}
    // Up to `tamano` bytes into `destino`; 0 after the last row, -1 when the rows stopped early.
    qint64 dar(char* destino, qint64 tamano);

private:
    FuenteFilas& filas_;
    QByteArray pendiente_;
    qsizetype dado_ = 0;
    QVariantList fila_;
    bool agotadas_ = false;
};

// The working table filled from the program's memory while the workbook is written: the merged
// rows are handed over here as they are made, and a thread of its own loads them into the table
// with one LOAD DATA LOCAL INFILE, in a transaction, on a second session of the host's server made
// for that load alone. No file is written on the way. Cut short, the load leaves the table as it
// was.
class CargaTablaTrabajo {
public:
    // Into `tabla` (the working table, made already with the rows' columns) of database `base` of
    // the server `servidor` names.
    CargaTablaTrabajo(BasesDD servidor, const QString& base, const QString& tabla);
    ~CargaTablaTrabajo();  // a load not finished is cut short
    CargaTablaTrabajo(const CargaTablaTrabajo&) = delete;
    CargaTablaTrabajo& operator=(const CargaTablaTrabajo&) = delete;

    void empezar();
    // Once started: waits until the server asks for the rows, which tells that it takes a load
    // from the program; false with the reason when the load failed before (the server does not
    // take local loads, or no session was left for it).
    bool esperarPedido(QString* error);
    // One row, its columns in the table's order. False when the load no longer takes rows (it
    // failed); `esperando` runs between short waits while the load lags.
    bool poner(QVariantList&& fila, const std::function<void()>& esperando);
    // No more rows: waits, running `esperando` between short waits, until the load has ended.
    // False with the reason when it failed.
    bool terminar(const std::function<void()>& esperando, QString* error);
    // Cuts the load short for `motivo`; the table keeps none of the rows.
    void abortar(const QString& motivo);

private:
    void avisarPedido();

    ColaFilas cola_;
    std::mutex mutex_;
    std::condition_variable pedido_;
    bool pedida_ = false;
    TrabajoEnHilo trabajo_;  // last: its work uses the members above
};
