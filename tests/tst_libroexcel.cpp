// The workbook writer, read back with an independent reader (openpyxl through leer_libro.py).
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <functional>
#include <limits>

#include "LectorLibro.h"
#include "Soporte.h"
#include "libro/EscritorXlsx.h"
#include "libro/LibroExcel.h"

Q_DECLARE_METATYPE(std::optional<Rango>)

namespace {

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
    int leidas() const { return actual_; }

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

// The values of the comparison of the two .xlsx writers: texts XML must escape or cannot hold,
// long texts, NULLs, extreme and inexact doubles.
QVariant valorDificil(int fila, int col) {
    static const QList<QVariant> textos{QStringLiteral("& < > \" '"),
                                        QStringLiteral("uno\x01dos\x1Ftres\tcuatro\nfin"),
                                        QStringLiteral("emoji \U0001F600 y ñ"),
                                        QStringLiteral("TB1 "),
                                        QStringLiteral(" al frente"),
                                        QStringLiteral("d").repeated(60),
                                        QVariant(),
                                        QStringLiteral("=1+1"),
                                        QStringLiteral("")};
    static const QList<QVariant> numeros{std::numeric_limits<double>::max(),
                                         -std::numeric_limits<double>::max(),
                                         std::numeric_limits<double>::denorm_min(),
                                         std::numeric_limits<double>::min() / 3,
                                         0.1 + 0.2,
                                         8195.88,
                                         -0.0,
                                         QVariant(QMetaType::fromType<double>()),
                                         1e15,
                                         true};
    return col % 2 == 0 ? textos[(fila + col) % textos.size()]
                        : numeros[(fila + col) % numeros.size()];
}

// One sheet of the comparison laid out as the report lays out its own, written by `escritor`.
bool escribirComparacion(const QString& ruta, EscritorOoxml escritor, int filasPorHoja,
                         QString* error) {
    auto libro = libroNuevo();
    libro->ponerEscritorOoxml(escritor);
    HojaExcel& h = libro->hoja();
    h.ponerFilasPorHoja(filasPorHoja);
    h.ponerValor(1, 1, QStringLiteral("Reporte varelmo"));
    h.ponerTamano(Rango{1, 1, 1, 1}, 18);
    h.ponerValor(3, 3, QStringLiteral("Costo"));
    h.ponerNegrita(Rango{1, 1, 3, 6});
    h.ponerTamano(Rango{2, 3, 3, 4}, 10.5);
    h.ponerAnchoColumna(1, 15);
    h.ponerAnchoColumna(2, 60);
    h.ponerAnchoColumna(3, 8.43);
    h.ponerAnchoColumna(4, 0.5);
    h.ponerAnchoColumna(5, 0);
    h.ponerFormatoNumero(Rango{4, 2, 40, 6}, QStringLiteral("##,###,##0.00"));
    h.ponerFormatoNumero(Rango{4, 4, 40, 4}, QStringLiteral("0.000\" kg\""));
    // Panes and print setup other than the report's: one row frozen, no column; two title rows;
    // portrait, two pages wide.
    h.ponerDisposicion(DisposicionHoja{1, 0, 2, false, 2, QStringLiteral("&CArriba & <abajo>"),
                                       QStringLiteral("&CHoja &P")});
    FuenteGenerada fuente(30, 6, valorDificil);
    h.copiarFilas(4, 1, fuente);
    return libro->guardarComo(ruta, error);
}

}  // namespace

#define GUARDAR_Y_LEER(libro, ruta, leido)                                            \
    QString errorGuardar_;                                                            \
    QVERIFY2((libro).guardarComo((ruta), &errorGuardar_), qPrintable(errorGuardar_)); \
    const LibroLeido leido = leerLibro(ruta);                                         \
    QVERIFY2(leido.ok, qPrintable(leido.error))

class TstLibroExcel : public QObject {
    Q_OBJECT

private slots:
    void rangoDesdeTexto_data() {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<std::optional<Rango>>("esperado");
        auto r = [](int f1, int c1, int f2, int c2) {
            return std::optional<Rango>(Rango{f1, c1, f2, c2});
        };
        const std::optional<Rango> nada;
        QTest::newRow("A1") << "A1" << r(1, 1, 1, 1);
        QTest::newRow("Z9") << "Z9" << r(9, 26, 9, 26);
        QTest::newRow("AA10") << "AA10" << r(10, 27, 10, 27);
        QTest::newRow("XFD1, última columna") << "XFD1" << r(1, 16384, 1, 16384);
        QTest::newRow("última fila") << "a1048576" << r(1048576, 1, 1048576, 1);
        QTest::newRow("bloque") << "A1:B3" << r(1, 1, 3, 2);
        QTest::newRow("esquinas invertidas se conservan") << "C4:D3" << r(4, 3, 3, 4);
        QTest::newRow("anclas $") << "$C$4:AB123" << r(4, 3, 123, 28);
        QTest::newRow("vacío") << "" << nada;
        QTest::newRow("sin fila") << "A" << nada;
        QTest::newRow("sin columna") << "12" << nada;
        QTest::newRow("fila cero") << "A0" << nada;
        QTest::newRow("columna después de XFD") << "XFE1" << nada;
        QTest::newRow("fila después de la última") << "A1048577" << nada;
        QTest::newRow("segunda esquina falta") << "A1:" << nada;
        QTest::newRow("primera esquina falta") << ":B2" << nada;
        QTest::newRow("tres esquinas") << "A1:B2:C3" << nada;
        QTest::newRow("espacio") << "A 1" << nada;
        QTest::newRow("letra no ASCII") << "Ñ1" << nada;
        QTest::newRow("número antes que letras") << "1A" << nada;
        QTest::newRow("signo") << "A-1" << nada;
    }
    void rangoDesdeTexto() {
        QFETCH(QString, texto);
        QFETCH(std::optional<Rango>, esperado);
        const std::optional<Rango> r = Rango::desdeTexto(texto);
        QCOMPARE(r.has_value(), esperado.has_value());
        if (r) QCOMPARE(*r, *esperado);
    }

    void aplicacionPorNombreDeClase_data() {
        QTest::addColumn<QString>("clase");
        QTest::addColumn<bool>("crea");
        QTest::newRow("nombre habitual") << "Excel.Application" << true;
        QTest::newRow("minúsculas") << "excel.application" << true;
        QTest::newRow("mayúsculas") << "EXCEL.APPLICATION" << true;
        QTest::newRow("otra aplicación") << "Word.Application" << false;
        QTest::newRow("vacío") << "" << false;
        QTest::newRow("con versión") << "Excel.Application.16" << false;
        QTest::newRow("con espacio") << " Excel.Application" << false;
    }
    void aplicacionPorNombreDeClase() {
        QFETCH(QString, clase);
        QFETCH(bool, crea);
        QString error;
        const auto app = AplicacionExcel::crear(clase, &error);
        QCOMPARE(app != nullptr, crea);
        QCOMPARE(error.isEmpty(), crea);
        if (app) QVERIFY(app->agregarLibro() != nullptr);
    }

    void valores_data() {
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<QString>("tipo");  // "" when the cell must stay empty
        QTest::addColumn<QVariant>("leido");
        const QString acentos = QStringLiteral("Descripción: año, pingüino, ÁÉÍÓÚ ñ");
        const QString emoji = QStringLiteral("Precio 😀 🇲🇽");
        QTest::newRow("texto con acentos") << QVariant(acentos) << "s" << QVariant(acentos);
        QTest::newRow("texto con emoji") << QVariant(emoji) << "s" << QVariant(emoji);
        QTest::newRow("texto que parece fórmula")
            << QVariant(QStringLiteral("=1+2")) << "s" << QVariant(QStringLiteral("=1+2"));
        QTest::newRow("texto que parece número")
            << QVariant(QStringLiteral("00123")) << "s" << QVariant(QStringLiteral("00123"));
        QTest::newRow("marcado XML") << QVariant(QStringLiteral("<a href=\"x\">&amp;</a>")) << "s"
                                     << QVariant(QStringLiteral("<a href=\"x\">&amp;</a>"));
        QTest::newRow("1234567.89") << QVariant(1234567.89) << "n" << QVariant(1234567.89);
        QTest::newRow("-0.5") << QVariant(-0.5) << "n" << QVariant(-0.5);
        QTest::newRow("cero") << QVariant(0.0) << "n" << QVariant(0.0);
        QTest::newRow("1e15") << QVariant(1e15) << "n" << QVariant(1e15);
        QTest::newRow("1e-9") << QVariant(1e-9) << "n" << QVariant(1e-9);
        QTest::newRow("entero") << QVariant(42) << "n" << QVariant(42.0);
        QTest::newRow("entero largo")
            << QVariant(qlonglong(9007199254740992LL)) << "n" << QVariant(9007199254740992.0);
        QTest::newRow("lógico") << QVariant(true) << "b" << QVariant(true);
        QTest::newRow("nulo") << QVariant() << "" << QVariant();
        QTest::newRow("texto nulo") << QVariant(QString()) << "" << QVariant();
        QTest::newRow("NaN, que el formato no admite")
            << QVariant(std::numeric_limits<double>::quiet_NaN()) << "" << QVariant();
        QTest::newRow("infinito") << QVariant(std::numeric_limits<double>::infinity()) << ""
                                  << QVariant();
    }
    void valores() {
        QFETCH(QVariant, valor);
        QFETCH(QString, tipo);
        QFETCH(QVariant, leido);
        QTemporaryDir dir;
        auto libro = libroNuevo();
        libro->hoja().ponerValor(2, 3, valor);
        libro->hoja().ponerValor(1, 1,
                                 QStringLiteral("marca"));  // the file is readable around the cell
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("v.xlsx")), l);
        QCOMPARE(l.celda(QStringLiteral("A1")).v.toString(), QStringLiteral("marca"));
        const CeldaLeida c = l.celda(QStringLiteral("C2"));
        QCOMPARE(c.t, tipo);
        if (tipo.isEmpty()) return;
        if (tipo == QLatin1String("n"))
            QCOMPARE(c.v.toDouble(), leido.toDouble());  // exact, no fuzz
        else
            QCOMPARE(c.v, leido);
        QCOMPARE(c.negrita, false);
        QCOMPARE(c.tamano, 11.0);
        QCOMPARE(c.formato, QStringLiteral("General"));
    }

    void valorNuloBorraElAnterior() {
        QTemporaryDir dir;
        auto libro = libroNuevo();
        libro->hoja().ponerValor(1, 1, QStringLiteral("viejo"));
        libro->hoja().ponerValor(1, 1, QVariant());
        libro->hoja().ponerValor(1, 2, 5);
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("n.xlsx")), l);
        QVERIFY(!l.hay(QStringLiteral("A1")));
        QCOMPARE(l.celda(QStringLiteral("B1")).v.toDouble(), 5.0);
    }

    void textoLargoSeRecorta() {
        QTemporaryDir dir;
        auto libro = libroNuevo();
        // An emoji straddling the limit must go whole, never half a surrogate pair.
        const QString largo =
            QString(kMaxLargoTexto - 1, u'x') + QStringLiteral("😀") + QString(100, u'y');
        libro->hoja().ponerValor(1, 1, largo);
        libro->hoja().ponerValor(1, 2, QString(kMaxLargoTexto, u'z'));
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("t.xlsx")), l);
        QCOMPARE(l.celda(QStringLiteral("A1")).v.toString(), QString(kMaxLargoTexto - 1, u'x'));
        QCOMPARE(l.celda(QStringLiteral("B1")).v.toString(), QString(kMaxLargoTexto, u'z'));
    }

    void fuentesPorRango() {
        QTemporaryDir dir;
        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        h.ponerValor(1, 1, QStringLiteral("Reporte varelmo"));
        h.ponerValor(3, 1, QStringLiteral("Clave"));
        h.ponerValor(3, 2, QStringLiteral("Descripción"));
        h.ponerValor(1, 3, QStringLiteral("Datos1"));
        h.ponerValor(4, 1, QStringLiteral("fuera"));
        h.ponerNegrita(*Rango::desdeTexto(QStringLiteral("A1:B3")));
        h.ponerTamano(*Rango::desdeTexto(QStringLiteral("A1:B3")), 18);
        h.ponerNegrita(*Rango::desdeTexto(QStringLiteral("C1")));
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("f.xlsx")), l);
        for (const char* nombre : {"A1", "A3", "B3"}) {
            const CeldaLeida c = l.celda(QLatin1String(nombre));
            QVERIFY2(c.negrita && c.tamano == 18.0, nombre);
        }
        QCOMPARE(l.celda(QStringLiteral("C1")).negrita, true);
        QCOMPARE(l.celda(QStringLiteral("C1")).tamano, 11.0);
        QCOMPARE(l.celda(QStringLiteral("A4")).negrita, false);
        QCOMPARE(l.celda(QStringLiteral("A4")).tamano, 11.0);
        QVERIFY(!l.hay(QStringLiteral("B1")));  // styled but without a value
    }

    void laUltimaLlamadaDeFormatoGana() {
        QTemporaryDir dir;
        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        h.ponerValor(1, 1, 1.5);
        h.ponerValor(1, 2, 2.5);
        h.ponerNegrita(*Rango::desdeTexto(QStringLiteral("A1:B1")));
        h.ponerNegrita(*Rango::desdeTexto(QStringLiteral("B1")), false);
        h.ponerFormatoNumero(*Rango::desdeTexto(QStringLiteral("A1:B1")), QStringLiteral("0.00"));
        h.ponerFormatoNumero(*Rango::desdeTexto(QStringLiteral("A1")), QStringLiteral("0.000"));
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("u.xlsx")), l);
        QCOMPARE(l.celda(QStringLiteral("A1")).negrita, true);
        QCOMPARE(l.celda(QStringLiteral("B1")).negrita, false);
        QCOMPARE(l.celda(QStringLiteral("A1")).formato, QStringLiteral("0.000"));
        QCOMPARE(l.celda(QStringLiteral("B1")).formato, QStringLiteral("0.00"));
    }

    void formatoAntesODespuesDelValor_data() {
        QTest::addColumn<bool>("formatoPrimero");
        QTest::newRow("formato antes del valor") << true;
        QTest::newRow("formato después del valor") << false;
    }
    void formatoAntesODespuesDelValor() {
        QFETCH(bool, formatoPrimero);
        QTemporaryDir dir;
        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        auto formatos = [&h] {
            h.ponerNegrita(*Rango::desdeTexto(QStringLiteral("B2:C2")));
            h.ponerTamano(*Rango::desdeTexto(QStringLiteral("C2")), 14);
            h.ponerFormatoNumero(*Rango::desdeTexto(QStringLiteral("B2:C2")),
                                 QStringLiteral("##,###,##0.00"));
        };
        if (formatoPrimero) formatos();
        h.ponerValor(2, 2, 1234.5);
        h.ponerValor(2, 3, QStringLiteral("texto"));
        if (!formatoPrimero) formatos();
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("o.xlsx")), l);
        const CeldaLeida b2 = l.celda(QStringLiteral("B2"));
        const CeldaLeida c2 = l.celda(QStringLiteral("C2"));
        QCOMPARE(b2.v.toDouble(), 1234.5);
        QCOMPARE(b2.negrita, true);
        QCOMPARE(b2.tamano, 11.0);
        QCOMPARE(b2.formato, QStringLiteral("##,###,##0.00"));
        QCOMPARE(c2.negrita, true);
        QCOMPARE(c2.tamano, 14.0);
    }

    // The report's layout: a heading, 20 rows copied at A4, prices formatted from C4 to D23.
    void formatoDeNumeroEnFilasCopiadas() {
        QTemporaryDir dir;
        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        h.ponerValor(3, 1, QStringLiteral("Clave"));
        h.ponerValor(3, 3, QStringLiteral("Costo"));
        FuenteGenerada fuente(20, 5, [](int f, int c) -> QVariant {
            switch (c) {
                case 0:
                    return QStringLiteral("C%1").arg(f, 3, 10, QLatin1Char('0'));
                case 1:
                    return f == 7 ? QVariant() : QVariant(QStringLiteral("Producto ñ %1").arg(f));
                case 4:
                    return QStringLiteral("=aviso");
                default:
                    return f * 10.25 + c;
            }
        });
        h.copiarFilas(4, 1, fuente);
        h.ponerFormatoNumero(*Rango::desdeTexto(QStringLiteral("C4:D23")),
                             QStringLiteral("##,###,##0.00"));
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("c.xlsx")), l);
        QCOMPARE(fuente.leidas(), 20);
        QCOMPARE(l.maxFila, 23);
        QCOMPARE(l.maxCol, 5);
        QCOMPARE(l.celda(QStringLiteral("A4")).v.toString(), QStringLiteral("C000"));
        QCOMPARE(l.celda(QStringLiteral("A4")).t, QStringLiteral("s"));
        QCOMPARE(l.celda(QStringLiteral("B5")).v.toString(), QStringLiteral("Producto ñ 1"));
        QVERIFY(!l.hay(QStringLiteral("B11")));  // the null of row 7
        QCOMPARE(l.celda(QStringLiteral("E23")).v.toString(), QStringLiteral("=aviso"));
        QCOMPARE(l.celda(QStringLiteral("D23")).v.toDouble(), 19 * 10.25 + 3);
        for (const char* dentro : {"C4", "D4", "C23", "D23", "C10"}) {
            QCOMPARE(l.celda(QLatin1String(dentro)).formato, QStringLiteral("##,###,##0.00"));
            QCOMPARE(l.celda(QLatin1String(dentro)).t, QStringLiteral("n"));
        }
        for (const char* fuera : {"A4", "B4", "E4", "E23", "C3"})
            QCOMPARE(l.celda(QLatin1String(fuera)).formato, QStringLiteral("General"));
        QCOMPARE(l.celda(QStringLiteral("C4")).negrita, false);
        QCOMPARE(l.celda(QStringLiteral("C4")).tamano, 11.0);
    }

    // An empty working table gives the range C4:D3, which covers rows 3 and 4.
    void rangoInvertidoSinFilas() {
        QTemporaryDir dir;
        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        h.ponerValor(2, 3, 1.0);
        h.ponerValor(3, 3, 2.0);
        h.ponerValor(3, 4, 3.0);
        h.ponerValor(4, 3, 4.0);
        h.ponerValor(5, 3, 5.0);
        h.ponerValor(3, 5, 6.0);
        FuenteGenerada vacia(0, 5, [](int, int) { return QVariant(); });
        h.copiarFilas(4, 1, vacia);
        h.ponerFormatoNumero(*Rango::desdeTexto(QStringLiteral("C4:D3")), QStringLiteral("0.00"));
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("r.xlsx")), l);
        for (const char* dentro : {"C3", "D3", "C4"})
            QCOMPARE(l.celda(QLatin1String(dentro)).formato, QStringLiteral("0.00"));
        for (const char* fuera : {"C2", "C5", "E3"})
            QCOMPARE(l.celda(QLatin1String(fuera)).formato, QStringLiteral("General"));
        QCOMPARE(l.celda(QStringLiteral("C4")).v.toDouble(),
                 4.0);  // the empty copy cleared nothing
    }

    void valoresYCopiaSeSuperponen_data() {
        QTest::addColumn<bool>("valorDespues");
        QTest::newRow("valor puesto antes de la copia") << false;
        QTest::newRow("valor puesto después de la copia") << true;
    }
    void valoresYCopiaSeSuperponen() {
        QFETCH(bool, valorDespues);
        QTemporaryDir dir;
        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        FuenteGenerada fuente(3, 2, [](int f, int c) { return QVariant(f * 10 + c); });
        if (!valorDespues) h.ponerValor(2, 2, QStringLiteral("propio"));
        h.copiarFilas(1, 1, fuente);
        if (valorDespues) h.ponerValor(2, 2, QStringLiteral("propio"));
        h.ponerValor(2, 3, QStringLiteral("al lado"));
        h.ponerValor(5, 1, QStringLiteral("debajo"));
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("s.xlsx")), l);
        if (valorDespues)
            QCOMPARE(l.celda(QStringLiteral("B2")).v.toString(), QStringLiteral("propio"));
        else
            QCOMPARE(l.celda(QStringLiteral("B2")).v.toDouble(), 11.0);
        QCOMPARE(l.celda(QStringLiteral("A2")).v.toDouble(), 10.0);
        QCOMPARE(l.celda(QStringLiteral("C2")).v.toString(), QStringLiteral("al lado"));
        QCOMPARE(l.celda(QStringLiteral("B3")).v.toDouble(), 21.0);
        QCOMPARE(l.celda(QStringLiteral("A5")).v.toString(), QStringLiteral("debajo"));
        QCOMPARE(l.maxFila, 5);
    }

    void anchosDeColumna() {
        QTemporaryDir dir;
        auto libro = libroNuevo();
        libro->hoja().ponerAnchoColumna(1, 15);
        libro->hoja().ponerAnchoColumna(2, 60);
        libro->hoja().ponerValor(1, 1, QStringLiteral("x"));
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("w.xlsx")), l);
        QCOMPARE(l.anchos.size(), 2);
        QVERIFY(std::abs(l.anchos.value(QStringLiteral("A")) - anchoGuardado(15)) < 1.0 / 256);
        QVERIFY(std::abs(l.anchos.value(QStringLiteral("B")) - anchoGuardado(60)) < 1.0 / 256);
        QVERIFY(std::abs(anchoGuardado(15) - 15.7109375) < 1e-12);
    }

    void reemplazaArchivoExistente() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("Reporte.XLSX"));
        auto viejo = libroNuevo();
        viejo->hoja().ponerValor(1, 1, QStringLiteral("viejo"));
        viejo->hoja().ponerValor(9, 9, QStringLiteral("sobra"));
        QVERIFY(viejo->guardarComo(ruta));
        QFile::setPermissions(ruta, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        auto nuevo = libroNuevo();
        nuevo->hoja().ponerValor(1, 1, QStringLiteral("nuevo"));
        GUARDAR_Y_LEER(*nuevo, ruta, l);
        QCOMPARE(l.celda(QStringLiteral("A1")).v.toString(), QStringLiteral("nuevo"));
        QVERIFY(!l.hay(QStringLiteral("I9")));
        QCOMPARE(entradas(dir.path()), QStringList{QStringLiteral("Reporte.XLSX")});
        // The replaced file's permissions are kept.
        const QFile::Permissions todos = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                         QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFile::permissions(ruta) & todos,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    }

    void guardadoFallido_data() {
        QTest::addColumn<QString>("caso");
        QTest::newRow("carpeta de solo lectura") << "solo lectura";
        QTest::newRow("el destino es una carpeta") << "carpeta";
        QTest::newRow("la carpeta no existe") << "sin carpeta";
        QTest::newRow("celda más allá de la última fila") << "fila";
        QTest::newRow("celda más allá de la última columna") << "columna";
        QTest::newRow("filas copiadas pasan de la última columna") << "copia ancha";
        QTest::newRow("ancho de columna inválido") << "ancho";
    }
    void guardadoFallido() {
        QFETCH(QString, caso);
        QTemporaryDir dir;
        const QString carpeta = dir.filePath(QStringLiteral("salida"));
        QVERIFY(QDir().mkpath(carpeta));
        QString ruta = carpeta + QStringLiteral("/reporte.xlsx");
        auto viejo = libroNuevo();
        viejo->hoja().ponerValor(1, 1, QStringLiteral("viejo"));
        QVERIFY(viejo->guardarComo(ruta));
        const QByteArray antes = contenido(ruta);

        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        h.ponerValor(1, 1, QStringLiteral("nuevo"));
        FuenteGenerada fuente(20, 10, [](int f, int c) { return QVariant(f + c); });
        if (caso == QLatin1String("solo lectura")) {
            if (::geteuid() == 0) QSKIP("root writes into read-only folders");
            QVERIFY(QFile::setPermissions(carpeta, QFile::ReadOwner | QFile::ExeOwner));
        } else if (caso == QLatin1String("carpeta")) {
            ruta = carpeta;
        } else if (caso == QLatin1String("sin carpeta")) {
            ruta = carpeta + QStringLiteral("/no/existe.xlsx");
        } else if (caso == QLatin1String("fila")) {
            h.ponerValor(kMaxFilasHoja + 1, 1, 1);
        } else if (caso == QLatin1String("columna")) {
            h.ponerValor(1, kMaxColumnasHoja + 1, 1);
        } else if (caso == QLatin1String("copia ancha")) {
            h.copiarFilas(2, kMaxColumnasHoja - 5, fuente);
        } else if (caso == QLatin1String("ancho")) {
            h.ponerAnchoColumna(3, 300);
        }
        QString error;
        const bool ok = libro->guardarComo(ruta, &error);
        QFile::setPermissions(carpeta, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        QCOMPARE(contenido(carpeta + QStringLiteral("/reporte.xlsx")), antes);
        QCOMPARE(entradas(carpeta), QStringList{QStringLiteral("reporte.xlsx")});
    }

    // While it is written, the workbook lives in a folder of the process's own (0700), where
    // nobody else can put a link; a link in the target's place is then replaced, never followed:
    // the file it points to keeps its bytes and mode, and nothing is left but the workbook.
    void enlaceEnElDestino() {
        QTemporaryDir dir;
        const QString victima = dir.filePath(QStringLiteral("victima"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("salida"))));
        QFile v(victima);
        QVERIFY(v.open(QIODevice::WriteOnly) && v.write("no tocar") == 8);
        v.close();
        QVERIFY(QFile::setPermissions(victima, QFile::ReadOwner | QFile::WriteOwner));
        const QString ruta = dir.filePath(QStringLiteral("salida/r.xlsx"));
        QVERIFY(QFile::link(victima, ruta));
        auto libro = libroNuevo();
        libro->hoja().ponerValor(1, 1, QStringLiteral("nuevo"));
        QStringList durante;
        bool carpetaPrivada = false;
        FuenteGenerada fuente(1, 1, [&](int, int) {
            durante = entradas(dir.filePath(QStringLiteral("salida")));
            durante.removeOne(QStringLiteral("r.xlsx"));
            const QFileInfo trabajo(dir.filePath(QStringLiteral("salida/") + durante.value(0)));
            carpetaPrivada =
                durante.size() == 1 && trabajo.isDir() && !trabajo.isSymLink() &&
                !(trabajo.permissions() & (QFile::ReadGroup | QFile::ExeGroup | QFile::WriteGroup |
                                           QFile::ReadOther | QFile::ExeOther | QFile::WriteOther));
            return QVariant(1);
        });
        libro->hoja().copiarFilas(2, 1, fuente);
        GUARDAR_Y_LEER(*libro, ruta, l);
        QCOMPARE(l.celda(QStringLiteral("A1")).v.toString(), QStringLiteral("nuevo"));
        QVERIFY2(carpetaPrivada, qPrintable(durante.join(u' ')));
        QVERIFY(!QFileInfo(ruta).isSymLink());
        QCOMPARE(contenido(victima), QByteArray("no tocar"));
        const QFile::Permissions deOtros =
            QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QCOMPARE(QFile::permissions(victima) & deOtros, QFile::Permissions());
        QCOMPARE(entradas(dir.filePath(QStringLiteral("salida"))),
                 QStringList{QStringLiteral("r.xlsx")});
    }

    // A copy longer than a sheet goes on on further sheets, each with the rows above the copy,
    // their looks and the widths: every row once, in order. The sheet is made 10 rows long here.
    // The program's own .xlsx writer against libxlsxwriter, its reference: the same sheet through
    // both reads back the same through openpyxl (values, fonts, sizes, bold, widths, number
    // formats, extent, sheets). Numbers: the own writer's read back exactly; libxlsxwriter keeps
    // 16 significant digits.
    void igualQueLibxlsxwriter_data() {
        QTest::addColumn<int>("filasPorHoja");
        QTest::addColumn<int>("hojas");
        QTest::newRow("una hoja") << kMaxFilasHoja << 1;
        QTest::newRow("tres hojas") << 15 << 3;
    }
    void igualQueLibxlsxwriter() {
        QFETCH(int, filasPorHoja);
        QFETCH(int, hojas);
        QTemporaryDir dir;
        const QString propio = dir.filePath(QStringLiteral("propio.xlsx"));
        const QString referencia = dir.filePath(QStringLiteral("referencia.xlsx"));
        QString error;
        QVERIFY2(escribirComparacion(propio, EscritorOoxml::Propio, filasPorHoja, &error),
                 qPrintable(error));
        QVERIFY2(
            escribirComparacion(referencia, EscritorOoxml::Libxlsxwriter, filasPorHoja, &error),
            qPrintable(error));
        for (int n = 0; n < hojas; ++n) {
            const LibroLeido a = leerLibro(propio, n), b = leerLibro(referencia, n);
            QVERIFY2(a.ok && b.ok, qPrintable(a.error + b.error));
            QCOMPARE(a.hojas, hojas);
            QCOMPARE(b.hojas, hojas);
            QCOMPARE(a.maxFila, b.maxFila);
            QCOMPARE(a.maxCol, b.maxCol);
            QCOMPARE(a.anchos, b.anchos);
            QCOMPARE(a.disposicion, b.disposicion);
            QCOMPARE(
                a.disposicion,
                (DisposicionLeida{QStringLiteral("A2"), QStringLiteral("1:2"), false, 2, 0,
                                  QStringLiteral("Arriba & <abajo>"), QStringLiteral("Hoja &P")}));
            QCOMPARE(a.vacias.keys(), b.vacias.keys());
            QCOMPARE(QSet<QString>(a.celdas.keyBegin(), a.celdas.keyEnd()),
                     QSet<QString>(b.celdas.keyBegin(), b.celdas.keyEnd()));
            for (auto it = a.celdas.cbegin(); it != a.celdas.cend(); ++it) {
                const CeldaLeida& x = it.value();
                const CeldaLeida y = b.celda(it.key());
                QVERIFY2(x.t == y.t && x.negrita == y.negrita && x.tamano == y.tamano &&
                             x.formato == y.formato,
                         qPrintable(it.key()));
                if (x.t != QLatin1String("n")) {
                    QCOMPARE(x.v, y.v);
                    continue;
                }
                // libxlsxwriter's 16 digits of the largest doubles read back past their range.
                const double leido = x.v.toDouble();
                const double otro =
                    y.v.typeId() == QMetaType::QString
                        ? std::copysign(std::numeric_limits<double>::max(),
                                        y.v.toString().startsWith(u'-') ? -1.0 : 1.0)
                        : y.v.toDouble();
                QVERIFY2(std::abs(leido - otro) <= std::abs(otro) * 1e-15, qPrintable(it.key()));
            }
        }
        // gnumeric opens it without a word.
        QProcess ssconvert;
        ssconvert.start(QStringLiteral("/usr/bin/ssconvert"),
                        {QStringLiteral("-T"), QStringLiteral("Gnumeric_stf:stf_csv"), propio,
                         dir.filePath(QStringLiteral("propio.csv"))});
        QVERIFY(ssconvert.waitForFinished(120000));
        QCOMPARE(ssconvert.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(ssconvert.readAllStandardError()), QString());
        // The own writer's numbers are exact: row 4 onwards hold valorDificil's doubles.
        const LibroLeido a = leerLibro(propio);
        for (int f = 4; f <= qMin(a.maxFila, 33); ++f)
            for (int c = 2; c <= 6; c += 2) {
                const QVariant v = valorDificil(f - 4, c - 1);
                const QString nombre = QString(QChar(u'A' + c - 1)) + QString::number(f);
                if (v.typeId() == QMetaType::Double && !v.isNull())
                    QVERIFY2(a.celda(nombre).v.toDouble() == v.toDouble() ||
                                 (v.toDouble() == 0 && a.celda(nombre).v.toDouble() == 0),
                             qPrintable(nombre));
            }
    }

    // Text as the own .xlsx writer puts it in the sheet's XML.
    void textoXml_data() {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QByteArray>("xml");
        QTest::newRow("marcas") << QStringLiteral("a & b < c > d \"e\"")
                                << QByteArray("a &amp; b &lt; c &gt; d \"e\"");
        QTest::newRow("controles") << QStringLiteral(
                                          "a\x01"
                                          "b\x1F\t\n\r")
                                   << QByteArray("a_x0001_b_x001F_\t\n\r");
        QTest::newRow("fuera de XML") << QString(QChar(0xFFFF)) << QByteArray("_xFFFF_");
        QTest::newRow("parece un escape")
            << QStringLiteral("_x0041_ y _x00g1_") << QByteArray("_x005F_x0041_ y _x00g1_");
        QTest::newRow("ñ y emoji")
            << QStringLiteral("ñ \U0001F600") << QByteArray("\xc3\xb1 \xf0\x9f\x98\x80");
    }
    void textoXml() {
        QFETCH(QString, texto);
        QFETCH(QByteArray, xml);
        QCOMPARE(EscritorXlsx::textoXml(texto), xml);
    }

    void continuaEnOtrasHojas() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("largo.xlsx"));
        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        h.ponerFilasPorHoja(10);
        h.ponerValor(1, 1, QStringLiteral("Reporte"));
        h.ponerValor(3, 1, QStringLiteral("Clave"));
        h.ponerNegrita(Rango{1, 1, 3, 2});
        h.ponerTamano(Rango{1, 1, 3, 2}, 18);
        h.ponerAnchoColumna(1, 15);
        h.ponerFormatoNumero(Rango{4, 2, 10, 2}, QStringLiteral("0.00"));
        FuenteGenerada fuente(25, 2, [](int f, int c) {
            return c == 0 ? QVariant(QStringLiteral("K%1").arg(f, 2, 10, QLatin1Char('0')))
                          : QVariant(f + 0.5);
        });
        h.copiarFilas(4, 1, fuente);
        QString error;
        QVERIFY2(libro->guardarComo(ruta, &error), qPrintable(error));

        QStringList claves;
        for (int n = 0; n < 4; ++n) {  // 7 rows a sheet: 7, 7, 7 and 4
            const LibroLeido l = leerLibro(ruta, n);
            QVERIFY2(l.ok, qPrintable(l.error));
            QCOMPARE(l.hojas, 4);
            QCOMPARE(l.celda(QStringLiteral("A1")).v.toString(), QStringLiteral("Reporte"));
            QVERIFY(l.celda(QStringLiteral("A3")).negrita &&
                    l.celda(QStringLiteral("A3")).tamano == 18);
            QVERIFY(l.vacias.value(QStringLiteral("B2")).negrita);
            QVERIFY(qAbs(l.anchos.value(QStringLiteral("A")) - anchoGuardado(15)) <= 1.0 / 256);
            QCOMPARE(l.maxFila, n < 3 ? 10 : 7);
            for (int f = 4; f <= l.maxFila; ++f) {
                claves << l.celda(QStringLiteral("A%1").arg(f)).v.toString();
                QCOMPARE(l.celda(QStringLiteral("B%1").arg(f)).formato, QStringLiteral("0.00"));
            }
        }
        QStringList esperado;
        for (int f = 0; f < 25; ++f)
            esperado << QStringLiteral("K%1").arg(f, 2, 10, QLatin1Char('0'));
        QCOMPARE(claves, esperado);
    }

    // After a save the copied rows' source may be gone: a second save must not read it.
    void segundoGuardadoNoLeeLaFuente() {
        QTemporaryDir dir;
        auto libro = libroNuevo();
        libro->hoja().ponerValor(1, 1, QStringLiteral("título"));
        {
            FuenteGenerada fuente(3, 2, [](int f, int c) { return QVariant(f + c); });
            libro->hoja().copiarFilas(2, 1, fuente);
            QVERIFY(libro->guardarComo(dir.filePath(QStringLiteral("1.xlsx"))));
        }
        GUARDAR_Y_LEER(*libro, dir.filePath(QStringLiteral("2.xlsx")), l);
        QCOMPARE(l.celda(QStringLiteral("A1")).v.toString(), QStringLiteral("título"));
        QCOMPARE(l.maxFila, 1);
    }

    void copiaGrande() {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("grande.xlsx"));
        auto libro = libroNuevo();
        HojaExcel& h = libro->hoja();
        h.ponerValor(1, 1, QStringLiteral("Reporte varelmo"));
        h.ponerValor(3, 1, QStringLiteral("Clave"));
        constexpr int kFilas = 20000, kColumnas = 10;
        FuenteGenerada fuente(kFilas, kColumnas, [](int f, int c) -> QVariant {
            if (c == 0) return QStringLiteral("P%1").arg(f);
            return f + c / 100.0;
        });
        h.copiarFilas(4, 1, fuente);
        h.ponerFormatoNumero(Rango{4, 3, kFilas + 3, 9}, QStringLiteral("##,###,##0.00"));
        QString error;
        QVERIFY2(libro->guardarComo(ruta, &error), qPrintable(error));
        const LibroLeido l = leerResumenLibro(ruta);
        QVERIFY2(l.ok, qPrintable(l.error));
        QCOMPARE(l.maxFila, kFilas + 3);
        QCOMPARE(l.maxCol, kColumnas);
        QCOMPARE(l.filasConValor, kFilas + 2);
        QCOMPARE(l.cuentaCeldas, kFilas * kColumnas + 2);
        const QString ultima = QString::number(kFilas + 3);
        QCOMPARE(l.celda(QStringLiteral("A") + ultima).v.toString(),
                 QStringLiteral("P%1").arg(kFilas - 1));
        QCOMPARE(l.celda(QStringLiteral("I") + ultima).v.toDouble(), (kFilas - 1) + 8 / 100.0);
        QCOMPARE(l.celda(QStringLiteral("I") + ultima).formato, QStringLiteral("##,###,##0.00"));
        QCOMPARE(l.celda(QStringLiteral("J") + ultima).formato, QStringLiteral("General"));
    }
};

QTEST_GUILESS_MAIN(TstLibroExcel)
#include "tst_libroexcel.moc"
