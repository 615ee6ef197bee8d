#pragma once
#include <QString>
#include <memory>

#include "libro/EscritorLibro.h"
#include "libro/HojaExcel.h"

class CarpetaTrabajo;

// The workbook as the spreadsheet's automation objects offer it: an application, created from its
// class name, that adds a workbook; the workbook holds the one sheet (HojaExcel) and saves itself
// to a file with the writer its name calls for (EscritorLibro), first into a working folder
// beside the file and then, in one rename, over it.

class LibroExcel {
public:
    LibroExcel();
    ~LibroExcel();
    HojaExcel& hoja() { return hoja_; }  // Worksheets(1)
    // Writes the workbook to `ruta`: preparar, then reemplazar. On failure: false, `error` a
    // Spanish text, the earlier file at `ruta` untouched, no temporary file left.
    bool guardarComo(const QString& ruta, QString* error = nullptr);
    // Writes the whole workbook into a working folder of its own beside `ruta` and flushes it to
    // disk; nothing at `ruta` changes yet. False with a Spanish text (the system's reason in the
    // user's words); the working folder is gone then.
    bool preparar(const QString& ruta, QString* error = nullptr);
    // Renames the prepared workbook over `ruta`: the earlier file is replaced in one step, or
    // stays as it was. False with the reason.
    bool reemplazar(QString* error = nullptr);
    // Gives up the prepared workbook: `ruta` keeps the earlier file.
    void descartar();
    // The OOXML writer preparar uses (the program's own unless told).
    void ponerEscritorOoxml(EscritorOoxml ooxml) { ooxml_ = ooxml; }
    // Where the writer preparar uses reports its close (AvanceCierre), from the thread preparar
    // runs on.
    void ponerAvanceCierre(AvanceCierre avance) { avanceCierre_ = std::move(avance); }

private:
    HojaExcel hoja_;
    EscritorOoxml ooxml_ = EscritorOoxml::Propio;
    AvanceCierre avanceCierre_;
    std::unique_ptr<CarpetaTrabajo> preparado_;  // holds the workbook preparar wrote
    QString ruta_;
};

// The automation application: created from its class name.
class AplicacionExcel {
public:
    // "Excel.Application" (compared without regard to case) gives the writer; any other name gives
    // nullptr with a Spanish error, as a failed automation start would.
    static std::unique_ptr<AplicacionExcel> crear(const QString& clase, QString* error = nullptr);
    std::unique_ptr<LibroExcel> agregarLibro();  // Workbooks.Add

private:
    AplicacionExcel() = default;
};
