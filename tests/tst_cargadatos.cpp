// The main window's initial content: CargarDatosIniciales on a host of
// its own on the private server (AnfitrionPrueba), the label texts and the caption with the
// version.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "AnfitrionPrueba.h"
#include "DialogosGuion.h"
#include "ServidorPrueba.h"
#include "Soporte.h"
#include "anfitrion/ArchivoIni.h"
#include "anfitrion/Instalacion.h"
#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"
#include "demo/AnfitrionDemo.h"
#include "programa/Arranque.h"

namespace {

const QString kSeccion = QStringLiteral("Configuración");

QString ajuste(const AnfitrionPrueba& a, const QString& clave) {
    return ArchivoIni::leer(a.archivoIni(), kSeccion, clave);
}

bool ponerHost(const AnfitrionPrueba& a, const QString& clave, const QString& valor) {
    return ArchivoIni::escribir(
        QDir(a.carpetaInstalacion()).filePath(Instalacion::nombreArchivoAjustes()),
        Instalacion::seccionAjustes(), clave, valor);
}

QList<int> ids(const DatosIniciales& d) {
    QList<int> r;
    for (const EmpresaInicial& e : d.empresas) r << e.id;
    return r;
}

#define ANFITRION(a)   \
    AnfitrionPrueba a; \
    QVERIFY2(a.valido(), qPrintable(a.error()))

#define HACER(a, paso) QVERIFY2((paso), qPrintable((a).error()))

}  // namespace

class TstCargaDatos : public QObject {
    Q_OBJECT

    QString carpetaInicial_;

private slots:
    void initTestCase() {
        carpetaInicial_ = QDir::currentPath();
        REQUIERE_SERVIDOR();
    }
    void cleanup() { QDir::setCurrent(carpetaInicial_); }

    // ---- Price levels and the saved level -----------------------------------------------------

    void niveles_data() {
        QTest::addColumn<QString>("precios");   // "Precios" of the host's configuracion
        QTest::addColumn<QString>("guardado");  // saved "Precio"; "\x01" leaves the key out
        QTest::addColumn<QStringList>("lista");
        QTest::addColumn<int>("seleccion");

        const QStringList cuatro = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                    QStringLiteral("4")};
        QStringList doce;
        for (int i = 1; i <= 12; ++i) doce << QString::number(i);
        const QString sinClave = QStringLiteral("\x01");

        QTest::newRow("4 niveles, precio 6")
            << QStringLiteral("4") << QStringLiteral("6") << cuatro << -1;
        QTest::newRow("4 niveles, precio 4")
            << QStringLiteral("4") << QStringLiteral("4") << cuatro << 3;
        QTest::newRow("4 niveles, precio 1")
            << QStringLiteral("4") << QStringLiteral("1") << cuatro << 0;
        QTest::newRow("4 niveles, sin precio") << QStringLiteral("4") << sinClave << cuatro << 0;
        QTest::newRow("4 niveles, precio vacio") << QStringLiteral("4") << QString() << cuatro << 0;
        QTest::newRow("4 niveles, precio 0")
            << QStringLiteral("4") << QStringLiteral("0") << cuatro << -1;
        QTest::newRow("precio con blanco delante")
            << QStringLiteral("4") << QStringLiteral(" 2") << cuatro << -1;
        QTest::newRow("precio con blanco detras")
            << QStringLiteral("4") << QStringLiteral("2 ") << cuatro << -1;
        QTest::newRow("precio 02") << QStringLiteral("4") << QStringLiteral("02") << cuatro << -1;
        QTest::newRow("precio 2.0") << QStringLiteral("4") << QStringLiteral("2.0") << cuatro << -1;
        QTest::newRow("precio en letras")
            << QStringLiteral("4") << QStringLiteral("dos") << cuatro << -1;
        QTest::newRow("12 niveles, precio 10")
            << QStringLiteral("12") << QStringLiteral("10") << doce << 9;
        QTest::newRow("12 niveles, precio 1")
            << QStringLiteral("12") << QStringLiteral("1") << doce << 0;
        QTest::newRow("1 nivel") << QStringLiteral("1") << sinClave
                                 << QStringList{QStringLiteral("1")} << 0;
        QTest::newRow("sin niveles") << QStringLiteral("0") << sinClave << QStringList() << -1;
        QTest::newRow("niveles negativos")
            << QStringLiteral("-3") << QStringLiteral("1") << QStringList() << -1;
        QTest::newRow("niveles con blancos")
            << QStringLiteral(" 4 ") << QStringLiteral("2") << cuatro << 1;
        // Numeric text is taken as a number, rounded half to even.
        QTest::newRow("niveles 4.0") << QStringLiteral("4.0") << QStringLiteral("2") << cuatro << 1;
        QTest::newRow("niveles 2.5") << QStringLiteral(" 2.5") << QStringLiteral("2")
                                     << QStringList{QStringLiteral("1"), QStringLiteral("2")} << 1;
        QTest::newRow("niveles 3.5")
            << QStringLiteral("3.5 ") << QStringLiteral("2") << cuatro << 1;
    }
    void niveles() {
        QFETCH(QString, precios);
        QFETCH(QString, guardado);
        QFETCH(QStringList, lista);
        QFETCH(int, seleccion);

        ANFITRION(a);
        HACER(a, a.crearGeneral());
        HACER(a, a.sql(QStringLiteral(
                           "UPDATE %1.`configuracion` SET `Valor`='%2' WHERE `Nombre`='Precios'")
                           .arg(citarIdentificador(a.general()), precios)));
        EmpresaPrueba e;
        HACER(a, !a.crearEmpresa(e).isEmpty());
        const bool hayClave = guardado != QStringLiteral("\x01");
        QVERIFY(a.escribirIni(hayClave ? QStringList{QStringLiteral("Precio=") + guardado}
                                       : QStringList()));
        GuionDialogos guion;
        QString error;
        const std::optional<DatosIniciales> d = a.arrancar(&error);
        QVERIFY2(d, qPrintable(error));
        QVERIFY2(guion->mostradas.isEmpty(), qPrintable(describir(guion->mostradas)));
        QCOMPARE(d->precios, lista);
        QCOMPARE(d->precioSeleccionado, seleccion);
        // A missing or empty key gains its default; any other value stays as saved.
        QCOMPARE(ajuste(a, QStringLiteral("Precio")),
                 !hayClave || guardado.isEmpty() ? QStringLiteral("1") : guardado);
    }

    // ---- The settings file on a first start -----------------------------------------------------

    void primerArranque() {
        ANFITRION(a);
        HACER(a, a.crearGeneral(4));
        for (int id : {3, 1, 2}) {
            EmpresaPrueba e;
            e.id = id;
            HACER(a, !a.crearEmpresa(e).isEmpty());
        }
        QVERIFY(a.escribirIni());  // the installation and the database only
        GuionDialogos guion;
        QString error;
        const std::optional<DatosIniciales> d = a.arrancar(&error);
        QVERIFY2(d, qPrintable(error));
        QVERIFY2(guion->mostradas.isEmpty(), qPrintable(describir(guion->mostradas)));

        QCOMPARE(ajuste(a, QStringLiteral("Precio")), QStringLiteral("1"));
        QCOMPARE(ajuste(a, QStringLiteral("Archivo de Excel")), QStringLiteral("varelmo.xls"));
        QCOMPARE(ajuste(a, QStringLiteral("Aplicativo de Excel")),
                 QStringLiteral("Excel.Application"));
        QCOMPARE(ajuste(a, QStringLiteral("Formato para precios")),
                 QStringLiteral("##,###,##0.00"));
        for (int id : {1, 2, 3})
            QCOMPARE(ajuste(a, QStringLiteral("Empresa %1").arg(id)), QStringLiteral("No"));
        QCOMPARE(ajuste(a, QStringLiteral("Empresa 4")), QString());

        // The whole file: the two keys it had, then the defaults in the order they are read.
        const QString texto = QString::fromUtf8(soporte::contenido(a.archivoIni()));
        QStringList claves;
        for (const QString& linea : texto.split(u'\n', Qt::SkipEmptyParts))
            claves << linea.section(u'=', 0, 0);
        QCOMPARE(claves,
                 (QStringList{
                     QStringLiteral("[Configuración]"), QStringLiteral("Ruta de Talmira Premium"),
                     QStringLiteral("Base de datos a usar"), QStringLiteral("Precio"),
                     QStringLiteral("Archivo de Excel"), QStringLiteral("Aplicativo de Excel"),
                     QStringLiteral("Formato para precios"), QStringLiteral("Empresa 1"),
                     QStringLiteral("Empresa 2"), QStringLiteral("Empresa 3")}));

        QCOMPARE(d->archivo, QStringLiteral("varelmo.xls"));
        QCOMPARE(d->precioSeleccionado, 0);
        QCOMPARE(ids(*d), (QList<int>{1, 2, 3}));
        for (const EmpresaInicial& e : d->empresas) QVERIFY(!e.marcada);
        QCOMPARE(a.contexto().AplicativoExcel, QStringLiteral("Excel.Application"));
        QCOMPARE(a.contexto().FormatoPrecios, QStringLiteral("##,###,##0.00"));

        // A second start reads the same and writes nothing.
        const QByteArray antes = soporte::contenido(a.archivoIni());
        const std::optional<DatosIniciales> otra = a.arrancar(&error);
        QVERIFY2(otra, qPrintable(error));
        QCOMPARE(soporte::contenido(a.archivoIni()), antes);
        QCOMPARE(otra->archivo, d->archivo);
    }

    // Saved choices are read as they are, not replaced by the defaults.
    void ajustesGuardados() {
        ANFITRION(a);
        HACER(a, a.crearGeneral(4));
        EmpresaPrueba e;
        HACER(a, !a.crearEmpresa(e).isEmpty());
        QVERIFY(a.escribirIni({QStringLiteral("Precio=3"),
                               QStringLiteral("Archivo de Excel=mío 1.xlsx"),
                               QStringLiteral("Aplicativo de Excel=Otra.Aplicacion"),
                               QStringLiteral("Formato para precios=0.000")}));
        QString error;
        const std::optional<DatosIniciales> d = a.arrancar(&error);
        QVERIFY2(d, qPrintable(error));
        QCOMPARE(d->precioSeleccionado, 2);
        QCOMPARE(d->archivo, QStringLiteral("mío 1.xlsx"));
        QCOMPARE(a.contexto().AplicativoExcel, QStringLiteral("Otra.Aplicacion"));
        QCOMPARE(a.contexto().FormatoPrecios, QStringLiteral("0.000"));
    }

    // The workbook's default name follows the executable's name, whatever it is called.
    void nombreDelEjecutable_data() {
        QTest::addColumn<QString>("ejecutable");
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("libro");
        QTest::newRow("otro") << QStringLiteral("otro") << QStringLiteral("otro.ini")
                              << QStringLiteral("otro.xls");
        QTest::newRow("con extension")
            << QStringLiteral("Reporte.exe") << QStringLiteral("Reporte.ini")
            << QStringLiteral("Reporte.xls");
        QTest::newRow("con blancos y acentos")
            << QStringLiteral("precios de año") << QStringLiteral("precios de año.ini")
            << QStringLiteral("precios de año.xls");
    }
    void nombreDelEjecutable() {
        QFETCH(QString, ejecutable);
        QFETCH(QString, ini);
        QFETCH(QString, libro);
        ANFITRION(a);
        HACER(a, a.crearGeneral(2));
        const QString archivoIni = QDir(a.carpetaPrograma()).filePath(ini);
        QVERIFY(ArchivoIni::escribir(archivoIni, kSeccion,
                                     QStringLiteral("Ruta de Talmira Premium"),
                                     a.carpetaInstalacion()));
        QVERIFY(ArchivoIni::escribir(archivoIni, kSeccion, QStringLiteral("Base de datos a usar"),
                                     a.general()));
        GuionDialogos guion;
        const std::unique_ptr<Contexto> propio = contextoDePrueba();
        Contexto& contexto = *propio;
        QVERIFY(ArrancarPrograma(contexto, QDir(a.carpetaPrograma()).filePath(ejecutable)));
        QCOMPARE(contexto.lugares.ajustes, archivoIni);
        QString error;
        const std::optional<DatosIniciales> d = CargarDatosIniciales(contexto, &error);
        QVERIFY2(d, qPrintable(error));
        QCOMPARE(d->archivo, libro);
        QCOMPARE(ArchivoIni::leer(archivoIni, kSeccion, QStringLiteral("Archivo de Excel")), libro);
        QVERIFY(!QFileInfo::exists(a.archivoIni()));  // varelmo.ini is not this program's file
    }

    // Start-up works in the executable's folder whatever the current folder was: a relative
    // installation folder is taken from there.
    void carpetaActual() {
        ANFITRION(a);
        HACER(a, a.crearGeneral(2));
        QVERIFY(a.escribirIni());
        QVERIFY(ArchivoIni::escribir(a.archivoIni(), kSeccion,
                                     QStringLiteral("Ruta de Talmira Premium"),
                                     QStringLiteral("../talmira")));
        QTemporaryDir otra;
        QVERIFY(QDir::setCurrent(otra.path()));
        QString error;
        const std::optional<DatosIniciales> d = a.arrancar(&error);
        QVERIFY2(d, qPrintable(error));
        QCOMPARE(QFileInfo(QDir::currentPath()).canonicalFilePath(),
                 QFileInfo(a.carpetaPrograma()).canonicalFilePath());
        QVERIFY(QDir(otra.path()).isEmpty());
    }

    // ---- Company ticks ------------------------------------------------------------------------

    void marcas_data() {
        QTest::addColumn<QString>("valor");
        QTest::addColumn<bool>("marcada");
        QTest::newRow("Sí") << QStringLiteral("Sí") << true;
        QTest::newRow("sí") << QStringLiteral("sí") << false;
        QTest::newRow("Si") << QStringLiteral("Si") << false;
        QTest::newRow("SÍ") << QStringLiteral("SÍ") << false;
        QTest::newRow("SI") << QStringLiteral("SI") << false;
        QTest::newRow("si") << QStringLiteral("si") << false;
        QTest::newRow("Sí con blanco delante") << QStringLiteral(" Sí") << false;
        QTest::newRow("Sí con blanco detras") << QStringLiteral("Sí ") << false;
        QTest::newRow("Sí descompuesta") << QStringLiteral("Si\u0301") << false;
        QTest::newRow("No") << QStringLiteral("No") << false;
        QTest::newRow("vacio") << QString() << false;
        QTest::newRow("1") << QStringLiteral("1") << false;
        QTest::newRow("Yes") << QStringLiteral("Yes") << false;
    }
    void marcas() {
        QFETCH(QString, valor);
        QFETCH(bool, marcada);
        ANFITRION(a);
        HACER(a, a.crearGeneral());
        for (int id : {1, 2}) {
            EmpresaPrueba e;
            e.id = id;
            HACER(a, !a.crearEmpresa(e).isEmpty());
        }
        QVERIFY(
            a.escribirIni({QStringLiteral("Empresa 1=") + valor, QStringLiteral("Empresa 2=Sí")}));
        QString error;
        const std::optional<DatosIniciales> d = a.arrancar(&error);
        QVERIFY2(d, qPrintable(error));
        QCOMPARE(ids(*d), (QList<int>{1, 2}));
        QCOMPARE(d->empresas[0].marcada, marcada);
        QVERIFY(d->empresas[1].marcada);
        QCOMPARE(ajuste(a, QStringLiteral("Empresa 1")),
                 valor.isEmpty() ? QStringLiteral("No") : valor);
    }

    // A settings file of the earlier Windows program (Windows-1252): "S\xed" is "Sí".
    void marcasEnArchivoWindows1252() {
        ANFITRION(a);
        HACER(a, a.crearGeneral());
        for (int id : {1, 2, 3}) {
            EmpresaPrueba e;
            e.id = id;
            HACER(a, !a.crearEmpresa(e).isEmpty());
        }
        const QByteArray bytes =
            "[Configuraci\xf3n]\r\nRuta de Talmira Premium=" + a.carpetaInstalacion().toLatin1() +
            "\r\nBase de datos a usar=" + a.general().toLatin1() +
            "\r\nEmpresa 1=S\xed\r\nEmpresa 2=No\r\n";
        QVERIFY(soporte::guardar(a.archivoIni(), bytes));
        QString error;
        const std::optional<DatosIniciales> d = a.arrancar(&error);
        QVERIFY2(d, qPrintable(error));
        QCOMPARE(ids(*d), (QList<int>{1, 2, 3}));
        QVERIFY(d->empresas[0].marcada);
        QVERIFY(!d->empresas[1].marcada);
        QVERIFY(!d->empresas[2].marcada);
        // The file stays Windows-1252 with the new keys added.
        const QByteArray despues = soporte::contenido(a.archivoIni());
        QVERIFY(despues.startsWith("[Configuraci\xf3n]\r\n"));
        QVERIFY(despues.contains("Empresa 1=S\xed\r\n"));
        QVERIFY(despues.contains("Empresa 3=No"));
        QVERIFY(!despues.contains("\xc3"));
    }

    // ---- Companies ------------------------------------------------------------------------------

    void sinEmpresas() {
        ANFITRION(a);
        HACER(a, a.crearGeneral(3));
        QVERIFY(a.escribirIni({QStringLiteral("Empresa 1=Sí")}));
        GuionDialogos guion;
        QString error;
        const std::optional<DatosIniciales> d = a.arrancar(&error);
        QVERIFY2(d, qPrintable(error));
        QVERIFY(d->empresas.isEmpty());
        QCOMPARE(d->precios.size(), 3);
        QVERIFY(guion->mostradas.isEmpty());
        const QByteArray bytes = soporte::contenido(a.archivoIni());
        QCOMPARE(bytes.count("Empresa "), 1);  // only the one that was there
    }

    void ordenPorId_data() {
        QTest::addColumn<QList<int>>("insertados");
        QTest::addColumn<QStringList>("nombres");
        QTest::addColumn<QList<int>>("orden");
        QTest::newRow("nombres al reves")
            << QList<int>{5, 2, 9, 1}
            << QStringList{QStringLiteral("Alfa"), QStringLiteral("Zeta"), QStringLiteral("Media"),
                           QStringLiteral("Ñandú")}
            << QList<int>{1, 2, 5, 9};
        QTest::newRow("orden numerico, no de texto")
            << QList<int>{300, 30, 4, 1000}
            << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                           QStringLiteral("d")}
            << QList<int>{4, 30, 300, 1000};
        QTest::newRow("ya ordenadas")
            << QList<int>{1, 2, 3}
            << QStringList{QStringLiteral("C"), QStringLiteral("B"), QStringLiteral("A")}
            << QList<int>{1, 2, 3};
        QTest::newRow("nombres repetidos")
            << QList<int>{7, 3} << QStringList{QStringLiteral("Igual"), QStringLiteral("Igual")}
            << QList<int>{3, 7};
    }
    void ordenPorId() {
        QFETCH(QList<int>, insertados);
        QFETCH(QStringList, nombres);
        QFETCH(QList<int>, orden);
        ANFITRION(a);
        HACER(a, a.crearGeneral());
        for (qsizetype i = 0; i < insertados.size(); ++i) {
            EmpresaPrueba e;
            e.id = insertados[i];
            e.nombre = nombres[i];
            e.crearBase = false;  // start-up never opens the companies' own databases
            HACER(a, !a.crearEmpresa(e).isEmpty());
        }
        QVERIFY(a.escribirIni());
        QString error;
        const std::optional<DatosIniciales> d = a.arrancar(&error);
        QVERIFY2(d, qPrintable(error));
        QCOMPARE(ids(*d), orden);
        for (const EmpresaInicial& e : d->empresas)
            QCOMPARE(e.nombre, nombres[insertados.indexOf(e.id)]);
        for (int id : orden)
            QCOMPARE(ajuste(a, QStringLiteral("Empresa %1").arg(id)), QStringLiteral("No"));
    }

    // ---- What stops the initial fill --------------------------------------------------------

    void preciosNoNumericos_data() {
        QTest::addColumn<QString>("sentencia");  // run on the general database, %1 its name
        QTest::addColumn<QString>("mostrado");   // part of the error text
        const QString poner =
            QStringLiteral("UPDATE %1.`configuracion` SET `Valor`='%2' WHERE `Nombre`='Precios'");
        QTest::newRow("letras") << poner.arg(QStringLiteral("%1"), QStringLiteral("cuatro"))
                                << QStringLiteral("\"cuatro\"");
        QTest::newRow("vacio") << poner.arg(QStringLiteral("%1"), QString())
                               << QStringLiteral("\"\"");
        QTest::newRow("fuera de 16 bits al redondear")
            << poner.arg(QStringLiteral("%1"), QStringLiteral("32767.5"))
            << QStringLiteral("\"32767.5\"");
        QTest::newRow("numero y letras")
            << poner.arg(QStringLiteral("%1"), QStringLiteral("4a")) << QStringLiteral("\"4a\"");
        QTest::newRow("fuera de 16 bits")
            << poner.arg(QStringLiteral("%1"), QStringLiteral("99999"))
            << QStringLiteral("\"99999\"");
        QTest::newRow("nulo")
            << QStringLiteral("UPDATE %1.`configuracion` SET `Valor`=NULL WHERE `Nombre`='Precios'")
            << QStringLiteral("precios");
        QTest::newRow("sin fila") << QStringLiteral("DELETE FROM %1.`configuracion`")
                                  << QStringLiteral("precios");
        QTest::newRow("sin tabla")
            << QStringLiteral("DROP TABLE %1.`configuracion`") << QStringLiteral("configuracion");
    }
    void preciosNoNumericos() {
        QFETCH(QString, sentencia);
        QFETCH(QString, mostrado);
        ANFITRION(a);
        HACER(a, a.crearGeneral());
        EmpresaPrueba e;
        HACER(a, !a.crearEmpresa(e).isEmpty());
        HACER(a, a.sql(sentencia.arg(citarIdentificador(a.general()))));
        QVERIFY(a.escribirIni());
        QString error;
        const std::optional<DatosIniciales> d = a.arrancar(&error);
        QVERIFY(!d);
        QVERIFY2(error.contains(a.general()), qPrintable(error));
        QVERIFY2(error.contains(mostrado), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("precios")), qPrintable(error));
    }

    void baseQueNoAbre_data() {
        QTest::addColumn<QString>("como");
        QTest::addColumn<QString>("servidorDice");  // part of the server's (or client's) error
        QTest::newRow("base de datos a usar inexistente")
            << QStringLiteral("base") << QStringLiteral("Unknown database");
        QTest::newRow("base general inexistente")
            << QStringLiteral("general") << QStringLiteral("Unknown database");
        QTest::newRow("sin tabla empresas")
            << QStringLiteral("empresas") << QStringLiteral("doesn't exist");
        QTest::newRow("servidor que no escucha")
            << QStringLiteral("puerto") << QStringLiteral("connect");
        QTest::newRow("usuario rechazado")
            << QStringLiteral("usuario") << QStringLiteral("Access denied");
    }
    void baseQueNoAbre() {
        QFETCH(QString, como);
        QFETCH(QString, servidorDice);
        ANFITRION(a);
        HACER(a, a.crearGeneral());
        const QString inexistente = ServidorPrueba::nombreUnico(QStringLiteral("nohay"));
        QString nombrada = a.general();  // the database the message names
        if (como == QStringLiteral("base")) {
            QVERIFY(a.escribirIni());
            QVERIFY(ArchivoIni::escribir(a.archivoIni(), kSeccion,
                                         QStringLiteral("Base de datos a usar"), inexistente));
            nombrada = inexistente;
        } else if (como == QStringLiteral("general")) {
            QVERIFY(a.escribirIni());
            QVERIFY(ponerHost(a, QStringLiteral("MySQLBaseGeneral"), inexistente));
            nombrada = inexistente;
        } else if (como == QStringLiteral("empresas")) {
            HACER(a, a.sql(QStringLiteral("DROP TABLE %1.`empresas`")
                               .arg(citarIdentificador(a.general()))));
            QVERIFY(a.escribirIni());
            nombrada = QStringLiteral("empresas");
        } else if (como == QStringLiteral("puerto")) {
            QVERIFY(a.escribirIni());
            QVERIFY(ponerHost(a, QStringLiteral("MySQLPuerto"),
                              QString::number(ServidorPrueba::puertoCerrado())));
        } else {
            QVERIFY(a.escribirIni());
            // A user the server does not know, stored enciphered as the host keeps it.
            QVERIFY(ponerHost(
                a, QStringLiteral("MySQLUsuario"),
                a.cifrarAjuste(QStringLiteral("MySQLUsuario"), QStringLiteral("nadie_aqui"))));
        }
        GuionDialogos guion;
        QString error;
        const std::optional<DatosIniciales> d = a.arrancar(&error);
        QVERIFY(!d);
        QVERIFY2(error.contains(servidorDice, Qt::CaseInsensitive), qPrintable(error));
        QVERIFY2(error.contains(nombrada), qPrintable(error));
        QVERIFY2(guion->mostradas.isEmpty(), qPrintable(describir(guion->mostradas)));
    }

    // ---- Labels -------------------------------------------------------------------------------

    void textoMuestraTrasArrancar() {
        ANFITRION(a);
        HACER(a, a.crearGeneral());
        QVERIFY(a.escribirIni());
        QString error;
        QVERIFY2(a.arrancar(&error), qPrintable(error));
        const QString texto = TextoMuestra(a.contexto().basesDD);
        QCOMPARE(texto, QStringLiteral(" Servidor: ") + ServidorPrueba::host() +
                            QStringLiteral("\r  Base de datos: ") + a.general());
        QCOMPARE(texto.count(u'\r'), 1);
        QVERIFY(!texto.contains(u'\n'));
    }

    void textoMuestra_data() {
        QTest::addColumn<QString>("servidor");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("ambos") << QStringLiteral("db.local") << QStringLiteral("datos1")
                               << QStringLiteral(" Servidor: db.local\r  Base de datos: datos1");
        QTest::newRow("vacios") << QString() << QString()
                                << QStringLiteral(" Servidor: \r  Base de datos: ");
        QTest::newRow("con blancos") << QStringLiteral(" h ") << QStringLiteral("  ")
                                     << QStringLiteral(" Servidor:  h \r  Base de datos:   ");
    }
    void textoMuestra() {
        QFETCH(QString, servidor);
        QFETCH(QString, base);
        QFETCH(QString, esperado);
        BasesDD bases;
        bases.cRuta = servidor;
        bases.cMiBase = base;
        const QString texto = TextoMuestra(bases);
        QCOMPARE(texto, esperado);
        QCOMPARE(texto.count(u'\r'), 1);
        QVERIFY(!texto.contains(u'\n'));
        QVERIFY(!texto.contains(QStringLiteral("\r\n")));
    }

    void tituloConVersion_data() {
        QTest::addColumn<QString>("disenado");
        QTest::addColumn<QString>("esperado");
        const QString version = QStringLiteral("%1.%2.%3")
                                    .arg(VARELMO_VERSION_MAJOR)
                                    .arg(VARELMO_VERSION_MINOR)
                                    .arg(VARELMO_VERSION_PATCH);
        const QString sufijo = QStringLiteral("   v ") + version;
        QTest::newRow("con blancos alrededor")
            << QStringLiteral("  Reporte varelmo ") << QStringLiteral("Reporte varelmo") + sufijo;
        QTest::newRow("sin blancos")
            << QStringLiteral("Reporte varelmo") << QStringLiteral("Reporte varelmo") + sufijo;
        QTest::newRow("blancos dentro se quedan")
            << QStringLiteral(" Reporte  varelmo") << QStringLiteral("Reporte  varelmo") + sufijo;
        QTest::newRow("vacio") << QString() << sufijo;
    }
    void tituloConVersion() {
        QFETCH(QString, disenado);
        QFETCH(QString, esperado);
        QCOMPARE(TituloConVersion(disenado), esperado);
    }

    void textoVersion() {
        const QString v = TextoVersion();
        QCOMPARE(v, QStringLiteral("   v %1.%2.%3")
                        .arg(VARELMO_VERSION_MAJOR)
                        .arg(VARELMO_VERSION_MINOR)
                        .arg(VARELMO_VERSION_PATCH));
        // Exactly three blanks, "v", one blank, then plain decimal numbers.
        static const QRegularExpression forma(
            QStringLiteral("^   v (0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)$"));
        QVERIFY2(forma.match(v).hasMatch(), qPrintable(v));
    }
};

QTEST_GUILESS_MAIN(TstCargaDatos)
#include "tst_cargadatos.moc"
