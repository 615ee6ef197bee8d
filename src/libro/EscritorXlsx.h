#pragma once
#include <QByteArray>
#include <QString>

#include "libro/EscritorLibro.h"

// OOXML (.xlsx) backend that writes the package itself: the rows go out as sheet XML in the shape
// of Excel's own files (every cell with its reference, the layout's style indexes, text inline),
// deflated on every core as they come (ZipXlsx), so that a copy of any number of rows takes the
// same memory and the write keeps pace with the rows. The other parts are small fixed texts.
// Numbers are written in their shortest exact form, which reads back to the very same double.
// Sheets are named as a Spanish Excel names them: "Hoja1", "Hoja2", ...
class EscritorXlsx : public EscritorLibro {
public:
    bool escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                  QString* error) override;

    // A cell's text as the sheet's XML holds it, UTF-8: `& < >` escaped; characters XML cannot
    // hold (controls other than tab, line feed and carriage return; U+FFFE, U+FFFF) as _xHHHH_,
    // and the "_" of a text that already reads as such an escape as _x005F_, so that readers give
    // back the original.
    static QByteArray textoXml(const QString& texto);
    // The shortest decimal text that reads back to `valor` exactly.
    static QByteArray numeroXml(double valor);
};
