#pragma once
#include <QHash>
#include <QString>
#include <QVariant>

// Reads a workbook back through tests/leer_libro.py (openpyxl), a reader independent of our writer.
struct CeldaLeida {
    QVariant v;  // text as QString, numbers as double, logicals as bool
    QString t;   // "s" text, "n" number, "b" logical
    bool negrita = false;
    double tamano = 0;
    QString formato;  // the number format, "General" when none was set
};

// How a sheet shows and prints, as the reader finds it.
struct DisposicionLeida {
    QString paneles;  // the first cell of the frozen lower right pane ("C4"), "" when none
    QString titulos;  // the rows printed on every page ("1:3"), "" when none
    bool horizontal = false;
    int paginasAncho = 0, paginasAlto = 0;  // 0 when not fitted; a height of 0 is "as it takes"
    QString encabezado, pie;                // centred texts
    bool operator==(const DisposicionLeida&) const = default;
};

struct LibroLeido {
    bool ok = false;
    QString error;                      // why the reading failed, with the reader's own message
    QHash<QString, CeldaLeida> celdas;  // non-empty cells by name ("A1")
    QHash<QString, CeldaLeida> vacias;  // empty cells that carry a font or number format
    int hojas = 0;                      // sheets of the workbook (.xlsx only)
    QHash<QString, double> anchos;      // stored widths by column letters (see anchoGuardado)
    int maxFila = 0, maxCol = 0;
    int filasConValor = 0, cuentaCeldas = 0;  // filled in by the summary reading only
    DisposicionLeida disposicion;

    bool hay(const QString& nombre) const { return celdas.contains(nombre); }
    // The cell, or an empty one (t "") when the cell is empty.
    CeldaLeida celda(const QString& nombre) const { return celdas.value(nombre); }
};

// Whether the readers can run here: they need this system's Python, which a Windows build of the
// tests run under wine does not have.
bool hayLectorDeLibros();
// In a test function: skips the rest of it where the readers cannot run.
#define REQUIERE_LECTOR()                                                                 \
    do {                                                                                  \
        if (!hayLectorDeLibros()) QSKIP("los libros se leen con Python, que aquí falta"); \
    } while (false)

// Every non-empty cell of sheet `hoja` (0 the first), its font and number format, widths, the
// sheet's extent and its print setup. A ".csv" file is read as a Spanish spreadsheet opens it: its
// cells only, numbers as numbers.
LibroLeido leerLibro(const QString& ruta, int hoja = 0);
// A streaming pass for big sheets: extent, rows and cells with a value, and the cells of the first
// and last rows holding one. No widths.
LibroLeido leerResumenLibro(const QString& ruta);

// What a workbook holds, to compare two of them: each part of an .xlsx package with its digest
// (all but the creation time's part), or the digest of any other file; "" when it cannot be read.
QString huellaLibro(const QString& ruta);

// The width Excel stores for a column of `ancho` characters, 15, 16 or 60 (15 -> 15.7109375, 60 ->
// 60.7109375); NaN for any other. Compare read widths with this, within 1/256.
double anchoGuardado(double ancho);
