#include "libro/EscritorXls.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryFile>
#include <bit>
#include <cerrno>
#include <cmath>
#include <map>
#include <tuple>

#include "archivos/ErrorSistema.h"
#include "libro/ArchivoCompuesto.h"
#include "libro/Bytes.h"
#include "libro/Celdas.h"
#include "libro/LimitesXls.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Little-endian fields and record framing

using bytes::u16;
using bytes::u32;
using bytes::u8;
void f64(QByteArray& b, double v) { bytes::u64(b, std::bit_cast<std::uint64_t>(v)); }
void ponerU32En(QByteArray& b, qsizetype pos, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[pos + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Starts a record: its id and the length of the body that the caller appends next.
void cabecera(QByteArray& b, std::uint16_t id, std::uint16_t largo) {
    u16(b, id);
    u16(b, largo);
}
void registro(QByteArray& b, std::uint16_t id, const QByteArray& cuerpo) {
    cabecera(b, id, static_cast<std::uint16_t>(cuerpo.size()));
    b.append(cuerpo);
}
void registroU16(QByteArray& b, std::uint16_t id, std::uint16_t valor) {
    cabecera(b, id, 2);
    u16(b, valor);
}

// Excel refuses any record body longer than this; longer data goes on in CONTINUE records.
constexpr qsizetype kMaxCuerpo = 8224;

enum : std::uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kContinue = 0x003C,
    kSst = 0x00FC,
    kExtSst = 0x00FF,
    kBoundSheet = 0x0085,
    kFont = 0x0031,
    kFormat = 0x041E,
    kXf = 0x00E0,
    kColInfo = 0x007D,
    kDimensions = 0x0200,
    kRow = 0x0208,
    kNumber = 0x0203,
    kLabelSst = 0x00FD,
    kBoolErr = 0x0205,
    kBlank = 0x0201,
    kWindow2 = 0x023E,
    kStyle = 0x0293,
    // Sheet settings
    kCalcMode = 0x000D,
    kCalcCount = 0x000C,
    kRefMode = 0x000F,
    kIteration = 0x0011,
    kDelta = 0x0010,
    kSaveRecalc = 0x005F,
    kPrintHeaders = 0x002A,
    kPrintGridlines = 0x002B,
    kGridSet = 0x0082,
    kGuts = 0x0080,
    kDefaultRowHeight = 0x0225,
    kWsBool = 0x0081,
    kDefColWidth = 0x0055,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kSetup = 0x00A1,
    kPane = 0x0041,
    // Workbook settings
    kInterfaceHdr = 0x00E1,
    kMms = 0x00C1,
    kInterfaceEnd = 0x00E2,
    kWriteAccess = 0x005C,
    kCodePage = 0x0042,
    kDsf = 0x0161,
    kTabId = 0x013D,
    kFnGroupCount = 0x009C,
    kWindowProtect = 0x0019,
    kProtect = 0x0012,
    kPassword = 0x0013,
    kProt4Rev = 0x01AF,
    kProt4RevPass = 0x01BC,
    kBackup = 0x0040,
    kHideObj = 0x008D,
    kWindow1 = 0x003D,
    kDateMode = 0x0022,
    kPrecision = 0x000E,
    kRefreshAll = 0x01B7,
    kBookBool = 0x00DA,
    kUsesElfs = 0x0160,
    kCountry = 0x008C,
    kSupBook = 0x01AE,
    kExternSheet = 0x0017,
    kName = 0x0018,
};

void bof(QByteArray& b, std::uint16_t tipo) {
    cabecera(b, kBof, 16);
    u16(b, 0x0600);  // BIFF8
    u16(b, tipo);    // 0x0005 workbook globals, 0x0010 worksheet
    u16(b, 0x0DBB);  // build
    u16(b, 0x07CC);  // year
    u32(b, 0);
    u32(b, 6);  // lowest version that can read the file
}

// Text as BIFF8 keeps it: one byte per character when every UTF-16 unit fits in Latin-1 (never
// cp1252: U+20AC is not 0x80), UTF-16LE otherwise.
bool cabeEnLatin1(const QString& t) {
    for (const QChar c : t)
        if (c.unicode() > 0xFF) return false;
    return true;
}
void caracteres(QByteArray& b, const QChar* c, qsizetype n, bool comprimido) {
    if (comprimido) {
        for (qsizetype i = 0; i < n; ++i) u8(b, static_cast<std::uint8_t>(c[i].unicode()));
    } else {
        for (qsizetype i = 0; i < n; ++i) u16(b, c[i].unicode());
    }
}
// XLUnicodeString: u16 count of UTF-16 units, flags, characters.
void textoLargo(QByteArray& b, const QString& t) {
    const bool comprimido = cabeEnLatin1(t);
    u16(b, static_cast<std::uint16_t>(t.size()));
    u8(b, comprimido ? 0 : 1);
    caracteres(b, t.constData(), t.size(), comprimido);
}
// ShortXLUnicodeString: the count in one byte.
void textoCorto(QByteArray& b, const QString& t) {
    const bool comprimido = cabeEnLatin1(t);
    u8(b, static_cast<std::uint8_t>(t.size()));
    u8(b, comprimido ? 0 : 1);
    caracteres(b, t.constData(), t.size(), comprimido);
}

// Font height in twips for a cell style; 0 points is the default 10-point font.
std::uint16_t altoFuente(const EstiloCelda& e) {
    return e.tamano > 0 ? static_cast<std::uint16_t>(std::lround(e.tamano * 20)) : 200;
}

// The stored column width for `ancho` characters, in 1/256 of the default font's '0', as the
// OOXML workbooks store it, so that Excel shows the width asked for.
std::uint16_t anchoGuardado(double ancho) {
    return static_cast<std::uint16_t>(anchoAlmacenado(ancho) * 256);
}

// ---------------------------------------------------------------------------------------------
// Fonts, number formats and cell XFs

class TablaEstilos {
public:
    TablaEstilos() {
        // Records 0 to 3 are the default font (0) and its bold form (1); index 4 is never used.
        fuentes_ = {{false, 200}, {true, 200}, {false, 200}, {false, 200}};
        indiceFuente_[{false, 200}] = 0;
        indiceFuente_[{true, 200}] = 1;
    }

    // The XF of a cell style: 15 for the plain style, 16 onwards for the others.
    std::optional<std::uint16_t> xfPara(const EstiloCelda& e, QString* error) {
        if (ultimo_ && e == ultimo_->first) return ultimo_->second;
        std::uint16_t xf = kXfCeldaPredeterminado;
        const std::uint16_t alto = altoFuente(e);
        const bool general =
            e.formatoNumero.isEmpty() ||
            e.formatoNumero.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0;
        if (e.negrita || alto != 200 || !general) {
            const auto clave =
                std::make_tuple(e.negrita, alto, general ? QString() : e.formatoNumero);
            if (const auto it = indiceXf_.find(clave); it != indiceXf_.end()) {
                xf = it->second;
            } else {
                const auto fuente = fuentePara(e.negrita, alto, error);
                if (!fuente) return std::nullopt;
                const auto formato =
                    general ? std::optional<std::uint16_t>(0) : formatoPara(e.formatoNumero, error);
                if (!formato) return std::nullopt;
                if (kXfCeldaPredeterminado + 1 + xfs_.size() > kMaxXf) {
                    if (error)
                        *error = QStringLiteral(
                            "la hoja usa más combinaciones de letra y formato de las que admite "
                            "un libro .xls.");
                    return std::nullopt;
                }
                xfs_.push_back({*fuente, *formato});
                xf = static_cast<std::uint16_t>(kXfCeldaPredeterminado + xfs_.size());
                indiceXf_.emplace(clave, xf);
            }
        }
        ultimo_ = std::make_pair(e, xf);
        return xf;
    }

    // FONT, FORMAT, XF and STYLE records, in the order the globals take them.
    void registros(QByteArray& b) const {
        for (const Fuente& f : fuentes_) {
            QByteArray c;
            u16(c, f.alto);
            u16(c, f.negrita ? 0x0001 : 0x0000);  // bold flag: some readers look only at it
            u16(c, 0x7FFF);                       // automatic colour
            u16(c, f.negrita ? 700 : 400);        // weight
            u16(c, 0);                            // no super/subscript
            u8(c, 0);                             // no underline
            u8(c, 0);                             // family
            u8(c, 0);                             // charset
            u8(c, 0);
            textoCorto(c, QStringLiteral("Arial"));
            registro(b, kFont, c);
        }
        for (std::size_t i = 0; i < formatos_.size(); ++i) {
            QByteArray c;
            u16(c, static_cast<std::uint16_t>(kPrimerFormato + i));
            textoLargo(c, formatos_[i]);
            registro(b, kFormat, c);
        }
        // The 15 style XFs (Normal, then the outline styles), the default cell XF, then ours.
        for (int i = 0; i < 15; ++i) xf(b, 0, 0, true, i == 0 ? 0x00 : 0xF4);
        xf(b, 0, 0, false, 0x00);
        for (const Xf& x : xfs_) xf(b, x.fuente, x.formato, false, 0xFC);
        cabecera(b, kStyle, 4);  // built-in Normal on XF 0
        u16(b, 0x8000);
        u8(b, 0);
        u8(b, 0xFF);
    }

private:
    static constexpr std::uint16_t kXfCeldaPredeterminado = 15;
    static constexpr std::size_t kMaxXf = 4050;
    static constexpr std::size_t kMaxFuentes = 510;
    static constexpr std::size_t kMaxFormatos = 218;
    static constexpr std::uint16_t kPrimerFormato = 164;
    static constexpr qsizetype kMaxLargoFormato = 255;

    struct Fuente {
        bool negrita;
        std::uint16_t alto;
    };
    struct Xf {
        std::uint16_t fuente, formato;
    };

    static void xf(QByteArray& b, std::uint16_t fuente, std::uint16_t formato, bool deEstilo,
                   std::uint8_t usados) {
        cabecera(b, kXf, 20);
        u16(b, fuente);
        u16(b, formato);
        u16(b, deEstilo ? 0xFFF5 : 0x0001);  // locked; style XF with no parent, or child of Normal
        u8(b, 0x20);                         // general alignment, bottom
        u8(b, 0);
        u8(b, 0);
        u8(b, usados);
        u32(b, 0);  // no borders
        u32(b, 0);  // no fill
        u16(b, 0x20C0);
    }

    std::optional<std::uint16_t> fuentePara(bool negrita, std::uint16_t alto, QString* error) {
        if (const auto it = indiceFuente_.find({negrita, alto}); it != indiceFuente_.end())
            return it->second;
        if (fuentes_.size() >= kMaxFuentes) {
            if (error)
                *error = QStringLiteral(
                    "la hoja usa más tipos de letra de los que admite un libro .xls.");
            return std::nullopt;
        }
        fuentes_.push_back({negrita, alto});
        // The record after the fourth is font 5: index 4 does not exist.
        const auto indice = static_cast<std::uint16_t>(fuentes_.size());
        indiceFuente_[{negrita, alto}] = indice;
        return indice;
    }

    std::optional<std::uint16_t> formatoPara(const QString& formato, QString* error) {
        if (const auto it = indiceFormato_.constFind(formato); it != indiceFormato_.cend())
            return it.value();
        if (formato.size() > kMaxLargoFormato) {
            if (error)
                *error = QStringLiteral(
                             "el formato de número '%1…' pasa de %2 caracteres, el máximo de un "
                             "libro .xls.")
                             .arg(formato.left(20))
                             .arg(kMaxLargoFormato);
            return std::nullopt;
        }
        if (formatos_.size() >= kMaxFormatos) {
            if (error)
                *error = QStringLiteral(
                    "la hoja usa más formatos de número de los que admite un libro .xls.");
            return std::nullopt;
        }
        formatos_.push_back(formato);
        const auto id = static_cast<std::uint16_t>(kPrimerFormato + formatos_.size() - 1);
        indiceFormato_.insert(formato, id);
        return id;
    }

    std::vector<Fuente> fuentes_;
    std::map<std::pair<bool, std::uint16_t>, std::uint16_t> indiceFuente_;
    std::vector<QString> formatos_;
    QHash<QString, std::uint16_t> indiceFormato_;
    std::vector<Xf> xfs_;
    std::map<std::tuple<bool, std::uint16_t, QString>, std::uint16_t> indiceXf_;
    std::optional<std::pair<EstiloCelda, std::uint16_t>> ultimo_;  // most cells repeat the last
};

// ---------------------------------------------------------------------------------------------
// Shared string table

struct EntradaExtSst {
    std::uint32_t posicion;    // stream offset of the string's header
    std::uint16_t enRegistro;  // its offset within its record, the record header included
};

class TablaTextos {
public:
    std::uint32_t indice(const QString& t) {
        ++referencias_;
        const auto it = indices_.constFind(t);
        if (it != indices_.cend()) return it.value();
        const auto i = static_cast<std::uint32_t>(textos_.size());
        textos_.push_back(t);  // shares the hash key's characters
        indices_.insert(t, i);
        return i;
    }
    // No more lookups: frees the hash, keeping the texts in index order.
    void cerrar() { indices_ = {}; }

    // Strings per EXTSST bucket, as Excel sizes them.
    std::uint16_t porCubeta() const {
        return textos_.size() < 1024 ? 8 : static_cast<std::uint16_t>(textos_.size() / 128 + 1);
    }

    // Emits the SST record and its CONTINUE records, `emitir(id, body)` each, for a table that
    // starts at stream offset `base`; fills `cubetas` with the EXTSST entries when given.
    template <class Emitir>
    void volcar(std::uint64_t base, Emitir&& emitir, std::vector<EntradaExtSst>* cubetas) const {
        QByteArray bloque;
        bloque.reserve(kMaxCuerpo);
        u32(bloque, referencias_);
        u32(bloque, static_cast<std::uint32_t>(textos_.size()));
        std::uint64_t emitido = 0;
        bool primero = true;
        auto cerrarBloque = [&]() {
            emitir(primero ? kSst : kContinue, bloque);
            emitido += 4 + static_cast<std::uint64_t>(bloque.size());
            primero = false;
            bloque.clear();
        };
        const std::uint16_t n = porCubeta();
        for (std::size_t i = 0; i < textos_.size(); ++i) {
            const QString& t = textos_[i];
            const bool comprimido = cabeEnLatin1(t);
            const qsizetype ancho = comprimido ? 1 : 2;
            // A string's header stays in the record that holds its first character.
            if (bloque.size() + 3 + (t.isEmpty() ? 0 : ancho) > kMaxCuerpo) cerrarBloque();
            if (cubetas && i % n == 0)
                cubetas->push_back(
                    {static_cast<std::uint32_t>(base + emitido + 4 +
                                                static_cast<std::uint64_t>(bloque.size())),
                     static_cast<std::uint16_t>(4 + bloque.size())});
            u16(bloque, static_cast<std::uint16_t>(t.size()));
            u8(bloque, comprimido ? 0 : 1);
            qsizetype hecho = 0;
            while (hecho < t.size()) {
                qsizetype caben = (kMaxCuerpo - bloque.size()) / ancho;
                qsizetype tramo = std::min(caben, t.size() - hecho);
                // Never split a surrogate pair across records.
                if (tramo > 0 && tramo < t.size() - hecho && t[hecho + tramo - 1].isHighSurrogate())
                    --tramo;
                caracteres(bloque, t.constData() + hecho, tramo, comprimido);
                hecho += tramo;
                if (hecho < t.size()) {
                    // The characters go on in a CONTINUE that opens with the flags byte again.
                    cerrarBloque();
                    u8(bloque, comprimido ? 0 : 1);
                }
            }
        }
        cerrarBloque();
    }

    std::size_t cuantos() const { return textos_.size(); }

private:
    QHash<QString, std::uint32_t> indices_;
    std::vector<QString> textos_;
    std::uint32_t referencias_ = 0;  // LABELSST cells
};

// ---------------------------------------------------------------------------------------------
// The sheet substream, written to a working file

class HojaEnArchivo {
public:
    explicit HojaEnArchivo(QFileDevice& archivo) : archivo_(archivo) { buffer_.reserve(kTope * 2); }

    QByteArray& buffer() { return buffer_; }
    qint64 posicion() const { return escrito_ + buffer_.size(); }
    bool vaciarSiLleno() { return buffer_.size() < kTope || vaciar(); }
    bool vaciar() {
        if (buffer_.isEmpty()) return true;
        if (archivo_.write(buffer_) != buffer_.size()) return false;
        escrito_ += buffer_.size();
        buffer_.clear();
        return true;
    }

private:
    static constexpr qsizetype kTope = 1 << 16;
    QFileDevice& archivo_;
    QByteArray buffer_;
    qint64 escrito_ = 0;
};

// The cells of one row, held until the row ends so that its ROW record can go first.
struct FilaPendiente {
    int fila = 0;  // 1-based; 0 when none
    int primeraCol = 0, ultimaCol = 0;
    std::uint16_t altoMaximo = 0;
    QByteArray celdas;
};

void escribirFila(QByteArray& b, const FilaPendiente& f) {
    cabecera(b, kRow, 16);
    u16(b, static_cast<std::uint16_t>(f.fila - 1));
    u16(b, static_cast<std::uint16_t>(f.primeraCol - 1));
    u16(b, static_cast<std::uint16_t>(f.ultimaCol));
    // A row holding a font bigger than the default is made tall enough for it (18 points: 465
    // twips), as Excel does on its own; the height is marked as set so readers keep it.
    const bool alta = f.altoMaximo > 200;
    const std::uint16_t alto =
        alta ? static_cast<std::uint16_t>(std::lround(f.altoMaximo * 1.29 / 15.0) * 15)
             : std::uint16_t{255};
    u16(b, alto);
    u16(b, 0);
    u16(b, 0);
    u32(b, alta ? 0x140 : 0x100);
    b.append(f.celdas);
}

// What a cell holds as the format keeps it; a value it cannot keep (NaN, infinity, empty text)
// leaves the cell empty, as a cell that holds nothing.
struct ValorXls {
    std::optional<double> numero;
    QString texto;
    bool logico = false;
    bool vacia = false;
};
ValorXls valorXls(const QVariant& v) {
    ValorXls r{numeroDeCelda(v), QString(), v.typeId() == QMetaType::Bool, v.isNull()};
    if (r.numero) {
        r.vacia = !std::isfinite(*r.numero);
    } else if (!r.logico && !r.vacia) {
        r.texto = textoDeCelda(v.toString());
        r.vacia = r.texto.isEmpty();
    }
    return r;
}

// The sheet substream, written to a working file that goes away with it, while the shared
// strings and the cell styles are collected for the workbook globals.
class HojaXls {
public:
    explicit HojaXls(const QString& carpeta)
        : carpeta_(carpeta),
          temporal_(carpeta + QStringLiteral("/.varelmo-hoja-XXXXXX.tmp")),
          salida_(temporal_) {}

    bool abrir(QString* error) {
        if (temporal_.open()) return true;
        *error = QStringLiteral("no se pudo crear un archivo de trabajo en '%1' (%2).")
                     .arg(carpeta_, temporal_.errorString());
        return false;
    }
    // The sheet's settings and column widths, before its cells.
    void preambulo(const std::map<int, double>& anchos, const DisposicionHoja& disposicion);
    // One cell, in row order; false with the reason in error().
    bool celda(int fila, int col, const QVariant& v, const EstiloCelda& estilo);
    // The last row, the window settings and the sheet's extent; false when the working file
    // could not be written.
    bool terminar();
    QString error() const { return error_; }
    QString errorTemporal() const { return temporal_.errorString(); }
    // `numero`: errno right after the failed write.
    QString errorArchivo(int numero) const {
        return QStringLiteral("no se pudo escribir el archivo de trabajo (%1).")
            .arg(MotivoEscritura(temporal_, numero));
    }
    // Copies the sheet substream to `d`.
    bool copiarA(QIODevice& d);
    qint64 largo() const { return temporal_.size(); }
    TablaEstilos& estilos() { return estilos_; }
    TablaTextos& textos() { return textos_; }

private:
    bool cerrarFila();
    void anotarCelda(int fila, int col, std::uint16_t alto);
    QByteArray dimensiones() const;

    QString carpeta_;
    QTemporaryFile temporal_;
    HojaEnArchivo salida_;
    qint64 posDimensiones_ = 0;
    TablaEstilos estilos_;
    TablaTextos textos_;
    FilaPendiente pendiente_;
    DisposicionHoja disposicion_;
    int filaMin_ = 0, filaMax_ = 0, colMin_ = 0, colMax_ = 0;
    QString error_;
};

// The page setup: header, footer, not centred, and the SETUP record with the orientation and the
// pages the print is fitted to (used when WSBOOL asks for fitting).
void paginaXls(QByteArray& b, const DisposicionHoja& d) {
    for (const auto& [id, texto] :
         {std::pair{kHeader, &d.encabezado}, std::pair{kFooter, &d.pie}}) {
        QByteArray cuerpo;
        if (!texto->isEmpty()) textoLargo(cuerpo, *texto);
        registro(b, id, cuerpo);
    }
    registroU16(b, kHCenter, 0);
    registroU16(b, kVCenter, 0);
    cabecera(b, kSetup, 34);
    u16(b, 0);    // paper: the printer's own
    u16(b, 100);  // scale, when not fitted
    u16(b, 1);    // first page number
    u16(b, static_cast<std::uint16_t>(d.paginasAncho > 0 ? d.paginasAncho : 1));
    u16(b, 0);                               // as many pages tall as it takes
    u16(b, d.horizontal ? 0x0000 : 0x0002);  // portrait bit; the settings are valid
    u16(b, 600);                             // resolution
    u16(b, 600);
    f64(b, 0.3);  // header and footer margins, inches
    f64(b, 0.3);
    u16(b, 1);  // copies
}

// The frozen panes: the pane record after WINDOW2, which marks them frozen.
void panelesXls(QByteArray& b, const DisposicionHoja& d) {
    if (d.filasFijas == 0 && d.columnasFijas == 0) return;
    cabecera(b, kPane, 10);
    u16(b, static_cast<std::uint16_t>(d.columnasFijas));
    u16(b, static_cast<std::uint16_t>(d.filasFijas));
    u16(b, static_cast<std::uint16_t>(d.filasFijas));     // first row of the lower pane
    u16(b, static_cast<std::uint16_t>(d.columnasFijas));  // first column of the right pane
    // The active pane: lower right (0), upper right (1) or lower left (2).
    u8(b, d.filasFijas && d.columnasFijas ? 0 : d.filasFijas ? 2 : 1);
    u8(b, 0);
}

void HojaXls::preambulo(const std::map<int, double>& anchos, const DisposicionHoja& disposicion) {
    disposicion_ = disposicion;
    QByteArray& b = salida_.buffer();
    bof(b, 0x0010);
    registroU16(b, kCalcMode, 1);  // automatic
    registroU16(b, kCalcCount, 100);
    registroU16(b, kRefMode, 1);  // A1
    registroU16(b, kIteration, 0);
    cabecera(b, kDelta, 8);
    f64(b, 0.001);
    registroU16(b, kSaveRecalc, 0);
    registroU16(b, kPrintHeaders, 0);
    registroU16(b, kPrintGridlines, 0);
    registroU16(b, kGridSet, 1);
    cabecera(b, kGuts, 8);  // no outline
    u32(b, 0);
    u32(b, 0);
    cabecera(b, kDefaultRowHeight, 4);
    u16(b, 0);
    u16(b, 255);
    // Outline symbols shown, automatic page breaks; 0x0100 fits the print to the SETUP's pages.
    registroU16(b, kWsBool, disposicion.paginasAncho > 0 ? 0x05C1 : 0x04C1);
    paginaXls(b, disposicion);
    registroU16(b, kDefColWidth, 8);
    for (const auto& [col, ancho] : anchos) {
        // A width set beyond the .xls grid has no column to go to; its cells, if any, fail.
        if (col > kMaxColumnasXls) continue;
        cabecera(b, kColInfo, 12);
        u16(b, static_cast<std::uint16_t>(col - 1));
        u16(b, static_cast<std::uint16_t>(col - 1));
        u16(b, anchoGuardado(ancho));
        u16(b, 15);                  // default cell XF
        u16(b, ancho == 0 ? 1 : 0);  // width 0 hides the column
        u16(b, 0);
    }
    posDimensiones_ = salida_.posicion() + 4;
    cabecera(b, kDimensions, 14);
    b.append(QByteArray(14, '\0'));  // filled in once every cell is known
}

bool HojaXls::cerrarFila() {
    if (pendiente_.fila == 0) return true;
    escribirFila(salida_.buffer(), pendiente_);
    pendiente_.fila = 0;
    pendiente_.celdas.clear();
    if (salida_.vaciarSiLleno()) return true;
    error_ = errorArchivo(errno);
    return false;
}

void HojaXls::anotarCelda(int fila, int col, std::uint16_t alto) {
    pendiente_.ultimaCol = col;
    pendiente_.altoMaximo = std::max(pendiente_.altoMaximo, alto);
    if (filaMin_ == 0) {
        filaMin_ = fila;
        colMin_ = col;
    }
    filaMax_ = fila;
    colMin_ = std::min(colMin_, col);
    colMax_ = std::max(colMax_, col);
}

bool HojaXls::celda(int fila, int col, const QVariant& v, const EstiloCelda& estilo) {
    if (fila > kMaxFilasXls || col > kMaxColumnasXls) {
        error_ = QStringLiteral(
                     "la celda (fila %1, columna %2) no cabe en un libro .xls, que admite hasta "
                     "%3 filas y %4 columnas.")
                     .arg(fila)
                     .arg(col)
                     .arg(kMaxFilasXls)
                     .arg(kMaxColumnasXls);
        return false;
    }
    // An empty cell is written only for its look.
    const ValorXls valor = valorXls(v);
    if (valor.vacia && estilo == EstiloCelda{}) return true;
    const std::optional<std::uint16_t> xf = estilos_.xfPara(estilo, &error_);
    if (!xf) return false;
    if (pendiente_.fila != fila) {
        if (!cerrarFila()) return false;
        pendiente_.fila = fila;
        pendiente_.primeraCol = col;
        pendiente_.altoMaximo = 0;
    }
    anotarCelda(fila, col, altoFuente(estilo));

    QByteArray& c = pendiente_.celdas;
    const std::uint16_t id = valor.vacia    ? kBlank
                             : valor.numero ? kNumber
                             : valor.logico ? kBoolErr
                                            : kLabelSst;
    const std::uint16_t largo = id == kBlank ? 6 : id == kNumber ? 14 : id == kBoolErr ? 8 : 10;
    cabecera(c, id, largo);
    u16(c, static_cast<std::uint16_t>(fila - 1));
    u16(c, static_cast<std::uint16_t>(col - 1));
    u16(c, *xf);
    if (id == kNumber) {
        f64(c, *valor.numero);
    } else if (id == kBoolErr) {
        u8(c, v.toBool() ? 1 : 0);
        u8(c, 0);  // a logical, not an error
    } else if (id == kLabelSst) {
        u32(c, textos_.indice(valor.texto));
    }
    return true;
}

QByteArray HojaXls::dimensiones() const {
    if (filaMin_ == 0) return QByteArray(14, '\0');  // an empty sheet
    QByteArray d;
    u32(d, static_cast<std::uint32_t>(filaMin_ - 1));
    u32(d, static_cast<std::uint32_t>(filaMax_));  // one past the last
    u16(d, static_cast<std::uint16_t>(colMin_ - 1));
    u16(d, static_cast<std::uint16_t>(colMax_));
    u16(d, 0);
    return d;
}

bool HojaXls::terminar() {
    if (!cerrarFila()) return false;
    QByteArray& b = salida_.buffer();
    cabecera(b, kWindow2, 18);
    // Gridlines, headers, zeros, automatic grid colour, selected, shown; frozen panes (not split).
    const bool fijos = disposicion_.filasFijas > 0 || disposicion_.columnasFijas > 0;
    u16(b, fijos ? 0x07BE : 0x06B6);
    u16(b, 0);   // top row
    u16(b, 0);   // left column
    u32(b, 64);  // grid colour: automatic
    u16(b, 0);
    u16(b, 0);
    u32(b, 0);
    panelesXls(b, disposicion_);
    cabecera(b, kEof, 0);
    const QByteArray d = dimensiones();
    const bool bien = salida_.vaciar() && temporal_.flush() && temporal_.seek(posDimensiones_) &&
                      temporal_.write(d) == d.size() && temporal_.flush();
    if (!bien) error_ = errorArchivo(errno);
    textos_.cerrar();
    return bien;
}

bool HojaXls::copiarA(QIODevice& d) {
    if (!temporal_.seek(0)) return false;
    while (!temporal_.atEnd()) {
        const QByteArray trozo = temporal_.read(1 << 20);
        if (trozo.isEmpty() || d.write(trozo) != trozo.size()) return false;
    }
    return true;
}

// The built-in name Print_Titles of the one sheet: rows 1 to `filas`, every column, through the
// workbook's reference to its own sheet (SUPBOOK, then EXTERNSHEET's first entry).
void titulosImpresion(QByteArray& g, int filas) {
    cabecera(g, kSupBook, 4);
    u16(g, 1);       // sheets
    u16(g, 0x0401);  // this workbook
    cabecera(g, kExternSheet, 8);
    u16(g, 1);  // one reference: sheet 0 of this workbook
    u16(g, 0);
    u16(g, 0);
    u16(g, 0);
    QByteArray nombre;
    u16(nombre, 0x0020);  // built-in
    u8(nombre, 0);        // no shortcut key
    u8(nombre, 1);        // one character: the built-in's number
    u16(nombre, 11);      // formula size
    u16(nombre, 0);
    u16(nombre, 1);  // local to the first sheet
    u32(nombre, 0);  // no menu, description, help or status texts
    u8(nombre, 0);   // the name's characters, compressed
    u8(nombre, 0x07);
    u8(nombre, 0x3B);  // area of a sheet: reference, rows, columns (absolute)
    u16(nombre, 0);
    u16(nombre, 0);
    u16(nombre, static_cast<std::uint16_t>(filas - 1));
    u16(nombre, 0);
    u16(nombre, kMaxColumnasXls - 1);
    registro(g, kName, nombre);
}

// The workbook globals up to the shared strings: settings, styles, the one sheet's entry and the
// rows it prints on every page. `posDesplazamiento` gets where the sheet's offset goes, to be
// filled in once it is known.
QByteArray globales(const TablaEstilos& estilos, int filasTitulo, qsizetype* posDesplazamiento) {
    QByteArray g;
    bof(g, 0x0005);
    registroU16(g, kInterfaceHdr, 0x04B0);
    registroU16(g, kMms, 0);
    cabecera(g, kInterfaceEnd, 0);
    QByteArray acceso;
    textoLargo(acceso, QStringLiteral("varelmo"));
    acceso.append(QByteArray(112 - acceso.size(), ' '));
    registro(g, kWriteAccess, acceso);
    registroU16(g, kCodePage, 1200);  // Unicode
    registroU16(g, kDsf, 0);
    registroU16(g, kTabId, 1);  // one sheet
    registroU16(g, kFnGroupCount, 14);
    for (const std::uint16_t id :
         {kWindowProtect, kProtect, kPassword, kProt4Rev, kProt4RevPass, kBackup, kHideObj})
        registroU16(g, id, 0);
    cabecera(g, kWindow1, 18);
    for (const int v : {0x01E0, 0x005A, 0x3FCF, 0x2A4E, 0x0038, 0, 0, 1, 600})
        u16(g, static_cast<std::uint16_t>(v));
    registroU16(g, kDateMode, 0);   // 1900
    registroU16(g, kPrecision, 1);  // as shown
    registroU16(g, kRefreshAll, 0);
    registroU16(g, kBookBool, 0);
    estilos.registros(g);
    registroU16(g, kUsesElfs, 0);
    *posDesplazamiento = g.size() + 4;
    QByteArray hoja;
    u32(hoja, 0);  // the sheet's BOF offset
    u8(hoja, 0);   // visible
    u8(hoja, 0);   // worksheet
    textoCorto(hoja, QStringLiteral("Hoja1"));
    registro(g, kBoundSheet, hoja);
    cabecera(g, kCountry, 4);
    u16(g, 1);
    u16(g, 1);
    if (filasTitulo > 0) titulosImpresion(g, filasTitulo);
    return g;
}

// What follows the shared strings in the globals (EXTSST and EOF) for strings that start at
// offset `base`; `largoSst` gets the length of the SST records. The SST is laid out here once to
// learn its size and bucket offsets, and once more when it is written.
QByteArray colaGlobales(const TablaTextos& textos, std::uint64_t base, std::uint64_t* largoSst) {
    std::vector<EntradaExtSst> cubetas;
    *largoSst = 0;
    textos.volcar(
        base,
        [largoSst](std::uint16_t, const QByteArray& cuerpo) {
            *largoSst += 4 + static_cast<std::uint64_t>(cuerpo.size());
        },
        &cubetas);
    QByteArray cola;
    cabecera(cola, kExtSst, static_cast<std::uint16_t>(2 + 8 * cubetas.size()));
    u16(cola, textos.porCubeta());
    for (const EntradaExtSst& e : cubetas) {
        u32(cola, e.posicion);
        u16(cola, e.enRegistro);
        u16(cola, 0);
    }
    cabecera(cola, kEof, 0);
    return cola;
}

// The workbook stream into the compound file at `ruta`: the globals, the shared strings, the
// sheet. False with the reason.
bool escribirLibroXls(const QString& ruta, const QByteArray& g, const QByteArray& cola,
                      std::uint64_t largoFlujo, HojaXls& hoja, QString* error) {
    QFile salida(ruta);
    if (!salida.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("no se pudo crear el archivo (%1).").arg(salida.errorString());
        return false;
    }
    QString detalle;
    const auto flujo = [&](QIODevice& d) {
        if (d.write(g) != g.size()) return false;
        bool ok = true;
        QByteArray r;
        hoja.textos().volcar(
            static_cast<std::uint64_t>(g.size()),
            [&](std::uint16_t id, const QByteArray& cuerpo) {
                r.clear();
                registro(r, id, cuerpo);
                ok = ok && d.write(r) == r.size();
            },
            nullptr);
        return ok && d.write(cola) == cola.size() && hoja.copiarA(d);
    };
    const bool escrito = escribirCompuesto(salida, largoFlujo, flujo, &detalle);
    const bool cerrado = escrito && salida.flush() && salida.error() == QFileDevice::NoError;
    const int numero = errno;
    salida.close();
    if (cerrado) return true;
    salida.remove();
    if (detalle.isEmpty())
        detalle = QStringLiteral("no se pudo escribir el archivo (%1).")
                      .arg(salida.errorString().isEmpty() ? hoja.errorTemporal()
                                                          : MotivoEscritura(salida, numero));
    *error = detalle;
    return false;
}

}  // namespace

bool EscritorXls::escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                           QString* error) {
    QString motivo;
    const bool escrito = escribirHoja(hoja, ruta, carpetaTemporal, &motivo);
    if (!escrito && error) *error = motivo;
    return escrito;
}

bool EscritorXls::escribirHoja(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                               QString* error) {
    HojaXls hojaXls(carpetaTemporal.isEmpty() ? QDir::tempPath() : carpetaTemporal);
    if (!hojaXls.abrir(error)) {
        hoja.descartarCopia();
        return false;
    }
    hojaXls.preambulo(hoja.anchosColumna(), hoja.disposicion());
    const bool recorrido = hoja.recorrer(
        [&](int fila, int col, const QVariant& v, const EstiloCelda& estilo) {
            return hojaXls.celda(fila, col, v, estilo);
        },
        error,
        [error](int) {
            *error = QStringLiteral("un libro .xls lleva una sola hoja de hasta %1 filas.")
                         .arg(kMaxFilasXls);
            return false;
        });
    if (!recorrido || !hojaXls.terminar()) {
        if (!hojaXls.error().isEmpty()) *error = hojaXls.error();
        return false;
    }

    qsizetype posDesplazamiento = 0;
    QByteArray g = globales(hojaXls.estilos(), hoja.disposicion().filasTitulo, &posDesplazamiento);
    std::uint64_t largoSst = 0;
    const QByteArray cola =
        colaGlobales(hojaXls.textos(), static_cast<std::uint64_t>(g.size()), &largoSst);
    const std::uint64_t largoGlobales =
        static_cast<std::uint64_t>(g.size()) + largoSst + static_cast<std::uint64_t>(cola.size());
    const std::uint64_t largoFlujo = largoGlobales + static_cast<std::uint64_t>(hojaXls.largo());
    if (largoFlujo > 0xFFFFFFFFull) {
        *error = QStringLiteral("el libro pasa de 4 GB, más de lo que admite el formato .xls.");
        return false;
    }
    ponerU32En(g, posDesplazamiento, static_cast<std::uint32_t>(largoGlobales));
    return escribirLibroXls(ruta, g, cola, largoFlujo, hojaXls, error);
}
