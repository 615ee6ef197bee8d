#pragma once
#include "components/LibroExcel.h"

// OOXML (.xlsx) backend, written with libxlsxwriter in its constant-memory mode: the sheet is
// streamed out row by row, so a copy of any number of rows takes the same memory.
class EscritorXlsx : public EscritorLibro {
public:
    bool escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                  QString* error) override;

    // The text a cell holds for `texto`: NUL characters dropped, cut to kMaxLargoTexto UTF-16 units
    // without splitting a surrogate pair.
    static QString textoDeCelda(const QString& texto);
};
