#pragma once
#include <QString>
#include <QVariant>
#include <optional>

// The rules the writers share for what a cell's value and a column's width become in the file, so
// that the formats store one sheet alike.

// The text a cell holds for `texto`: NUL characters dropped, cut to kMaxLargoTexto UTF-16 units
// without splitting a surrogate pair.
QString textoDeCelda(const QString& texto);

// The number a cell value holds, for the writers: integers and floating types go in as doubles;
// anything else is not a number.
std::optional<double> numeroDeCelda(const QVariant& v);

// The width a workbook stores for a column of `ancho` characters, as Excel keeps it: the
// characters' pixels (7 each, 12 below one character) plus 5 of padding, in 1/256 of a character
// (15 -> 15.7109375). The .xls and .xlsx writers store it.
double anchoAlmacenado(double ancho);
