#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class Conexion;

// Where the companies are merged before the rows reach the working table: a copy of the working
// table's definition (same columns, same key and collation, so codes compare as they do there) in
// the server's memory, private to the host connection. Merging into it is several times faster
// than into the working table itself, which then gets every row in one ordered pass.
//
// The copy may come in two parts, when a second connection merges the upper codes at the same
// time (FusionEnDos): then both parts are memory tables of the host database, which both
// connections reach, and every code of the upper part comes after every code of the lower one.
// A lock of the server keeps the parts to one report of the host at a time.
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
    // The table to merge into now (the lower part when there are two).
    QString destino() const;
    // Makes the copy in two parts in place of the one; false (the copy stays in one part) when
    // they cannot be made, or another report on the same host holds them.
    bool partir();
    // The upper part's name; "" when the copy is in one part.
    QString parteAlta() const;
    // Drops the parts and makes the copy in one part again, empty, for merging again in one pass;
    // false with the server's error.
    bool reiniciar(QString* error);
    // The work of a second connection while this one reads the parts: every row of `tablas` into
    // the working table, in one transaction. False with the server's error, and nothing moved.
    static bool moverConOtra(Conexion& otra, const QStringList& tablas, QString* error);
    // That second connection has moved every row and committed: the copy is dropped, and
    // destino() is the working table.
    void vaciadaAparte() { descartar(); }
    // The tables the merged rows are in, in code order: the parts of the copy, or the working
    // table.
    QStringList tablas() const;
    // Moves every merged row into the working table, in ranges of codes with `latido` (given the
    // last code moved) between them, in one transaction (the working table gets every row or none),
    // and drops the copy; from then on destino() is the working table. False with the server's
    // error.
    bool vaciar(QString* error, const std::function<void(const QString& clave)>& latido = {});

private:
    bool moverTabla(const QString& tabla, const std::function<void(const QString& clave)>& latido,
                    QString* error);
    bool quitarPartes(QString* error = nullptr);
    void descartar();
    Conexion& principal_;
    bool activa_ = false;
    bool partida_ = false;  // in two parts
    bool cerrojo_ = false;  // this connection holds the lock of the parts
};
