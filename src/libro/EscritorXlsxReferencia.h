#pragma once
#include <optional>

#include "libro/EscritorLibro.h"

// OOXML (.xlsx) backend, written with libxlsxwriter in its constant-memory mode: the sheet is
// streamed out row by row, so a copy of any number of rows takes the same memory.
class EscritorXlsxReferencia : public EscritorLibro {
public:
    bool escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                  QString* error) override;
};

// How far, from 0 to 1, this process has read the largest of libxlsxwriter's working files under
// `carpetaTemporal`; nullopt when it holds none open. As the rows come the library writes the
// sheet into such a file; when the workbook closes it copies and deflates that file into the
// workbook, a step that reports nothing else: this lets the progress line follow it.
std::optional<double> LecturaTrabajoXlsx(const QString& carpetaTemporal);
