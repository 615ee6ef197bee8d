// The database server killed for real, on a server of this program's own: in the middle of a
// report, while the program waits between two reports, before closing, and under the window. The
// user gets the reason, the earlier workbook stays, nothing is left behind, and once the server is
// back the next report works in the same run. Also a company server that never answers.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>

#include "AnfitrionPrueba.h"
#include "ConsultaPrueba.h"
#include "DialogosGuion.h"
#include "EsperaReporte.h"
#include "ReportePrueba.h"
#include "ServidorPropio.h"
#include "ServidorPrueba.h"
#include "Soporte.h"
#include "basedatos/Sql.h"
#include "demo/AnfitrionDemo.h"
#include "dialogos/Mensajes.h"
#include "programa/Cierre.h"
#include "report/SolicitudReporte.h"
#include "report/clsLlenarTabla.h"
#include "ui/RejaFlexible.h"
#include "ui/frmInicial.h"

namespace {
const QStringList TablaEsperada{QStringLiteral("A|d A|1|2|0|0|"), QStringLiteral("B|d B|3|4|5|6|"),
                                QStringLiteral("C|d C|0|0|7|8|No existe en alguna empresa")};

// Companies 1 (A, B) and 2 (B, C) at two price levels, started up as the program starts.
bool preparar(AnfitrionPrueba& a, QString* error) {
    if (!a.valido() || !a.crearGeneral(2)) {
        *error = a.error();
        return false;
    }
    const QList<QList<ProductoPrueba>> productos{
        {{QStringLiteral("A"), QStringLiteral("d A"), 1.0, {1.5, 2.0}},
         {QStringLiteral("B"), QStringLiteral("d B"), 3.0, {3.5, 4.0}}},
        {{QStringLiteral("B"), QStringLiteral("x B"), 5.0, {5.5, 6.0}},
         {QStringLiteral("C"), QStringLiteral("d C"), 7.0, {7.5, 8.0}}}};
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
    return a.arrancar(error).has_value();
}

// One report as the window runs it after the user confirmed; a table that cannot be made is
// reported as the window reports it.
// With `corte`, the companies are merged in two parts cut there, on two connections.
bool reporte(AnfitrionPrueba& a, const QList<int>& ids, const QString& archivo,
             const Progreso& progreso = {}, const QString& corte = QString()) {
    OpcionesReporte opciones;
    if (!corte.isEmpty()) opciones.corte = corte;
    const ResultadoReporte r =
        prueba::reporte(a.contexto(), ids, QStringLiteral("2"), archivo, opciones, progreso);
    if (r.creado() && !corte.isEmpty() && !r.enDosPartes)
        QTest::qFail("no se fusionó en dos partes", __FILE__, __LINE__);
    return r.creado();
}

// Tables of the merge left in the host database (the parts of the copy are its own tables).
int tablasDeFusion(const QString& general) {
    QList<QVariantList> filas;
    if (!consulta::filas(
            general,
            QStringLiteral(
                "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = ? AND "
                "TABLE_NAME LIKE 'tbltempproductos\\_fusion%'"),
            &filas, {general}))
        return -1;
    return filas.value(0).value(0).toInt();
}

using soporte::contenido;
using soporte::entradas;

// The one box of a failed report: an alert with a reason, never the success notice.
bool esAlertaDeFallo(const QList<CajaMostrada>& cajas, QString* porque) {
    *porque = cajas.isEmpty() ? QStringLiteral("ninguna caja") : cajas.last().texto;
    return cajas.size() == 1 && cajas[0].titulo == QLatin1String("Alerta") &&
           cajas[0].estilo == estilos::Alto &&
           (cajas[0].texto.startsWith(QStringLiteral("El reporte no pudo generarse: ")) ||
            cajas[0].texto.contains(QStringLiteral("no fue creado")));
}
}  // namespace

class TstFallosServidor : public QObject {
    Q_OBJECT
    ServidorPropio servidor_;

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(servidor_.iniciar(&error), qPrintable(error));
        servidor_.usarEnPruebas();
    }
    void init() {
        QString error;
        if (!servidor_.vivo()) QVERIFY2(servidor_.iniciar(&error), qPrintable(error));
    }

    void muereDuranteElReporte_data() {
        QTest::addColumn<QString>("corte");
        QTest::newRow("en el programa, en una pasada") << QString();
        QTest::newRow("en dos partes, en dos conexiones") << QStringLiteral("B");
    }
    void muereDuranteElReporte() {
        QFETCH(QString, corte);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        const QString carpeta = a.carpetaPrograma();
        const QString ruta = QDir(carpeta).filePath(QStringLiteral("r.xlsx"));
        QVERIFY(reporte(a, {1, 2}, QStringLiteral("r.xlsx")));
        const QByteArray anterior = contenido(ruta);
        QVERIFY(!anterior.isEmpty());
        const QStringList archivos = entradas(carpeta);

        // The server dies at the first progress line, while the companies are being merged.
        guion->mostradas.clear();
        int avisos = 0;
        QVERIFY(!reporte(
            a, {1, 2}, QStringLiteral("r.xlsx"),
            [&](const QString&) {
                if (++avisos == 1) servidor_.matar();
                return true;
            },
            corte));
        QVERIFY(avisos >= 1);
        QVERIFY2(esAlertaDeFallo(guion->mostradas, &error), qPrintable(error));
        QCOMPARE(contenido(ruta), anterior);
        QCOMPARE(entradas(carpeta), archivos);

        // Back on the same port: the same run of the program reports again, with no restart.
        QVERIFY2(servidor_.iniciar(&error), qPrintable(error));
        guion->mostradas.clear();
        const bool escrito = reporte(a, {1, 2}, QStringLiteral("r.xlsx"), {}, corte);
        QVERIFY2(escrito, qPrintable(guion->mostradas.value(0).texto));
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas[0].texto, QStringLiteral("Archivo 'r.xlsx' creado"));
        QCOMPARE(consulta::tablaTrabajo(a.general()), TablaEsperada);
        // The parts the killed run could not drop went with this one.
        QCOMPARE(tablasDeFusion(a.general()), 0);

        // Killed and back while the program waits: the next report does not notice.
        servidor_.matar();
        QVERIFY2(servidor_.iniciar(&error), qPrintable(error));
        QTest::qWait(1100);
        guion->mostradas.clear();
        QVERIFY(reporte(a, {2, 1}, QStringLiteral("s.xlsx")));
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas[0].texto, QStringLiteral("Archivo 's.xlsx' creado"));
    }

    // A server that takes no load from the client: the companies go into the working table on
    // the server and the workbook is read back from it, with the same rows.
    void sinCargaLocal() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        QVERIFY2(a.sql(QStringLiteral("SET GLOBAL local_infile = 0")), qPrintable(a.error()));
        const auto restaurar =
            qScopeGuard([&] { a.sql(QStringLiteral("SET GLOBAL local_infile = 1")); });
        const ResultadoReporte r =
            prueba::reporte(a.contexto(), {1, 2}, QStringLiteral("2"), QStringLiteral("r.xlsx"));
        QVERIFY(r.creado());
        QVERIFY(!r.enUnaPasada);
        QCOMPARE(r.fusionesEnServidor, 2);
        QCOMPARE(consulta::tablaTrabajo(a.general()), TablaEsperada);
    }

    // A transaction the server dropped is not finished on a fresh connection as if nothing was
    // lost: its remaining statements fail, its COMMIT fails, and the connection works afterwards.
    void perdidaDentroDeUnaTransaccion() {
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        Conexion& c = a.contexto().ConexionPrincipal;
        QVERIFY(c.ejecutar(QStringLiteral("CREATE TABLE t (n int)")));
        QVERIFY(c.ejecutar(QStringLiteral("START TRANSACTION")));
        QVERIFY(c.ejecutar(QStringLiteral("INSERT INTO t VALUES (1)")));
        servidor_.matar();
        QVERIFY(!c.ejecutar(QStringLiteral("INSERT INTO t VALUES (2)"), {}, &error));
        QVERIFY2(error.startsWith(QStringLiteral("Se perdió la conexión")), qPrintable(error));
        QVERIFY2(servidor_.iniciar(&error), qPrintable(error));
        QVERIFY(!c.ejecutar(QStringLiteral("INSERT INTO t VALUES (3)"), {}, &error));
        QVERIFY(!c.ejecutar(QStringLiteral("COMMIT")));
        QVERIFY2(c.ejecutar(QStringLiteral("INSERT INTO t VALUES (4)"), {}, &error),
                 qPrintable(error));
        QList<QVariantList> filas;
        QVERIFY(consulta::filas(a.general(), QStringLiteral("SELECT n FROM t"), &filas));
        QCOMPARE(filas.size(), 1);
        QCOMPARE(filas[0].value(0).toInt(), 4);
    }

    // Closing with the server gone: the choices are still saved and closing does not wait.
    void muereAntesDeCerrar() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        QVERIFY(reporte(a, {1}, QStringLiteral("r.xlsx")));
        servidor_.matar();
        QElapsedTimer reloj;
        reloj.start();
        QCOMPARE(GuardarElecciones(a.archivoIni(), {{1, true}, {2, false}}, QStringLiteral("2"),
                                   QStringLiteral("r.xlsx")),
                 QStringList{});
        CerrarBasesDeDatos(a.contexto());
        QVERIFY2(reloj.elapsed() < 10000, qPrintable(QString::number(reloj.elapsed())));
        const QString ini = QString::fromUtf8(contenido(a.archivoIni()));
        for (const char* linea :
             {"Empresa 1=Sí", "Empresa 2=No", "Precio=2", "Archivo de Excel=r.xlsx"})
            QVERIFY2(ini.contains(QString::fromUtf8(linea)), linea);
    }

    // The window through a lost server: the alert, the window back and usable, the earlier file
    // kept; with the server back, the next click writes the workbook.
    void ventana() {
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        const std::optional<DatosIniciales> datos = a.arrancar(&error);
        QVERIFY2(datos, qPrintable(error));
        frmInicial v(a.contexto());
        v.mostrarDatos(*datos);
        v.txtArchivo()->setText(QStringLiteral("r.xlsx"));
        v.cmbPrecios()->setCurrentIndex(1);
        v.mfgEmpresas()->setTextMatrix(1, 2, QStringLiteral("Sí"));
        v.mfgEmpresas()->setTextMatrix(2, 2, QStringLiteral("Sí"));
        v.show();
        const QString ruta = QDir(a.carpetaPrograma()).filePath(QStringLiteral("r.xlsx"));
        QFile anterior(ruta);
        QVERIFY(anterior.open(QIODevice::WriteOnly));
        anterior.write("libro anterior");
        anterior.close();

        servidor_.matar();
        guion->respuestas << Respuesta::Si;
        QTest::mouseClick(v.cmdReporte(), Qt::LeftButton);
        QVERIFY(esperarReporte(v));
        QCOMPARE(guion->mostradas.size(), 2);
        guion->mostradas.removeFirst();
        QVERIFY2(esAlertaDeFallo(guion->mostradas, &error), qPrintable(error));
        QVERIFY(v.isEnabled());
        QVERIFY(v.Label4()->isHidden());
        QCOMPARE(contenido(ruta), QByteArray("libro anterior"));

        QVERIFY2(servidor_.iniciar(&error), qPrintable(error));
        guion->mostradas.clear();
        guion->respuestas << Respuesta::Si;
        QTest::mouseClick(v.cmdReporte(), Qt::LeftButton);
        QVERIFY(esperarReporte(v));
        QCOMPARE(guion->mostradas.size(), 2);
        QCOMPARE(guion->mostradas[1].texto, QStringLiteral("Archivo 'r.xlsx' creado"));
        QVERIFY(v.isEnabled());
        QCOMPARE(consulta::tablaTrabajo(a.general()), TablaEsperada);
    }

    // A company whose own server takes the connection and never answers: skipped after the
    // connect timeout, not waited for.
    void servidorDeEmpresaQueNoContesta() {
        const int mudo = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(mudo >= 0);
        sockaddr_in dir{};
        dir.sin_family = AF_INET;
        dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t largo = sizeof dir;
        QVERIFY(::bind(mudo, reinterpret_cast<sockaddr*>(&dir), largo) == 0 &&
                ::listen(mudo, 8) == 0 &&
                ::getsockname(mudo, reinterpret_cast<sockaddr*>(&dir), &largo) == 0);
        GuionDialogos guion;
        AnfitrionPrueba a;
        QString error;
        QVERIFY2(preparar(a, &error), qPrintable(error));
        auto cifrado = [&](int selector, const QString& texto) {
            return a.cifrarCampo(1, selector, texto, ntohs(dir.sin_port));
        };
        QVERIFY2(
            a.sql(QStringLiteral(
                      "UPDATE %1.empresas SET Servidor='%2', BaseDeDatos2='%3', Usuario='%4', "
                      "Conexion='%5', Puerto=%6 WHERE Id=1")
                      .arg(citarIdentificador(a.general()), cifrado(1, QStringLiteral("127.0.0.1")),
                           cifrado(2, QStringLiteral("datos")), cifrado(3, QStringLiteral("root")),
                           cifrado(4, QStringLiteral("x")))
                      .arg(ntohs(dir.sin_port))),
            qPrintable(a.error()));
        QElapsedTimer reloj;
        reloj.start();
        const bool escrito = reporte(a, {1, 2}, QStringLiteral("m.xlsx"));
        const qint64 tardanza = reloj.elapsed();
        ::close(mudo);
        QVERIFY(escrito);
        QVERIFY2(tardanza < 15000, qPrintable(QString::number(tardanza)));
        QCOMPARE(consulta::tablaTrabajo(a.general()),
                 (QStringList{QStringLiteral("B|x B|0|0|5|6|No existe en alguna empresa"),
                              QStringLiteral("C|d C|0|0|7|8|No existe en alguna empresa")}));
    }
};

QTEST_MAIN(TstFallosServidor)
#include "tst_fallos_servidor.moc"
