#pragma once
#include "libro/EscritorLibro.h"

// CSV backend: the sheet's rows as text that a spreadsheet set up for Spanish opens as it is:
// UTF-8 with a byte-order mark, fields separated by ";", one line per sheet row from the first
// (the title and the headings come along), lines ended by CR LF. Numbers keep the digits the
// value holds, with a decimal point; a field holding ";", a quote or a line break goes between
// quotes, its quotes doubled (RFC 4180). Fonts, widths, number formats and the print setup have
// no place in a CSV file and are left out; a CSV file has no sheets, so every row goes on in it.
class EscritorCsv : public EscritorLibro {
public:
    bool escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                  QString* error) override;
    // One field as the file holds it.
    static QByteArray campo(const QVariant& v);
};
