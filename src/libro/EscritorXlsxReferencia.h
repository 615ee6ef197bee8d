#pragma once
#include "libro/EscritorLibro.h"

// OOXML (.xlsx) backend on libxlsxwriter, the reference that the program's own writer
// (EscritorXlsx) is held to, chosen with EscritorOoxml::Libxlsxwriter. It writes in the library's
// constant-memory mode: the sheet is streamed out row by row, so a copy of any number of rows takes
// the same memory. The library's close, which copies and deflates the sheet into the package,
// reports as one step (AvanceCierre).
class EscritorXlsxReferencia : public EscritorLibro {
public:
    bool escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                  QString* error) override;
};
