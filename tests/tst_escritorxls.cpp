// The Excel 97-2003 (.xls) writer, read back with independent readers: xlrd and a record walker
// of our own (leer_xls.py), and gnumeric's ssconvert.
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <functional>
#include <limits>

#include "LectorLibro.h"
#include "Soporte.h"
#include "libro/ArchivoCompuesto.h"
#include "libro/Celdas.h"
#include "libro/EscritorCsv.h"
#include "libro/EscritorLibro.h"
#include "libro/EscritorXls.h"
#include "libro/EscritorXlsx.h"
#include "libro/EscritorXlsxReferencia.h"
#include "libro/LibroExcel.h"
#include "libro/LimitesXls.h"

namespace {

constexpr auto kFormato = "##,###,##0.00";

// A recordset stand-in: `filas` rows produced by `valor(fila, col)`, 0-based, never stored.
class FuenteGenerada : public FuenteFilas {
public:
    FuenteGenerada(int filas, int columnas, std::function<QVariant(int, int)> valor)
        : filas_(filas), columnas_(columnas), valor_(std::move(valor)) {}
    bool siguiente(QVariantList& fila) override {
        if (actual_ >= filas_) return false;
        fila.clear();
        for (int c = 0; c < columnas_; ++c) fila.append(valor_(actual_, c));
        ++actual_;
        return true;
    }

private:
    int filas_, columnas_;
    std::function<QVariant(int, int)> valor_;
    int actual_ = 0;
};

std::unique_ptr<LibroExcel> libroNuevo() {
    auto app = AplicacionExcel::crear(QStringLiteral("Excel.Application"));
    return app ? app->agregarLibro() : nullptr;
}

using soporte::contenido;
using soporte::entradas;

QString nombreCelda(int fila, int col) {
    QString letras;
    for (int c = col; c > 0; c = (c - 1) / 26)
        letras.prepend(QChar(u'A' + static_cast<char16_t>((c - 1) % 26)));
    return letras + QString::number(fila);
}

// leer_xls.py's JSON, or an empty object with `error` set.
QJsonObject leerXls(const QStringList& argumentos, QString* error) {
    QProcess proceso;
    proceso.start(
        QStringLiteral("/usr/bin/python3"),
        QStringList{soporte::carpetaPruebas() + QStringLiteral("/leer_xls.py")} + argumentos);
    if (!proceso.waitForFinished(300000) || proceso.exitStatus() != QProcess::NormalExit ||
        proceso.exitCode() != 0) {
        *error = QStringLiteral("leer_xls.py falló: ") + proceso.errorString() + u' ' +
                 QString::fromUtf8(proceso.readAllStandardError());
        return {};
    }
    QJsonParseError fallo{};
    const QJsonDocument documento =
        QJsonDocument::fromJson(proceso.readAllStandardOutput(), &fallo);
    if (!documento.isObject()) *error = QStringLiteral("JSON inválido: ") + fallo.errorString();
    return documento.object();
}

// The cells ssconvert reads from the file, as CSV text; `error` set on any complaint of it.
QJsonObject leerConSsconvert(const QString& ruta, QString* error) {
    const QString csv = ruta + QStringLiteral(".csv");
    QProcess proceso;
    proceso.start(QStringLiteral("/usr/bin/ssconvert"),
                  {QStringLiteral("-T"), QStringLiteral("Gnumeric_stf:stf_csv"), ruta, csv});
    if (!proceso.waitForFinished(300000) || proceso.exitCode() != 0) {
        *error = QStringLiteral("ssconvert falló: ") + proceso.errorString();
        return {};
    }
    const QByteArray avisos = proceso.readAllStandardError();
    if (!avisos.isEmpty()) {
        *error = QStringLiteral("ssconvert se quejó: ") + QString::fromUtf8(avisos);
        return {};
    }
    QJsonObject celdas =
        leerXls({QStringLiteral("--csv"), csv}, error).value(QLatin1String("cells")).toObject();
    QFile::remove(csv);
    return celdas;
}

// The record walker's verdict: empty when the file keeps every rule it checks.
QString problemasDeEstructura(const QJsonObject& e) {
    QStringList lista;
    for (const QJsonValue& p : e.value(QLatin1String("problems")).toArray()) lista << p.toString();
    return lista.join(QStringLiteral("; "));
}

// xlrd's reading, failing on anything xlrd logs (bad DIMENSIONS, XF references, sectors, SST).
#define LEER_XLS(ruta, leido)                                        \
    REQUIERE_LECTOR();                                               \
    QString errorLeer_;                                              \
    const QJsonObject leido = leerXls({ruta}, &errorLeer_);          \
    QVERIFY2(errorLeer_.isEmpty(), qPrintable(errorLeer_));          \
    QVERIFY2(leido.value(QLatin1String("log")).toString().isEmpty(), \
             qPrintable(leido.value(QLatin1String("log")).toString()))

#define ESTRUCTURA_SANA(ruta, estructura)                                   \
    REQUIERE_LECTOR();                                                      \
    QString errorEstructura_;                                               \
    const QJsonObject estructura =                                          \
        leerXls({QStringLiteral("--estructura"), ruta}, &errorEstructura_); \
    QVERIFY2(errorEstructura_.isEmpty(), qPrintable(errorEstructura_));     \
    QVERIFY2(problemasDeEstructura(estructura).isEmpty(),                   \
             qPrintable(problemasDeEstructura(estructura)))

#define GUARDAR(libro, ruta)                                                              \
    do {                                                                                  \
        QString errorGuardar_;                                                            \
        QVERIFY2((libro).guardarComo((ruta), &errorGuardar_), qPrintable(errorGuardar_)); \
    } while (false)

// A value as the readers give it back: numbers as doubles, logicals as bool, text as text.
bool mismoValor(const QJsonValue& leido, const QVariant& esperado) {
    if (esperado.typeId() == QMetaType::Bool)
        return leido.isBool() && leido.toBool() == esperado.toBool();
    if (esperado.typeId() == QMetaType::QString) return leido.toString() == esperado.toString();
    return leido.isDouble() && leido.toDouble() == esperado.toDouble();
}
bool mismoTextoCsv(const QString& csv, const QVariant& esperado) {
    if (esperado.typeId() == QMetaType::Bool)
        return csv == (esperado.toBool() ? QLatin1String("TRUE") : QLatin1String("FALSE"));
    if (esperado.typeId() == QMetaType::QString) return csv == esperado.toString();
    bool ok = false;
    return csv.toDouble(&ok) == esperado.toDouble() && ok;
}

// Every expected cell, and nothing else, read back by xlrd and by ssconvert.
void compararValores(const QString& ruta, const QMap<QString, QVariant>& esperado,
                     bool conSsconvert) {
    LEER_XLS(ruta, l);
    const QJsonObject celdas = l.value(QLatin1String("cells")).toObject();
    for (auto it = esperado.begin(); it != esperado.end(); ++it) {
        const QJsonValue v = celdas.value(it.key()).toObject().value(QLatin1String("v"));
        QVERIFY2(mismoValor(v, it.value()),
                 qPrintable(QStringLiteral("%1: se leyó '%2', se esperaba '%3'")
                                .arg(it.key(), v.toVariant().toString().left(80),
                                     it.value().toString().left(80))));
    }
    QCOMPARE(celdas.size(), esperado.size());
    if (!conSsconvert) return;
    QString error;
    const QJsonObject csv = leerConSsconvert(ruta, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (auto it = esperado.begin(); it != esperado.end(); ++it) {
        const QString v = csv.value(it.key()).toString();
        QVERIFY2(mismoTextoCsv(v, it.value()),
                 qPrintable(QStringLiteral("ssconvert %1: '%2', se esperaba '%3'")
                                .arg(it.key(), v.left(80), it.value().toString().left(80))));
    }
    QCOMPARE(csv.size(), esperado.size());
}

// The report's sheet: title, one Costo/Precio pair per company, `filas` working-table rows from
// A4 and the price format on C4 to the last Precio column.
struct Reporte {
    int empresas = 1, filas = 20;
    QVariant valor(int f, int c) const {  // working-table cell, 0-based
        const int columnas = 3 + 2 * empresas;
        if (c == 0) return QStringLiteral("P%1").arg(f, 5, 10, QLatin1Char('0'));
        if (c == 1) return QStringLiteral("Descripción %1 — año, señal €").arg(f);
        if (c == columnas - 1)
            return f % 3 == 0 ? QVariant(QStringLiteral("No existe en Peñalolén")) : QVariant();
        const double base = (f + 1) * 1234.567 + c;
        return c % 2 == 0 ? base : -base / 3;
    }
};

void llenarReporte(HojaExcel& h, const Reporte& r, FuenteGenerada& fuente) {
    h.ponerValor(1, 1, QStringLiteral("Reporte varelmo"));
    h.ponerTamano(*Rango::desdeTexto(QStringLiteral("A1")), 18);
    int col = 3;
    for (int i = 1; i <= r.empresas; ++i, col += 2) {
        h.ponerValor(1, col, QStringLiteral("Datos%1").arg(i));
        h.ponerNegrita(Rango{1, col, 1, col});
        h.ponerValor(2, col, QStringLiteral("Compañía Nº %1").arg(i));
        h.ponerValor(3, col, QStringLiteral("Costo"));
        h.ponerValor(3, col + 1, QStringLiteral("Precio"));
        for (const Rango& g :
             {Rango{2, col, 2, col}, Rango{3, col, 3, col}, Rango{3, col + 1, 3, col + 1}}) {
            h.ponerNegrita(g);
            h.ponerTamano(g, 18);
        }
    }
    h.ponerValor(3, 1, QStringLiteral("Clave"));
    h.ponerValor(3, 2, QStringLiteral("Descripción"));
    h.ponerNegrita(*Rango::desdeTexto(QStringLiteral("A1:B3")));
    h.ponerTamano(*Rango::desdeTexto(QStringLiteral("A1:B3")), 18);
    h.ponerAnchoColumna(1, 15);
    h.ponerAnchoColumna(2, 60);
    h.copiarFilas(4, 1, fuente);
    h.ponerFormatoNumero(Rango{4, 3, r.filas + 3, 2 + 2 * r.empresas}, QLatin1String(kFormato));
}

QString textoAleatorio(QRandomGenerator& g, int largo) {
    static const QString piezas[] = {
        QStringLiteral("a"),  QStringLiteral("Z"), QStringLiteral("ñ"),  QStringLiteral("á"),
        QStringLiteral("É"),  QStringLiteral("ü"), QStringLiteral(" "),  QStringLiteral("7"),
        QStringLiteral("€"),  QStringLiteral("—"), QStringLiteral("😀"),  QStringLiteral("¿"),
        QStringLiteral("\""), QStringLiteral(","), QStringLiteral("中"), QStringLiteral("=")};
    QString t;
    const bool soloLatin1 = g.bounded(2) == 0;  // both SST encodings, and their mix
    while (t.size() < largo) {
        const QString& p = piezas[g.bounded(soloLatin1 ? 8 : 16)];
        if (t.size() + p.size() > largo) break;
        t += p;
    }
    return t.isEmpty() ? QStringLiteral("x") : t;
}

QVariant valorAleatorio(QRandomGenerator& g) {
    static const double especiales[] = {0.0,  -0.0,          1e-9,
                                        1e15, -1e15,         1.0 / 3,
                                        -2.5, 123456789.123, std::numeric_limits<double>::min(),
                                        1e300};
    switch (g.bounded(7)) {
        case 0:
            return {};
        case 1:
            return especiales[g.bounded(10)];
        case 2:
            return (g.generateDouble() - 0.5) * std::pow(10.0, g.bounded(-12, 16));
        case 3:
            return textoAleatorio(g, g.bounded(1, 40));
        case 4:
            return g.bounded(40) == 0 ? textoAleatorio(g, g.bounded(2000, 9000))
                                      : textoAleatorio(g, 3);
        case 5:
            return g.bounded(2) == 0;
        default:
            return static_cast<int>(g.bounded(-100000, 100000));
    }
}

// The value a cell reads back as, or an invalid QVariant when it stays empty.
QVariant comoSeLee(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return {};
    if (v.typeId() == QMetaType::Bool || v.typeId() == QMetaType::QString) {
        if (v.typeId() == QMetaType::QString && v.toString().isEmpty()) return {};
        return v;
    }
    const double d = v.toDouble();
    return std::isfinite(d) ? QVariant(d) : QVariant();
}

}  // namespace

class TstEscritorXls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (hayLectorDeLibros())
            QVERIFY2(QFile::exists(QStringLiteral("/usr/bin/ssconvert")), "falta ssconvert");
    }

    void escritorPorNombre_data() {
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<bool>("esXls");
        QTest::newRow("minúsculas") << "reporte.xls" << true;
        QTest::newRow("mayúsculas") << "REPORTE.XLS" << true;
        QTest::newRow("mezcla") << "carpeta/Reporte.xLs" << true;
        QTest::newRow("xlsx") << "reporte.xlsx" << false;
        QTest::newRow("xls en medio") << "reporte.xls.bak" << false;
        QTest::newRow("sin punto") << "reportexls" << false;
        QTest::newRow("sin extensión") << "reporte" << false;
        QTest::newRow("csv, en cualquier caso") << "precios.Csv" << false;
    }
    void escritorPorNombre() {
        QFETCH(QString, nombre);
        QFETCH(bool, esXls);
        const auto escritor = escritorParaRuta(nombre);
        QCOMPARE(dynamic_cast<EscritorXls*>(escritor.get()) != nullptr, esXls);
        const bool esCsv = nombre.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
        QCOMPARE(dynamic_cast<EscritorCsv*>(escritor.get()) != nullptr, esCsv);
        QCOMPARE(dynamic_cast<EscritorXlsx*>(escritor.get()) != nullptr, !esXls && !esCsv);
        // libxlsxwriter, kept for comparing the two, only when asked for and only for .xlsx.
        const auto referencia = escritorParaRuta(nombre, EscritorOoxml::Libxlsxwriter);
        QCOMPARE(dynamic_cast<EscritorXlsxReferencia*>(referencia.get()) != nullptr,
                 !esXls && !esCsv);
    }

    void cabeEnXls_data() {
        QTest::addColumn<int>("filas");
        QTest::addColumn<int>("columnas");
        QTest::addColumn<bool>("cabe");
        QTest::newRow("hoja llena") << 65536 << 256 << true;
        QTest::newRow("una fila de más") << 65537 << 1 << false;
        QTest::newRow("una columna de más") << 1 << 257 << false;
        QTest::newRow("hoja vacía") << 0 << 0 << true;
    }
    void cabeEnXls() {
        QFETCH(int, filas);
        QFETCH(int, columnas);
        QFETCH(bool, cabe);
        QCOMPARE(::cabeEnXls(filas, columnas), cabe);
    }

    // The container alone: streams around the sizes where the FAT and DIFAT grow, written and read
    // back byte for byte by olefile (strict) and xlrd's compound-file reader.
    void contenedor_data() {
        QTest::addColumn<qint64>("largo");
        QTest::addColumn<int>("fat");
        QTest::addColumn<int>("difat");
        QTest::newRow("vacío") << qint64{0} << 1 << 0;
        QTest::newRow("4095 bytes") << qint64{4095} << 1 << 0;
        QTest::newRow("4097 bytes") << qint64{4097} << 1 << 0;
        QTest::newRow("un FAT lleno") << qint64{127 * 512 - 2 * 512} << 1 << 0;
        QTest::newRow("dos FAT") << qint64{127 * 512} << 2 << 0;
        QTest::newRow("109 FAT, sin DIFAT") << qint64{7087104} << 109 << 0;
        QTest::newRow("110 FAT, un DIFAT") << qint64{7087105} << 110 << 1;
        QTest::newRow("un DIFAT lleno") << qint64{15344640} << 236 << 1;
        QTest::newRow("dos DIFAT") << qint64{15344641} << 237 << 2;
    }
    void contenedor() {
        QFETCH(qint64, largo);
        QFETCH(int, fat);
        QFETCH(int, difat);
        const auto d = disponerCompuesto(static_cast<std::uint64_t>(largo));
        QVERIFY(d);
        QCOMPARE(static_cast<int>(d->sectoresFat), fat);
        QCOMPARE(static_cast<int>(d->sectoresDifat), difat);

        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("flujo.ole"));
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCryptographicHash resumen(QCryptographicHash::Sha256);
        QString error;
        const bool ok = escribirCompuesto(
            f, static_cast<std::uint64_t>(largo),
            [&](QIODevice& salida) {
                QByteArray trozo;
                for (qint64 i = 0; i < largo; i += trozo.size()) {
                    trozo.resize(static_cast<qsizetype>(std::min<qint64>(largo - i, 1 << 16)));
                    for (qsizetype j = 0; j < trozo.size(); ++j)
                        trozo[j] = static_cast<char>(((i + j) * 7 + (i + j) / 251) & 0xFF);
                    resumen.addData(trozo);
                    if (salida.write(trozo) != trozo.size()) return false;
                }
                return true;
            },
            &error);
        f.close();
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(static_cast<quint64>(QFileInfo(ruta).size()), d->largoArchivo());

        const QString guion = QStringLiteral(
            "import hashlib, sys, olefile, xlrd.compdoc\n"
            "p, n = sys.argv[1], int(sys.argv[2])\n"
            "o = olefile.OleFileIO(p, raise_defects=olefile.DEFECT_INCORRECT)\n"
            "a = o.openstream('Workbook').read()\n"
            "c = xlrd.compdoc.CompDoc(open(p, 'rb').read(), logfile=sys.stderr)\n"
            "b = c.get_named_stream('Workbook')\n"
            "assert len(a) == len(b) == max(n, 4096), (len(a), len(b))\n"
            "assert a == b and not any(a[n:])\n"
            "print(hashlib.sha256(a[:n]).hexdigest())\n");
        REQUIERE_LECTOR();
        QProcess proceso;
        proceso.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral("-c"), guion, ruta, QString::number(largo)});
        QVERIFY(proceso.waitForFinished(120000));
        const QByteArray avisos = proceso.readAllStandardError();
        QVERIFY2(proceso.exitCode() == 0 && avisos.isEmpty(), avisos.constData());
        QCOMPARE(proceso.readAllStandardOutput().trimmed(), resumen.result().toHex());
    }

    // The sheet the report writes, read back for values, fonts, formats and widths.
    void reporte_data() {
        QTest::addColumn<int>("empresas");
        QTest::addColumn<int>("filas");
        QTest::newRow("una empresa, 20 filas") << 1 << 20;
        QTest::newRow("tres empresas, 20 filas") << 3 << 20;
        QTest::newRow("tabla vacía") << 1 << 0;
    }
    void reporte() {
        QFETCH(int, empresas);
        QFETCH(int, filas);
        const Reporte r{empresas, filas};
        const int columnas = 3 + 2 * empresas;
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("varelmo.xls"));
        FuenteGenerada fuente(filas, columnas, [&r](int f, int c) { return r.valor(f, c); });
        auto libro = libroNuevo();
        llenarReporte(libro->hoja(), r, fuente);
        GUARDAR(*libro, ruta);
        QCOMPARE(entradas(dir.path()), QStringList{QStringLiteral("varelmo.xls")});
        QVERIFY(contenido(ruta).startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")));

        ESTRUCTURA_SANA(ruta, e);
        LEER_XLS(ruta, l);
        const QJsonObject celdas = l.value(QLatin1String("cells")).toObject();
        struct Aspecto {
            bool negrita;
            double tamano;
            QString formato;
        };
        QMap<QString, QVariant> valores;
        QMap<QString, Aspecto> aspectos;
        const QString general = QStringLiteral("General");
        auto esperar = [&](int f, int c, const QVariant& v, Aspecto a) {
            valores[nombreCelda(f, c)] = v;
            aspectos[nombreCelda(f, c)] = a;
        };
        esperar(1, 1, QStringLiteral("Reporte varelmo"), {true, 18, general});
        esperar(3, 1, QStringLiteral("Clave"), {true, 18, general});
        esperar(3, 2, QStringLiteral("Descripción"), {true, 18, general});
        // With no rows the format range C4:D3 covers rows 3 and 4, headings included.
        const QString formatoFila3 = filas == 0 ? QString::fromLatin1(kFormato) : general;
        for (int i = 1; i <= empresas; ++i) {
            const int c = 1 + 2 * i;
            esperar(1, c, QStringLiteral("Datos%1").arg(i), {true, 10, general});
            esperar(2, c, QStringLiteral("Compañía Nº %1").arg(i), {true, 18, general});
            esperar(3, c, QStringLiteral("Costo"), {true, 18, formatoFila3});
            esperar(3, c + 1, QStringLiteral("Precio"), {true, 18, formatoFila3});
        }
        for (int f = 0; f < filas; ++f)
            for (int c = 0; c < columnas; ++c) {
                const QVariant v = r.valor(f, c);
                if (v.isNull()) continue;
                const bool precio = c >= 2 && c < columnas - 1;
                esperar(f + 4, c + 1, v,
                        {false, 10, precio ? QString::fromLatin1(kFormato) : general});
            }
        for (auto it = aspectos.begin(); it != aspectos.end(); ++it) {
            const QJsonObject c = celdas.value(it.key()).toObject();
            QVERIFY2(!c.isEmpty(), qPrintable(it.key()));
            QCOMPARE(c.value(QLatin1String("bold")).toBool(), it->negrita);
            QCOMPARE(c.value(QLatin1String("size")).toDouble(), it->tamano);
            QCOMPARE(c.value(QLatin1String("fmt")).toString(), it->formato);
        }
        QVERIFY(!celdas.contains(nombreCelda(3, columnas)));  // the warnings column has no heading
        const QJsonObject anchos = l.value(QLatin1String("widths")).toObject();
        QCOMPARE(anchos.size(), 2);
        QCOMPARE(anchos.value(QLatin1String("A")).toDouble(), anchoGuardado(15) * 256);
        QCOMPARE(anchos.value(QLatin1String("B")).toDouble(), anchoGuardado(60) * 256);
        QCOMPARE(l.value(QLatin1String("nrows")).toInt(), 3 + filas);
        QCOMPARE(l.value(QLatin1String("ncols")).toInt(), filas > 0 ? columnas : columnas - 1);
        compararValores(ruta, valores, true);
    }

    void valores_data() {
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<QVariant>("leido");
        const QString acentos = QStringLiteral("Descripción ÁÉÍÓÚ ñÑ üÜ ¿¡ ºª");
        const QString unicode = QStringLiteral("costo € — “comillas” 😀 中文");
        QTest::newRow("latin-1") << QVariant(acentos) << "s" << QVariant(acentos);
        QTest::newRow("utf-16 con emoji") << QVariant(unicode) << "s" << QVariant(unicode);
        QTest::newRow("parece fórmula") << QVariant(QStringLiteral("=SUMA(A1)")) << "s"
                                        << QVariant(QStringLiteral("=SUMA(A1)"));
        QTest::newRow("con NUL") << QVariant(QString::fromUtf16(u"a\0b", 3)) << "s"
                                 << QVariant(QStringLiteral("ab"));
        QTest::newRow("255 caracteres")
            << QVariant(QString(255, u'x')) << "s" << QVariant(QString(255, u'x'));
        QTest::newRow("256 caracteres")
            << QVariant(QString(256, u'é')) << "s" << QVariant(QString(256, u'é'));
        QTest::newRow("más de 32767 se recorta")
            << QVariant(QString(40000, u'€')) << "s" << QVariant(QString(kMaxLargoTexto, u'€'));
        QTest::newRow("1234567.891") << QVariant(1234567.891) << "n" << QVariant(1234567.891);
        QTest::newRow("negativo") << QVariant(-0.5) << "n" << QVariant(-0.5);
        QTest::newRow("1e-9") << QVariant(1e-9) << "n" << QVariant(1e-9);
        QTest::newRow("1e15") << QVariant(1e15) << "n" << QVariant(1e15);
        QTest::newRow("entero largo")
            << QVariant(qint64{9007199254740993LL}) << "n" << QVariant(9007199254740992.0);
        QTest::newRow("verdadero") << QVariant(true) << "b" << QVariant(true);
        QTest::newRow("falso") << QVariant(false) << "b" << QVariant(false);
        QTest::newRow("nulo") << QVariant() << "" << QVariant();
        QTest::newRow("texto vacío") << QVariant(QString()) << "" << QVariant();
        QTest::newRow("NaN") << QVariant(std::numeric_limits<double>::quiet_NaN()) << ""
                             << QVariant();
        QTest::newRow("infinito") << QVariant(-std::numeric_limits<double>::infinity()) << ""
                                  << QVariant();
    }
    void valores() {
        QFETCH(QVariant, valor);
        QFETCH(QString, tipo);
        QFETCH(QVariant, leido);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("v.xls"));
        auto libro = libroNuevo();
        libro->hoja().ponerValor(2, 2, valor);
        libro->hoja().ponerValor(1, 1, QStringLiteral("marca"));
        GUARDAR(*libro, ruta);
        ESTRUCTURA_SANA(ruta, e);
        LEER_XLS(ruta, l);
        const QJsonObject c =
            l.value(QLatin1String("cells")).toObject().value(QLatin1String("B2")).toObject();
        QCOMPARE(c.value(QLatin1String("t")).toString(), tipo);
        if (!tipo.isEmpty()) QVERIFY(mismoValor(c.value(QLatin1String("v")), leido));
        QMap<QString, QVariant> esperado{{QStringLiteral("A1"), QStringLiteral("marca")}};
        if (leido.isValid()) esperado.insert(QStringLiteral("B2"), leido);
        compararValores(ruta, esperado, true);
    }

    // Random sheets with fixed seeds: every value comes back, in both readers.
    void contenidoAleatorio_data() {
        QTest::addColumn<quint32>("semilla");
        QTest::addColumn<bool>("conSsconvert");
        for (quint32 s = 1; s <= 8; ++s)
            QTest::newRow(qPrintable(QStringLiteral("semilla %1").arg(s))) << s << (s <= 3);
    }
    void contenidoAleatorio() {
        QFETCH(quint32, semilla);
        QFETCH(bool, conSsconvert);
        QRandomGenerator g(semilla);
        const int filas = g.bounded(1, 400), columnas = g.bounded(1, 30);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("azar.xls"));
        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        QMap<QString, QVariant> esperado;
        std::vector<QVariantList> copia(static_cast<std::size_t>(filas));
        for (int f = 0; f < filas; ++f)
            for (int c = 0; c < columnas; ++c)
                copia[static_cast<std::size_t>(f)].append(valorAleatorio(g));
        // Some values set one by one, the rest copied, with random fonts and formats on top.
        const int filaCopia = g.bounded(1, 5);
        for (int i = 0; i < 30; ++i) {
            const int f = g.bounded(1, filas + 10), c = g.bounded(1, columnas + 5);
            h.ponerValor(f, c, valorAleatorio(g));
        }
        for (int i = 0; i < 6; ++i) {
            const Rango rango{g.bounded(1, filas + 1), g.bounded(1, columnas + 1),
                              g.bounded(1, filas + 1), g.bounded(1, columnas + 1)};
            h.ponerNegrita(rango, g.bounded(2) == 0);
            h.ponerTamano(rango, g.bounded(6, 30));
            h.ponerFormatoNumero(rango,
                                 i % 2 ? QStringLiteral("0.000") : QStringLiteral("#,##0 \"€\""));
        }
        for (int c = 1; c <= columnas; c += 3) h.ponerAnchoColumna(c, g.bounded(0, 256) * 0.5);
        FuenteGenerada fuente(filas, columnas, [&copia](int f, int c) {
            return copia[static_cast<std::size_t>(f)][c];
        });
        h.copiarFilas(filaCopia, 1, fuente);
        // ssconvert's CSV starts at the first cell in use: A1 is always filled.
        h.ponerValor(1, 1, QStringLiteral("marca"));
        // The expected sheet: the values set one by one lose to the later copy where they meet.
        QString error;
        QVERIFY(h.recorrer(
            [&](int f, int c, const QVariant& v, const EstiloCelda&) {
                if (const QVariant l = comoSeLee(v); l.isValid())
                    esperado[nombreCelda(f, c)] =
                        v.typeId() == QMetaType::QString ? QVariant(textoDeCelda(v.toString())) : l;
                return true;
            },
            &error));
        FuenteGenerada otraVez(filas, columnas, [&copia](int f, int c) {
            return copia[static_cast<std::size_t>(f)][c];
        });
        h.copiarFilas(filaCopia, 1, otraVez);
        h.ponerValor(1, 1, QStringLiteral("marca"));
        GUARDAR(*libro, ruta);
        ESTRUCTURA_SANA(ruta, e);
        compararValores(ruta, esperado, conSsconvert);
    }

    // The SST's splitting over CONTINUE records, at the edges where it goes wrong.
    void tablaDeTextos_data() {
        QTest::addColumn<QStringList>("textos");
        QTest::addColumn<int>("continues");
        // The SST body holds 8224 bytes: 8 of counts, then 3 of header before each string.
        QStringList cortos;
        for (int i = 0; i < 6000; ++i) cortos << QStringLiteral("texto número %1 ñ").arg(i);
        QTest::newRow("muchos textos cortos") << cortos << 10;
        QTest::newRow("latin-1 de 32767") << QStringList{QString(kMaxLargoTexto, u'ñ')} << 3;
        QTest::newRow("utf-16 de 32767") << QStringList{QString(kMaxLargoTexto, u'€')} << 7;
        QTest::newRow("acaba justo al final del registro")
            << QStringList{QString(8213, u'a'), QStringLiteral("siguiente")} << 1;
        QTest::newRow("la cabecera siguiente no cabe")
            << QStringList{QString(8211, u'a'), QStringLiteral("siguiente")} << 1;
        QTest::newRow("un carácter, sin cabecera")
            << QStringList{QString(8210, u'a'), QStringLiteral("€siguiente")} << 1;
        QString par = QString(4105, u'€') + QStringLiteral("😀") + QString(10, u'€');
        QTest::newRow("par sustituto en el corte") << QStringList{par} << 1;
        QTest::newRow("cambia de codificación")
            << QStringList{QString(5000, u'a'), QString(5000, u'€'), QString(9000, u'b')} << 2;
    }
    void tablaDeTextos() {
        QFETCH(QStringList, textos);
        QFETCH(int, continues);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("sst.xls"));
        auto libro = libroNuevo();
        QMap<QString, QVariant> esperado;
        for (int i = 0; i < textos.size(); ++i) {
            libro->hoja().ponerValor(i + 1, 1, textos[i]);
            libro->hoja().ponerValor(i + 1, 2, textos[i]);  // repeated: stored once
            esperado[nombreCelda(i + 1, 1)] = textos[i];
            esperado[nombreCelda(i + 1, 2)] = textos[i];
        }
        GUARDAR(*libro, ruta);
        ESTRUCTURA_SANA(ruta, e);
        QCOMPARE(e.value(QLatin1String("sst_strings")).toInt(), textos.size());
        QVERIFY2(e.value(QLatin1String("continue_records")).toInt() >= continues,
                 qPrintable(QString::number(e.value(QLatin1String("continue_records")).toInt())));
        compararValores(ruta, esperado, textos.size() < 100);
    }

    // Files either side of the size where the FAT outgrows the header's 109 slots.
    void archivoGrande_data() {
        QTest::addColumn<int>("filas");
        QTest::addColumn<bool>("conDifat");
        // Rows of 10 numbers take 200 bytes of sheet records.
        QTest::newRow("justo bajo 7 MB") << 35000 << false;
        QTest::newRow("justo sobre 7 MB") << 35600 << true;
    }
    void archivoGrande() {
        QFETCH(int, filas);
        QFETCH(bool, conDifat);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("grande.xls"));
        auto libro = libroNuevo();
        FuenteGenerada fuente(filas, 10,
                              [](int f, int c) { return QVariant(f * 10.0 + c + 0.25); });
        libro->hoja().copiarFilas(1, 1, fuente);
        GUARDAR(*libro, ruta);
        const qint64 largo = QFileInfo(ruta).size();
        QVERIFY2(std::abs(largo - 7087104 - 4 * 512) < 200000, qPrintable(QString::number(largo)));
        ESTRUCTURA_SANA(ruta, e);
        QCOMPARE(e.value(QLatin1String("difat_sectors")).toInt() > 0, conDifat);
        QString error;
        const QJsonObject l = leerXls({QStringLiteral("--resumen"), ruta}, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(l.value(QLatin1String("log")).toString().isEmpty(),
                 qPrintable(l.value(QLatin1String("log")).toString()));
        QCOMPARE(l.value(QLatin1String("nrows")).toInt(), filas);
        QCOMPARE(l.value(QLatin1String("cell_count")).toInt(), filas * 10);
        const QJsonObject celdas = l.value(QLatin1String("cells")).toObject();
        QCOMPARE(
            celdas.value(nombreCelda(filas, 10)).toObject().value(QLatin1String("v")).toDouble(),
            (filas - 1) * 10.0 + 9 + 0.25);
    }

    // The full grid: three heading rows and 65,533 copied rows fill the last .xls row exactly.
    void hojaLlena() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("llena.xls"));
        auto libro = libroNuevo();
        const Reporte r{1, kMaxFilasXls - 3};
        FuenteGenerada fuente(r.filas, 5, [&r](int f, int c) { return r.valor(f, c); });
        llenarReporte(libro->hoja(), r, fuente);
        libro->hoja().ponerValor(1, kMaxColumnasXls, QStringLiteral("última columna"));
        GUARDAR(*libro, ruta);
        ESTRUCTURA_SANA(ruta, e);
        QVERIFY(e.value(QLatin1String("difat_sectors")).toInt() > 0);
        QString error;
        const QJsonObject l = leerXls({QStringLiteral("--resumen"), ruta}, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(l.value(QLatin1String("log")).toString().isEmpty(),
                 qPrintable(l.value(QLatin1String("log")).toString()));
        QCOMPARE(l.value(QLatin1String("nrows")).toInt(), kMaxFilasXls);
        QCOMPARE(l.value(QLatin1String("ncols")).toInt(), kMaxColumnasXls);
        const QJsonObject celdas = l.value(QLatin1String("cells")).toObject();
        const QJsonObject ultima = celdas.value(nombreCelda(kMaxFilasXls, 4)).toObject();
        QCOMPARE(ultima.value(QLatin1String("v")).toDouble(), r.valor(r.filas - 1, 3).toDouble());
        QCOMPARE(ultima.value(QLatin1String("fmt")).toString(), QString::fromLatin1(kFormato));
        QCOMPARE(
            celdas.value(QStringLiteral("IV1")).toObject().value(QLatin1String("v")).toString(),
            QStringLiteral("última columna"));
    }

    // Past the grid the save fails cleanly: the earlier file stays, no working file is left.
    void fueraDeLaHoja_data() {
        QTest::addColumn<QString>("caso");
        QTest::newRow("65537 filas copiadas") << "filas";
        QTest::newRow("celda en la fila 65537") << "celda";
        QTest::newRow("257 columnas copiadas") << "columnas";
        QTest::newRow("celda en la columna 257") << "columna";
    }
    void fueraDeLaHoja() {
        QFETCH(QString, caso);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("reporte.xls"));
        auto viejo = libroNuevo();
        viejo->hoja().ponerValor(1, 1, QStringLiteral("viejo"));
        GUARDAR(*viejo, ruta);
        const QByteArray antes = contenido(ruta);

        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        h.ponerValor(1, 1, QStringLiteral("nuevo"));
        FuenteGenerada largas(kMaxFilasXls - 2, 2, [](int f, int c) { return QVariant(f + c); });
        FuenteGenerada anchas(3, kMaxColumnasXls + 1, [](int f, int c) { return QVariant(f + c); });
        if (caso == QLatin1String("filas"))
            h.copiarFilas(4, 1, largas);
        else if (caso == QLatin1String("celda"))
            h.ponerValor(kMaxFilasXls + 1, 1, 1);
        else if (caso == QLatin1String("columnas"))
            h.copiarFilas(4, 1, anchas);
        else
            h.ponerValor(2, kMaxColumnasXls + 1, QStringLiteral("x"));
        QString error;
        QVERIFY(!libro->guardarComo(ruta, &error));
        QVERIFY2(error.contains(QLatin1String(".xls")), qPrintable(error));
        QCOMPARE(contenido(ruta), antes);
        QCOMPARE(entradas(dir.path()), QStringList{QStringLiteral("reporte.xls")});
    }
};

QTEST_GUILESS_MAIN(TstEscritorXls)
#include "tst_escritorxls.moc"
