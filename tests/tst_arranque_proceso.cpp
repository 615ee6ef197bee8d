// Start-up of the real program, run as a process: a copy of the built `varelmo`
// under another name reads and writes the settings file of that name beside itself, whatever
// folder it is started from; the headless report, the help and the refusal of unknown options.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "AnfitrionPrueba.h"
#include "ServidorPrueba.h"
#include "Soporte.h"
#include "anfitrion/ArchivoIni.h"

namespace {

const QString kSeccion = QStringLiteral("Configuración");

struct Resultado {
    bool terminado = false;
    int codigo = -1;
    QString salida;   // stdout
    QString errores;  // stderr
    QString describir() const {
        return QStringLiteral("código %1\n--- stdout:\n%2\n--- stderr:\n%3")
            .arg(QString::number(codigo), salida, errores);
    }
};

QString original() { return soporte::carpetaBinarios() + QStringLiteral("/varelmo"); }

// Copies the built program into `carpeta` under `nombre`, executable.
bool copiarPrograma(const QString& carpeta, const QString& nombre, QString* ruta) {
    *ruta = QDir(carpeta).filePath(nombre);
    if (!QDir().mkpath(carpeta)) return false;
    QFile::remove(*ruta);
    return QFile::copy(original(), *ruta) &&
           QFile::setPermissions(*ruta, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                            QFileDevice::ExeGroup);
}

// `cambios` then sets ("NOMBRE=valor") or removes ("-NOMBRE") variables of the environment.
Resultado ejecutar(const QString& programa, const QStringList& argumentos, const QString& carpeta,
                   const QString& path = QString(), const QStringList& cambios = {}) {
    QProcess proceso;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    entorno.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const QString& cambio : cambios) {
        if (cambio.startsWith(u'-'))
            entorno.remove(cambio.mid(1));
        else
            entorno.insert(cambio.section(u'=', 0, 0), cambio.section(u'=', 1));
    }
    if (!path.isEmpty())
        entorno.insert(QStringLiteral("PATH"), path + u':' + entorno.value(QStringLiteral("PATH")));
    proceso.setProcessEnvironment(entorno);
    proceso.setWorkingDirectory(carpeta);
    proceso.setStandardInputFile(QProcess::nullDevice());
    proceso.start(programa, argumentos);
    Resultado r;
    if (!proceso.waitForStarted(10000)) {
        r.errores = proceso.errorString();
        return r;
    }
    r.terminado = proceso.waitForFinished(120000);
    if (!r.terminado) {
        proceso.kill();
        proceso.waitForFinished(5000);
    }
    r.codigo = proceso.exitStatus() == QProcess::NormalExit ? proceso.exitCode() : -1;
    r.salida = QString::fromUtf8(proceso.readAllStandardOutput());
    r.errores = QString::fromUtf8(proceso.readAllStandardError());
    return r;
}

QStringList ini(const QString& carpeta) {
    return QDir(carpeta).entryList({QStringLiteral("*.ini")}, QDir::Files | QDir::Hidden);
}

}  // namespace

class TstArranqueProceso : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFileInfo(original()).isExecutable(), qPrintable(original())); }

    // No settings file: the copy creates otro.ini beside itself, with the default installation
    // folder only, tells why it cannot start on stderr and ends with a non-zero code.
    void sinArchivoDeAjustes_data() {
        QTest::addColumn<QString>("desde");  // current folder: "otra", "propia", "original"
        QTest::addColumn<bool>("porPath");   // started by its bare name through PATH
        QTest::newRow("desde otra carpeta") << QStringLiteral("otra") << false;
        QTest::newRow("desde su carpeta") << QStringLiteral("propia") << false;
        QTest::newRow("desde la carpeta del original") << QStringLiteral("original") << false;
        QTest::newRow("por su nombre en PATH, desde otra carpeta")
            << QStringLiteral("otra") << true;
    }
    void sinArchivoDeAjustes() {
        QFETCH(QString, desde);
        QFETCH(bool, porPath);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString carpeta = dir.filePath(QStringLiteral("copia"));
        QString programa;
        QVERIFY(copiarPrograma(carpeta, QStringLiteral("otro"), &programa));
        const QString otra = dir.filePath(QStringLiteral("otra"));
        QVERIFY(QDir().mkpath(otra));
        const QString actual = desde == QStringLiteral("otra")     ? otra
                               : desde == QStringLiteral("propia") ? carpeta
                                                                   : soporte::carpetaBinarios();
        QVERIFY(!ini(soporte::carpetaBinarios()).contains(QStringLiteral("otro.ini")));

        const Resultado r =
            porPath ? ejecutar(QStringLiteral("/bin/sh"),
                               {QStringLiteral("-c"), QStringLiteral("exec otro --reporte")},
                               actual, carpeta)
                    : ejecutar(programa, {QStringLiteral("--reporte")}, actual);
        QVERIFY2(r.terminado, qPrintable(r.describir()));
        QVERIFY2(r.codigo != 0 && r.codigo != -1, qPrintable(r.describir()));

        const QString archivoIni = QDir(carpeta).filePath(QStringLiteral("otro.ini"));
        QVERIFY2(QFileInfo(archivoIni).isFile(), qPrintable(r.describir()));
        QCOMPARE(ArchivoIni::leer(archivoIni, kSeccion, QStringLiteral("Ruta de Talmira Premium")),
                 QStringLiteral("C:\\talmirapremium"));
        QCOMPARE(ArchivoIni::leer(archivoIni, kSeccion, QStringLiteral("Base de datos a usar")),
                 QString());
        QCOMPARE(ini(carpeta), QStringList{QStringLiteral("otro.ini")});  // no varelmo.ini either
        // Not beside the original, nor in the current folder.
        QVERIFY(!ini(soporte::carpetaBinarios()).contains(QStringLiteral("otro.ini")));
        QVERIFY(ini(otra).isEmpty());

        // The two messages, each line of the first on a line of its own, on stderr only.
        const QString primera =
            QStringLiteral(
                "Atención: En el archivo de configuración de este programa\n\n(%1)\n\n"
                "debe indicarse la ruta correcta de Talmira Premium.\n"
                "Ruta indicada e incorrecta: \n\nC:\\talmirapremium\n")
                .arg(archivoIni);
        QVERIFY2(r.errores.contains(primera), qPrintable(r.describir()));
        QVERIFY2(r.errores.contains(
                     QStringLiteral("Editar INI: ¿Desea editar el archivo de configuración?\n")),
                 qPrintable(r.describir()));
        QVERIFY2(r.errores.indexOf(primera) < r.errores.indexOf(QStringLiteral("Editar INI")),
                 qPrintable(r.describir()));
        QVERIFY2(r.salida.isEmpty(), qPrintable(r.describir()));
    }

    // A working host: the report is written beside the copy, whatever the current folder.
    void reporteConAnfitrion_data() {
        QTest::addColumn<QString>("ruta");  // "Ruta de Talmira Premium": absolute or relative
        QTest::newRow("ruta absoluta") << QStringLiteral("absoluta");
        QTest::newRow("ruta relativa a la carpeta del programa") << QStringLiteral("../talmira");
    }
    void reporteConAnfitrion() {
        QFETCH(QString, ruta);
        AnfitrionPrueba a;
        QVERIFY2(a.valido(), qPrintable(a.error()));
        QVERIFY2(a.crearGeneral(4), qPrintable(a.error()));
        EmpresaPrueba e;
        e.id = 1;
        e.nombre = QStringLiteral("Ferretería Uno");
        e.productos = {
            {QStringLiteral("A1"), QStringLiteral("Tornillo"), 1.5, {10.0, 20.0, 30.0, 40.0}},
            {QStringLiteral("B2"), QStringLiteral("Tuerca"), 0.25, {1.0, 2.0, 3.0, 4.0}}};
        QVERIFY2(!a.crearEmpresa(e).isEmpty(), qPrintable(a.error()));

        QString programa;
        QVERIFY(copiarPrograma(a.carpetaPrograma(), QStringLiteral("otro"), &programa));
        const QString archivoIni = QDir(a.carpetaPrograma()).filePath(QStringLiteral("otro.ini"));
        QVERIFY(ArchivoIni::escribir(
            archivoIni, kSeccion, QStringLiteral("Ruta de Talmira Premium"),
            ruta == QStringLiteral("absoluta") ? a.carpetaInstalacion() : ruta));
        QVERIFY(ArchivoIni::escribir(archivoIni, kSeccion, QStringLiteral("Base de datos a usar"),
                                     a.general()));

        QTemporaryDir otra;
        const Resultado r =
            ejecutar(programa,
                     {QStringLiteral("--reporte"), QStringLiteral("--empresas"),
                      QStringLiteral("1"), QStringLiteral("--archivo"), QStringLiteral("x.xlsx")},
                     otra.path());
        QVERIFY2(r.terminado, qPrintable(r.describir()));
        QVERIFY2(r.codigo == 0, qPrintable(r.describir()));
        const QString libro = QDir(a.carpetaPrograma()).filePath(QStringLiteral("x.xlsx"));
        QVERIFY2(QFileInfo(libro).isFile(), qPrintable(r.describir()));
        QFile f(libro);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.read(2), QByteArray("PK"));  // an OOXML workbook is a zip file
        QVERIFY(QDir(otra.path()).isEmpty());
        QVERIFY2(r.salida.contains(libro), qPrintable(r.describir()));
        QVERIFY(
            !QFileInfo::exists(QDir(a.carpetaPrograma()).filePath(QStringLiteral("varelmo.ini"))));
        // The settings file it used is its own: start-up filled in its defaults there.
        QCOMPARE(ArchivoIni::leer(archivoIni, kSeccion, QStringLiteral("Empresa 1")),
                 QStringLiteral("No"));
    }

    // SIGTERM to the window, as at a shutdown: it closes without asking, saving the choices
    // as they stand in the window and dropping the working table. The window holds them as
    // start-up left them: a saved level the host lacks ("7") selects none and is saved empty; a
    // tick spelt "sí" counts as none and is saved "No".
    void senalALaVentana() {
        AnfitrionPrueba a;
        QVERIFY2(a.valido() && a.crearGeneral(2), qPrintable(a.error()));
        EmpresaPrueba e;
        QVERIFY2(!a.crearEmpresa(e).isEmpty(), qPrintable(a.error()));
        QVERIFY(a.sql(QStringLiteral("CREATE TABLE `%1`.tbltempproductos (Clave varchar(15))")
                          .arg(a.general())));
        QString programa;
        QVERIFY(copiarPrograma(a.carpetaPrograma(), QStringLiteral("varelmo"), &programa));
        QVERIFY(a.escribirIni({QStringLiteral("Precio=7"), QStringLiteral("Empresa 1=sí"),
                               QStringLiteral("Archivo de Excel=precios.xlsx")}));
        QProcess proceso;
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        proceso.setProcessEnvironment(entorno);
        proceso.start(programa, {});
        QVERIFY(proceso.waitForStarted(10000));
        // Start-up has read the settings once it has filled in their defaults.
        QTRY_VERIFY_WITH_TIMEOUT(
            !ArchivoIni::leer(a.archivoIni(), kSeccion, QStringLiteral("Formato para precios"))
                 .isEmpty(),
            20000);
        QTest::qWait(100);
        proceso.terminate();
        QVERIFY(proceso.waitForFinished(20000));
        QCOMPARE(proceso.exitStatus(), QProcess::NormalExit);
        QCOMPARE(proceso.exitCode(), 0);
        QCOMPARE(ArchivoIni::leer(a.archivoIni(), kSeccion, QStringLiteral("Precio")), QString());
        QCOMPARE(ArchivoIni::leer(a.archivoIni(), kSeccion, QStringLiteral("Empresa 1")),
                 QStringLiteral("No"));
        QCOMPARE(ArchivoIni::leer(a.archivoIni(), kSeccion, QStringLiteral("Archivo de Excel")),
                 QStringLiteral("precios.xlsx"));
        QVERIFY(!ServidorPrueba::ejecutar(
            QStringLiteral("SELECT 1 FROM `%1`.tbltempproductos").arg(a.general())));
    }

    // A company that the host does not have ends the headless run with a non-zero code.
    void reporteEmpresaInexistente() {
        AnfitrionPrueba a;
        QVERIFY2(a.valido(), qPrintable(a.error()));
        QVERIFY2(a.crearGeneral(4), qPrintable(a.error()));
        EmpresaPrueba e;
        QVERIFY2(!a.crearEmpresa(e).isEmpty(), qPrintable(a.error()));
        QString programa;
        QVERIFY(copiarPrograma(a.carpetaPrograma(), QStringLiteral("otro"), &programa));
        const QString archivoIni = QDir(a.carpetaPrograma()).filePath(QStringLiteral("otro.ini"));
        QVERIFY(ArchivoIni::escribir(archivoIni, kSeccion,
                                     QStringLiteral("Ruta de Talmira Premium"),
                                     a.carpetaInstalacion()));
        QVERIFY(ArchivoIni::escribir(archivoIni, kSeccion, QStringLiteral("Base de datos a usar"),
                                     a.general()));
        const Resultado r =
            ejecutar(programa,
                     {QStringLiteral("--reporte"), QStringLiteral("--empresas"),
                      QStringLiteral("99"), QStringLiteral("--archivo"), QStringLiteral("y.xlsx")},
                     a.carpetaPrograma());
        QVERIFY2(r.terminado, qPrintable(r.describir()));
        QVERIFY2(r.codigo != 0 && r.codigo != 2 && r.codigo != -1, qPrintable(r.describir()));
        QVERIFY2(r.errores.contains(QStringLiteral("99")), qPrintable(r.describir()));
        QVERIFY(!QFileInfo::exists(QDir(a.carpetaPrograma()).filePath(QStringLiteral("y.xlsx"))));
    }

    // The level of the headless report must be one of the host's: a saved level that no longer
    // is one, or a --precio outside them, is refused with a message before anything is built.
    void nivelDePrecio_data() {
        QTest::addColumn<QString>("guardado");    // saved "Precio"
        QTest::addColumn<QStringList>("opcion");  // --precio N, or nothing
        QTest::addColumn<int>("codigo");
        QTest::addColumn<QString>("dice");  // on stderr; a script that succeeds gets nothing there
        QTest::newRow("guardado fuera de la lista")
            << QStringLiteral("6") << QStringList() << 1
            << QStringLiteral(
                   "El reporte no pudo generarse: no está elegido ningún nivel de precio");
        QTest::newRow("--precio fuera de la lista")
            << QStringLiteral("2") << QStringList{QStringLiteral("--precio"), QStringLiteral("9")}
            << 1
            << QStringLiteral(
                   "El reporte no pudo generarse: no existe el nivel de precio '9' (de 1 a 4)");
        QTest::newRow("--precio 0")
            << QStringLiteral("2") << QStringList{QStringLiteral("--precio"), QStringLiteral("0")}
            << 1
            << QStringLiteral("El reporte no pudo generarse: no existe el nivel de precio '0'");
        QTest::newRow("--precio vacio")
            << QStringLiteral("2") << QStringList{QStringLiteral("--precio"), QString()} << 1
            << QStringLiteral(
                   "El reporte no pudo generarse: no está elegido ningún nivel de precio");
        QTest::newRow("--precio valido con guardado fuera")
            << QStringLiteral("6") << QStringList{QStringLiteral("--precio"), QStringLiteral("3")}
            << 0 << QString();
        QTest::newRow("--precio con blancos")
            << QStringLiteral("6") << QStringList{QStringLiteral("--precio"), QStringLiteral(" 4 ")}
            << 0 << QString();
        QTest::newRow("guardado valido") << QStringLiteral("4") << QStringList() << 0 << QString();
    }
    void nivelDePrecio() {
        QFETCH(QString, guardado);
        QFETCH(QStringList, opcion);
        QFETCH(int, codigo);
        QFETCH(QString, dice);
        AnfitrionPrueba a;
        QVERIFY2(a.valido(), qPrintable(a.error()));
        QVERIFY2(a.crearGeneral(4), qPrintable(a.error()));
        EmpresaPrueba e;
        e.productos = {
            {QStringLiteral("A1"), QStringLiteral("Tornillo"), 1.5, {1.0, 2.0, 3.0, 4.0}}};
        QVERIFY2(!a.crearEmpresa(e).isEmpty(), qPrintable(a.error()));
        QString programa;
        QVERIFY(copiarPrograma(a.carpetaPrograma(), QStringLiteral("otro"), &programa));
        const QString archivoIni = QDir(a.carpetaPrograma()).filePath(QStringLiteral("otro.ini"));
        QVERIFY(ArchivoIni::escribir(archivoIni, kSeccion,
                                     QStringLiteral("Ruta de Talmira Premium"),
                                     a.carpetaInstalacion()));
        QVERIFY(ArchivoIni::escribir(archivoIni, kSeccion, QStringLiteral("Base de datos a usar"),
                                     a.general()));
        QVERIFY(ArchivoIni::escribir(archivoIni, kSeccion, QStringLiteral("Precio"), guardado));
        const Resultado r =
            ejecutar(programa,
                     QStringList{QStringLiteral("--reporte"), QStringLiteral("--empresas"),
                                 QStringLiteral("1"), QStringLiteral("--archivo"),
                                 QStringLiteral("n.xlsx")} +
                         opcion,
                     a.carpetaPrograma());
        QVERIFY2(r.terminado, qPrintable(r.describir()));
        QVERIFY2(r.codigo == codigo, qPrintable(r.describir()));
        const QString libro = QDir(a.carpetaPrograma()).filePath(QStringLiteral("n.xlsx"));
        if (codigo == 0)
            QCOMPARE(r.errores, QString());
        else
            QVERIFY2(r.errores.contains(dice), qPrintable(r.describir()));
        QCOMPARE(r.salida, codigo == 0 ? libro + u'\n' : QString());
        QCOMPARE(QFileInfo::exists(libro), codigo == 0);
        if (codigo != 0) {
            QVERIFY2(!r.errores.contains(QStringLiteral("Unknown column")),
                     qPrintable(r.describir()));
        }
        QCOMPARE(ArchivoIni::leer(archivoIni, kSeccion, QStringLiteral("Precio")), guardado);
    }

    void ayuda_data() {
        QTest::addColumn<QStringList>("argumentos");
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")};
        QTest::newRow("-h") << QStringList{QStringLiteral("-h")};
        QTest::newRow("--reporte --help")
            << QStringList{QStringLiteral("--reporte"), QStringLiteral("--help")};
    }
    void ayuda() {
        QFETCH(QStringList, argumentos);
        QTemporaryDir dir;
        QString programa;
        QVERIFY(copiarPrograma(dir.path(), QStringLiteral("otro"), &programa));
        const Resultado r = ejecutar(programa, argumentos, dir.path());
        QVERIFY2(r.terminado && r.codigo == 0, qPrintable(r.describir()));
        QVERIFY2(r.salida.startsWith(QStringLiteral("Uso: ")), qPrintable(r.describir()));
        for (const QString& parte :
             {QStringLiteral("--reporte"), QStringLiteral("--empresas"), QStringLiteral("--precio"),
              QStringLiteral("--archivo"), QStringLiteral("--help"),
              QStringLiteral("Sin opciones abre la ventana del programa."),
              QStringLiteral("genera el reporte sin abrir la ventana"),
              QStringLiteral("Talmira Premium")})
            QVERIFY2(r.salida.contains(parte), qPrintable(parte + u'\n' + r.describir()));
        QVERIFY2(r.errores.isEmpty(), qPrintable(r.describir()));
        QVERIFY(ini(dir.path()).isEmpty());  // no start-up: no settings file written
    }

    void opcionDesconocida_data() {
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<QString>("dice");
        QTest::addColumn<QStringList>("entorno");  // as ejecutar() takes it
        QTest::newRow("--xyz") << QStringList{QStringLiteral("--xyz")}
                               << QStringLiteral("opción desconocida: --xyz") << QStringList();
        QTest::newRow("-x") << QStringList{QStringLiteral("-x")}
                            << QStringLiteral("opción desconocida: -x") << QStringList();
        QTest::newRow("reporte sin guiones")
            << QStringList{QStringLiteral("reporte")}
            << QStringLiteral("opción desconocida: reporte") << QStringList();
        QTest::newRow("--reporte --xyz")
            << QStringList{QStringLiteral("--reporte"), QStringLiteral("--xyz")}
            << QStringLiteral("opción desconocida: --xyz") << QStringList();
        QTest::newRow("--empresas sin --reporte")
            << QStringList{QStringLiteral("--empresas"), QStringLiteral("1")}
            << QStringLiteral("opción desconocida: --empresas") << QStringList();
        QTest::newRow("--archivo sin valor")
            << QStringList{QStringLiteral("--reporte"), QStringLiteral("--archivo")}
            << QStringLiteral("falta el valor de --archivo") << QStringList();
        QTest::newRow("empresa no numerica")
            << QStringList{QStringLiteral("--reporte"), QStringLiteral("--empresas"),
                           QStringLiteral("1,a")}
            << QStringLiteral("\"a\" no es un número de empresa") << QStringList();
        // The window without a desktop session: nothing to open on, or a display that does not
        // answer.
        const QStringList sinSesion{QStringLiteral("-DISPLAY"), QStringLiteral("-WAYLAND_DISPLAY"),
                                    QStringLiteral("-QT_QPA_PLATFORM")};
        QTest::newRow("ventana sin pantalla")
            << QStringList()
            << QStringLiteral(
                   "necesita una sesión de escritorio (no está definida DISPLAY ni "
                   "WAYLAND_DISPLAY); sin ella, el reporte se genera con --reporte.")
            << sinSesion;
        QTest::newRow("ventana con pantalla que no responde")
            << QStringList()
            << QStringLiteral(
                   "necesita una sesión de escritorio (no se pudo abrir la pantalla «:4711»)")
            << QStringList{sinSesion[1], sinSesion[2], QStringLiteral("DISPLAY=:4711")};
    }
    void opcionDesconocida() {
        QFETCH(QStringList, argumentos);
        QFETCH(QString, dice);
        QFETCH(QStringList, entorno);
        QTemporaryDir dir;
        QString programa;
        QVERIFY(copiarPrograma(dir.path(), QStringLiteral("otro"), &programa));
        const Resultado r = ejecutar(programa, argumentos, dir.path(), QString(), entorno);
        QVERIFY2(r.terminado, qPrintable(r.describir()));
        QCOMPARE(r.codigo, 2);
        QVERIFY2(r.errores.contains(dice), qPrintable(r.describir()));
        QVERIFY2(r.errores.contains(QStringLiteral("Uso: ")), qPrintable(r.describir()));
        QVERIFY2(r.salida.isEmpty(), qPrintable(r.describir()));
        QVERIFY(ini(dir.path()).isEmpty());  // refused before start-up
    }
};

QTEST_GUILESS_MAIN(TstArranqueProceso)
#include "tst_arranque_proceso.moc"
