// `varelmo --reporte` as a process, from a copy of the program in the host's program folder:
// exit code, terminal output, the workbook and the settings file.
#include <signal.h>
#include <sys/file.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include "AnfitrionPrueba.h"
#include "LectorLibro.h"
#include "ServidorPrueba.h"
#include "Soporte.h"
#include "TerminalPrueba.h"
#include "basedatos/Sql.h"

namespace {
struct Salida {
    int codigo = -1;
    QString salida, errores;
};

ProductoPrueba producto(const QString& clave, double costo, double precio2) {
    return ProductoPrueba{clave, QStringLiteral("d ") + clave, costo, {precio2 - 1, precio2}};
}

// Companies 1 (A, B), 2 (B, C) and 3 (Z) at two price levels, the program copied beside the
// settings file, and earlier choices in that file.
bool preparar(AnfitrionPrueba& a, QString* error) {
    if (!a.valido() || !a.crearGeneral(2)) {
        *error = a.error();
        return false;
    }
    const QList<QList<ProductoPrueba>> productos{
        {producto(QStringLiteral("A"), 1, 2), producto(QStringLiteral("B"), 3, 4)},
        {producto(QStringLiteral("B"), 5, 6), producto(QStringLiteral("C"), 7, 8)},
        {producto(QStringLiteral("Z"), 9, 10)}};
    for (int i = 0; i < productos.size(); ++i) {
        EmpresaPrueba e;
        e.id = i + 1;
        e.niveles = 2;
        e.productos = productos[i];
        if (a.crearEmpresa(e).isEmpty()) {
            *error = a.error();
            return false;
        }
    }
    QFile::remove(a.ejecutable());
    if (!QFile::copy(soporte::carpetaBinarios() + QStringLiteral("/varelmo"), a.ejecutable())) {
        *error = QStringLiteral("no se pudo copiar el programa");
        return false;
    }
    if (!a.escribirIni({QStringLiteral("Precio=1"),
                        QStringLiteral("Archivo de Excel=anterior.xlsx"),
                        QStringLiteral("Empresa 3=Sí")})) {
        *error = QStringLiteral("no se pudo escribir el archivo de configuración");
        return false;
    }
    return true;
}

// With `terminal`, the standard error is that terminal and errores stays empty.
Salida correr(const AnfitrionPrueba& a, const QStringList& argumentos,
              TerminalPrueba* terminal = nullptr) {
    QProcess proceso;
    proceso.setWorkingDirectory(QDir::tempPath());
    if (terminal) proceso.setStandardErrorFile(terminal->dispositivo());
    // Every note of Qt enabled: none of them may reach the terminal.
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*=true"));
    proceso.setProcessEnvironment(entorno);
    proceso.start(a.ejecutable(), argumentos);
    Salida s;
    if (!proceso.waitForFinished(120000)) {
        proceso.kill();
        proceso.waitForFinished();
        s.errores = QStringLiteral("el programa no terminó");
        return s;
    }
    s.codigo = proceso.exitStatus() == QProcess::NormalExit ? proceso.exitCode() : -2;
    s.salida = QString::fromUtf8(proceso.readAllStandardOutput());
    s.errores = QString::fromUtf8(proceso.readAllStandardError());
    return s;
}

QStringList lineas(const QString& archivo) {
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

// Company 1 gains `n` more products ("G0000001" on), so that a report lasts a while.
bool agrandar(AnfitrionPrueba& a, int n) {
    return a.sql(
        QStringLiteral("INSERT INTO `%1_e1`.`productos` SELECT CONCAT('G', LPAD(seq, 7, '0')), "
                       "CONCAT('d ', seq), seq, seq + 0.5, seq + 0.25 FROM `%1_e1`.seq_1_to_%2")
            .arg(a.general())
            .arg(n));
}

// The report started with `terminal` as its standard error, where its progress line shows.
QProcess* empezar(const AnfitrionPrueba& a, const QStringList& argumentos, QObject* padre,
                  const TerminalPrueba& terminal) {
    auto* proceso = new QProcess(padre);
    proceso->setWorkingDirectory(QDir::tempPath());
    proceso->setStandardErrorFile(terminal.dispositivo());
    proceso->start(a.ejecutable(), argumentos);
    return proceso;
}

bool hayTablaTrabajo(const AnfitrionPrueba& a) {
    // Selecting from a table that is gone fails.
    return ServidorPrueba::ejecutar(QStringLiteral("SELECT 1 FROM %1.tbltempproductos LIMIT 1")
                                        .arg(citarIdentificador(a.general())));
}
}  // namespace

class TstReporteProceso : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { REQUIERE_SERVIDOR(); }

    // What a script and what a person at a terminal get: the workbook's path alone on the standard
    // output; on a terminal, the progress line drawn again in place and the notice, unless silence
    // was asked; without one, nothing on the standard error.
    void reporte_data() {
        QTest::addColumn<bool>("enTerminal");
        QTest::addColumn<QStringList>("opciones");
        QTest::addColumn<bool>("aviso");  // progress and notice on the standard error
        QTest::newRow("desde un guion") << false << QStringList() << false;
        QTest::newRow("en una terminal") << true << QStringList() << true;
        QTest::newRow("en una terminal, --silencio")
            << true << QStringList{QStringLiteral("--silencio")} << false;
    }
    void reporte() {
        QFETCH(bool, enTerminal);
        QFETCH(QStringList, opciones);
        QFETCH(bool, aviso);
        TerminalPrueba terminal;
        QVERIFY(terminal.valida());
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        const QStringList antes = lineas(a.archivoIni());
        // Working folders beside the workbook: one a killed run left (nobody holds its lock), one
        // of a run still going (this test holds its lock). Only the first goes.
        const QDir carpeta(a.carpetaPrograma());
        QFile enUso(carpeta.filePath(QStringLiteral(".varelmo-vivo01/en-uso")));
        QVERIFY(carpeta.mkpath(QStringLiteral(".varelmo-muerto/parcial")) &&
                carpeta.mkdir(QStringLiteral(".varelmo-vivo01")) &&
                enUso.open(QIODevice::WriteOnly) && ::flock(enUso.handle(), LOCK_EX) == 0);
        QFile muerto(carpeta.filePath(QStringLiteral(".varelmo-muerto/en-uso")));
        QVERIFY(muerto.open(QIODevice::WriteOnly));
        muerto.close();
        const Salida s = correr(
            a,
            QStringList{QStringLiteral("--reporte"), QStringLiteral("--empresas"),
                        QStringLiteral("1,2"), QStringLiteral("--precio"), QStringLiteral("2"),
                        QStringLiteral("--archivo"), QStringLiteral("r.xlsx")} +
                opciones,
            enTerminal ? &terminal : nullptr);
        QVERIFY(!carpeta.exists(QStringLiteral(".varelmo-muerto")));
        QVERIFY(carpeta.exists(QStringLiteral(".varelmo-vivo01/en-uso")));
        QVERIFY2(s.codigo == 0, qPrintable(s.errores));
        const QString ruta = QDir(a.carpetaPrograma()).filePath(QStringLiteral("r.xlsx"));
        QCOMPARE(s.salida, ruta + u'\n');
        QCOMPARE(s.errores, QString());
        const QString dibujado = QString::fromUtf8(terminal.leido());
        if (aviso) {
            // One line drawn again and again: carriage returns, and the only line end is the
            // notice's. Only the program's own words.
            const qsizetype avisoEn = dibujado.indexOf(QStringLiteral("Aviso: "));
            QVERIFY2(dibujado.startsWith(u'\r') && dibujado.contains(QStringLiteral("_e2.- B\r")),
                     qPrintable(dibujado));
            QVERIFY2(avisoEn > 0 && !dibujado.left(avisoEn).contains(u'\n'), qPrintable(dibujado));
            QCOMPARE(dibujado.mid(avisoEn), QStringLiteral("Aviso: Archivo 'r.xlsx' creado\r\n"));
        } else {
            QCOMPARE(dibujado, QString());
        }

        const LibroLeido libro = leerLibro(ruta);
        QVERIFY2(libro.ok, qPrintable(libro.error));
        QCOMPARE(libro.maxFila, 6);
        QCOMPARE(libro.celda(QStringLiteral("C1")).v.toString(), QStringLiteral("Datos1"));
        QCOMPARE(libro.celda(QStringLiteral("E1")).v.toString(), QStringLiteral("Datos2"));
        const QStringList filas{QStringLiteral("A|1|2|0|0|"), QStringLiteral("B|3|4|5|6|"),
                                QStringLiteral("C|0|0|7|8|No existe en alguna empresa")};
        for (int i = 0; i < filas.size(); ++i) {
            const int f = i + 4;
            const QStringList p = filas[i].split(u'|');
            QCOMPARE(libro.celda(QStringLiteral("A%1").arg(f)).v.toString(), p[0]);
            QCOMPARE(libro.celda(QStringLiteral("C%1").arg(f)).v.toDouble(), p[1].toDouble());
            QCOMPARE(libro.celda(QStringLiteral("D%1").arg(f)).v.toDouble(), p[2].toDouble());
            QCOMPARE(libro.celda(QStringLiteral("E%1").arg(f)).v.toDouble(), p[3].toDouble());
            QCOMPARE(libro.celda(QStringLiteral("F%1").arg(f)).v.toDouble(), p[4].toDouble());
            QCOMPARE(libro.celda(QStringLiteral("G%1").arg(f)).v.toString(), p[5]);
        }

        // The run saved no choice: every earlier line is still there, only defaults were added.
        const QStringList despues = lineas(a.archivoIni());
        for (const QString& l : antes) QVERIFY2(despues.contains(l), qPrintable(l));
        QVERIFY(!despues.contains(QStringLiteral("Precio=2")));
        QVERIFY(!despues.contains(QStringLiteral("Archivo de Excel=r.xlsx")));
        QVERIFY(!despues.contains(QStringLiteral("Empresa 1=Sí")));
        QVERIFY(!hayTablaTrabajo(a));
    }

    // The choices of the settings file when the command line gives none.
    void sinOpcionesUsaLoGuardado() {
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        const Salida s = correr(a, {QStringLiteral("--reporte")});
        QVERIFY2(s.codigo == 0, qPrintable(s.errores));
        const LibroLeido libro =
            leerLibro(QDir(a.carpetaPrograma()).filePath(QStringLiteral("anterior.xlsx")));
        QVERIFY2(libro.ok, qPrintable(libro.error));
        QCOMPARE(libro.celda(QStringLiteral("C1")).v.toString(), QStringLiteral("Datos3"));
        QCOMPARE(libro.celda(QStringLiteral("A4")).v.toString(), QStringLiteral("Z"));
        QCOMPARE(libro.celda(QStringLiteral("D4")).v.toDouble(), 9.0);  // level 1
        QCOMPARE(libro.maxFila, 4);
    }

    void fallos_data() {
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<QString>("mensaje");
        QTest::addColumn<QString>("archivo");  // must not be written
        QTest::newRow("empresa desconocida")
            << QStringList{QStringLiteral("--empresas"), QStringLiteral("1,99"),
                           QStringLiteral("--archivo"), QStringLiteral("x.xlsx")}
            << QStringLiteral("No existe la empresa 99") << QStringLiteral("x.xlsx");
        QTest::newRow("nivel que las empresas no tienen")
            << QStringList{QStringLiteral("--empresas"), QStringLiteral("1"),
                           QStringLiteral("--precio"),   QStringLiteral("3"),
                           QStringLiteral("--archivo"),  QStringLiteral("x.xlsx")}
            << QStringLiteral("El reporte no pudo generarse: ") << QStringLiteral("x.xlsx");
        QTest::newRow("nombre con carpeta")
            << QStringList{QStringLiteral("--empresas"), QStringLiteral("1"),
                           QStringLiteral("--archivo"), QStringLiteral("../x.xlsx")}
            << QStringLiteral("no es válido") << QStringLiteral("../x.xlsx");
        QTest::newRow("ninguna empresa")
            << QStringList{QStringLiteral("--empresas"), QString(), QStringLiteral("--archivo"),
                           QStringLiteral("x.xlsx")}
            << QStringLiteral("No está seleccionada ninguna empresa") << QStringLiteral("x.xlsx");
        QTest::newRow("Id que no es numero")
            << QStringList{QStringLiteral("--empresas"), QStringLiteral("1,dos")}
            << QStringLiteral("no es un número de empresa") << QStringLiteral("anterior.xlsx");
    }
    void fallos() {
        QFETCH(QStringList, argumentos);
        QFETCH(QString, mensaje);
        QFETCH(QString, archivo);
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        const Salida s = correr(a, QStringList{QStringLiteral("--reporte")} + argumentos);
        QVERIFY2(s.codigo != 0 && s.codigo != -1 && s.codigo != -2, qPrintable(s.errores));
        QVERIFY2(s.errores.contains(mensaje), qPrintable(s.errores));
        QVERIFY(!QFile::exists(QDir(a.carpetaPrograma()).filePath(archivo)));
        QCOMPARE(s.salida, QString());
    }

    // A workbook named as one of the program's own files, in any letter case, is refused before
    // anything is written: the file keeps what it held.
    void nombreDeArchivoPropio_data() {
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QString>("propio");
        QTest::newRow("configuracion")
            << QStringLiteral("VARELMO.ini") << QStringLiteral("varelmo.ini");
        QTest::newRow("el programa") << QStringLiteral("Varelmo") << QStringLiteral("varelmo");
    }
    void nombreDeArchivoPropio() {
        QFETCH(QString, nombre);
        QFETCH(QString, propio);
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        const QString ruta = QDir(a.carpetaPrograma()).filePath(propio);
        const QByteArray antes = soporte::contenido(ruta);
        const Salida s = correr(a, {QStringLiteral("--reporte"), QStringLiteral("--empresas"),
                                    QStringLiteral("1"), QStringLiteral("--archivo"), nombre});
        QVERIFY2(s.codigo == 1, qPrintable(s.errores));
        QVERIFY2(s.errores.contains(QStringLiteral("no es válido: es ")), qPrintable(s.errores));
        // Start-up may add defaults to the settings file; nothing of it is lost. The program is
        // untouched.
        const QByteArray despues = soporte::contenido(ruta);
        if (propio.endsWith(QStringLiteral(".ini"))) {
            for (const QByteArray& linea : antes.split('\n')) QVERIFY(despues.contains(linea));
        } else {
            QVERIFY(despues == antes);
        }
        QVERIFY(!hayTablaTrabajo(a));
    }

    // Two reports started at once on one host take turns with the working table: both write
    // their whole workbook.
    void dosALaVez() {
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error) && agrandar(a, 40000), qPrintable(error + a.error()));
        QList<QProcess*> procesos;
        TerminalPrueba terminal;
        for (const QString& archivo : {QStringLiteral("uno.xlsx"), QStringLiteral("dos.xlsx")})
            procesos << empezar(a,
                                {QStringLiteral("--reporte"), QStringLiteral("--silencio"),
                                 QStringLiteral("--empresas"), QStringLiteral("1,2"),
                                 QStringLiteral("--archivo"), archivo},
                                this, terminal);
        for (QProcess* proceso : std::as_const(procesos)) {
            QVERIFY(proceso->waitForFinished(120000));
            QVERIFY2(proceso->exitCode() == 0, terminal.leido().constData());
        }
        for (const QString& archivo : {QStringLiteral("uno.xlsx"), QStringLiteral("dos.xlsx")}) {
            const LibroLeido libro = leerResumenLibro(QDir(a.carpetaPrograma()).filePath(archivo));
            QVERIFY2(libro.ok, qPrintable(libro.error));
            QCOMPARE(libro.filasConValor, 3 + 3 + 40000);
        }
        QVERIFY(!hayTablaTrabajo(a));
    }

    // A report that waits for its turn and is stopped meanwhile leaves the working table of the
    // report that holds the turn (here the test itself, from a client of its own) as it is.
    void elQueEsperaNoTocaLaTabla() {
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        QVERIFY2(a.sql(QStringLiteral("CREATE TABLE %1.tbltempproductos (`Clave` varchar(15))")
                           .arg(citarIdentificador(a.general()))),
                 qPrintable(a.error()));
        QProcess turno;
        turno.start(QStringLiteral("mariadb"),
                    {QStringLiteral("--protocol=tcp"), QStringLiteral("--unbuffered"),
                     QStringLiteral("-h"), ServidorPrueba::host(), QStringLiteral("-P"),
                     QString::number(ServidorPrueba::puerto()), QStringLiteral("-u"),
                     QStringLiteral("root"), a.general(), QStringLiteral("-e"),
                     QStringLiteral("SELECT GET_LOCK(CONCAT('varelmo.reporte.', MD5(DATABASE())), "
                                    "0); DO SLEEP(100)")});
        QVERIFY(turno.waitForReadyRead(20000));
        TerminalPrueba terminal;
        QProcess* espera =
            empezar(a,
                    {QStringLiteral("--reporte"), QStringLiteral("--empresas"), QStringLiteral("1"),
                     QStringLiteral("--archivo"), QStringLiteral("r.xlsx")},
                    this, terminal);
        QVERIFY2(terminal.esperar("\rEsperando a que termine otro reporte", 30000),
                 terminal.leido().constData());
        ::kill(static_cast<pid_t>(espera->processId()), SIGTERM);
        QVERIFY(espera->waitForFinished(30000));
        turno.kill();
        turno.waitForFinished();
        QCOMPARE(espera->exitCode(), 1);
        QVERIFY(hayTablaTrabajo(a));
        QVERIFY(!QFile::exists(QDir(a.carpetaPrograma()).filePath(QStringLiteral("r.xlsx"))));
    }

    // SIGTERM, SIGINT or SIGQUIT during a report cuts it short: no workbook written, the earlier
    // one as it was, nothing left in the folder, the working table gone.
    void senalDuranteElReporte_data() {
        QTest::addColumn<int>("senal");
        QTest::newRow("SIGTERM") << int{SIGTERM};
        QTest::newRow("SIGINT") << int{SIGINT};
        QTest::newRow("SIGQUIT") << int{SIGQUIT};
    }
    void senalDuranteElReporte() {
        QFETCH(int, senal);
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error) && agrandar(a, 150000), qPrintable(error + a.error()));
        const QString ruta = QDir(a.carpetaPrograma()).filePath(QStringLiteral("r.xlsx"));
        QFile anterior(ruta);
        QVERIFY(anterior.open(QIODevice::WriteOnly) && anterior.write("el libro anterior") > 0);
        anterior.close();
        QStringList antes = soporte::entradas(a.carpetaPrograma());
        antes.removeOne(QStringLiteral("varelmo.ini.lock"));
        TerminalPrueba terminal;
        QProcess* proceso =
            empezar(a,
                    {QStringLiteral("--reporte"), QStringLiteral("--empresas"), QStringLiteral("1"),
                     QStringLiteral("--archivo"), QStringLiteral("r.xlsx")},
                    this, terminal);
        QVERIFY(terminal.esperar(".- ", 60000));  // the progress line names a code
        ::kill(static_cast<pid_t>(proceso->processId()), senal);
        QVERIFY(proceso->waitForFinished(60000));
        QCOMPARE(proceso->exitStatus(), QProcess::NormalExit);
        QCOMPARE(proceso->exitCode(), 1);
        QCOMPARE(proceso->readAllStandardOutput(), QByteArray());
        const QString errores = QString::fromUtf8(terminal.leido());
        QVERIFY2(errores.contains(QStringLiteral("se interrumpió")), qPrintable(errores));
        QCOMPARE(soporte::contenido(ruta), QByteArray("el libro anterior"));
        // The settings file's lock file, left by the run's first write of it, stays by design.
        QStringList despues = soporte::entradas(a.carpetaPrograma());
        despues.removeOne(QStringLiteral("varelmo.ini.lock"));
        QCOMPARE(despues, antes);
        QVERIFY(!hayTablaTrabajo(a));
    }
};

QTEST_GUILESS_MAIN(TstReporteProceso)
#include "tst_reporte_proceso.moc"
