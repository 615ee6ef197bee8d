#pragma once
#include <QList>
#include <QString>

class HojaExcel;

// The report's sheet as laid out around its rows: the headings of rows 1 to 3 and the number
// format of the prices. The report and the benchmark's writer both lay it out here.

// A ticked company as its columns head it.
struct EmpresaEnHoja {
    int id = 0;
    QString nombre;  // its name in empresas ("datos<Id>" when it has no row)
};

// Rows 1 to 3: the title, then for each company "Datos<Id>", its name, and "Costo" and "Precio"
// over its pair; "Clave" and "Descripción" over the first two columns, with their widths. The
// panes freeze below the headings and right of the description, and the sheet prints landscape,
// one page wide, the headings on every page, the title above and the page number below.
void EncabezarHoja(HojaExcel& hoja, const QList<EmpresaEnHoja>& empresas);

// The costs and prices from row 4 down to the last row of `filas` rows (as far as a sheet holds,
// since a longer report goes on on further sheets, each laid out as the first) in `formato`, their
// columns as wide as the largest amount takes in it (AnchoPrecios).
void FormatearPrecios(HojaExcel& hoja, int numCampos, qint64 filas, const QString& formato);

// Characters a cost or price column takes for the largest amount in `formato`.
double AnchoPrecios(const QString& formato);
