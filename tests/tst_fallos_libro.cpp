// The workbook cannot be written, for real, under `varelmo --reporte` run as a process: a folder
// the program may not write to (its own, and so the user's documents folder too) and a read-only
// workbook, both refused before anything is merged, a file-size limit
// that stops the write half-way (as a full disk does), and a target name taken by a folder. Each
// time: the alert, a failing exit code, the earlier workbook byte for byte, and no temporary file
// left in the folder.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include "AnfitrionPrueba.h"
#include "ConsultaPrueba.h"
#include "ServidorPrueba.h"
#include "Soporte.h"
#include "basedatos/Sql.h"

namespace {
struct Salida {
    int codigo = -1;  // -2: the program died of a signal
    QString errores;
};

// One company with 2,000 products, enough for a workbook of well over the size limit below.
bool preparar(AnfitrionPrueba& a, QString* error) {
    EmpresaPrueba e;
    e.niveles = 2;
    QString base;
    if (!a.valido() || !a.crearGeneral(2) || (base = a.crearEmpresa(e)).isEmpty() ||
        !a.sql(
            QStringLiteral(
                "INSERT INTO %1.productos SELECT CONCAT('P', seq), CONCAT('Producto ', seq), seq, "
                "seq * 1.5, seq * 2.5 FROM %1.seq_1_to_2000")
                .arg(citarIdentificador(base)))) {
        *error = a.error();
        return false;
    }
    QFile::remove(a.ejecutable());
    if (!QFile::copy(soporte::carpetaBinarios() + QStringLiteral("/varelmo"), a.ejecutable())) {
        *error = QStringLiteral("no se pudo copiar el programa");
        return false;
    }
    return a.escribirIni({QStringLiteral("Precio=2"), QStringLiteral("Empresa 1=Sí")});
}

// The report as a process; `envoltura` runs it under a shell line that ends in `exec "$@"`.
Salida correr(const AnfitrionPrueba& a, const QString& archivo,
              const QString& envoltura = QString()) {
    const QStringList orden{a.ejecutable(), QStringLiteral("--reporte"),
                            QStringLiteral("--archivo"), archivo};
    QProcess proceso;
    proceso.setWorkingDirectory(QDir::tempPath());
    if (envoltura.isEmpty())
        proceso.start(orden.first(), orden.mid(1));
    else
        proceso.start(QStringLiteral("bash"),
                      QStringList{QStringLiteral("-c"), envoltura, QStringLiteral("bash")} + orden);
    Salida s;
    if (!proceso.waitForFinished(120000)) {
        proceso.kill();
        proceso.waitForFinished();
        return s;
    }
    s.codigo = proceso.exitStatus() == QProcess::NormalExit ? proceso.exitCode() : -2;
    s.errores = QString::fromUtf8(proceso.readAllStandardError());
    return s;
}

using soporte::contenido;
using soporte::entradas;

bool cambiarDueno(const QString& carpeta, const QString& dueno) {
    return QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), dueno, carpeta}) == 0;
}
}  // namespace

class TstFallosLibro : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { REQUIERE_SERVIDOR(); }

    void libroNoEscrito_data() {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QString>("archivo");
        QTest::addColumn<QString>("motivo");  // the reason the message gives, in Spanish
        QTest::newRow("carpeta de solo lectura") << "solo lectura"
                                                 << "r.xlsx"
                                                 << "no hay permiso";
        QTest::newRow("archivo de solo lectura") << "archivo solo lectura"
                                                 << "r.xlsx"
                                                 << "es de solo lectura";
        QTest::newRow("limite de tamano, .xlsx") << "limite"
                                                 << "r.xlsx"
                                                 << "pasa del tamaño máximo";
        QTest::newRow("limite de tamano, .xls") << "limite"
                                                << "r.xls"
                                                << "pasa del tamaño máximo";
        QTest::newRow("el destino es una carpeta") << "carpeta"
                                                   << "r.xlsx"
                                                   << "es una carpeta";
        QTest::newRow("disco lleno") << "lleno"
                                     << "r.xlsx"
                                     << "no queda espacio en el disco";
    }
    void libroNoEscrito() {
        QFETCH(QString, caso);
        QFETCH(QString, archivo);
        QFETCH(QString, motivo);
        if (caso == QLatin1String("lleno") && ::geteuid() != 0)
            QSKIP("montar un disco pequeño pide ser root");
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        const QString carpeta = a.carpetaPrograma();
        const QString ruta = QDir(carpeta).filePath(archivo);

        Salida s = correr(a, archivo);
        QVERIFY2(s.codigo == 0, qPrintable(s.errores));
        const QByteArray anterior = contenido(ruta);
        QVERIFY(anterior.size() > 16 * 1024);

        QString envoltura, desmontar;
        const QString raiz = QFileInfo(a.carpetaInstalacion()).absolutePath();
        if (caso == QLatin1String("solo lectura")) {
            // A program that may not write its own folder keeps its settings in the user's
            // configuration folder and the workbooks in the user's documents folder: here a home
            // whose documents folder is that same read-only folder.
            const QString casa = QDir(raiz).filePath(QStringLiteral("casa"));
            const QString ini =
                QFileInfo(a.ejecutable()).completeBaseName() + QStringLiteral(".ini");
            QVERIFY(QDir().mkpath(casa + QStringLiteral("/.config/varelmo")));
            QVERIFY(QFile::copy(QDir(carpeta).filePath(ini),
                                casa + QStringLiteral("/.config/varelmo/") + ini));
            QVERIFY(QFile::link(carpeta, casa + QStringLiteral("/Documents")));
            QVERIFY(QFile::setPermissions(carpeta, QFile::ReadOwner | QFile::ExeOwner |
                                                       QFile::ReadGroup | QFile::ExeGroup |
                                                       QFile::ReadOther | QFile::ExeOther));
            // Root writes into any folder: the program then runs as an ordinary user who owns the
            // files but may not write into the folder.
            QString comoUsuario;
            if (::geteuid() == 0) {
                QVERIFY(cambiarDueno(raiz, QStringLiteral("nobody:nogroup")));
                QVERIFY(QFile::setPermissions(
                    raiz, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
                comoUsuario =
                    QStringLiteral("setpriv --reuid=nobody --regid=nogroup --clear-groups ");
            }
            envoltura = QStringLiteral("export HOME='%1'; unset XDG_CONFIG_HOME; exec %2\"$@\"")
                            .arg(casa, comoUsuario);
        } else if (caso == QLatin1String("archivo solo lectura")) {
            QVERIFY(QFile::setPermissions(ruta,
                                          QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        } else if (caso == QLatin1String("limite")) {
            // Writes past 8 KiB fail; the program itself ignores the signal the limit sends, so
            // that the write returns its error.
            envoltura = QStringLiteral("ulimit -f 8; exec \"$@\"");
        } else if (caso == QLatin1String("lleno")) {
            // The program's folder on a small disk of its own, the earlier workbook and the
            // program's files on it, and the rest taken up.
            const QString copia = QDir(raiz).filePath(QStringLiteral("copia"));
            QVERIFY(QDir(carpeta).rename(carpeta, copia) && QDir().mkpath(carpeta));
            QVERIFY(QProcess::execute(
                        QStringLiteral("mount"),
                        {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                         QStringLiteral("size=64m"), QStringLiteral("tmpfs"), carpeta}) == 0);
            desmontar = carpeta;
            QVERIFY(QProcess::execute(
                        QStringLiteral("cp"),
                        {QStringLiteral("-a"), copia + QStringLiteral("/."), carpeta}) == 0);
            QProcess::execute(
                QStringLiteral("dd"),
                {QStringLiteral("if=/dev/zero"),
                 QStringLiteral("of=") + QDir(carpeta).filePath(QStringLiteral("relleno")),
                 QStringLiteral("bs=64k"), QStringLiteral("status=none")});
        } else {
            QVERIFY(QFile::remove(ruta));
            QVERIFY(QDir(carpeta).mkdir(archivo));
        }
        // A workbook that cannot be written is refused before the working table is touched: a
        // table of that name left by someone else keeps its one row.
        const bool antesDeFusionar = caso.contains(QLatin1String("solo lectura"));
        const QString tabla = citarIdentificador(a.general()) + QStringLiteral(".tbltempproductos");
        if (antesDeFusionar)
            QVERIFY2(
                a.sql(QStringLiteral("CREATE OR REPLACE TABLE %1 (Clave varchar(15) PRIMARY KEY)")
                          .arg(tabla)) &&
                    a.sql(QStringLiteral("INSERT INTO %1 VALUES ('intacta')").arg(tabla)),
                qPrintable(a.error()));
        const QStringList antes = entradas(carpeta);
        s = correr(a, archivo, envoltura);
        const QStringList despues = entradas(carpeta);
        const QByteArray queda = contenido(ruta);
        if (!desmontar.isEmpty())
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), desmontar});
        if (::geteuid() == 0) cambiarDueno(raiz, QStringLiteral("root:root"));
        QFile::setPermissions(carpeta, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QVERIFY2(s.codigo == 1, qPrintable(QString::number(s.codigo) + u' ' + s.errores));
        QVERIFY2(s.errores.contains(QStringLiteral("El archivo '%1' no fue creado").arg(archivo)),
                 qPrintable(s.errores));
        QVERIFY2(s.errores.contains(motivo), qPrintable(s.errores));
        QVERIFY(!s.errores.contains(QStringLiteral("Archivo '%1' creado").arg(archivo)));
        QCOMPARE(despues, antes);
        if (antesDeFusionar)
            QCOMPARE(consulta::tablaTrabajo(a.general()), QStringList{QStringLiteral("intacta")});
        if (caso == QLatin1String("carpeta"))
            QVERIFY(QFileInfo(ruta).isDir() && entradas(ruta).isEmpty());
        else
            QCOMPARE(queda, anterior);
    }
};

QTEST_GUILESS_MAIN(TstFallosLibro)
#include "tst_fallos_libro.moc"
