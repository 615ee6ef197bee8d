// Hostile data in the host: product codes, descriptions, company and database names made to break
// out of SQL text, prices at the edges, Ids past 16 bits, and a host with 2,000 companies. Every
// code merges as the server compares it, and empresas and the company tables are untouched.
#include <QDir>
#include <QtTest>

#include "AnfitrionPrueba.h"
#include "ConsultaPrueba.h"
#include "DialogosGuion.h"
#include "LectorLibro.h"
#include "ReportePrueba.h"
#include "ServidorPrueba.h"
#include "basedatos/Sql.h"
#include "programa/Cierre.h"
#include "report/SolicitudReporte.h"
#include "report/clsLlenarTabla.h"
#include "ui/RejaFlexible.h"
#include "ui/frmInicial.h"

namespace {
const QString Falta = QStringLiteral("No existe en alguna empresa");
const QString Drop = QStringLiteral("'; DROP TABLE empresas; --");

// CHECKSUM TABLE of each table, as one text.
QString sumas(const QStringList& tablas) {
    QString texto;
    for (const QString& t : tablas) {
        QList<QVariantList> filas;
        if (!consulta::filas(QString(), QStringLiteral("CHECKSUM TABLE ") + t, &filas) ||
            filas.isEmpty())
            return QStringLiteral("falló ") + t;
        texto += consulta::textoFila(filas.first()) + u'\n';
    }
    return texto;
}

bool reporte(AnfitrionPrueba& a, const QList<int>& ids, const QString& archivo) {
    return prueba::reporte(a.contexto(), ids, QStringLiteral("1"), archivo).creado();
}
}  // namespace

class TstAtaques : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { REQUIERE_SERVIDOR(); }

    void datosHostiles() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QVERIFY2(a.valido() && a.crearGeneral(1), qPrintable(a.error()));
        EmpresaPrueba e1, e2;
        e1.id = 1;
        e1.niveles = e2.niveles = 1;
        e1.nombre = QStringLiteral("Emp`'\"; ") + Drop;
        e1.baseDeDatos = a.general() + QStringLiteral("_e1 `x'\"; --");
        e1.productos = {{QStringLiteral("a\"b"), QStringLiteral("q1"), 1.0, {2.0}},
                        {QStringLiteral("a;b"), Drop, -5.5, {1e15}},
                        {QStringLiteral("😀x"), QStringLiteral("emoji"), QVariant(), {3.0}},
                        {QStringLiteral(" a"), QStringLiteral("inicial"), 1.0, {QVariant()}},
                        {QStringLiteral("ñandú"), QStringLiteral("acento"), 4.0, {5.0}}};
        e2.id = 40000;
        e2.nombre = QStringLiteral("Dos ` ") + Drop;
        e2.baseDeDatos = a.general() + QStringLiteral("_e2 `); DROP DATABASE x; --");
        e2.productos = {{QStringLiteral("A\"B"), QStringLiteral("q2"), 7.0, {8.0}},
                        {QStringLiteral("a "), QStringLiteral("final"), 11.0, {12.0}},
                        {QStringLiteral("'; DROP--"), QStringLiteral("d"), 9.0, {10.0}},
                        {QStringLiteral("NANDU"), QStringLiteral("otra"), 6.0, {-1e15}}};
        QVERIFY2(!a.crearEmpresa(e1).isEmpty() && !a.crearEmpresa(e2).isEmpty(),
                 qPrintable(a.error()));
        const QStringList tablas{
            citarIdentificador(a.general()) + QStringLiteral(".`empresas`"),
            citarIdentificador(e1.baseDeDatos) + QStringLiteral(".`productos`"),
            citarIdentificador(e2.baseDeDatos) + QStringLiteral(".`productos`")};
        const QString antes = sumas(tablas);
        QString error;
        QVERIFY2(a.arrancar(&error), qPrintable(error));

        QVERIFY(reporte(a, {1, 40000}, QStringLiteral("h.xlsx")));
        QCOMPARE(sumas(tablas), antes);
        QStringList obtenido = consulta::tablaTrabajo(a.general());
        QStringList esperado{QStringLiteral("a\"b|q1|1|2|7|8|"),
                             QStringLiteral("a;b|") + Drop + QStringLiteral("|-5.5|1e+15|0|0|"),
                             QStringLiteral("😀x|emoji|NULL|3|0|0|"),
                             QStringLiteral(" a|inicial|1|NULL|0|0|"),
                             QStringLiteral("ñandú|acento|4|5|6|-1e+15|"),
                             QStringLiteral("a |final|0|0|11|12|") + Falta,
                             QStringLiteral("'; DROP--|d|0|0|9|10|") + Falta};
        obtenido.sort();
        esperado.sort();
        QCOMPARE(obtenido, esperado);

        const LibroLeido libro =
            leerLibro(QDir(a.carpetaPrograma()).filePath(QStringLiteral("h.xlsx")));
        QVERIFY2(libro.ok, qPrintable(libro.error));
        QCOMPARE(libro.celda(QStringLiteral("C2")).v.toString(), e1.nombre);
        QCOMPARE(libro.celda(QStringLiteral("E1")).v.toString(), QStringLiteral("Datos40000"));
        QCOMPARE(libro.celda(QStringLiteral("E2")).v.toString(), e2.nombre);
        QCOMPARE(libro.maxFila, 3 + esperado.size());
    }

    // 2,000 companies (all on one small database): the grid lists them all, and the ticks of
    // Ids past 16 bits are saved and restored under their own Id; .xls refuses a report wider
    // than its sheet with its message, .xlsx writes it; more companies than the working table
    // can hold fail with the reason.
    void dosMilEmpresas() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        EmpresaPrueba e;
        e.id = 1;
        e.niveles = 1;
        e.productos = {{QStringLiteral("P"), QStringLiteral("p"), 1.0, {2.0}}};
        QString base;
        QVERIFY2(a.valido() && a.crearGeneral(1) && !(base = a.crearEmpresa(e)).isEmpty(),
                 qPrintable(a.error()));
        QVERIFY2(a.sql(QStringLiteral(
                           "INSERT INTO %1.empresas (Id, Empresa, BaseDeDatos) SELECT seq * 20, "
                           "CONCAT('Empresa ', seq * 20), '%2' FROM %1.seq_2_to_2000")
                           .arg(citarIdentificador(a.general()), base)),
                 qPrintable(a.error()));
        QString error;
        std::optional<DatosIniciales> datos = a.arrancar(&error);
        QVERIFY2(datos, qPrintable(error));
        QCOMPARE(datos->empresas.size(), 2000);
        {
            frmInicial v(a.contexto());
            v.mostrarDatos(*datos);
            QCOMPARE(v.mfgEmpresas()->Rows(), 2001);
            QCOMPARE(v.mfgEmpresas()->TextMatrix(2000, 0), QStringLiteral("40000"));
        }
        QCOMPARE(GuardarElecciones(a.archivoIni(), {{1, true}, {40000, true}, {39980, false}},
                                   QStringLiteral("1"), QStringLiteral("g.xls")),
                 QStringList{});
        datos = a.arrancar(&error);
        QVERIFY2(datos, qPrintable(error));
        QList<int> marcadas, ids;
        for (const EmpresaInicial& empresa : datos->empresas) {
            if (empresa.marcada) marcadas << empresa.id;
            if (ids.size() < 200) ids << empresa.id;
        }
        QCOMPARE(marcadas, (QList<int>{1, 40000}));

        QVERIFY(!reporte(a, ids, QStringLiteral("g.xls")));
        QCOMPARE(guion->mostradas.size(), 1);
        QVERIFY2(
            guion->mostradas[0].texto.contains(QStringLiteral("use un nombre terminado en .xlsx")),
            qPrintable(guion->mostradas[0].texto));
        QVERIFY(!QFile::exists(QDir(a.carpetaPrograma()).filePath(QStringLiteral("g.xls"))));
        QVERIFY(reporte(a, ids, QStringLiteral("g.xlsx")));
        const LibroLeido libro =
            leerResumenLibro(QDir(a.carpetaPrograma()).filePath(QStringLiteral("g.xlsx")));
        QVERIFY2(libro.ok, qPrintable(libro.error));
        QCOMPARE(libro.maxCol, 2 + 2 * 200);  // the warning column stays empty

        ids.clear();
        for (const EmpresaInicial& empresa : datos->empresas) ids << empresa.id;
        a.contexto().listaSeleccion = ids;
        QVERIFY(!CrearTablaTrabajo(a.contexto().ConexionPrincipal, ids, &error));
        QVERIFY2(error.startsWith(
                     QStringLiteral("no se pudo crear la tabla de trabajo para 2000 empresas")),
                 qPrintable(error));
    }
};

QTEST_MAIN(TstAtaques)
#include "tst_ataques.moc"
