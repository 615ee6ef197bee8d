#include "libro/EscritorXlsx.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <tuple>

#include "archivos/ErrorSistema.h"
#include "libro/Celdas.h"
#include "libro/LetraColumna.h"
#include "libro/XlsxIncompleto.h"
#include "libro/ZipXlsx.h"

namespace {
const QByteArray Declaracion =
    QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
const QByteArray Principal =
    QByteArrayLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QByteArray Relaciones =
    QByteArrayLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QByteArray TipoRelacion =
    QByteArrayLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/");
// Room for the sheet's extent, the widest being "A1:XFD1048576".
const qsizetype LargoDimension = QByteArrayLiteral("<dimension ref=\"A1:XFD1048576\"/>").size();
// Text gathered before it goes to the package.
constexpr qsizetype BytesPorEnvio = 1 << 16;

QByteArray referencia(int fila, int col) { return LetrasColumna(col) + QByteArray::number(fila); }

// A literal, without its terminating NUL.
template <std::size_t N>
void anexar(QByteArray& b, const char (&literal)[N]) {
    b.append(literal, static_cast<qsizetype>(N - 1));
}

// A cell's markup gathered on the stack: its longest (a styled text cell's opening, or a number
// cell whole) takes well under its room.
class Marca {
public:
    void poner(const char* literal) { poner(literal, std::strlen(literal)); }
    void poner(const QByteArray& b) { poner(b.constData(), static_cast<std::size_t>(b.size())); }
    template <class Numero>
    void numero(Numero n) {
        fin_ = std::to_chars(fin_, texto_ + sizeof texto_, n).ptr;
    }
    void anexarA(QByteArray& destino) const { destino.append(texto_, fin_ - texto_); }

private:
    void poner(const char* datos, std::size_t largo) {
        std::memcpy(fin_, datos, largo);
        fin_ += largo;
    }
    char texto_[160];
    char* fin_ = texto_;
};

// An attribute's value: the text escaped, quotes too.
QByteArray atributo(const QString& texto) {
    return EscritorXlsx::textoXml(texto).replace('"', "&quot;");
}

// Fonts, number formats and cell formats, in the order the cells first use them; 0 is the plain
// look (the 11-point default font, the general format).
class EstilosXlsx {
public:
    int indice(const EstiloCelda& e) {
        if (ultimo_ && mismo(ultimo_->first, e)) return ultimo_->second;
        const double tamano = e.tamano > 0 ? e.tamano : 11;
        const bool general =
            e.formatoNumero.isEmpty() ||
            e.formatoNumero.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0;
        const auto clave =
            std::make_tuple(e.negrita, tamano, general ? QString() : e.formatoNumero);
        auto it = xfs_.find(clave);
        if (it == xfs_.end()) it = xfs_.emplace(clave, static_cast<int>(xfs_.size())).first;
        ultimo_ = std::make_pair(e, it->second);
        return it->second;
    }

    QByteArray xml() const {
        std::vector<std::tuple<bool, double, QString>> porIndice(xfs_.size());
        for (const auto& [clave, i] : xfs_) porIndice[static_cast<std::size_t>(i)] = clave;
        std::map<std::pair<bool, double>, int> fuentes;
        std::map<QString, int> formatos;
        QByteArray celdas, fuentesXml, formatosXml;
        for (const auto& [negrita, tamano, formato] : porIndice) {
            auto f = fuentes.find({negrita, tamano});
            if (f == fuentes.end()) {
                f = fuentes
                        .emplace(std::make_pair(negrita, tamano), static_cast<int>(fuentes.size()))
                        .first;
                fuentesXml += QByteArrayLiteral("<font>") +
                              (negrita ? QByteArrayLiteral("<b/>") : QByteArray()) + "<sz val=\"" +
                              EscritorXlsx::numeroXml(tamano) +
                              "\"/><name val=\"Calibri\"/><family val=\"2\"/></font>";
            }
            int formatoId = 0;
            if (!formato.isEmpty()) {
                auto n = formatos.find(formato);
                if (n == formatos.end()) {
                    n = formatos.emplace(formato, 164 + static_cast<int>(formatos.size())).first;
                    formatosXml += "<numFmt numFmtId=\"" + QByteArray::number(n->second) +
                                   "\" formatCode=\"" + atributo(formato) + "\"/>";
                }
                formatoId = n->second;
            }
            celdas += "<xf numFmtId=\"" + QByteArray::number(formatoId) + "\" fontId=\"" +
                      QByteArray::number(f->second) + "\" fillId=\"0\" borderId=\"0\" xfId=\"0\"" +
                      (formatoId ? " applyNumberFormat=\"1\"" : "") +
                      (f->second ? " applyFont=\"1\"" : "") + "/>";
        }
        return Declaracion + "<styleSheet xmlns=\"" + Principal + "\">" +
               (formatos.empty() ? QByteArray()
                                 : "<numFmts count=\"" + QByteArray::number(formatos.size()) +
                                       "\">" + formatosXml + "</numFmts>") +
               "<fonts count=\"" + QByteArray::number(fuentes.size()) + "\">" + fuentesXml +
               "</fonts><fills count=\"2\"><fill><patternFill "
               "patternType=\"none\"/></fill><fill><patternFill "
               "patternType=\"gray125\"/></fill></fills><borders "
               "count=\"1\"><border><left/><right/><top/><bottom/>"
               "<diagonal/></border></borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" "
               "fontId=\"0\" "
               "fillId=\"0\" borderId=\"0\"/></cellStyleXfs><cellXfs count=\"" +
               QByteArray::number(porIndice.size()) + "\">" + celdas +
               "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
               "builtinId=\"0\"/>"
               "</cellStyles><dxfs count=\"0\"/><tableStyles count=\"0\" "
               "defaultTableStyle=\"TableStyleMedium9\" "
               "defaultPivotStyle=\"PivotStyleLight16\"/></styleSheet>";
    }

private:
    // The same look; the format's text is most often the very same string, shared.
    static bool mismo(const EstiloCelda& a, const EstiloCelda& b) {
        return a.negrita == b.negrita && a.tamano == b.tamano &&
               ((a.formatoNumero.constData() == b.formatoNumero.constData() &&
                 a.formatoNumero.size() == b.formatoNumero.size()) ||
                a.formatoNumero == b.formatoNumero);
    }
    // (bold, points, number format) -> cell format; the plain look comes first.
    std::map<std::tuple<bool, double, QString>, int> xfs_{
        {std::make_tuple(false, 11.0, QString()), 0}};
    std::optional<std::pair<EstiloCelda, int>> ultimo_;  // most cells repeat the last look
};

// The sheet's view: the first sheet selected, panes frozen above row `filas` + 1 and left of
// column `columnas` + 1, each pane with its selection as the spreadsheet keeps them.
QByteArray vistaHoja(bool primera, int filas, int columnas) {
    QByteArray v = QByteArrayLiteral("<sheetViews><sheetView ") +
                   (primera ? "tabSelected=\"1\" " : "") + "workbookViewId=\"0\"";
    if (filas == 0 && columnas == 0) return v + "/></sheetViews>";
    const QByteArray esquina = referencia(filas + 1, columnas + 1);
    const QByteArray activo = filas && columnas ? "bottomRight" : filas ? "bottomLeft" : "topRight";
    v += "><pane";
    if (columnas) v += " xSplit=\"" + QByteArray::number(columnas) + '"';
    if (filas) v += " ySplit=\"" + QByteArray::number(filas) + '"';
    v += " topLeftCell=\"" + esquina + "\" activePane=\"" + activo + "\" state=\"frozen\"/>";
    const auto seleccion = [](const QByteArray& panel, const QByteArray& celda) {
        return "<selection pane=\"" + panel + "\" activeCell=\"" + celda + "\" sqref=\"" + celda +
               "\"/>";
    };
    if (filas && columnas) {
        v += seleccion("topRight", referencia(1, columnas + 1));
        v += seleccion("bottomLeft", referencia(filas + 1, 1));
    }
    return v + seleccion(activo, esquina) + "</sheetView></sheetViews>";
}

// The page setup, header and footer that follow the margins.
QByteArray impresion(const DisposicionHoja& d) {
    QByteArray p;
    if (d.horizontal || d.paginasAncho > 0) {
        p += "<pageSetup";
        if (d.horizontal) p += " orientation=\"landscape\"";
        if (d.paginasAncho > 1) p += " fitToWidth=\"" + QByteArray::number(d.paginasAncho) + '"';
        if (d.paginasAncho > 0) p += " fitToHeight=\"0\"";
        p += "/>";
    }
    if (!d.encabezado.isEmpty() || !d.pie.isEmpty()) {
        p += "<headerFooter>";
        if (!d.encabezado.isEmpty())
            p += "<oddHeader>" + EscritorXlsx::textoXml(d.encabezado) + "</oddHeader>";
        if (!d.pie.isEmpty()) p += "<oddFooter>" + EscritorXlsx::textoXml(d.pie) + "</oddFooter>";
        p += "</headerFooter>";
    }
    return p;
}

// One sheet part after another, its cells written as they come.
class HojasXlsx {
public:
    HojasXlsx(ZipXlsx& zip, EstilosXlsx& estilos, const HojaExcel& hoja)
        : zip_(zip), estilos_(estilos), anchos_(hoja.anchosColumna()), d_(hoja.disposicion()) {}

    bool empezar(int numero);
    bool celda(int fila, int col, const QVariant& v, const EstiloCelda& estilo);
    bool terminar();
    int hojas() const { return numero_; }

private:
    QByteArray inicio(const QByteArray& dimension) const {
        return Declaracion + "<worksheet xmlns=\"" + Principal + "\" xmlns:r=\"" + Relaciones +
               "\">" +
               (d_.paginasAncho > 0
                    ? QByteArrayLiteral("<sheetPr><pageSetUpPr fitToPage=\"1\"/></sheetPr>")
                    : QByteArray()) +
               ("<dimension ref=\"" + dimension + "\"/>").leftJustified(LargoDimension, ' ');
    }
    void anotar(int fila, int col);
    bool abrirFila(int fila);
    const QByteArray& letra(int col);  // the column's letters, kept once made

    ZipXlsx& zip_;
    EstilosXlsx& estilos_;
    const std::map<int, double>& anchos_;
    const DisposicionHoja& d_;
    QByteArray texto_;
    std::vector<QByteArray> letras_;
    int numero_ = 0;
    int filaAbierta_ = 0;
    int filaMin_ = 0, filaMax_ = 0, colMin_ = 0, colMax_ = 0;
};

bool HojasXlsx::empezar(int numero) {
    numero_ = numero;
    filaAbierta_ = filaMin_ = filaMax_ = colMin_ = colMax_ = 0;
    if (!zip_.empezar(QStringLiteral("xl/worksheets/sheet%1.xml").arg(numero), inicio("A1")))
        return false;
    texto_ = vistaHoja(numero == 1, d_.filasFijas, d_.columnasFijas);
    texto_ += "<sheetFormatPr defaultRowHeight=\"15\"/>";
    if (!anchos_.empty()) {
        texto_ += "<cols>";
        for (const auto& [col, ancho] : anchos_) {
            const QByteArray c = QByteArray::number(col);
            texto_ += "<col min=\"" + c + "\" max=\"" + c + "\" width=\"" +
                      EscritorXlsx::numeroXml(ancho == 0 ? 0 : anchoAlmacenado(ancho)) + "\"" +
                      (ancho == 0 ? " hidden=\"1\"" : "") + " customWidth=\"1\"/>";
        }
        texto_ += "</cols>";
    }
    texto_ += "<sheetData>";
    return true;
}

void HojasXlsx::anotar(int fila, int col) {
    if (filaMin_ == 0) {
        filaMin_ = fila;
        colMin_ = colMax_ = col;
    }
    filaMax_ = fila;
    colMin_ = std::min(colMin_, col);
    colMax_ = std::max(colMax_, col);
}

bool HojasXlsx::celda(int fila, int col, const QVariant& v, const EstiloCelda& estilo) {
    // What the cell holds; a value the format cannot hold (NaN, infinity, empty text) leaves it
    // empty, and an empty cell is written only for its look.
    const std::optional<double> numero = numeroDeCelda(v);
    const bool logico = !numero && v.typeId() == QMetaType::Bool;
    bool vacia = v.isNull() || (numero && !std::isfinite(*numero));
    QString texto;
    if (!vacia && !numero && !logico) {
        texto = textoDeCelda(v.toString());
        vacia = texto.isEmpty();
    }
    const int s = estilos_.indice(estilo);
    if (vacia && s == 0) return true;
    if (fila != filaAbierta_ && !abrirFila(fila)) return false;
    anotar(fila, col);
    // The cell's markup is gathered on the stack and appended to the sheet's text (which keeps
    // its room) in one piece, its text apart: a report has millions of cells, and every append
    // costs a call.
    Marca m;
    m.poner("<c r=\"");
    m.poner(letra(col));
    m.numero(fila);
    if (s != 0) {
        m.poner("\" s=\"");
        m.numero(s);
    }
    if (vacia) {
        m.poner("\"/>");
    } else if (numero) {
        m.poner("\"><v>");
        m.numero(*numero);
        m.poner("</v></c>");
    } else if (logico) {
        m.poner(v.toBool() ? "\" t=\"b\"><v>1</v></c>" : "\" t=\"b\"><v>0</v></c>");
    } else {
        // Blanks at either end are kept only when the text says so.
        const bool conservar = texto.front().isSpace() || texto.back().isSpace();
        m.poner(conservar ? "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">"
                          : "\" t=\"inlineStr\"><is><t>");
        m.anexarA(texto_);
        texto_ += EscritorXlsx::textoXml(texto);
        anexar(texto_, "</t></is></c>");
        return true;
    }
    m.anexarA(texto_);
    return true;
}

bool HojasXlsx::abrirFila(int fila) {
    if (filaAbierta_ != 0) texto_ += "</row>";
    if (texto_.size() >= BytesPorEnvio) {
        if (!zip_.escribir(texto_)) return false;
        texto_.truncate(0);  // keeps its room
    }
    char r[32] = "<row r=\"";
    char* p = std::to_chars(r + 8, r + sizeof r - 2, fila).ptr;
    *p++ = '"';
    *p++ = '>';
    texto_.append(r, p - r);
    filaAbierta_ = fila;
    return true;
}

const QByteArray& HojasXlsx::letra(int col) {
    if (static_cast<std::size_t>(col) >= letras_.size())
        letras_.resize(static_cast<std::size_t>(col) + 1);
    QByteArray& l = letras_[static_cast<std::size_t>(col)];
    if (l.isEmpty()) l = LetrasColumna(col);
    return l;
}

bool HojasXlsx::terminar() {
    if (filaAbierta_ != 0) texto_ += "</row>";
    texto_ +=
        "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
        "header=\"0.3\" "
        "footer=\"0.3\"/>" +
        impresion(d_) + "</worksheet>";
    QByteArray extension = QByteArrayLiteral("A1");
    if (filaMin_ != 0) {
        extension = referencia(filaMin_, colMin_);
        if (filaMax_ != filaMin_ || colMax_ != colMin_)
            extension += ':' + referencia(filaMax_, colMax_);
    }
    zip_.cambiarInicio(inicio(extension));
    const bool bien = zip_.escribir(texto_) && zip_.terminar();
    texto_.clear();
    return bien;
}

QByteArray tiposDeContenido(int hojas) {
    const QByteArray oxml = QByteArrayLiteral("application/vnd.openxmlformats-officedocument.");
    QByteArray t =
        Declaracion +
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package."
        "relationships+xml\"/><Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/docProps/app.xml\" ContentType=\"" +
        oxml +
        "extended-properties+xml\"/><Override PartName=\"/docProps/core.xml\" "
        "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
        "<Override PartName=\"/xl/styles.xml\" ContentType=\"" +
        oxml +
        "spreadsheetml.styles+xml\"/><Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
        oxml + "spreadsheetml.sheet.main+xml\"/>";
    for (int i = 1; i <= hojas; ++i)
        t += "<Override PartName=\"/xl/worksheets/sheet" + QByteArray::number(i) +
             ".xml\" ContentType=\"" + oxml + "spreadsheetml.worksheet+xml\"/>";
    return t + "</Types>";
}

QByteArray relacion(int id, const QByteArray& tipo, const QByteArray& destino) {
    return "<Relationship Id=\"rId" + QByteArray::number(id) + "\" Type=\"" + tipo +
           "\" Target=\"" + destino + "\"/>";
}

QByteArray relacionesPaquete() {
    return Declaracion +
           "<Relationships "
           "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
           relacion(1, TipoRelacion + "officeDocument", "xl/workbook.xml") +
           relacion(2,
                    "http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
                    "core-properties",
                    "docProps/core.xml") +
           relacion(3, TipoRelacion + "extended-properties", "docProps/app.xml") +
           "</Relationships>";
}

QByteArray nombreHoja(int i) { return "Hoja" + QByteArray::number(i); }

QByteArray propiedadesApp(int hojas) {
    QByteArray nombres;
    for (int i = 1; i <= hojas; ++i) nombres += "<vt:lpstr>" + nombreHoja(i) + "</vt:lpstr>";
    const QByteArray n = QByteArray::number(hojas);
    return Declaracion +
           "<Properties "
           "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
           "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/"
           "docPropsVTypes\"><Application>"
           "Microsoft "
           "Excel</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</"
           "ScaleCrop><HeadingPairs>"
           "<vt:vector size=\"2\" baseType=\"variant\"><vt:variant><vt:lpstr>Hojas de "
           "cálculo</vt:lpstr>"
           "</vt:variant><vt:variant><vt:i4>" +
           n + "</vt:i4></vt:variant></vt:vector></HeadingPairs><TitlesOfParts><vt:vector size=\"" +
           n + "\" baseType=\"lpstr\">" + nombres +
           "</vt:vector></TitlesOfParts><LinksUpToDate>false</LinksUpToDate><SharedDoc>false</"
           "SharedDoc>"
           "<HyperlinksChanged>false</HyperlinksChanged><AppVersion>12.0000</AppVersion></"
           "Properties>";
}

QByteArray propiedadesCore() {
    const QByteArray ahora = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1();
    return Declaracion +
           "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
           "core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:dcterms=\"http://purl.org/"
           "dc/terms/\" xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/"
           "XMLSchema-instance\"><dc:creator></dc:creator><cp:lastModifiedBy></cp:lastModifiedBy>"
           "<dcterms:created xsi:type=\"dcterms:W3CDTF\">" +
           ahora + "</dcterms:created><dcterms:modified xsi:type=\"dcterms:W3CDTF\">" + ahora +
           "</dcterms:modified></cp:coreProperties>";
}

// The workbook's sheets, and the rows every sheet prints at the top of its pages.
QByteArray libro(int hojas, int filasTitulo) {
    QByteArray lista, nombres;
    for (int i = 1; i <= hojas; ++i) {
        lista += "<sheet name=\"" + nombreHoja(i) + "\" sheetId=\"" + QByteArray::number(i) +
                 "\" r:id=\"rId" + QByteArray::number(i) + "\"/>";
        if (filasTitulo > 0)
            nombres += "<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"" +
                       QByteArray::number(i - 1) + "\">" + nombreHoja(i) + "!$1:$" +
                       QByteArray::number(filasTitulo) + "</definedName>";
    }
    if (!nombres.isEmpty()) nombres = "<definedNames>" + nombres + "</definedNames>";
    return Declaracion + "<workbook xmlns=\"" + Principal + "\" xmlns:r=\"" + Relaciones +
           "\"><fileVersion appName=\"xl\" lastEdited=\"4\" lowestEdited=\"4\" rupBuild=\"4505\"/>"
           "<workbookPr defaultThemeVersion=\"124226\"/><bookViews><workbookView xWindow=\"240\" "
           "yWindow=\"15\" "
           "windowWidth=\"16095\" windowHeight=\"9660\"/></bookViews><sheets>" +
           lista + "</sheets>" + nombres +
           "<calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/></workbook>";
}

QByteArray relacionesLibro(int hojas) {
    QByteArray r =
        Declaracion +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (int i = 1; i <= hojas; ++i)
        r += relacion(i, TipoRelacion + "worksheet",
                      "worksheets/sheet" + QByteArray::number(i) + ".xml");
    return r + relacion(hojas + 1, TipoRelacion + "styles", "styles.xml") + "</Relationships>";
}

// The parts around the sheets, once their number is known.
bool partesFijas(ZipXlsx& zip, const EstilosXlsx& estilos, int hojas, int filasTitulo) {
    return zip.agregar(QStringLiteral("xl/workbook.xml"), libro(hojas, filasTitulo)) &&
           zip.agregar(QStringLiteral("xl/_rels/workbook.xml.rels"), relacionesLibro(hojas)) &&
           zip.agregar(QStringLiteral("xl/styles.xml"), estilos.xml()) &&
           zip.agregar(QStringLiteral("docProps/app.xml"), propiedadesApp(hojas)) &&
           zip.agregar(QStringLiteral("[Content_Types].xml"), tiposDeContenido(hojas));
}
}  // namespace

QByteArray EscritorXlsx::textoXml(const QString& texto) {
    // Most texts need nothing escaped.
    const auto especial = [](char16_t c) {
        return c == u'&' || c == u'<' || c == u'>' || c == u'_' || c < 0x20 || c >= 0xFFFE;
    };
    if (std::none_of(texto.cbegin(), texto.cend(), [&](QChar c) { return especial(c.unicode()); }))
        return texto.toUtf8();
    QString t;
    t.reserve(texto.size());
    const qsizetype n = texto.size();
    const auto hex = [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = texto[i].unicode();
        if (c == u'&') {
            t += QLatin1String("&amp;");
        } else if (c == u'<') {
            t += QLatin1String("&lt;");
        } else if (c == u'>') {
            t += QLatin1String("&gt;");
        } else if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE ||
                   c == 0xFFFF) {
            t += QLatin1String("_x") + QString::number(c, 16).toUpper().rightJustified(4, u'0') +
                 u'_';
        } else if (c == u'_' && i + 6 < n && texto[i + 1] == u'x' && hex(texto[i + 2]) &&
                   hex(texto[i + 3]) && hex(texto[i + 4]) && hex(texto[i + 5]) &&
                   texto[i + 6] == u'_') {
            t += QLatin1String("_x005F_");
        } else {
            t += texto[i];
        }
    }
    return t.toUtf8();
}

QByteArray EscritorXlsx::numeroXml(double valor) {
    char texto[32];
    const std::to_chars_result r = std::to_chars(texto, texto + sizeof texto, valor);
    return QByteArray(texto, r.ptr - texto);
}

bool EscritorXlsx::escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                            QString* error) {
    Q_UNUSED(carpetaTemporal);  // everything goes straight into the file
    auto fallar = [error](const QString& texto) {
        if (error) *error = texto;
        return false;
    };
    QFile salida(ruta);
    if (!salida.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        hoja.descartarCopia();
        return fallar(
            QStringLiteral("no se pudo crear el archivo (%1).").arg(salida.errorString()));
    }
    bool escrito = false;
    QString motivo;
    {
        ZipXlsx zip(salida);
        EstilosXlsx estilos;
        HojasXlsx hojas(zip, estilos, hoja);
        escrito =
            zip.agregar(QStringLiteral("_rels/.rels"), relacionesPaquete()) &&
            zip.agregar(QStringLiteral("docProps/core.xml"), propiedadesCore()) &&
            hojas.empezar(1) &&
            hoja.recorrer(
                [&](int fila, int col, const QVariant& v, const EstiloCelda& estilo) {
                    return hojas.celda(fila, col, v, estilo);
                },
                &motivo, [&](int numero) { return hojas.terminar() && hojas.empezar(numero); }) &&
            hojas.terminar() &&
            partesFijas(zip, estilos, hojas.hojas(), hoja.disposicion().filasTitulo) &&
            zip.cerrar();
        if (!escrito && motivo.isEmpty()) motivo = zip.error();
    }
    escrito = escrito && salida.flush() && salida.error() == QFileDevice::NoError;
    const int numero = errno;
    salida.close();
    if (!escrito) {
        salida.remove();
        return fallar(motivo.isEmpty() ? QStringLiteral("no se pudo escribir el archivo (%1).")
                                             .arg(MotivoEscritura(salida, numero))
                                       : motivo);
    }
    if (const QString incompleto = LibroXlsxIncompleto(ruta); !incompleto.isEmpty())
        return fallar(incompleto);
    return true;
}
