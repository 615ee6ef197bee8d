// The merge of the ticked companies' products into the working table, against the private server:
// driven as the window drives it (start-up on a host of its own, the selection list, the working
// table, then RellenarTabla), and compared with a one-row-at-a-time merge done here.
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include "AnfitrionPrueba.h"
#include "ConsultaPrueba.h"
#include "DialogosGuion.h"
#include "LectorLibro.h"
#include "ReportePrueba.h"
#include "ServidorPrueba.h"
#include "Soporte.h"
#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"
#include "demo/AnfitrionDemo.h"
#include "report/CargaTablaTrabajo.h"
#include "report/FusionEnDos.h"
#include "report/SolicitudReporte.h"
#include "report/clsLlenarTabla.h"

Q_DECLARE_METATYPE(EmpresaPrueba)

namespace {
const QString Falta = QStringLiteral("No existe en alguna empresa");

ProductoPrueba producto(const QString& clave, const QVariant& descrip, const QVariant& costo,
                        const QVariantList& precios) {
    return ProductoPrueba{clave, descrip, costo, precios};
}

EmpresaPrueba empresa(int id, const QList<ProductoPrueba>& productos, int niveles = 4) {
    EmpresaPrueba e;
    e.id = id;
    e.productos = productos;
    e.niveles = niveles;
    return e;
}

bool prepararAnfitrion(AnfitrionPrueba& a, const QList<EmpresaPrueba>& empresas, QString* error) {
    if (!a.valido() || !a.crearGeneral()) {
        *error = a.error();
        return false;
    }
    for (const EmpresaPrueba& e : empresas)
        if (a.crearEmpresa(e).isEmpty()) {
            *error = a.error();
            return false;
        }
    return true;
}

// What the window does after the user confirmed: start-up, the selection list, the working table
// and one report run. False (with the reason) only when the run could not even start.
bool correrReporte(AnfitrionPrueba& a, const QList<int>& ids, const QString& nivel,
                   const QString& archivo, bool* escrito, QString* error) {
    if (!a.arrancar(error)) return false;
    *escrito = prueba::reporte(a.contexto(), ids, nivel, archivo).creado();
    return true;
}

QString literal(const QString& texto) {
    QString s = texto;
    s.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + s + u'\'';
}
// Three companies of `porEmpresa` products drawn from `codigos` code numbers: codes in mixed case,
// sometimes with a trailing blank or an accent, so that equal codes are spelt apart; about one
// value in ten NULL.
QList<EmpresaPrueba> empresasAlAzar(QRandomGenerator& azar, int porEmpresa, int codigos) {
    auto codigo = [&](int n) {
        QString c = QStringLiteral("ab%1x").arg(n);
        for (QChar& ch : c)
            if (azar.bounded(2)) ch = ch.toUpper();
        if (azar.bounded(8) == 0) c += u' ';
        if (azar.bounded(10) == 0) c.replace(u'x', QStringLiteral("é"));
        return c;
    };
    auto talVez = [&](const QVariant& v) { return azar.bounded(10) == 0 ? QVariant() : v; };
    QList<EmpresaPrueba> empresas;
    for (int id = 1; id <= 3; ++id) {
        QList<ProductoPrueba> productos;
        for (int i = 0; i < porEmpresa; ++i) {
            const int n = static_cast<int>(azar.bounded(codigos));
            productos << producto(
                codigo(n),
                talVez(QStringLiteral("prod %1 de %2 ")
                           .arg(n)
                           .arg(id)
                           .repeated(1 + static_cast<int>(azar.bounded(5)))),
                talVez(azar.bounded(10000000) / 100.0),
                {talVez(azar.bounded(100000) / 100.0), talVez(azar.bounded(100000) / 100.0)});
        }
        empresas << empresa(id, productos, 2);
    }
    return empresas;
}

// One product of company `id` (at `posicion` in the list) into the reference table: a keyed
// lookup, then a single-row insert or update, the server comparing the codes.
bool fusionarProducto(AnfitrionPrueba& a, int id, int posicion, const QVariantList& pr,
                      QString* error) {
    QList<QVariantList> hallada, nada;
    if (!consulta::filas(a.general(), QStringLiteral("SELECT Clave FROM referencia WHERE Clave=?"),
                         &hallada, {pr[0]}, error))
        return false;
    const QVariant descrip = pr[1].isNull() ? QVariant() : QVariant(pr[1].toString().left(60));
    if (!hallada.isEmpty())
        return consulta::filas(
            a.general(),
            QStringLiteral("UPDATE referencia SET Costo%1=?, Precio%1=? WHERE Clave=?").arg(id),
            &nada, {pr[2], pr[3], hallada.first().first()}, error);
    // A new row of the first company leaves Aviso to the column default.
    if (posicion == 1)
        return consulta::filas(a.general(),
                               QStringLiteral("INSERT INTO referencia (Clave, Descrip, Costo%1, "
                                              "Precio%1) VALUES (?,?,?,?)")
                                   .arg(id),
                               &nada, {pr[0], descrip, pr[2], pr[3]}, error);
    return consulta::filas(a.general(),
                           QStringLiteral("INSERT INTO referencia (Clave, Descrip, Costo%1, "
                                          "Precio%1, Aviso) VALUES (?,?,?,?,?)")
                               .arg(id),
                           &nada, {pr[0], descrip, pr[2], pr[3], Falta}, error);
}

// The reference: the working table's definition under another name, filled one product at a
// time in list order, each company's products in code order, then by exact spelling and the
// other columns; its rows by code.
bool fusionarFilaPorFila(AnfitrionPrueba& a, const QList<int>& ids, QList<QVariantList>* filas,
                         QString* error) {
    const QString g = citarIdentificador(a.general());
    if (!a.sql(
            DefinicionTablaTrabajo(ids)
                .replace(QStringLiteral("`tbltempproductos`"),
                         g + QStringLiteral(".`tbltempproductos`"))
                .replace(QStringLiteral("`tbltempproductos`"), QStringLiteral("`referencia`")))) {
        *error = a.error();
        return false;
    }
    for (int posicion = 1; posicion <= ids.size(); ++posicion) {
        const int id = ids[posicion - 1];
        QList<QVariantList> fila, productos;
        if (!consulta::filas(a.general(),
                             QStringLiteral("SELECT BaseDeDatos FROM empresas WHERE Id=?"), &fila,
                             {id}, error))
            return false;
        if (fila.isEmpty()) continue;
        if (!consulta::filas(fila.first().first().toString(),
                             QStringLiteral("SELECT Clave, Descrip, Costo, Precio2 FROM productos "
                                            "ORDER BY Clave, CAST(Clave AS BINARY), "
                                            "CAST(Descrip AS BINARY), Costo, Precio2"),
                             &productos, {}, error))
            return false;
        for (const QVariantList& pr : std::as_const(productos))
            if (!fusionarProducto(a, id, posicion, pr, error)) return false;
    }
    return consulta::filas(a.general(), QStringLiteral("SELECT * FROM referencia ORDER BY Clave"),
                           filas, {}, error);
}
}  // namespace

class TstFusion : public QObject {
    Q_OBJECT
    QStringList usuarios_;  // MariaDB users made by a test, dropped at the end

private slots:
    // How a company's codes compare, read from the column itself: the fast merge is taken only
    // when it matches the working table's, so a wrong answer costs speed or merges codes apart.
    void definicionClave_data() {
        QTest::addColumn<QString>("columna");
        QTest::addColumn<QString>("esperada");  // juego|cotejo|largo|anulable, "" for none
        QTest::newRow("utf8mb4") << QStringLiteral("`Clave` varchar(15) NOT NULL")
                                 << QStringLiteral("utf8mb4|utf8mb4_general_ci|15|0");
        QTest::newRow("latin1 que admite NULL")
            << QStringLiteral("`Clave` varchar(20) CHARACTER SET latin1 COLLATE latin1_spanish_ci")
            << QStringLiteral("latin1|latin1_spanish_ci|20|1");
        QTest::newRow("char de otro cotejo")
            << QStringLiteral("`Clave` char(9) COLLATE utf8mb4_unicode_ci NOT NULL")
            << QStringLiteral("utf8mb4|utf8mb4_unicode_ci|9|0");
        QTest::newRow("número") << QStringLiteral("`Clave` int") << QString();
        QTest::newRow("binaria") << QStringLiteral("`Clave` varbinary(15)") << QString();
        QTest::newRow("sin columna Clave") << QStringLiteral("`Otra` varchar(15)") << QString();
    }
    void definicionClave() {
        QFETCH(QString, columna);
        QFETCH(QString, esperada);
        const QString base = ServidorPrueba::nombreUnico(QStringLiteral("t_def"));
        QVERIFY(ServidorPrueba::ejecutar(QStringLiteral("CREATE DATABASE `%1`").arg(base)));
        QVERIFY(ServidorPrueba::ejecutar(
            QStringLiteral("CREATE TABLE `%1`.`productos` (%2) CHARACTER SET utf8mb4 COLLATE "
                           "utf8mb4_general_ci")
                .arg(base, columna)));
        Conexion c;
        QVERIFY(c.abrir({ServidorPrueba::host(),
                         QStringLiteral("root"),
                         QString(),
                         base,
                         ServidorPrueba::puerto(),
                         {}}));
        const std::optional<ComparacionClave> d =
            comparacionClave(c, base, QStringLiteral("productos"));
        const QString leida = d ? QStringLiteral("%1|%2|%3|%4")
                                      .arg(d->juego, d->cotejo)
                                      .arg(d->largo)
                                      .arg(int{d->anulable})
                                : QString();
        // The session speaks utf8mb4 again afterwards.
        Recordset r;
        QVERIFY(r.abrir(c, QStringLiteral("SELECT @@character_set_results")));
        const QString resultados = r.valor(0).toString();
        ServidorPrueba::ejecutar(QStringLiteral("DROP DATABASE `%1`").arg(base));
        QCOMPARE(leida, esperada);
        QCOMPARE(resultados, QStringLiteral("utf8mb4"));
    }
    void initTestCase() { REQUIERE_SERVIDOR(); }
    void cleanupTestCase() {
        for (const QString& u : std::as_const(usuarios_))
            ServidorPrueba::ejecutar(QStringLiteral("DROP USER IF EXISTS %1").arg(u));
    }

    void fusion_data() {
        QTest::addColumn<QList<EmpresaPrueba>>("empresas");
        QTest::addColumn<QStringList>(
            "ajustes");  // SQL run after the host is made; %1 is the general db
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QString>("nivel");
        QTest::addColumn<QStringList>("esperado");  // Clave|Descrip|Costo|Precio...|Aviso, by Clave

        const QList<ProductoPrueba> uno{
            producto(QStringLiteral("A"), QStringLiteral("Alfa1"), 10.0, {11.0}),
            producto(QStringLiteral("B"), QStringLiteral("Beta1"), 20.0, {21.0})};
        const QList<ProductoPrueba> dos{
            producto(QStringLiteral("B"), QStringLiteral("Beta2"), 30.0, {31.0}),
            producto(QStringLiteral("C"), QStringLiteral("Gama2"), 40.0, {41.0})};

        QTest::newRow("nivel ' 2 ' lee Precio2")
            << QList<EmpresaPrueba>{empresa(
                   1, {producto(QStringLiteral("A"), QStringLiteral("Alfa"), 10.0,
                                {1.5, 2.5, 3.5, 4.5})})}
            << QStringList{} << QList<int>{1} << QStringLiteral(" 2 ")
            << QStringList{QStringLiteral("A|Alfa|10|2.5|")};
        QTest::newRow("dos empresas: solo en la 2a, solo en la 1a, en ambas")
            << QList<EmpresaPrueba>{empresa(1, uno), empresa(2, dos)} << QStringList{}
            << QList<int>{1, 2} << QStringLiteral("1")
            << QStringList{QStringLiteral("A|Alfa1|10|11|0|0|"),
                           QStringLiteral("B|Beta1|20|21|30|31|"),
                           QStringLiteral("C|Gama2|0|0|40|41|") + Falta};
        QTest::newRow("el orden de la lista manda, no el Id")
            << QList<EmpresaPrueba>{empresa(1, uno), empresa(2, dos)} << QStringList{}
            << QList<int>{2, 1} << QStringLiteral("1")
            << QStringList{QStringLiteral("A|Alfa1|0|0|10|11|") + Falta,
                           QStringLiteral("B|Beta2|30|31|20|21|"),
                           QStringLiteral("C|Gama2|40|41|0|0|")};
        QTest::newRow("primera sin fila en empresas: todo marcado")
            << QList<EmpresaPrueba>{empresa(2, dos)} << QStringList{} << QList<int>{9, 2}
            << QStringLiteral("1")
            << QStringList{QStringLiteral("B|Beta2|0|0|30|31|") + Falta,
                           QStringLiteral("C|Gama2|0|0|40|41|") + Falta};
        EmpresaPrueba sinBase = empresa(1, uno);
        sinBase.crearBase = false;
        QTest::newRow("primera sin base de datos: todo marcado")
            << QList<EmpresaPrueba>{sinBase, empresa(2, dos)} << QStringList{} << QList<int>{1, 2}
            << QStringLiteral("1")
            << QStringList{QStringLiteral("B|Beta2|0|0|30|31|") + Falta,
                           QStringLiteral("C|Gama2|0|0|40|41|") + Falta};
        EmpresaPrueba sinBase2 = empresa(2, dos);
        sinBase2.crearBase = false;
        QTest::newRow("segunda sin base de datos: su par en 0")
            << QList<EmpresaPrueba>{empresa(1, uno), sinBase2} << QStringList{} << QList<int>{1, 2}
            << QStringLiteral("1")
            << QStringList{QStringLiteral("A|Alfa1|10|11|0|0|"),
                           QStringLiteral("B|Beta1|20|21|0|0|")};
        QTest::newRow("sin productos en ninguna")
            << QList<EmpresaPrueba>{empresa(1, {}), empresa(2, {})} << QStringList{}
            << QList<int>{1, 2} << QStringLiteral("1") << QStringList{};
        QTest::newRow("BaseDeDatos2 en blanco usa BaseDeDatos y el servidor del anfitrion")
            << QList<EmpresaPrueba>{empresa(1, uno)}
            << QStringList{QStringLiteral(
                   "UPDATE %1.empresas SET BaseDeDatos2='   ', Servidor='nada', "
                   "Usuario='nadie', Conexion='x', Puerto=1 WHERE Id=1")}
            << QList<int>{1} << QStringLiteral("1")
            << QStringList{QStringLiteral("A|Alfa1|10|11|"), QStringLiteral("B|Beta1|20|21|")};
        QTest::newRow("BaseDeDatos2 NULL usa BaseDeDatos")
            << QList<EmpresaPrueba>{empresa(1, uno)}
            << QStringList{QStringLiteral(
                   "UPDATE %1.empresas SET BaseDeDatos2=NULL, Puerto=NULL WHERE Id=1")}
            << QList<int>{1} << QStringLiteral("1")
            << QStringList{QStringLiteral("A|Alfa1|10|11|"), QStringLiteral("B|Beta1|20|21|")};
        QTest::newRow("mayusculas, acentos y blancos finales comparan como la clave")
            << QList<EmpresaPrueba>{empresa(1, {producto(QStringLiteral("abc"),
                                                         QStringLiteral("x1"), 1.0, {2.0}),
                                                producto(QStringLiteral("cafe"),
                                                         QStringLiteral("c1"), 7.0, {8.0})}),
                                    empresa(2, {producto(QStringLiteral("ABC"),
                                                         QStringLiteral("x2"), 3.0, {4.0}),
                                                producto(QStringLiteral("CAFÉ"),
                                                         QStringLiteral("c2"), 9.0, {10.0})}),
                                    empresa(3, {producto(QStringLiteral("abc  "),
                                                         QStringLiteral("x3"), 5.0, {6.0}),
                                                producto(QStringLiteral("Zz "),
                                                         QStringLiteral("z3"), 1.0, {1.0})})}
            << QStringList{} << QList<int>{1, 2, 3} << QStringLiteral("1")
            << QStringList{QStringLiteral("abc|x1|1|2|3|4|5|6|"),
                           QStringLiteral("cafe|c1|7|8|9|10|0|0|"),
                           QStringLiteral("Zz |z3|0|0|0|0|1|1|") + Falta};
        QTest::newRow("apostrofe y barra invertida")
            << QList<EmpresaPrueba>{empresa(1, {producto(QStringLiteral("O'Neil"),
                                                         QStringLiteral("D'Ana"), 1.0, {2.0}),
                                                producto(QStringLiteral("A\\B"),
                                                         QStringLiteral("C:\\x"), 3.0, {4.0})}),
                                    empresa(2, {producto(QStringLiteral("O'Neil"),
                                                         QStringLiteral("otra"), 5.0, {6.0}),
                                                producto(QStringLiteral("'; --"),
                                                         QStringLiteral("q"), 7.0, {8.0})})}
            << QStringList{} << QList<int>{1, 2} << QStringLiteral("1")
            << QStringList{QStringLiteral("'; --|q|0|0|7|8|") + Falta,
                           QStringLiteral("A\\B|C:\\x|3|4|0|0|"),
                           QStringLiteral("O'Neil|D'Ana|1|2|5|6|")};
        EmpresaPrueba latin1 = empresa(
            1, {producto(QStringLiteral("ÑU1"), QStringLiteral("Café ñandú ÁÉÍ"), 1.0, {2.0})});
        latin1.juegoCaracteres = QStringLiteral("latin1");
        QTest::newRow("acentos desde una base latin1")
            << QList<EmpresaPrueba>{latin1} << QStringList{} << QList<int>{1} << QStringLiteral("1")
            << QStringList{QStringLiteral("ÑU1|Café ñandú ÁÉÍ|1|2|")};
        QTest::newRow("precio de nueve cifras exacto")
            << QList<EmpresaPrueba>{empresa(1, {producto(QStringLiteral("P"), QStringLiteral("d"),
                                                         1234567.89, {9876543.21})})}
            << QStringList{} << QList<int>{1} << QStringLiteral("1")
            << QStringList{QStringLiteral("P|d|1234567.89|9876543.21|")};
        QTest::newRow("nulos se copian como nulos")
            << QList<EmpresaPrueba>{empresa(1, {producto(QStringLiteral("N"), QVariant(),
                                                         QVariant(), {QVariant()})}),
                                    empresa(2, {producto(QStringLiteral("N"), QStringLiteral("n2"),
                                                         QVariant(), {5.0})})}
            << QStringList{} << QList<int>{1, 2} << QStringLiteral("1")
            << QStringList{QStringLiteral("N|NULL|NULL|NULL|NULL|5|")};
        QTest::newRow("descripcion larga cortada a 60 caracteres")
            << QList<EmpresaPrueba>{empresa(
                   1, {producto(QStringLiteral("L"), QString(80, u'a'), 1.0, {1.0}),
                       producto(QStringLiteral("M"), QString(59, u'b') + QStringLiteral("😀zz"), 1.0,
                                {1.0}),
                       producto(QStringLiteral("N"), QString(58, u'c') + QStringLiteral("ñ😀z"), 1.0,
                                {1.0})})}
            << QStringList{} << QList<int>{1} << QStringLiteral("1")
            << QStringList{QStringLiteral("L|") + QString(60, u'a') + QStringLiteral("|1|1|"),
                           QStringLiteral("M|") + QString(59, u'b') + QStringLiteral("😀|1|1|"),
                           QStringLiteral("N|") + QString(58, u'c') + QStringLiteral("ñ😀|1|1|")};
    }
    void fusion() {
        QFETCH(QList<EmpresaPrueba>, empresas);
        QFETCH(QStringList, ajustes);
        QFETCH(QList<int>, ids);
        QFETCH(QString, nivel);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(prepararAnfitrion(a, empresas, &error), qPrintable(error));
        for (const QString& s : std::as_const(ajustes))
            QVERIFY2(a.sql(s.arg(citarIdentificador(a.general()))), qPrintable(a.error()));
        bool escrito = false;
        QVERIFY2(correrReporte(a, ids, nivel, QStringLiteral("r.xlsx"), &escrito, &error),
                 qPrintable(error));
        QTEST(consulta::tablaTrabajo(a.general()), "esperado");
        QVERIFY(escrito);
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas.first().texto.section(u'\r', 0, 0),
                 QStringLiteral("Archivo 'r.xlsx' creado"));
    }

    // A report cut at any of its steps (each refresh of the progress line: the turn, the merge,
    // the sheet's rows, the working table filled) leaves the earlier workbook as it was and no
    // working folder; once a run goes through uncut, the new workbook is whole.
    void cortadoEnCadaPaso() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(prepararAnfitrion(a, {empresa(1, {}), empresa(2, {})}, &error), qPrintable(error));
        for (const QString& e : {QStringLiteral("_e1"), QStringLiteral("_e2")})
            QVERIFY2(a.sql(QStringLiteral("INSERT INTO %1.productos (Clave, Descrip, Costo, "
                                          "Precio1) SELECT CONCAT('P', seq), 'd', seq, seq FROM "
                                          "%1.seq_1_to_60000")
                               .arg(citarIdentificador(a.general() + e))),
                     qPrintable(a.error()));
        QVERIFY2(a.arrancar(&error), qPrintable(error));
        const QDir carpeta(a.carpetaPrograma());
        const QString ruta = carpeta.filePath(QStringLiteral("r.xlsx"));
        QVERIFY(soporte::guardar(ruta, "el libro anterior"));
        const QStringList antes = soporte::entradas(a.carpetaPrograma());
        for (int paso = 1;; ++paso) {
            int llamadas = 0;
            const ResultadoReporte r =
                prueba::reporte(a.contexto(), {1, 2}, QStringLiteral("1"), QStringLiteral("r.xlsx"),
                                {}, [&](const QString&) { return ++llamadas < paso; });
            if (r.creado()) {
                QVERIFY2(paso > 3, qPrintable(QString::number(paso)));
                REQUIERE_LECTOR();
                QCOMPARE(leerResumenLibro(ruta).filasConValor, 3 + 60000);
                break;
            }
            QCOMPARE(r.estado, ResultadoReporte::Estado::Cancelado);
            QCOMPARE(soporte::contenido(ruta), QByteArray("el libro anterior"));
            QCOMPARE(soporte::entradas(a.carpetaPrograma()), antes);
        }
    }

    // An .xls sheet holds 65,536 rows: a report one row longer than the headings leave room for
    // is refused whole once the merge has given the sheet more (the earlier workbook stays),
    // while the working table still gets every row.
    void limiteDeXls_data() {
        QTest::addColumn<int>("filas");
        QTest::addColumn<bool>("cabe");
        QTest::newRow("las que caben") << 65533 << true;
        QTest::newRow("una de mas") << 65534 << false;
    }
    void limiteDeXls() {
        QFETCH(int, filas);
        QFETCH(bool, cabe);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(prepararAnfitrion(a, {empresa(1, {})}, &error), qPrintable(error));
        QVERIFY2(a.sql(QStringLiteral("INSERT INTO %1.productos (Clave, Descrip, Costo, Precio1) "
                                      "SELECT CONCAT('P', seq), 'd', seq, seq FROM "
                                      "%1.seq_1_to_%2")
                           .arg(citarIdentificador(a.general() + QStringLiteral("_e1")))
                           .arg(filas)),
                 qPrintable(a.error()));
        QVERIFY2(a.arrancar(&error), qPrintable(error));
        const QString ruta = QDir(a.carpetaPrograma()).filePath(QStringLiteral("x.xls"));
        QVERIFY(soporte::guardar(ruta, "el libro anterior"));
        const ResultadoReporte r =
            prueba::reporte(a.contexto(), {1}, QStringLiteral("1"), QStringLiteral("x.xls"));
        QVERIFY(r.enUnaPasada);
        QCOMPARE(r.estado,
                 cabe ? ResultadoReporte::Estado::Creado : ResultadoReporte::Estado::ExcedeXls);
        QCOMPARE(soporte::contenido(ruta) == QByteArray("el libro anterior"), !cabe);
        QCOMPARE(consulta::tablaTrabajo(a.general()).size(), filas);
    }

    // What a written workbook lacks is told after the result, company by company in list order:
    // a company without its row or its database, and products whose code the working table
    // cannot hold (NULL, over 15 characters once its end blanks go), which are left out while the
    // rest of the report goes on, whichever way the company is merged.
    void omisiones_data() {
        QTest::addColumn<bool>("porCliente");
        QTest::newRow("por el servidor") << false;
        QTest::newRow("por el programa") << true;
    }
    void omisiones() {
        QFETCH(bool, porCliente);
        GuionDialogos guion;
        AnfitrionPrueba a;
        EmpresaPrueba sinBase = empresa(2, {});
        sinBase.crearBase = false;
        const QList<EmpresaPrueba> empresas{
            empresa(1, {producto(QStringLiteral("A"), QStringLiteral("a"), 1.0, {2.0})}), sinBase};
        QString error;
        QVERIFY2(prepararAnfitrion(a, empresas, &error), qPrintable(error));
        const QString productos =
            citarIdentificador(a.general() + QStringLiteral("_e1")) + QStringLiteral(".productos");
        QVERIFY2(a.sql(QStringLiteral("ALTER TABLE %1 MODIFY `Clave` "
                                      "varchar(40) NULL")
                           .arg(productos)) &&
                     a.sql(QStringLiteral("INSERT INTO %1 (Clave, Descrip, Costo, Precio1) VALUES "
                                          "(NULL, 'nula', 3, 4), ('%2', 'larga', 5, 6), "
                                          "('B%3', 'blancos', 7, 8)")
                               .arg(productos, QString(16, u'L'), QString(20, u' '))),
                 qPrintable(a.error()));
        QVERIFY2(a.arrancar(&error), qPrintable(error));
        OpcionesReporte opciones;
        opciones.soloPorCliente = porCliente;
        const ResultadoReporte r = prueba::reporte(a.contexto(), {9, 1, 2}, QStringLiteral("1"),
                                                   QStringLiteral("r.xlsx"), opciones);
        QVERIFY(r.incompleto());
        QCOMPARE(consulta::tablaTrabajo(a.general()),
                 (QStringList{QStringLiteral("A|a|0|0|1|2|0|0|") + Falta,
                              QStringLiteral("B") + QString(14, u' ') +
                                  QStringLiteral("|blancos|0|0|7|8|0|0|") + Falta}));
        QCOMPARE(guion->mostradas.size(), 1);
        const CajaMostrada& caja = guion->mostradas.first();
        QCOMPARE(caja.estilo, estilos::Advertencia);
        QCOMPARE(caja.titulo, QStringLiteral("Aviso"));
        const QStringList lineas = caja.texto.split(u'\r');
        QCOMPARE(lineas.size(), 6);
        QCOMPARE(lineas[0], QStringLiteral("Archivo 'r.xlsx' creado"));
        QCOMPARE(lineas[3], QStringLiteral("- empresa 9: no está en la tabla de empresas"));
        QCOMPARE(lineas[4], QStringLiteral("- empresa 1: se dejaron fuera 1 producto sin clave y 1 "
                                           "con la clave de más de 15 caracteres, que la tabla de "
                                           "trabajo no admite"));
        QVERIFY2(lineas[5].startsWith(QStringLiteral("- empresa 2: no se pudo abrir su base de "
                                                     "datos «%1_e2»: la base de datos «%1_e2» no "
                                                     "existe en el servidor ")
                                          .arg(a.general())),
                 qPrintable(lineas[5]));
    }

    // The final message names the file as typed, and follows the file test even for an empty table.
    void mensajeFinal_data() {
        QTest::addColumn<QString>("archivo");
        QTest::addColumn<bool>("conProductos");
        QTest::newRow("nombre simple") << QStringLiteral("r.xlsx") << true;
        QTest::newRow("con espacios delante, sin recortar") << QStringLiteral("  r.xlsx") << true;
        QTest::newRow("con espacio dentro") << QStringLiteral("reporte varelmo.xlsx") << true;
        QTest::newRow("sin productos: tabla vacia, el libro se escribe")
            << QStringLiteral("vacio.xlsx") << false;
    }
    void mensajeFinal() {
        QFETCH(QString, archivo);
        QFETCH(bool, conProductos);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        const QList<ProductoPrueba> productos{
            producto(QStringLiteral("A"), QStringLiteral("a"), 1.0, {2.0})};
        QVERIFY2(prepararAnfitrion(
                     a, {empresa(1, conProductos ? productos : QList<ProductoPrueba>{})}, &error),
                 qPrintable(error));
        bool escrito = false;
        QVERIFY2(correrReporte(a, {1}, QStringLiteral("1"), archivo, &escrito, &error),
                 qPrintable(error));
        QVERIFY(escrito);
        QVERIFY(QFile::exists(QDir(a.carpetaPrograma()).filePath(archivo)));
        QCOMPARE(guion->mostradas.size(), 1);
        const CajaMostrada caja = guion->mostradas.first();
        QVERIFY(caja.skin);
        QCOMPARE(caja.texto, QStringLiteral("Archivo '%1' creado").arg(archivo));
        QCOMPARE(caja.titulo, QStringLiteral("Aviso"));
        QCOMPARE(caja.estilo, estilos::Aviso);
        QCOMPARE(consulta::tablaTrabajo(a.general()).size(), conProductos ? 1 : 0);
    }

    // A company on its own server settings: every field enciphered with its selector, a user of
    // its own with a password and grants on that database only.
    void credencialesPropias_data() {
        QTest::addColumn<bool>("contrasenaCorrecta");
        QTest::addColumn<bool>("puertoCorrecto");
        QTest::addColumn<QString>("ajeno");  // a field whose value was sealed for another place
        QTest::newRow("credenciales correctas") << true << true << QString();
        QTest::newRow("contrasena equivocada: empresa omitida") << false << true << QString();
        QTest::newRow("puerto equivocado: empresa omitida") << true << false << QString();
        // A value copied from another company's row, or a port changed under the server's value,
        // does not decipher: the run stops and says so.
        QTest::newRow("usuario de la fila de otra empresa")
            << true << true << QStringLiteral("usuario");
        QTest::newRow("puerto cambiado en la fila") << true << true << QStringLiteral("puerto");
        // A value of the earlier form is bound to no row: one copied from another company's row
        // would decipher in this one. It is refused, and the message says how to seal it again.
        QTest::newRow("usuario de la forma anterior copiado de otra empresa")
            << true << true << QStringLiteral("anterior");
    }
    void credencialesPropias() {
        QFETCH(bool, contrasenaCorrecta);
        QFETCH(bool, puertoCorrecto);
        QFETCH(QString, ajeno);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        EmpresaPrueba propia =
            empresa(1, {producto(QStringLiteral("K1"), QStringLiteral("propia"), 3.0, {4.0, 5.0})});
        QVERIFY2(prepararAnfitrion(a, {propia}, &error), qPrintable(error));
        const QString base = a.general() + QStringLiteral("_e1");
        const QString usuario = ServidorPrueba::nombreUnico(QStringLiteral("u"));
        const QString contrasena = QStringLiteral("Cl@ve'secreta\\9");
        for (const QString& maquina :
             {QStringLiteral("%"), QStringLiteral("localhost"), QStringLiteral("127.0.0.1")}) {
            const QString cuenta = literal(usuario) + u'@' + literal(maquina);
            usuarios_ << cuenta;
            QVERIFY2(a.sql(QStringLiteral("CREATE USER %1 IDENTIFIED BY %2")
                               .arg(cuenta, literal(contrasena))),
                     qPrintable(a.error()));
            QVERIFY2(a.sql(QStringLiteral("GRANT SELECT ON %1.* TO %2")
                               .arg(citarIdentificador(base), cuenta)),
                     qPrintable(a.error()));
        }
        const int puerto = puertoCorrecto ? ServidorPrueba::puerto() : 1;
        auto cifrado = [&](int selector, const QString& texto) {
            if (ajeno == QLatin1String("anterior") && selector == 3)
                return literal(soporte::selladoAnterior(a.carpetaInstalacion(), selector, texto));
            const bool deOtra = (ajeno == QLatin1String("usuario") && selector == 3);
            const int sellado = ajeno == QLatin1String("puerto") ? puerto + 1 : puerto;
            return literal(a.cifrarCampo(deOtra ? 2 : 1, selector, texto, sellado));
        };
        // The plain name leads nowhere: only the enciphered one reaches the products.
        QVERIFY2(
            a.sql(QStringLiteral("UPDATE %1.empresas SET BaseDeDatos='no_existe_%2', Servidor=%3, "
                                 "BaseDeDatos2=%4, "
                                 "Usuario=%5, Conexion=%6, Puerto=%7 WHERE Id=1")
                      .arg(citarIdentificador(a.general()), a.general(),
                           cifrado(1, ServidorPrueba::host()), cifrado(2, base),
                           cifrado(3, usuario),
                           cifrado(4, contrasenaCorrecta ? contrasena : QStringLiteral("otra")))
                      .arg(puerto)),
            qPrintable(a.error()));
        bool escrito = false;
        QVERIFY2(
            correrReporte(a, {1}, QStringLiteral("2"), QStringLiteral("p.xlsx"), &escrito, &error),
            qPrintable(error));
        if (!ajeno.isEmpty()) {
            QVERIFY(!escrito);
            QCOMPARE(guion->mostradas.size(), 1);
            const QString& texto = guion->mostradas[0].texto;
            QVERIFY2(texto.contains(QStringLiteral("no se pudo descifrar")), qPrintable(texto));
            QVERIFY2(ajeno != QLatin1String("anterior") ||
                         (texto.contains(QStringLiteral("el campo Usuario de la empresa 1")) &&
                          texto.contains(QStringLiteral("talmira-host resellar \"%1\"")
                                             .arg(a.carpetaInstalacion()))),
                     qPrintable(texto));
            return;
        }
        const bool abre = contrasenaCorrecta && puertoCorrecto;
        QCOMPARE(consulta::tablaTrabajo(a.general()),
                 abre ? QStringList{QStringLiteral("K1|propia|3|5|")} : QStringList{});
        QVERIFY(escrito);
        for (const CajaMostrada& caja : std::as_const(guion->mostradas))
            QVERIFY2(!caja.texto.contains(contrasena), qPrintable(caja.texto));
    }

    // A stored setting that does not decipher is a clear failure, never a plain-text guess.
    void credencialQueNoDescifra() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(
            prepararAnfitrion(
                a, {empresa(1, {producto(QStringLiteral("A"), QStringLiteral("a"), 1.0, {2.0})})},
                &error),
            qPrintable(error));
        QVERIFY2(
            a.sql(
                QStringLiteral(
                    "UPDATE %1.empresas SET BaseDeDatos2='%2_e1', Servidor='127.0.0.1' WHERE Id=1")
                    .arg(citarIdentificador(a.general()), a.general())),
            qPrintable(a.error()));
        bool escrito = true;
        QVERIFY2(
            correrReporte(a, {1}, QStringLiteral("1"), QStringLiteral("c.xlsx"), &escrito, &error),
            qPrintable(error));
        QVERIFY(!escrito);
        QCOMPARE(guion->mostradas.size(), 1);
        QVERIFY2(guion->mostradas.first().texto.startsWith(
                     QStringLiteral("El reporte no pudo generarse: ")),
                 qPrintable(guion->mostradas.first().texto));
        QVERIFY(!QFile::exists(QDir(a.carpetaPrograma()).filePath(QStringLiteral("c.xlsx"))));
        QCOMPARE(consulta::tablaTrabajo(a.general()), QStringList{});
    }

    // The products cannot be read with the price column: the run stops with the server's reason
    // and writes no workbook.
    void columnaDePrecioFaltante_data() {
        QTest::addColumn<QList<int>>("niveles");
        QTest::addColumn<QString>("nivel");
        QTest::newRow("nivel que la empresa no tiene") << QList<int>{2} << QStringLiteral("3");
        QTest::newRow("nivel vacio") << QList<int>{4} << QString();
        QTest::newRow("nivel de solo espacios") << QList<int>{4} << QStringLiteral("  ");
        QTest::newRow("la segunda empresa no lo tiene") << QList<int>{4, 2} << QStringLiteral("3");
    }
    void columnaDePrecioFaltante() {
        QFETCH(QList<int>, niveles);
        QFETCH(QString, nivel);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QList<EmpresaPrueba> empresas;
        QList<int> ids;
        for (int i = 0; i < niveles.size(); ++i) {
            empresas << empresa(
                i + 1,
                {producto(QStringLiteral("A"), QStringLiteral("a"), 1.0, {1.0, 2.0, 3.0, 4.0})},
                niveles[i]);
            ids << i + 1;
        }
        QVERIFY2(prepararAnfitrion(a, empresas, &error), qPrintable(error));
        bool escrito = true;
        QVERIFY2(correrReporte(a, ids, nivel, QStringLiteral("f.xlsx"), &escrito, &error),
                 qPrintable(error));
        QVERIFY(!escrito);
        QCOMPARE(guion->mostradas.size(), 1);
        const CajaMostrada caja = guion->mostradas.first();
        const QString prefijo = QStringLiteral("El reporte no pudo generarse: ");
        QVERIFY2(caja.texto.startsWith(prefijo) && caja.texto.size() > prefijo.size(),
                 qPrintable(caja.texto));
        QCOMPARE(caja.titulo, QStringLiteral("Alerta"));
        QCOMPARE(caja.estilo, estilos::Alto);
        QVERIFY(!QFile::exists(QDir(a.carpetaPrograma()).filePath(QStringLiteral("f.xlsx"))));
        QVERIFY(QDir(a.carpetaPrograma())
                    .entryList({QStringLiteral("*.xlsx*")}, QDir::Files | QDir::Hidden)
                    .isEmpty());
    }

    void precioExactoEnElLibro() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(prepararAnfitrion(a,
                                   {empresa(1, {producto(QStringLiteral("P"), QStringLiteral("d"),
                                                         1234567.89, {0.1, 9876543.21})})},
                                   &error),
                 qPrintable(error));
        bool escrito = false;
        QVERIFY2(
            correrReporte(a, {1}, QStringLiteral("2"), QStringLiteral("x.xlsx"), &escrito, &error),
            qPrintable(error));
        QVERIFY(escrito);
        REQUIERE_LECTOR();
        const LibroLeido libro =
            leerLibro(QDir(a.carpetaPrograma()).filePath(QStringLiteral("x.xlsx")));
        QVERIFY2(libro.ok, qPrintable(libro.error));
        QCOMPARE(libro.celda(QStringLiteral("C4")).v.toDouble(), 1234567.89);
        QCOMPARE(libro.celda(QStringLiteral("D4")).v.toDouble(), 9876543.21);
    }

    // The merge in the program in one pass (each company streamed by its code's weight in the
    // working table's key, merged k ways, loaded in bulk while the sheet is written) against the
    // server's merge into the working table, on a random hostile host: the same rows (the same
    // codes taken as equal, in the same order, with the same spelling, description, pairs and
    // warning) and the same workbook.
    void mezclaEnElPrograma() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QRandomGenerator azar(13);
        QVERIFY2(prepararAnfitrion(a, empresasAlAzar(azar, 300, 200), &error), qPrintable(error));
        QVERIFY2(a.arrancar(&error), qPrintable(error));
        QStringList tablas[2];
        QString libros[2];
        for (int i = 0; i < 2; ++i) {
            OpcionesReporte opciones;
            opciones.enTablaPrimero = i == 0;
            const ResultadoReporte r = prueba::reporte(a.contexto(), {3, 1, 2}, QStringLiteral("2"),
                                                       QStringLiteral("k.xlsx"), opciones);
            QVERIFY(r.creado());
            QCOMPARE(r.enUnaPasada, i == 1);
            tablas[i] = consulta::tablaTrabajo(a.general());
            libros[i] = huellaLibro(QDir(a.carpetaPrograma()).filePath(QStringLiteral("k.xlsx")));
        }
        QVERIFY(tablas[0].size() > 100);
        QCOMPARE(tablas[1], tablas[0]);
        REQUIERE_LECTOR();
        QVERIFY(!libros[0].isEmpty());
        QCOMPARE(libros[1], libros[0]);
    }

    // The working table loaded from memory on a thread of its own while rows keep coming: every
    // row arrives as given; a load cut short leaves the table empty.
    void cargaDeLaTablaDeTrabajo() {
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(prepararAnfitrion(a, {}, &error), qPrintable(error));
        BasesDD b = ServidorPrueba::comoRoot();
        for (const bool cortada : {false, true}) {
            Conexion c;
            QVERIFY(b.AbrirBdD(c, a.general()));
            QVERIFY2(CrearTablaTrabajo(c, {1, 2}, &error), qPrintable(error));
            CargaTablaTrabajo carga(b, a.general(), QStringLiteral("tbltempproductos"));
            carga.empezar();
            for (int i = 0; i < 30000; ++i) {
                if (cortada && i == 20000) carga.abortar(QStringLiteral("cortada"));
                QVariantList fila{QStringLiteral("K%1").arg(i, 5, 10, QLatin1Char('0')),
                                  QStringLiteral("d\t%1").arg(i),
                                  i + 0.25,
                                  QVariant(),
                                  i * 2.0,
                                  0.1,
                                  i % 2 ? Falta : QString()};
                if (!carga.poner(std::move(fila), {})) break;
            }
            QCOMPARE(carga.terminar({}, &error), !cortada);
            const QStringList filas = consulta::tablaTrabajo(a.general());
            if (cortada) {
                QVERIFY(filas.isEmpty());
                continue;
            }
            QCOMPARE(filas.size(), 30000);
            QCOMPARE(filas.last(),
                     consulta::textoFila({QStringLiteral("K29999"), QStringLiteral("d\t29999"),
                                          29999.25, QVariant(), 59998.0, 0.1, Falta}));
        }
        // A load the server refuses (here, into a table that is not there) fails before the
        // server asks for any row: the report can still go another way.
        CargaTablaTrabajo rechazada(b, a.general(), QStringLiteral("no_existe"));
        rechazada.empezar();
        QVERIFY(!rechazada.esperarPedido(&error));
        QVERIFY2(error.contains(QStringLiteral("no_existe")), qPrintable(error));
    }

    // A random host, merged by RellenarTabla and, here, one product at a time with a keyed lookup
    // and a single-row insert or update, the server comparing the codes; both tables must agree
    // row by row and column by column. Equal codes are met in code order, then by exact spelling
    // and the other columns, as the report meets them.
    void igualQueLaFusionFilaPorFila_data() {
        QTest::addColumn<quint32>("semilla");
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<int>("porEmpresa");  // products per company
        QTest::addColumn<int>("codigos");     // distinct code numbers they are drawn from
        QTest::newRow("semilla 7, empresas 1 2 3") << 7u << QList<int>{1, 2, 3} << 150 << 220;
        QTest::newRow("semilla 11, orden 3 1 2 y una empresa sin fila")
            << 11u << QList<int>{3, 8, 1, 2} << 150 << 220;
        QTest::newRow("semilla 5, mas productos que un lote")
            << 5u << QList<int>{2, 1} << 700 << 800;
    }
    void igualQueLaFusionFilaPorFila() {
        QFETCH(quint32, semilla);
        QFETCH(QList<int>, ids);
        QFETCH(int, porEmpresa);
        QFETCH(int, codigos);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QRandomGenerator azar(semilla);
        const QList<EmpresaPrueba> empresas = empresasAlAzar(azar, porEmpresa, codigos);
        QVERIFY2(prepararAnfitrion(a, empresas, &error), qPrintable(error));
        bool escrito = false;
        QVERIFY2(correrReporte(a, ids, QStringLiteral("2"), QStringLiteral("azar.xlsx"), &escrito,
                               &error),
                 qPrintable(error));
        QVERIFY(escrito);
        const QStringList obtenido = consulta::tablaTrabajo(a.general());

        QList<QVariantList> filasReferencia;
        QVERIFY2(fusionarFilaPorFila(a, ids, &filasReferencia, &error), qPrintable(error));
        QStringList esperado;
        for (const QVariantList& f : std::as_const(filasReferencia))
            esperado << consulta::textoFila(f);
        QVERIFY(esperado.size() > 100);
        QCOMPARE(obtenido.size(), esperado.size());
        for (int i = 0; i < esperado.size(); ++i) QCOMPARE(obtenido[i], esperado[i]);
    }
};

QTEST_GUILESS_MAIN(TstFusion)
#include "tst_fusion.moc"
