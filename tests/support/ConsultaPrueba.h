#pragma once
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>

// Reading the private server back in the tests of the report: the rows of a query as root, and a
// compact text of a row that a data table can hold.
namespace consulta {
// Every row of `sql` (with `valores` bound to its "?"), run as root on `base`; false with the
// server's error in `error`.
bool filas(const QString& base, const QString& sql, QList<QVariantList>* resultado,
           const QVariantList& valores = {}, QString* error = nullptr);
// "NULL" for a null value, numbers in their shortest exact form, text as it is.
QString texto(const QVariant& v);
// The values of a row joined with "|".
QString textoFila(const QVariantList& fila);
// The rows of the working table of `base`, ordered by Clave, as textoFila.
QStringList tablaTrabajo(const QString& base, QString* error = nullptr);
}  // namespace consulta
