#pragma once
#include <QSqlQuery>
#include <functional>

#include "components/LibroExcel.h"

class Conexion;

// The working table's rows, ordered by code, streamed into the sheet: read in ranges of codes, so
// the program never holds more than one range and the first rows come at once. The row count is
// asked first, for the size checks of the sheet.
class FilasTrabajo : public FuenteFilas {
public:
    explicit FilasTrabajo(std::function<void()> latido = {}) : latido_(std::move(latido)) {}

    // Opens `tabla` (the working table or its copy in memory). False with the server's error.
    bool abrir(Conexion& principal, const QString& tabla, QString* error);
    // True once every row has been handed out (the query no longer holds the connection).
    bool terminada() const { return terminada_; }
    qint64 cuenta() const { return cuenta_; }
    int numCampos() const { return campos_; }
    bool siguiente(QVariantList& fila) override;
    // The error that stopped the rows before their end ("" when they all came).
    QString error() const { return error_; }

private:
    bool consultar(const QVariant& desde);  // the range after `desde` (null: from the start)

    Conexion* principal_ = nullptr;
    QString origen_;
    QSqlQuery consulta_;
    QVariant ultimaClave_;
    int enConsulta_ = 0;
    std::function<void()> latido_;
    qint64 cuenta_ = 0;
    int campos_ = 0;
    qint64 leidas_ = 0;
    bool terminada_ = false;
    QString error_;
};
