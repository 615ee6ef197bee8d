// Closing the real main window on the private server: the question, the choices saved for the
// next start, the working table and the connections, and a settings file that cannot be written.
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QtTest>

#include "AnfitrionPrueba.h"
#include "ConsultaPrueba.h"
#include "DialogosGuion.h"
#include "ServidorPrueba.h"
#include "anfitrion/ArchivoIni.h"
#include "basedatos/Sql.h"
#include "ui/RejaFlexible.h"
#include "ui/frmInicial.h"

namespace {
const QString Si = QStringLiteral("Sí");
const QString Config = QStringLiteral("Configuración");

class Escena {
public:
    explicit Escena(const QList<int>& ids = {1, 2, 3}) {
        if (!a.valido() || !a.crearGeneral()) {
            error = a.error();
            return;
        }
        for (int id : ids) {
            EmpresaPrueba e;
            e.id = id;
            e.nombre = QStringLiteral("E%1").arg(id);
            e.productos = {ProductoPrueba{QStringLiteral("A"), QStringLiteral("a"), 1, {2}}};
            if (a.crearEmpresa(e).isEmpty()) {
                error = a.error();
                return;
            }
        }
        if (!a.sql(QStringLiteral("CREATE TABLE %1.tbltempproductos (Clave varchar(15))")
                       .arg(citarIdentificador(a.general())))) {
            error = a.error();
            return;
        }
        if (!abrir()) return;
    }
    bool abrir() {
        ventana.reset();  // it works on the context that arrancar replaces
        datos = a.arrancar(&error);
        if (!datos) return false;
        ventana = std::make_unique<frmInicial>(a.contexto());
        ventana->mostrarDatos(*datos);
        ventana->show();
        return true;
    }
    bool valida() const { return error.isEmpty() && ventana; }
    bool hayTabla() const {
        QList<QVariantList> r;
        consulta::filas(
            a.general(),
            QStringLiteral("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = ? "
                           "AND table_name = 'tbltempproductos'"),
            &r, {a.general()});
        return !r.isEmpty() && r[0].value(0).toInt() > 0;
    }
    QString ini(const QString& clave) const {
        return ArchivoIni::leer(a.archivoIni(), Config, clave);
    }

    AnfitrionPrueba a;
    std::optional<DatosIniciales> datos;
    std::unique_ptr<frmInicial> ventana;
    QString error;
};
}  // namespace

class TstCierre : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { REQUIERE_SERVIDOR(); }

    // A close from the window system (the window manager's Alt+F4, the taskbar) asks the same
    // question; No leaves the window open and shown, not minimised. During a report nothing asks.
    void cierreDelSistema() {
        GuionDialogos guion;
        guion->respuestas << Respuesta::No;
        Escena e;
        QVERIFY2(e.valida(), qPrintable(e.error));
        QCloseEvent cierre;
        QCoreApplication::sendEvent(e.ventana.get(), &cierre);
        QVERIFY(!cierre.isAccepted());
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas[0].texto, QStringLiteral("¿Desea cerrar este programa?"));
        QCOMPARE(guion->mostradas[0].estilo, estilos::Pregunta);
        QVERIFY(e.ventana->isVisible());
        QVERIFY(!(e.ventana->windowState() & Qt::WindowMinimized));
        QVERIFY(e.hayTabla());
        QVERIFY(e.a.contexto().ConexionPrincipal.abierta());
    }

    void respuestaNo() {
        GuionDialogos guion;
        guion->respuestas << Respuesta::No;
        Escena e;
        QVERIFY2(e.valida(), qPrintable(e.error));
        e.ventana->mfgEmpresas()->setTextMatrix(1, 2, Si);
        e.ventana->txtArchivo()->setText(QStringLiteral("otro.xls"));
        e.ventana->cerrarDesdePrograma();
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas[0].estilo, estilos::Pregunta);
        QVERIFY(e.ventana->isVisible());
        QVERIFY(e.hayTabla());
        QVERIFY(e.a.contexto().ConexionPrincipal.abierta());
        QCOMPARE(e.ini(QStringLiteral("Empresa 1")), QStringLiteral("No"));
        QCOMPARE(e.ini(QStringLiteral("Archivo de Excel")), QStringLiteral("varelmo.xls"));
    }

    // Yes: ticks, price and an edited file name saved, the table dropped, everything closed.
    void respuestaSi() {
        GuionDialogos guion;
        guion->respuestas << Respuesta::Si;
        Escena e;
        QVERIFY2(e.valida(), qPrintable(e.error));
        e.ventana->mfgEmpresas()->setTextMatrix(1, 2, Si);
        e.ventana->mfgEmpresas()->setTextMatrix(3, 2, QStringLiteral("sí"));
        e.ventana->cmbPrecios()->setCurrentIndex(2);
        e.ventana->txtArchivo()->setText(QStringLiteral("editado.xls"));
        e.ventana->cerrarDesdePrograma();
        QCOMPARE(guion->mostradas.size(), 1);
        QVERIFY(!e.ventana->isVisible());
        QCOMPARE(e.ini(QStringLiteral("Empresa 1")), Si);
        QCOMPARE(e.ini(QStringLiteral("Empresa 2")), QStringLiteral("No"));
        QCOMPARE(e.ini(QStringLiteral("Empresa 3")), QStringLiteral("No"));
        QCOMPARE(e.ini(QStringLiteral("Precio")), QStringLiteral("3"));
        QCOMPARE(e.ini(QStringLiteral("Archivo de Excel")), QStringLiteral("editado.xls"));
        QVERIFY(!e.hayTabla());
        QVERIFY(!e.a.contexto().ConexionPrincipal.abierta());
        QVERIFY(!e.a.contexto().ConexionEmpresa.abierta());

        QVERIFY2(e.abrir(), qPrintable(e.error));
        QCOMPARE(e.datos->archivo, QStringLiteral("editado.xls"));
        QCOMPARE(e.datos->precioSeleccionado, 2);
        QCOMPARE(e.datos->empresas.size(), 3);
        QVERIFY(e.datos->empresas[0].marcada);
        QVERIFY(!e.datos->empresas[1].marcada && !e.datos->empresas[2].marcada);
    }

    // Empty values are saved empty, and the next start puts the defaults back.
    void valoresVacios_data() {
        QTest::addColumn<bool>("sinArchivo");
        QTest::addColumn<bool>("sinPrecio");
        QTest::newRow("archivo vacio") << true << false;
        QTest::newRow("precio vacio") << false << true;
        QTest::newRow("ambos") << true << true;
    }
    void valoresVacios() {
        QFETCH(bool, sinArchivo);
        QFETCH(bool, sinPrecio);
        GuionDialogos guion;
        guion->respuestas << Respuesta::Si;
        Escena e;
        QVERIFY2(e.valida(), qPrintable(e.error));
        e.ventana->cmbPrecios()->setCurrentIndex(sinPrecio ? -1 : 1);
        e.ventana->txtArchivo()->setText(sinArchivo ? QString() : QStringLiteral("x.xls"));
        e.ventana->cerrarDesdePrograma();
        QCOMPARE(e.ini(QStringLiteral("Precio")), sinPrecio ? QString() : QStringLiteral("2"));
        QCOMPARE(e.ini(QStringLiteral("Archivo de Excel")),
                 sinArchivo ? QString() : QStringLiteral("x.xls"));
        QVERIFY2(e.abrir(), qPrintable(e.error));
        QCOMPARE(e.datos->archivo,
                 sinArchivo ? QStringLiteral("varelmo.xls") : QStringLiteral("x.xls"));
        QCOMPARE(e.datos->precios.value(e.datos->precioSeleccionado),
                 sinPrecio ? QStringLiteral("1") : QStringLiteral("2"));
    }

    // Ids that are not the grid rows: the ticks come back onto the same companies.
    void idsSalteados() {
        GuionDialogos guion;
        guion->respuestas << Respuesta::Si;
        Escena e({1, 3, 5});
        QVERIFY2(e.valida(), qPrintable(e.error));
        e.ventana->mfgEmpresas()->setTextMatrix(2, 2, Si);
        e.ventana->mfgEmpresas()->setTextMatrix(3, 2, Si);
        e.ventana->cerrarDesdePrograma();
        QCOMPARE(e.ini(QStringLiteral("Empresa 1")), QStringLiteral("No"));
        QCOMPARE(e.ini(QStringLiteral("Empresa 3")), Si);
        QCOMPARE(e.ini(QStringLiteral("Empresa 5")), Si);
        QCOMPARE(e.ini(QStringLiteral("Empresa 2")), QString());
        QVERIFY2(e.abrir(), qPrintable(e.error));
        QList<int> marcadas;
        for (const EmpresaInicial& emp : e.datos->empresas)
            if (emp.marcada) marcadas << emp.id;
        QCOMPARE(marcadas, (QList<int>{3, 5}));
    }

    // The settings file cannot be written: the user is told, and closing still goes on.
    void iniNoEscribible() {
        GuionDialogos guion;
        guion->respuestas << Respuesta::Si;
        Escena e;
        QVERIFY2(e.valida(), qPrintable(e.error));
        QVERIFY(QFile::remove(e.a.archivoIni()));
        QVERIFY(QDir().mkdir(e.a.archivoIni()));
        e.ventana->cerrarDesdePrograma();
        QCOMPARE(guion->mostradas.size(), 2);
        const CajaMostrada& aviso = guion->mostradas[1];
        QVERIFY2(aviso.texto.startsWith(
                     QStringLiteral("No se pudieron guardar las elecciones para la próxima vez: ")),
                 qPrintable(aviso.texto));
        QVERIFY(aviso.texto.size() > 60);
        QCOMPARE(aviso.estilo, estilos::Alto);
        QCOMPARE(aviso.titulo, QStringLiteral("Alerta"));
        QVERIFY(aviso.skin);
        QVERIFY(!e.hayTabla());
        QVERIFY(!e.a.contexto().ConexionPrincipal.abierta());
        QVERIFY(!e.a.contexto().ConexionEmpresa.abierta());
        QVERIFY(!e.ventana->isVisible());
        QDir().rmdir(e.a.archivoIni());
    }
};

QTEST_MAIN(TstCierre)
#include "tst_cierre.moc"
