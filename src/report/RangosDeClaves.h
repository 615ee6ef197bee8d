#pragma once
#include <QString>
#include <QVariant>
#include <utility>

class Conexion;

// Ranges of codes of a table (`tabla`, quoted), read one after another: each is
// (none or the lower bound, upper], the upper bound the code that lies `filas` codes on. Codes
// equal to a bound fall into the same range, so equal codes are never split and the order
// within the company is kept across ranges. A null code sorts first and goes with the first
// range. `parte` ("" or a condition with one "?" for `corte`) limits them to part of the codes.
class RangosDeClaves {
public:
    RangosDeClaves(Conexion& conexion, QString tabla, QString parte = QString(),
                   QVariant corte = QVariant())
        : conexion_(conexion),
          tabla_(std::move(tabla)),
          parte_(std::move(parte)),
          corte_(std::move(corte)) {}
    // The next range, of about `filas` codes: its condition (" WHERE ...", or "" for all) and the
    // values of its "?" in `valores`, appended. False with the server's error; `ultimo` tells
    // whether it is the last one, and `hasta` is its upper bound (null for the last).
    bool siguiente(qint64 filas, QString* condicion, QVariantList* valores, bool* ultimo,
                   QVariant* hasta, QString* error);

private:
    Conexion& conexion_;
    QString tabla_, parte_;
    QVariant corte_;
    QVariant desde_;
    bool primero_ = true;
};
