#pragma once
#include <QString>
#include <QVariant>
#include <functional>

class Conexion;

// Where the companies are merged before the rows reach the working table: a copy of the working
// table's definition (same columns, same key and collation, so codes compare as they do there) in
// the server's memory, private to the host connection. Merging into it is several times faster
// than into the working table itself, which then gets every row in one ordered pass.
//
// When the server does not offer such a table, or it fills up, the merge goes straight to the
// working table: vaciar() moves what was merged so far, and merging a company again after a
// failed attempt gives the same rows (the first product met still gives the description, the
// last one the pair).
class TablaIntermedia {
public:
    explicit TablaIntermedia(Conexion& principal);
    ~TablaIntermedia();  // drops the copy if it is still there
    TablaIntermedia(const TablaIntermedia&) = delete;
    TablaIntermedia& operator=(const TablaIntermedia&) = delete;

    // Makes the copy; false (and the merge goes to the working table) when it cannot be made.
    bool crear();
    bool activa() const { return activa_; }
    // The table to merge into now.
    QString destino() const;
    // Moves the rows up to code `hasta` (those after the last range moved) into the working
    // table, inside the transaction that vaciar() commits, so the working table still gets every
    // row or none. The export calls it after reading each range, while the workbook is written.
    // False with the server's error; what was moved is undone, and vaciar() starts again.
    bool moverHasta(const QVariant& hasta, QString* error);
    // Moves the rest of the merged rows into the working table, in ranges of codes with `latido`
    // between them, commits, and drops the copy; from then on destino() is the working table.
    // False with the server's error.
    bool vaciar(QString* error, const std::function<void()>& latido = {});

private:
    bool empezar(QString* error);
    bool mover(const QVariant& hasta, QString* error);
    bool fallar(const QString& motivo, QString* error);
    void descartar();
    Conexion& principal_;
    bool activa_ = false;
    bool enTransaccion_ = false;
    QVariant movidasHasta_;   // the last code moved so far (null: none yet)
};
