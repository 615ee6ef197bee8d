#pragma once
#include <QString>
#include <functional>
#include <memory>

#include "libro/HojaExcel.h"

// The workbook's file formats: what every writer offers, and which writer a file name gets.

// How far a writer has got, from 0 to 1, with what it still does once it has taken the sheet's
// last row. The writer's thread calls it. The libxlsxwriter writer reports its close, in which the
// library copies and deflates the whole sheet into the package, as one step: 0 as it starts, 1 once
// it ends. The other writers report nothing: what they do after the last row is short.
using AvanceCierre = std::function<void(double fraccion)>;

// A file format backend. Writes the whole sheet to `ruta` and closes it; false with a Spanish text
// in `error` on any failure. `carpetaTemporal` is where a backend may keep its working files.
class EscritorLibro {
public:
    virtual ~EscritorLibro() = default;
    virtual bool escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                          QString* error) = 0;
    // Where the writer reports its close; nowhere unless told.
    void ponerAvanceCierre(AvanceCierre avance) { avanceCierre_ = std::move(avance); }

protected:
    void avisarCierre(double fraccion) const {
        if (avanceCierre_) avanceCierre_(fraccion);
    }

private:
    AvanceCierre avanceCierre_;
};

// Which OOXML writer: the program's own streaming one, or libxlsxwriter, kept as its reference.
enum class EscritorOoxml { Propio, Libxlsxwriter };
// Whether a workbook of this name is written as BIFF8 (Excel 97-2003): a name ending ".xls", in
// any letter case, which Excel opens as such a workbook and complains when it holds OOXML.
bool esNombreXls(const QString& ruta);
// Whether a workbook of this name is written as CSV text: a name ending ".csv", in any letter case.
bool esNombreCsv(const QString& ruta);
// The backend for a file name: a name ending ".xls" (any case) gets BIFF8 (Excel 97-2003), one
// ending ".csv" CSV text, every other name OOXML (.xlsx), written by `ooxml`.
std::unique_ptr<EscritorLibro> escritorParaRuta(const QString& ruta,
                                                EscritorOoxml ooxml = EscritorOoxml::Propio);
