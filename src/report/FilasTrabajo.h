#pragma once
#include <QStringList>
#include <functional>
#include <vector>

#include "basedatos/Conexion.h"
#include "libro/HojaExcel.h"

// The working table's rows, ordered by code, streamed into the sheet: read in ranges of codes, so
// the program never holds more than one range and the first rows come at once. The row count is
// asked first, for the size checks of the sheet.
//
// The costs and prices of a row travel together as one text of the server's decimal forms, which
// read back to the very same doubles: one value per row instead of two per company, since the
// client's work per value, not the server's, is most of the read. The rows are streamed, their
// cells read in place.
class FilasTrabajo : public FuenteFilas {
public:
    // Opens `tablas` (the working table, or the parts of its copy in memory), read one after
    // another: every code of a table comes after those of the tables before it. False with the
    // server's error. `latido` runs after each row.
    bool abrir(Conexion& principal, const QStringList& tablas, std::function<void()> latido,
               QString* error);
    // True once every row has been handed out (the query no longer holds the connection).
    bool terminada() const { return terminada_; }
    qint64 cuenta() const { return cuenta_; }
    int numCampos() const { return campos_; }
    bool siguiente(QVariantList& fila) override;
    // The error that stopped the rows before their end ("" when they all came).
    QString error() const { return error_; }

private:
    bool consultar(const QVariant& desde);  // the range after `desde` (null: from the start)
    bool siguienteConsulta();               // the next range or table; false at the very end
    bool armarFila(QVariantList& fila);

    Conexion* principal_ = nullptr;
    QStringList tablas_;
    int indice_ = 0;            // the table being read
    QString origen_;            // its quoted name
    QString seleccion_;         // the select list: the other columns, then the doubles' text
    std::vector<bool> dobles_;  // by column of the table: whether it holds a double
    int otras_ = 0;             // columns that are not doubles
    Lectura consulta_;
    QVariant ultimaClave_;
    int enConsulta_ = 0;
    std::function<void()> latido_;
    qint64 cuenta_ = 0;
    int campos_ = 0;
    qint64 leidas_ = 0;
    bool empezada_ = false;
    bool terminada_ = false;
    QString error_;
};
