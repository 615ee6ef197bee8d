#pragma once
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// The sheet the report fills, as the spreadsheet's automation objects take it: values, fonts,
// widths, number formats and the print setup set on cells and ranges, and rows copied from a
// source (the working table's recordset) that are read only as a writer walks the sheet. It
// writes nothing itself: the writers (EscritorLibro.h) walk it with recorrer.

// Sheet limits of the workbook formats we write.
inline constexpr int kMaxFilasHoja = 1048576;
inline constexpr int kMaxColumnasHoja = 16384;
// Longest text a cell holds; longer texts are cut to this many UTF-16 units.
inline constexpr int kMaxLargoTexto = 32767;

// A block of cells, 1-based, corners in any order ("C4:D3" covers rows 3 and 4, as the spreadsheet
// takes it).
struct Rango {
    int fila1 = 1, col1 = 1, fila2 = 1, col2 = 1;

    // "A1", "A1:B3", "C4:AB123"; letters in either case, "$" anchors allowed; nullopt when
    // malformed or outside the sheet (beyond column XFD or row 1048576).
    static std::optional<Rango> desdeTexto(const QString& a1);

    int filaMin() const { return fila1 < fila2 ? fila1 : fila2; }
    int filaMax() const { return fila1 < fila2 ? fila2 : fila1; }
    int colMin() const { return col1 < col2 ? col1 : col2; }
    int colMax() const { return col1 < col2 ? col2 : col1; }
    bool contiene(int fila, int col) const {
        return fila >= filaMin() && fila <= filaMax() && col >= colMin() && col <= colMax();
    }
    bool operator==(const Rango&) const = default;
};

// Rows copied into the sheet at save time, streamed one by one (the working table's recordset).
class FuenteFilas {
public:
    virtual ~FuenteFilas() = default;
    virtual bool siguiente(QVariantList& fila) = 0;  // false after the last row
    // Once siguiente answered false: why the rows stopped before their end ("" when they did
    // not). The save then fails, and an earlier file stays as it was.
    virtual QString error() const { return QString(); }
};

// What a cell position looks like: font and number format, resolved from the ranges set on it.
struct EstiloCelda {
    bool negrita = false;
    double tamano = 0;      // points; 0 means the writer's default font size
    QString formatoNumero;  // "" means the general format
    bool operator==(const EstiloCelda&) const = default;
};

// How the sheet shows and prints, kept once for the whole sheet (and for every further sheet of a
// long copy): the panes frozen above and left of a cell, the rows repeated at the top of every
// printed page, the page's orientation, how many pages wide the print is fitted to, and the texts
// of the page's header and footer in the spreadsheet's codes ("&C" centred, "&P" the page number,
// "&N" the number of pages).
struct DisposicionHoja {
    int filasFijas = 0;       // rows above the frozen panes
    int columnasFijas = 0;    // columns left of them
    int filasTitulo = 0;      // rows 1 to this printed on every page; 0 none
    bool horizontal = false;  // landscape
    int paginasAncho = 0;     // fitted to this many pages wide, as many tall as it takes; 0 not
    QString encabezado, pie;  // at most 255 characters each
    bool operator==(const DisposicionHoja&) const = default;
};

class HojaExcel {  // the one worksheet
public:
    // QString -> text; int/double -> number; bool -> logical; null/invalid -> empty cell;
    // any other type is written as its text.
    void ponerValor(int fila, int col, const QVariant& v);
    void ponerNegrita(const Rango& r, bool negrita = true);
    void ponerTamano(const Rango& r, double puntos);
    void ponerAnchoColumna(int col, double ancho);                    // character units
    void ponerFormatoNumero(const Rango& r, const QString& formato);  // e.g. "##,###,##0.00"
    // Copies every row of `fuente` from (fila, col) down, at save time; the caller keeps `fuente`
    // alive until guardarComo returns. Text stays text, numbers numbers, null an empty cell.
    // A later copy replaces an earlier one. Where copied cells and values set with ponerValor meet,
    // the later call wins, as it would in the spreadsheet.
    void copiarFilas(int fila, int col, FuenteFilas& fuente);
    void ponerDisposicion(const DisposicionHoja& d);

    const DisposicionHoja& disposicion() const { return disposicion_; }

    // --- used by the workbook backends ---

    // Column widths set, by 1-based column.
    const std::map<int, double>& anchosColumna() const { return anchos_; }
    // The first fault among the calls made (a cell outside the sheet, a bad width or size), "" when
    // none.
    QString errorPendiente() const;
    // Calls `celda` for every cell holding a value, and for every empty cell a font or number
    // format was set on (with a null value), strictly in row order and, within a row, in column
    // order, merging the values set with the copied rows, which are read from their source as it
    // goes and never held.
    //
    // A copy longer than the sheet goes on on further sheets: `nuevaHoja` is called with the
    // sheet's number (2, 3, ...), then the rows above the copy come again, with their values and
    // looks, and the copy goes on from its first row, so that every sheet reads as the first.
    // False, with `error`, when the copy runs off the sheet's columns, when a sheet cannot be
    // added, or when `celda` or `nuevaHoja` returns false (then `error` is left to them). The copy
    // is used up: it is dropped whatever the outcome.
    using VisitaCelda =
        std::function<bool(int fila, int col, const QVariant& v, const EstiloCelda& estilo)>;
    using NuevaHoja = std::function<bool(int hoja)>;
    bool recorrer(const VisitaCelda& celda, QString* error, const NuevaHoja& nuevaHoja = {});
    // Rows a sheet holds (the format's 1,048,576; tests make it small).
    void ponerFilasPorHoja(int filas) { filasPorHoja_ = filas; }
    // Forgets the copy without reading it (a save that fails before writing).
    void descartarCopia() { copia_.reset(); }

private:
    enum class Propiedad { Negrita, Tamano, Formato };
    struct Operacion {
        Rango rango;
        Propiedad propiedad;
        bool negrita;
        double tamano;
        QString formato;
    };
    struct Valor {
        QVariant v;
        std::uint64_t orden;
    };
    struct Copia {
        int fila, col;
        FuenteFilas* fuente;
        std::uint64_t orden;
    };
    void anotarError(const QString& texto);
    // The first row from `desde` that a range reaches, or `hasta` when none does before it.
    int primeraFilaConEstilo(int desde, int hasta) const;
    // The look of column `col` given the ranges that reach its row, later ones winning.
    EstiloCelda estiloEn(const std::vector<const Operacion*>& delRenglon, int col) const;
    bool rangoValido(const Rango& r, const char* llamada);
    // A walk of recorrer: where it stands among the values set and the copied rows.
    struct Recorrido;
    // The next copied row from the source; false, with `error`, when it runs off the columns or
    // the source stopped short.
    bool siguienteCopiada(Recorrido& r, QString* error) const;
    // The cells of row `fila`: values set and copied cells merged by column (the later call wins),
    // then the empty cells a look set on a range reaches.
    void celdasDeFila(Recorrido& r, int fila, bool copiaAqui) const;
    void vaciasConEstilo(Recorrido& r, int fila) const;

    std::map<std::pair<int, int>, Valor> valores_;
    std::vector<Operacion> operaciones_;  // in call order: a later one wins on the cells it covers
    std::map<int, double> anchos_;
    DisposicionHoja disposicion_;
    std::optional<Copia> copia_;
    std::uint64_t orden_ = 0;
    QString error_;
    int filasPorHoja_ = kMaxFilasHoja;
};
