// The ways of merging the companies, on the same host: through the program, by the server in one
// pass, and by the server in two parts on two connections. All must leave the working table with
// the very same rows, byte for byte.
#include <QScopeGuard>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "AnfitrionPrueba.h"
#include "ConsultaPrueba.h"
#include "DialogosGuion.h"
#include "LectorLibro.h"
#include "ReportePrueba.h"
#include "ServidorPrueba.h"
#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"
#include "programa/Cierre.h"
#include "report/ColaFilas.h"
#include "report/NombresTrabajo.h"
#include "report/SolicitudReporte.h"
#include "report/TurnoReporte.h"
#include "report/clsLlenarTabla.h"

namespace {
ProductoPrueba producto(const QString& clave, const QVariant& descrip, const QVariant& costo,
                        const QVariant& precio) {
    return ProductoPrueba{clave, descrip, costo, {precio, precio}};
}

EmpresaPrueba empresa(int id, const QList<ProductoPrueba>& productos,
                      const QString& juego = QStringLiteral("utf8mb4")) {
    EmpresaPrueba e;
    e.id = id;
    e.productos = productos;
    e.niveles = 2;
    e.juegoCaracteres = juego;
    return e;
}

// Every column of the working table in hexadecimal, so that letter case, trailing blanks and the
// exact bytes all count.
QStringList filasExactas(const QString& general, int empresas) {
    QString columnas = QStringLiteral("HEX(Clave), HEX(Descrip), HEX(Aviso)");
    for (int i = 1; i <= empresas; ++i) columnas += QStringLiteral(", Costo%1, Precio%1").arg(i);
    QList<QVariantList> filas;
    QString error;
    if (!consulta::filas(
            general,
            QStringLiteral("SELECT %1 FROM tbltempproductos ORDER BY CAST(Clave AS BINARY)")
                .arg(columnas),
            &filas, {}, &error))
        return {error};
    QStringList texto;
    for (const QVariantList& f : std::as_const(filas)) texto << consulta::textoFila(f);
    return texto;
}
}  // namespace

class TstCaminos : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { REQUIERE_SERVIDOR(); }

    void mismasFilas_data() {
        QTest::addColumn<QList<EmpresaPrueba>>("empresas");
        QTest::addColumn<QStringList>(
            "ajustes");  // SQL run on the host; {g}_e1 is company 1's database
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QStringList>("cortes");  // where the merge in two parts is also cut

        const QString largo = QString(58, u'd') + QStringLiteral("ñ😀zzz");
        QTest::newRow("mayusculas, blancos, acentos, latin1, nulos, descripcion larga, repetidas")
            << QList<EmpresaPrueba>{empresa(1, {producto(QStringLiteral("abc"),
                                                         QStringLiteral("uno"), 1.5, 2.5),
                                                producto(QStringLiteral("ABC "),
                                                         QStringLiteral("otra"), 3.0, 4.0),
                                                producto(QStringLiteral("abc"),
                                                         QStringLiteral("tres"), 5.0, QVariant()),
                                                producto(QStringLiteral("L"), largo, 1234567.89,
                                                         9876543.21),
                                                producto(QStringLiteral("N"), QVariant(),
                                                         QVariant(), QVariant())}),
                                    empresa(2,
                                            {producto(QStringLiteral("CAFÉ"),
                                                      QStringLiteral("Café ñandú"), 7.25, 8.0),
                                             producto(QStringLiteral("Abc"), QStringLiteral("dos"),
                                                      9.0, 10.0),
                                             producto(QStringLiteral("zz  "), QString(70, u'x'),
                                                      0.01, 0.02)},
                                            QStringLiteral("latin1")),
                                    empresa(3, {producto(QStringLiteral("cafe"),
                                                         QStringLiteral("c3"), 11.0, 12.0),
                                                producto(QStringLiteral("O'Neil\\"),
                                                         QStringLiteral("D'Ana"), 13.0, 14.0)})}
            << QStringList{}
            << QList<int>{3, 1, 2}
            // On codes equal to others but for case, blanks or accent (in a latin1 company too),
            // below and above every code, and on the code with a quote and a backslash.
            << QStringList{
                   QStringLiteral("abc"),  QStringLiteral("ABC   "),   QStringLiteral("cafe"),
                   QStringLiteral("CAFÉ"), QStringLiteral("zz"),       QStringLiteral(""),
                   QStringLiteral("~"),    QStringLiteral("O'Neil\\"), QStringLiteral("N")};

        // Amounts hard to carry (the smallest and largest doubles, FLOAT and DECIMAL columns the
        // server turns into doubles), and the company at position 1 without its row, so that
        // every code carries the warning.
        QTest::newRow("importes dificiles, FLOAT y DECIMAL, la primera empresa omitida")
            << QList<EmpresaPrueba>{empresa(1, {producto(QStringLiteral("a"), QStringLiteral("x"),
                                                         5e-324, 1.7976931348623157e308),
                                                producto(QStringLiteral("b"), QStringLiteral("y"),
                                                         -0.1, 1234567.89)}),
                                    empresa(
                                        2, {producto(QStringLiteral("A"), QStringLiteral("z"), 1.1,
                                                     2.675),
                                            producto(QStringLiteral("c"), QString(), 0.3, -1.005)})}
            << QStringList{QStringLiteral("ALTER TABLE {g}_e2.productos MODIFY Costo FLOAT, "
                                          "MODIFY Precio2 DECIMAL(12,3)")}
            << QList<int>{9, 1, 2} << QStringList{QStringLiteral("b")};

        // Forty companies, each with a few codes most of the others share, spelt apart.
        QList<EmpresaPrueba> cuarenta;
        QList<int> ids40;
        for (int e = 1; e <= 40; ++e) {
            QList<ProductoPrueba> productos;
            for (int k = 0; k < 5; ++k)
                productos << producto(
                    QStringLiteral("%1%2")
                            .arg(e % 2 ? QStringLiteral("c") : QStringLiteral("C "))
                            .arg((e + k * 7) % 23)
                            .trimmed() +
                        QString(e % 3, u' '),
                    QStringLiteral("de %1").arg(e), e + k / 4.0, e * 1.5);
            cuarenta << empresa(e, productos);
            ids40.prepend(e);
        }
        QTest::newRow("cuarenta empresas")
            << cuarenta << QStringList{} << ids40 << QStringList{QStringLiteral("c12")};

        // Thousands of products with many codes equal but for case and trailing blanks, so that
        // the server's ranges of codes are many and equal codes sit on their bounds.
        QStringList masivo;
        for (int e = 1; e <= 2; ++e)
            masivo << QStringLiteral(
                          "INSERT INTO {g}_e%1.productos SELECT CONCAT(IF(MOD(seq, 3) = 0, 'ab', "
                          "'AB'), "
                          "seq DIV %2, IF(MOD(seq, 4) = 0, ' ', '')), CONCAT('Artículo ', seq, ' "
                          "de %1'), "
                          "seq / 8, seq / 4 + %1, seq / 2 FROM {g}.seq_1_to_30000 WHERE MOD(seq, "
                          "%3) <> 0")
                          .arg(e)
                          .arg(e + 1)
                          .arg(e + 4);
        masivo << QStringLiteral("ALTER TABLE {g}_e3.productos ADD PRIMARY KEY (Clave)")
               << QStringLiteral(
                      "INSERT INTO {g}_e3.productos SELECT CONCAT('ab', seq), 'k', seq, seq, seq "
                      "FROM {g}.seq_1_to_25000");
        QTest::newRow("treinta mil productos por empresa, claves repetidas, una con clave unica")
            << QList<EmpresaPrueba>{empresa(1, {}), empresa(2, {}), empresa(3, {})} << masivo
            << QList<int>{1, 2, 3} << QStringList{QStringLiteral("ab5000 ")};
    }
    void mismasFilas() {
        QFETCH(QList<EmpresaPrueba>, empresas);
        QFETCH(QStringList, ajustes);
        QFETCH(QList<int>, ids);
        QFETCH(QStringList, cortes);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QVERIFY2(a.valido() && a.crearGeneral(2), qPrintable(a.error()));
        for (const EmpresaPrueba& e : std::as_const(empresas))
            QVERIFY2(!a.crearEmpresa(e).isEmpty(), qPrintable(a.error()));
        for (QString s : std::as_const(ajustes))
            QVERIFY2(a.sql(s.replace(QStringLiteral("{g}"), a.general())), qPrintable(a.error()));
        QString error;
        QVERIFY2(a.arrancar(&error), qPrintable(error));
        Contexto& p = a.contexto();
        p.listaSeleccion = ids;

        // Into the working table through the program, then by the server as it chooses, then in
        // the program in one pass to both outputs, then by the server in two parts cut at each of
        // `cortes`. Each leaves the same working table and the same workbook.
        enum { PorCliente, PorServidor, EnUnaPasada, EnDosPartes };
        QStringList tablas[2];
        QString libros[2];
        for (int camino = 0; camino < EnDosPartes + cortes.size(); ++camino) {
            QStringList avance;
            OpcionesReporte opciones;
            opciones.soloPorCliente = camino == PorCliente;
            opciones.enTablaPrimero = camino == PorServidor;
            if (camino >= EnDosPartes) opciones.corte = cortes[camino - EnDosPartes];
            const ResultadoReporte llenar =
                prueba::reporte(a.contexto(), ids, QStringLiteral("2"), QStringLiteral("c.xlsx"),
                                opciones, [&avance](const QString& t) {
                                    avance << t;
                                    return true;
                                });
            QVERIFY(llenar.creado());
            QCOMPARE(llenar.fusionesEnServidor, camino == PorCliente || camino == EnUnaPasada
                                                    ? 0
                                                    : static_cast<int>(empresas.size()));
            QCOMPARE(llenar.enUnaPasada, camino == EnUnaPasada);
            if (camino >= EnDosPartes) QVERIFY(llenar.enDosPartes);
            // The progress line always names a code, and every company as it is merged (in two
            // parts, the upper part's companies may pass between two refreshes).
            for (const QString& texto : std::as_const(avance))
                QVERIFY2(!texto.endsWith(QStringLiteral(".- ")), qPrintable(avance.join(u'\n')));
            for (const EmpresaPrueba& e : std::as_const(empresas))
                QVERIFY2(camino >= EnDosPartes || !ids.contains(e.id) ||
                             !avance.filter(QStringLiteral("_e%1.- ").arg(e.id)).isEmpty(),
                         qPrintable(avance.join(u'\n')));
            const int i = qMin(camino, 1);
            tablas[i] = filasExactas(a.general(), static_cast<int>(ids.size()));
            libros[i] = huellaLibro(QDir(a.carpetaPrograma()).filePath(QStringLiteral("c.xlsx")));
            if (camino == PorCliente) continue;
            QVERIFY(!tablas[0].isEmpty());
            QCOMPARE(tablas[1].size(), tablas[0].size());
            for (int f = 0; f < tablas[0].size(); ++f) QCOMPARE(tablas[1][f], tablas[0][f]);
            if (!hayLectorDeLibros()) continue;
            QVERIFY(!libros[0].isEmpty());
            QCOMPARE(libros[1], libros[0]);
        }
    }

    // The parts of a copy in two parts are tables of the host database: while another report on
    // the same host holds them, this one merges in one pass; parts that a report cut short left
    // behind are replaced, not merged into.
    void partesDeOtroReporte() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QVERIFY2(a.valido() && a.crearGeneral(2), qPrintable(a.error()));
        QVERIFY2(!a.crearEmpresa(
                       empresa(1, {producto(QStringLiteral("A"), QStringLiteral("a"), 1.0, 2.0),
                                   producto(QStringLiteral("C"), QStringLiteral("c"), 3.0, 4.0)}))
                      .isEmpty(),
                 qPrintable(a.error()));
        QVERIFY2(!a.crearEmpresa(
                       empresa(2, {producto(QStringLiteral("c"), QStringLiteral("c2"), 5.0, 6.0),
                                   producto(QStringLiteral("D"), QStringLiteral("d"), 7.0, 8.0)}))
                      .isEmpty(),
                 qPrintable(a.error()));
        QString error;
        QVERIFY2(a.arrancar(&error), qPrintable(error));
        Contexto& p = a.contexto();
        p.listaSeleccion = {1, 2};
        const QStringList esperadas = [&] {
            OpcionesReporte opciones;
            opciones.soloPorCliente = true;
            prueba::reporte(a.contexto(), p.listaSeleccion, QStringLiteral("2"),
                            QStringLiteral("c.xlsx"), opciones);
            return filasExactas(a.general(), 2);
        }();
        QCOMPARE(esperadas.size(), 3);

        // Another connection, as another copy of the program would hold it.
        BasesDD otro = p.basesDD;
        Conexion otra;
        QVERIFY(otro.AbrirBdD(otra, p.ConexionPrincipal.base()));
        Recordset cerrojo;
        QVERIFY(cerrojo.abrir(otra, QStringLiteral("SELECT GET_LOCK(") + nombres::CerrojoPartes() +
                                        QStringLiteral(", 0)")));
        QCOMPARE(cerrojo.valor(0).toInt(), 1);
        cerrojo.cerrar();
        // Left behind by a report cut short: a part with a row of its own.
        QVERIFY(a.sql(
            QStringLiteral("CREATE TABLE %1.tbltempproductos_fusion_alta LIKE %1.tbltempproductos")
                .arg(a.general())));
        QVERIFY(a.sql(
            QStringLiteral("INSERT INTO %1.tbltempproductos_fusion_alta (Clave) VALUES ('ZZ')")
                .arg(a.general())));

        for (const bool ocupadas : {true, false}) {
            OpcionesReporte opciones;
            opciones.corte = QStringLiteral("B");
            const ResultadoReporte llenar =
                prueba::reporte(a.contexto(), p.listaSeleccion, QStringLiteral("2"),
                                QStringLiteral("c.xlsx"), opciones);
            QVERIFY(llenar.creado());
            QCOMPARE(llenar.enDosPartes, !ocupadas);
            QCOMPARE(filasExactas(a.general(), 2), esperadas);
            if (ocupadas)
                QVERIFY(otra.ejecutar(QStringLiteral("DO RELEASE_LOCK(") +
                                      nombres::CerrojoPartes() + u')'));
        }
    }

    // Reports on one host take turns: a report waits while another holds the turn, gives up when
    // the wait runs out or is called off, and a close leaves the working table to the holder.
    void turnosDeReporte() {
        AnfitrionPrueba a;
        QVERIFY2(a.valido() && a.crearGeneral(2), qPrintable(a.error()));
        QString error;
        QVERIFY2(a.arrancar(&error), qPrintable(error));
        Contexto& p = a.contexto();
        BasesDD otro = p.basesDD;
        Conexion otra;
        QVERIFY(otro.AbrirBdD(otra, p.ConexionPrincipal.base()));
        TurnoReporte delOtro(otra);
        QCOMPARE(delOtro.tomar(0, {}, &error), TurnoReporte::Resultado::Tomado);

        TurnoReporte propio(p.ConexionPrincipal);
        int esperas = 0;
        QCOMPARE(propio.tomar(
                     500, [&] { return ++esperas > 0; }, &error),
                 TurnoReporte::Resultado::Agotado);
        QVERIFY(esperas >= 2);
        QCOMPARE(propio.tomar(
                     60000, [] { return false; }, &error),
                 TurnoReporte::Resultado::Cancelado);
        QVERIFY(!propio.tomarSiLibre());

        QVERIFY2(CrearTablaTrabajo(otra, {1}, &error), qPrintable(error));
        CerrarBasesDeDatos(p);
        QList<QVariantList> r;
        QVERIFY(consulta::filas(a.general(), QStringLiteral("SHOW TABLES LIKE 'tbltempproductos'"),
                                &r));
        QCOMPARE(r.size(), 1);
        delOtro.soltar();
        QVERIFY(a.arrancar(&error));
        TurnoReporte libre(a.contexto().ConexionPrincipal);
        QCOMPARE(libre.tomar(500, {}, &error), TurnoReporte::Resultado::Tomado);
    }

    // A host user the server allows two connections (the program's own and the company's): the
    // second connection of a merge in two parts cannot open, and the merge goes in one pass.
    void usuarioDeDosConexiones() {
        GuionDialogos guion;
        const QString usuario = ServidorPrueba::nombreUnico(QStringLiteral("lim"));
        AnfitrionPrueba a(usuario, QStringLiteral("clave de prueba"));
        QVERIFY2(a.valido() && a.crearGeneral(2), qPrintable(a.error()));
        QVERIFY(a.sql(
            QStringLiteral(
                "CREATE USER '%1'@'%' IDENTIFIED BY 'clave de prueba' WITH MAX_USER_CONNECTIONS 2")
                .arg(usuario)));
        const auto quitar = qScopeGuard(
            [&] { a.sql(QStringLiteral("DROP USER IF EXISTS '%1'@'%'").arg(usuario)); });
        QVERIFY(a.sql(QStringLiteral("GRANT ALL ON `%1`.* TO '%2'@'%'").arg(a.general(), usuario)));
        QVERIFY(
            a.sql(QStringLiteral("GRANT ALL ON `%1\\_%`.* TO '%2'@'%'").arg(a.general(), usuario)));
        QVERIFY2(!a.crearEmpresa(
                       empresa(1, {producto(QStringLiteral("A"), QStringLiteral("a"), 1.0, 2.0),
                                   producto(QStringLiteral("C"), QStringLiteral("c"), 3.0, 4.0)}))
                      .isEmpty(),
                 qPrintable(a.error()));
        QVERIFY2(!a.crearEmpresa(
                       empresa(2, {producto(QStringLiteral("c"), QStringLiteral("c2"), 5.0, 6.0)}))
                      .isEmpty(),
                 qPrintable(a.error()));
        QString error;
        QVERIFY2(a.arrancar(&error), qPrintable(error));
        Contexto& p = a.contexto();
        QCOMPARE(p.basesDD.cUsuario, usuario);
        p.listaSeleccion = {1, 2};
        OpcionesReporte opciones;
        opciones.corte = QStringLiteral("B");
        const ResultadoReporte llenar =
            prueba::reporte(a.contexto(), p.listaSeleccion, QStringLiteral("2"),
                            QStringLiteral("c.xlsx"), opciones);
        QVERIFY(llenar.creado());
        QVERIFY(!llenar.enDosPartes);
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas[0].texto, QStringLiteral("Archivo 'c.xlsx' creado"));
        QCOMPARE(filasExactas(a.general(), 2),
                 QStringList({QStringLiteral("41|61||1|2|0|0"), QStringLiteral("43|63||3|4|5|6")}));
    }

    // The rows handed to the workbook's thread: all of them, in order, and the reading side is
    // never left waiting on a writer that stopped early.
    void colaDeFilas_data() {
        QTest::addColumn<int>("filas");
        QTest::addColumn<int>("tomadas");  // rows the writer takes before it stops; -1 all
        QTest::newRow("ninguna fila") << 0 << -1;
        QTest::newRow("muchos lotes, todas") << 20000 << -1;
        QTest::newRow("el escritor se va al principio") << 20000 << 0;
        QTest::newRow("el escritor se va a la mitad") << 20000 << 7000;
    }
    void colaDeFilas() {
        QFETCH(int, filas);
        QFETCH(int, tomadas);
        ColaFilas cola;
        QList<int> leidas;
        // The writer starts once the reading side has met a full queue (or put every row), so
        // that a full queue is met whenever the rows are more than it holds.
        std::atomic<int> esperas{0};
        std::atomic<bool> puestasTodas{false};
        std::thread escritor([&] {
            while (esperas == 0 && !puestasTodas)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            QVariantList fila;
            while ((tomadas < 0 || leidas.size() < tomadas) && cola.siguiente(fila))
                leidas << fila.value(0).toInt();
            cola.cerrarLector();
        });
        int puestas = 0;
        while (puestas < filas && cola.poner(QVariantList{puestas}, [&] { ++esperas; })) ++puestas;
        puestasTodas = true;
        cola.terminar({});
        QVERIFY(cola.esperarLector(10000));
        escritor.join();
        const int esperadas = tomadas < 0 ? filas : tomadas;
        QCOMPARE(leidas.size(), esperadas);
        for (int i = 0; i < leidas.size(); ++i) QCOMPARE(leidas[i], i);
        if (tomadas >= 0)
            QVERIFY(puestas < filas);  // the reading side learnt that the writer had gone
        // While the queue was full, the reading side kept calling back (the progress line moves);
        // 20,000 rows are more than the queue holds.
        QCOMPARE(esperas > 0, filas > 10000);
    }
};

QTEST_GUILESS_MAIN(TstCaminos)
#include "tst_caminos.moc"
