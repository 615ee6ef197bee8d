#pragma once
#include "libro/EscritorLibro.h"

// BIFF8 (.xls) backend: one worksheet in an OLE2 compound file, written by our own code.
//
// The sheet's records are streamed to a working file in `carpetaTemporal` while the shared
// string table and the font, format and cell-style tables are collected; then the compound file
// is written with the workbook globals (those tables included) followed by the sheet records.
// Memory grows with the distinct texts of the sheet, never with its cells.
//
// A cell beyond row 65536 or column 256 fails the whole write (false, Spanish text) before
// anything is written to `ruta`; callers check cabeEnXls (LimitesXls.h) first, this is the safety
// net.
class EscritorXls : public EscritorLibro {
public:
    bool escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                  QString* error) override;

private:
    // The sheet to a working file, then the workbook globals, then the compound file.
    static bool escribirHoja(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                             QString* error);
};
