// The workbook of a report: layout, fonts, widths and number format, read back with openpyxl, and
// what happens to an earlier file of the same name.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>
#include <cstring>
#include <limits>

#include "AnfitrionPrueba.h"
#include "DialogosGuion.h"
#include "LectorLibro.h"
#include "ReportePrueba.h"
#include "ServidorPrueba.h"
#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"
#include "libro/LetraColumna.h"
#include "report/SolicitudReporte.h"
#include "report/clsLlenarTabla.h"

namespace {
QString celda(int columna, int fila) { return LetraColumna(columna) + QString::number(fila); }

// A host with companies 1, 2 and 3 (no products), started; the working table made for `ids` and
// filled with `filas` rows here, inserted in reverse order so the sheet has to sort them.
// Row 3's description holds what a CSV field must quote: the separator, quotes, a line break;
// row 4's starts like a formula, which a spreadsheet must still show as text.
QString descripcion(int f) {
    if (f == 4) return QStringLiteral("=HIPERVINCULO(\"x\")");
    return f == 3 ? QStringLiteral("desc 3; \"tres\"\nlíneas") : QStringLiteral("desc %1").arg(f);
}

bool prepararTabla(AnfitrionPrueba& a, const QList<int>& ids, int filas, QString* error) {
    if (!a.valido() || !a.crearGeneral()) {
        *error = a.error();
        return false;
    }
    for (int id = 1; id <= 3; ++id) {
        EmpresaPrueba e;
        e.id = id;
        e.nombre = QStringLiteral("Compañía %1").arg(id);
        if (a.crearEmpresa(e).isEmpty()) {
            *error = a.error();
            return false;
        }
    }
    if (!a.arrancar(error)) return false;
    Contexto& p = a.contexto();
    p.listaSeleccion = ids;
    if (!CrearTablaTrabajo(p.ConexionPrincipal, ids, error)) return false;
    for (int f = filas; f >= 1; --f) {
        QVariantList valores{QStringLiteral("K%1").arg(f, 3, 10, QLatin1Char('0')), descripcion(f)};
        QString marcas = QStringLiteral("?,?");
        for (int i = 0; i < ids.size(); ++i) {
            // The first company's price of the second row is NULL.
            valores << f * 100.0 + i + 0.25
                    << (f == 2 && i == 0 ? QVariant() : QVariant(f * 100.0 + i + 0.75));
            marcas += QStringLiteral(",?,?");
        }
        valores << (f % 2 ? QStringLiteral("No existe en alguna empresa") : QStringLiteral(""));
        if (!p.ConexionPrincipal.ejecutar(
                QStringLiteral("INSERT INTO tbltempproductos VALUES (%1,?)").arg(marcas), valores,
                error))
            return false;
    }
    return true;
}
}  // namespace

class TstExportar : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { REQUIERE_SERVIDOR(); }

    void hoja_data() {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<int>("filas");
        QTest::addColumn<QString>("formato");  // "" keeps the default
        QTest::addColumn<QString>("archivo");
        // The same sheet in both formats: .xls is read back with xlrd, .xlsx with openpyxl.
        for (const QString& archivo : {QStringLiteral("hoja.xlsx"), QStringLiteral("hoja.xls")}) {
            const QByteArray sufijo = (u' ' + archivo).toUtf8();
            QTest::newRow((QByteArray("una empresa Id 1") + sufijo).constData())
                << QList<int>{1} << 3 << QString() << archivo;
            QTest::newRow(
                (QByteArray("tres empresas: C/D, E/F, G/H y Aviso en I") + sufijo).constData())
                << QList<int>{1, 2, 3} << 2 << QString() << archivo;
            QTest::newRow((QByteArray("20 filas: de la 4 a la 23") + sufijo).constData())
                << QList<int>{2} << 20 << QString() << archivo;
            QTest::newRow((QByteArray("tabla vacia: titulo y encabezados") + sufijo).constData())
                << QList<int>{1} << 0 << QString() << archivo;
            QTest::newRow((QByteArray("empresa sin fila: datos7") + sufijo).constData())
                << QList<int>{7, 1} << 1 << QString() << archivo;
            QTest::newRow((QByteArray("formato propio") + sufijo).constData())
                << QList<int>{3} << 2 << QStringLiteral("0.000") << archivo;
        }
        // A CSV file: the same rows as text, read back as a spreadsheet reads it.
        QTest::newRow("tres empresas en CSV")
            << QList<int>{1, 2, 3} << 4 << QString() << QStringLiteral("precios.CSV");
    }
    void hoja() {
        QFETCH(QList<int>, ids);
        QFETCH(int, filas);
        QFETCH(QString, formato);
        QFETCH(QString, archivo);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(prepararTabla(a, ids, filas, &error), qPrintable(error));
        if (!formato.isEmpty()) a.contexto().FormatoPrecios = formato;
        // The prices' format in the workbook: the one set, or the program's own default.
        QString esperado = formato.isEmpty() ? QStringLiteral("##,###,##0.00") : formato;
        clsLlenarTabla llenar = prueba::llenado(a.contexto(), ids, QStringLiteral("1"), archivo);
        Recordset rs;
        QVERIFY2(llenar.ExportarExcel(rs, &error), qPrintable(error));
        const LibroLeido libro = leerLibro(QDir(a.carpetaPrograma()).filePath(archivo));
        QVERIFY2(libro.ok, qPrintable(libro.error));
        // Text holds no looks: only its values are compared.
        const bool csv = archivo.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
        if (csv) esperado = QStringLiteral("General");

        auto grande = [&](const QString& nombre, const QString& texto) {
            const CeldaLeida c = libro.celda(nombre);
            QCOMPARE(c.v.toString(), texto);
            QVERIFY2(csv || (c.negrita && c.tamano == 18), qPrintable(nombre));
        };
        grande(QStringLiteral("A1"), QStringLiteral("Reporte varelmo"));
        grande(QStringLiteral("A3"), QStringLiteral("Clave"));
        grande(QStringLiteral("B3"), QStringLiteral("Descripción"));
        QVERIFY(!libro.hay(QStringLiteral("A2")) && !libro.hay(QStringLiteral("B2")) &&
                !libro.hay(QStringLiteral("B1")));
        // A1:B3 is bold and 18 points as a block, its empty cells too.
        for (const QString& vacia :
             {QStringLiteral("B1"), QStringLiteral("A2"), QStringLiteral("B2")})
            QVERIFY2(csv || (libro.vacias.value(vacia).negrita &&
                             libro.vacias.value(vacia).tamano == 18),
                     qPrintable(vacia));
        const int ultimoPrecio = 2 + 2 * static_cast<int>(ids.size());
        if (!csv) {
            QVERIFY(qAbs(libro.anchos.value(QStringLiteral("A")) - anchoGuardado(15)) <= 1.0 / 256);
            QVERIFY(qAbs(libro.anchos.value(QStringLiteral("B")) - anchoGuardado(60)) <= 1.0 / 256);
            // Costs and prices wide enough for 999,999,999.99 in their format.
            for (int c = 3; c <= ultimoPrecio; ++c)
                QVERIFY(qAbs(libro.anchos.value(LetraColumna(c)) - anchoGuardado(16)) <= 1.0 / 256);
            QCOMPARE(libro.anchos.size(), ultimoPrecio);
            // The headings stay in sight; the report prints landscape, one page wide, under them.
            QCOMPARE(libro.disposicion,
                     (DisposicionLeida{QStringLiteral("C4"), QStringLiteral("1:3"), true, 1, 0,
                                       QStringLiteral("Reporte varelmo"),
                                       QStringLiteral("Página &P de &N")}));
        }

        for (int i = 0; i < ids.size(); ++i) {
            const int c = 3 + 2 * i;
            const CeldaLeida datos = libro.celda(celda(c, 1));
            QCOMPARE(datos.v.toString(), QStringLiteral("Datos%1").arg(ids[i]));
            QVERIFY(csv || (datos.negrita && datos.tamano != 18));
            grande(celda(c, 2), ids[i] == 7 ? QStringLiteral("datos7")
                                            : QStringLiteral("Compañía %1").arg(ids[i]));
            grande(celda(c, 3), QStringLiteral("Costo"));
            grande(celda(c + 1, 3), QStringLiteral("Precio"));
            QVERIFY(!libro.hay(celda(c + 1, 1)) && !libro.hay(celda(c + 1, 2)));
        }
        // The Aviso column has no heading.
        for (int f = 1; f <= 3; ++f) QVERIFY(!libro.hay(celda(ultimoPrecio + 1, f)));

        for (int f = 1; f <= filas; ++f) {
            const int fila = f + 3;
            QCOMPARE(libro.celda(celda(1, fila)).v.toString(),
                     QStringLiteral("K%1").arg(f, 3, 10, QLatin1Char('0')));
            QCOMPARE(libro.celda(celda(1, fila)).t, QStringLiteral("s"));
            QCOMPARE(libro.celda(celda(2, fila)).v.toString(), descripcion(f));
            QVERIFY(!libro.celda(celda(1, fila)).negrita);
            for (int i = 0; i < ids.size(); ++i) {
                const CeldaLeida costo = libro.celda(celda(3 + 2 * i, fila));
                const CeldaLeida precio = libro.celda(celda(4 + 2 * i, fila));
                QCOMPARE(costo.v.toDouble(), f * 100.0 + i + 0.25);
                QCOMPARE(costo.formato, esperado);
                if (f == 2 && i == 0) {
                    // An empty price keeps the price block's format.
                    QVERIFY(!libro.hay(celda(4, fila)));
                    QVERIFY(csv || libro.vacias.value(celda(4, fila)).formato == esperado);
                    continue;
                }
                QCOMPARE(precio.v.toDouble(), f * 100.0 + i + 0.75);
                QCOMPARE(precio.formato, esperado);
            }
            const CeldaLeida aviso = libro.celda(celda(ultimoPrecio + 1, fila));
            if (f % 2)
                QCOMPARE(aviso.v.toString(), QStringLiteral("No existe en alguna empresa"));
            else
                QVERIFY(!libro.hay(celda(ultimoPrecio + 1, fila)));
            QVERIFY(csv || aviso.formato != esperado);
        }
        QCOMPARE(libro.maxFila, filas + 3);
        QCOMPARE(libro.maxCol, filas > 0 ? ultimoPrecio + 1 : ultimoPrecio);
        QVERIFY(guion->mostradas.isEmpty());
    }

    void reemplazaUnArchivoAnterior() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(prepararTabla(a, {1}, 2, &error), qPrintable(error));
        const QString ruta = QDir(a.carpetaPrograma()).filePath(QStringLiteral("viejo.xlsx"));
        QFile viejo(ruta);
        QVERIFY(viejo.open(QIODevice::WriteOnly));
        viejo.write("no es un libro");
        viejo.close();
        QVERIFY(
            prueba::rellenar(a.contexto(), {1}, QStringLiteral("1"), QStringLiteral("viejo.xlsx"))
                .creado());
        const LibroLeido libro = leerLibro(ruta);
        QVERIFY2(libro.ok, qPrintable(libro.error));
        QCOMPARE(libro.celda(QStringLiteral("A1")).v.toString(), QStringLiteral("Reporte varelmo"));
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas.first().texto, QStringLiteral("Archivo 'viejo.xlsx' creado"));
        // Nothing of the write is left beside it.
        QCOMPARE(QDir(a.carpetaPrograma())
                     .entryList({QStringLiteral("*viejo*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("viejo.xlsx")});
    }

    // Costs and prices reach the sheet as the very doubles the table holds, NULL as an empty
    // cell; .xls keeps all 64 bits of a number, so the comparison is exact.
    void importesExactos() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(prepararTabla(a, {1}, 0, &error), qPrintable(error));
        const QList<QVariant> importes{
            0.1 + 0.2, 1.0 / 3, std::numeric_limits<double>::denorm_min(),
            std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
            -std::numeric_limits<double>::max(), 1e15 + 0.25, 1234567.89, -2.5,
            123456789012345678.0,
            // Amounts with up to four decimals, and just past that.
            0.0001, 99.99, -0.05, 99999999999999.5, 0.00005, 123.45678,
            QVariant(QMetaType::fromType<double>())};
        Contexto& p = a.contexto();
        for (int i = 0; i < importes.size(); ++i)
            QVERIFY2(
                p.ConexionPrincipal.ejecutar(
                    QStringLiteral("INSERT INTO tbltempproductos VALUES (?,?,?,?,?)"),
                    {QStringLiteral("K%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("d"),
                     importes[i], importes[importes.size() - 1 - i], QStringLiteral("")},
                    &error),
                qPrintable(error));
        clsLlenarTabla llenar = prueba::llenado(a.contexto(), a.contexto().listaSeleccion,
                                                QStringLiteral("1"), QStringLiteral("exactos.xls"));
        Recordset rs;
        QVERIFY2(llenar.ExportarExcel(rs, &error), qPrintable(error));
        const LibroLeido libro =
            leerLibro(QDir(a.carpetaPrograma()).filePath(QStringLiteral("exactos.xls")));
        QVERIFY2(libro.ok, qPrintable(libro.error));
        auto igual = [&](const QString& nombre, const QVariant& esperado) {
            if (esperado.isNull()) return !libro.hay(nombre);
            const double leido = libro.celda(nombre).v.toDouble(), valor = esperado.toDouble();
            return libro.celda(nombre).t == QStringLiteral("n") &&
                   std::memcmp(&leido, &valor, sizeof valor) == 0;
        };
        for (int i = 0; i < importes.size(); ++i) {
            QVERIFY2(igual(celda(3, 4 + i), importes[i]), qPrintable(celda(3, 4 + i)));
            QVERIFY2(igual(celda(4, 4 + i), importes[importes.size() - 1 - i]),
                     qPrintable(celda(4, 4 + i)));
        }
    }

    // An automation class the program does not know: the alert, and the earlier file kept as it
    // was.
    void aplicativoDesconocido_data() {
        QTest::addColumn<bool>("hayAnterior");
        QTest::newRow("con archivo anterior") << true;
        QTest::newRow("sin archivo anterior") << false;
    }
    void aplicativoDesconocido() {
        QFETCH(bool, hayAnterior);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(prepararTabla(a, {1}, 2, &error), qPrintable(error));
        a.contexto().AplicativoExcel = QStringLiteral("Otro.App");
        const QString ruta = QDir(a.carpetaPrograma()).filePath(QStringLiteral("r.xlsx"));
        const QByteArray contenido("PK\x03\x04 contenido anterior\r\n\x00\xff", 28);
        if (hayAnterior) {
            QFile f(ruta);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(contenido);
        }
        QVERIFY(!prueba::rellenar(a.contexto(), a.contexto().listaSeleccion, QStringLiteral("1"),
                                  QStringLiteral("r.xlsx"))
                     .creado());
        QCOMPARE(guion->mostradas.size(), 1);
        const CajaMostrada caja = guion->mostradas.first();
        // The sentence, then why.
        QCOMPARE(caja.texto,
                 QStringLiteral(
                     "El archivo 'r.xlsx' no fue creado, debido a un error de automatización\r\r"
                     "No se pudo crear el objeto de automatización 'Otro.App': la clase no está "
                     "registrada."));
        QCOMPARE(caja.titulo, QStringLiteral("Alerta"));
        QCOMPARE(caja.estilo, estilos::Alto);
        QCOMPARE(QFile::exists(ruta), hayAnterior);
        if (hayAnterior) {
            QFile f(ruta);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), contenido);
        }
    }

    // 126 companies fill the 256 columns of an .xls sheet; one more is refused whole, with the
    // message that asks for an .xlsx name, and the earlier file stays as it was.
    void limiteDeColumnasXls_data() {
        QTest::addColumn<int>("empresas");
        QTest::addColumn<QString>("archivo");
        QTest::addColumn<bool>("creado");
        QTest::newRow("126 empresas caben en .xls") << 126 << QStringLiteral("r.xls") << true;
        QTest::newRow("127 empresas no caben en .xls") << 127 << QStringLiteral("r.XLS") << false;
        QTest::newRow("127 empresas en .xlsx") << 127 << QStringLiteral("r.xlsx") << true;
    }
    void limiteDeColumnasXls() {
        QFETCH(int, empresas);
        QFETCH(QString, archivo);
        QFETCH(bool, creado);
        AnfitrionPrueba a;
        QList<int> ids;
        for (int id = 1; id <= empresas; ++id)
            ids << 100 + id;  // companies without a row: their columns stay, headed datos<Id>
        QString error;
        QVERIFY2(prepararTabla(a, ids, 2, &error), qPrintable(error));
        const QString ruta = QDir(a.carpetaPrograma()).filePath(archivo);
        QFile anterior(ruta);
        QVERIFY(anterior.open(QIODevice::WriteOnly));
        anterior.write("anterior");
        anterior.close();

        GuionDialogos guion;
        QCOMPARE(prueba::rellenar(a.contexto(), ids, QStringLiteral("1"), archivo).creado(),
                 creado);
        QCOMPARE(guion->mostradas.size(), 1);
        const CajaMostrada caja = guion->mostradas.first();
        if (creado) {
            // Every company is told as left out, the first by name.
            QVERIFY2(caja.texto.startsWith(QStringLiteral("Archivo '%1' creado\r\r").arg(archivo)),
                     qPrintable(caja.texto));
            QVERIFY(caja.texto.contains(
                QStringLiteral("- empresa 101: no está en la tabla de empresas\r")));
            QCOMPARE(caja.estilo, estilos::Advertencia);
            QVERIFY(QFileInfo(ruta).size() > 100);
        } else {
            QCOMPARE(
                caja.texto,
                QStringLiteral("El archivo '%1' no fue creado: el formato .xls admite hasta 65,536 "
                               "filas y 256 columnas; use un nombre terminado en .xlsx")
                    .arg(archivo));
            QCOMPARE(caja.titulo, QStringLiteral("Alerta"));
            QCOMPARE(caja.estilo, estilos::Alto);
            QVERIFY(anterior.open(QIODevice::ReadOnly));
            QCOMPARE(anterior.readAll(), QByteArray("anterior"));
            // Nothing half-written beside it: only the settings file (with the lock file its
            // writes leave) and the earlier workbook.
            QCOMPARE(QDir(a.carpetaPrograma()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                     QStringList({archivo, QStringLiteral("varelmo.ini"),
                                  QStringLiteral("varelmo.ini.lock")}));
        }
    }
};

QTEST_GUILESS_MAIN(TstExportar)
#include "tst_exportar.moc"
