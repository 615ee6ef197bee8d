// "Generar archivo" in the real main window on the offscreen platform: the checks before anything
// changes, the confirmation, the state of the window during and after a run, and a failing run.
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <algorithm>

#include "AnfitrionPrueba.h"
#include "ConsultaPrueba.h"
#include "DialogosGuion.h"
#include "EsperaReporte.h"
#include "LectorLibro.h"
#include "ServidorPrueba.h"
#include "basedatos/Sql.h"
#include "dialogos/EstiloMensaje.h"
#include "ui/RejaFlexible.h"
#include "ui/frmInicial.h"

namespace {
const QString Si = QStringLiteral("Sí");
// The working table as a test leaves it before clicking: one row the click must not touch.
const QStringList TablaAnterior{QStringLiteral("VIEJA|anterior|1|2|")};

ProductoPrueba producto(const QString& clave, double costo, double precio2) {
    return ProductoPrueba{clave, QStringLiteral("d ") + clave, costo, {precio2 - 1, precio2}};
}

// A host with companies 1 (A, B) and 2 (B, C) at `niveles` price levels, a working table from an
// earlier run, and the window filled from start-up with nothing ticked.
class Escena {
public:
    explicit Escena(int niveles = 4) {
        if (!a.valido() || !a.crearGeneral()) {
            error = a.error();
            return;
        }
        EmpresaPrueba e1, e2;
        e1.id = 1;
        e1.nombre = QStringLiteral("Uno");
        e1.productos = {producto(QStringLiteral("A"), 1, 2), producto(QStringLiteral("B"), 3, 4)};
        e2.id = 2;
        e2.nombre = QStringLiteral("Dos");
        e2.productos = {producto(QStringLiteral("B"), 5, 6), producto(QStringLiteral("C"), 7, 8)};
        e1.niveles = e2.niveles = niveles;
        if (a.crearEmpresa(e1).isEmpty() || a.crearEmpresa(e2).isEmpty() ||
            !a.sql(QStringLiteral("CREATE TABLE %1.tbltempproductos (Clave varchar(15) PRIMARY "
                                  "KEY, Descrip varchar(60), "
                                  "Costo1 double, Precio1 double, Aviso varchar(50))")
                       .arg(citarIdentificador(a.general()))) ||
            !a.sql(
                QStringLiteral("INSERT INTO %1.tbltempproductos VALUES ('VIEJA','anterior',1,2,'')")
                    .arg(citarIdentificador(a.general())))) {
            error = a.error();
            return;
        }
        const std::optional<DatosIniciales> datos = a.arrancar(&error);
        if (!datos) return;
        ventana = std::make_unique<frmInicial>(a.contexto());
        ventana->mostrarDatos(*datos);
        ventana->txtArchivo()->setText(QStringLiteral("r.xlsx"));
        ventana->show();
        a.contexto().listaSeleccion = {42};
    }
    bool valida() const { return error.isEmpty() && ventana; }
    QStringList tabla() const { return consulta::tablaTrabajo(a.general()); }
    QString ruta(const QString& archivo) const {
        return QDir(a.carpetaPrograma()).filePath(archivo);
    }
    void marcar(int fila, const QString& marca = QStringLiteral("Sí")) {
        ventana->mfgEmpresas()->setTextMatrix(fila, 2, marca);
    }

    AnfitrionPrueba a;
    std::unique_ptr<frmInicial> ventana;
    QString error;
};
}  // namespace

class TstVentana : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { REQUIERE_SERVIDOR(); }

    void nombreEnBlanco_data() {
        QTest::addColumn<QString>("archivo");
        QTest::newRow("vacio") << QString();
        QTest::newRow("solo espacios") << QStringLiteral("    ");
    }
    void nombreEnBlanco() {
        QFETCH(QString, archivo);
        GuionDialogos guion;
        Escena e;
        QVERIFY2(e.valida(), qPrintable(e.error));
        e.marcar(1);
        e.ventana->txtArchivo()->setText(archivo);
        e.ventana->mfgEmpresas()->setFocus();
        QTest::mouseClick(e.ventana->cmdReporte(), Qt::LeftButton);
        QVERIFY(esperarReporte(*e.ventana));
        QCOMPARE(guion->pitidos, 1);
        QVERIFY(guion->mostradas.isEmpty());
        QCOMPARE(e.ventana->focusWidget(), e.ventana->txtArchivo());
        QCOMPARE(e.tabla(), TablaAnterior);
        QCOMPARE(e.a.contexto().listaSeleccion, QList<int>{42});
    }

    // Nothing counts as ticked: the alert, the grid focused, nothing changed.
    void sinEmpresaMarcada_data() {
        QTest::addColumn<QString>("marca");
        QTest::addColumn<bool>("sinFilas");
        QTest::newRow("ninguna marcada") << QString() << false;
        QTest::newRow("Si sin acento") << QStringLiteral("Si") << false;
        QTest::newRow("sí en minusculas") << QStringLiteral("sí") << false;
        QTest::newRow("reja con solo el encabezado") << QString() << true;
    }
    void sinEmpresaMarcada() {
        QFETCH(QString, marca);
        QFETCH(bool, sinFilas);
        GuionDialogos guion;
        Escena e;
        QVERIFY2(e.valida(), qPrintable(e.error));
        e.marcar(1, marca);
        e.marcar(2, marca);
        if (sinFilas) e.ventana->mfgEmpresas()->setRows(1);
        e.ventana->txtArchivo()->setFocus();
        QTest::mouseClick(e.ventana->cmdReporte(), Qt::LeftButton);
        QVERIFY(esperarReporte(*e.ventana));
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas.first().texto,
                 QStringLiteral("No está seleccionada ninguna empresa"));
        QCOMPARE(guion->mostradas.first().titulo, QStringLiteral("Alerta"));
        QCOMPARE(guion->mostradas.first().estilo, estilos::Alto);
        QCOMPARE(guion->pitidos, 0);
        QCOMPARE(e.ventana->focusWidget(), e.ventana->mfgEmpresas());
        QCOMPARE(e.tabla(), TablaAnterior);
    }

    void nombreConCarpetaRechazado() {
        GuionDialogos guion;
        Escena e;
        QVERIFY2(e.valida(), qPrintable(e.error));
        e.marcar(1);
        e.ventana->txtArchivo()->setText(QStringLiteral("../fuera.xlsx"));
        QTest::mouseClick(e.ventana->cmdReporte(), Qt::LeftButton);
        QVERIFY(esperarReporte(*e.ventana));
        QCOMPARE(guion->mostradas.size(), 1);
        QVERIFY(guion->mostradas.first().texto.startsWith(
            QStringLiteral("El nombre de archivo '../fuera.xlsx' no es válido")));
        QCOMPARE(guion->mostradas.first().estilo, estilos::Alto);
        QCOMPARE(e.tabla(), TablaAnterior);
        QVERIFY(!QFile::exists(e.ruta(QStringLiteral("../fuera.xlsx"))));
        QVERIFY(e.ventana->isEnabled());
    }

    // The question is asked with No as the default; No or no answer changes nothing.
    void respuestaNo_data() {
        QTest::addColumn<QList<Respuesta>>("respuestas");
        QTest::newRow("No") << QList<Respuesta>{Respuesta::No};
        QTest::newRow("boton por defecto") << QList<Respuesta>{};
    }
    void respuestaNo() {
        QFETCH(QList<Respuesta>, respuestas);
        GuionDialogos guion;
        for (Respuesta r : respuestas) guion->respuestas << r;
        Escena e;
        QVERIFY2(e.valida(), qPrintable(e.error));
        e.marcar(2);
        QTest::mouseClick(e.ventana->cmdReporte(), Qt::LeftButton);
        QVERIFY(esperarReporte(*e.ventana));
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas.first().texto,
                 QStringLiteral("¿Desea crear el archivo indicado?"));
        QCOMPARE(guion->mostradas.first().titulo, QStringLiteral("Generar archivo"));
        QCOMPARE(guion->mostradas.first().estilo, estilos::PreguntaNo);
        QCOMPARE(e.tabla(), TablaAnterior);
        QCOMPARE(e.a.contexto().listaSeleccion, QList<int>{42});
        QVERIFY(!QFile::exists(e.ruta(QStringLiteral("r.xlsx"))));
    }

    void respuestaSi_data() {
        QTest::addColumn<QList<int>>("filasMarcadas");
        QTest::addColumn<int>("nivel");  // index into cmbPrecios
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QStringList>("esperado");
        QTest::addColumn<bool>("abrir");  // the notice's "Abrir" pressed
        QTest::newRow("empresas 1 y 2, nivel 2")
            << QList<int>{1, 2} << 1 << QList<int>{1, 2}
            << QStringList{QStringLiteral("A|d A|1|2|0|0|"), QStringLiteral("B|d B|3|4|5|6|"),
                           QStringLiteral("C|d C|0|0|7|8|No existe en alguna empresa")}
            << false;
        QTest::newRow("solo la 2, nivel 1, abierto")
            << QList<int>{2} << 0 << QList<int>{2}
            << QStringList{QStringLiteral("B|d B|5|5|"), QStringLiteral("C|d C|7|7|")} << true;
    }
    void respuestaSi() {
        QFETCH(QList<int>, filasMarcadas);
        QFETCH(int, nivel);
        QFETCH(QList<int>, ids);
        QFETCH(QStringList, esperado);
        QFETCH(bool, abrir);
        GuionDialogos guion;
        // Sí to the report, No to stopping it, then the notice.
        guion->respuestas << Respuesta::Si << Respuesta::No;
        if (abrir) guion->respuestas << Respuesta::Adicional;
        Escena e;
        QVERIFY2(e.valida(), qPrintable(e.error));
        for (int f : filasMarcadas) e.marcar(f);
        e.ventana->cmbPrecios()->setCurrentIndex(nivel);
        e.ventana->txtArchivo()->setFocus();

        // What the window looks like while the report runs.
        struct Vista {
            bool habilitada;
            bool etiquetaVisible;
            QString etiqueta;
        };
        QList<Vista> durante;
        QTimer espia;
        espia.setInterval(0);
        // A close request from the window manager during the run is refused: it asks whether to
        // stop the report, and No lets it go on.
        bool cierreAceptado = false;
        connect(&espia, &QTimer::timeout, this, [&] {
            if (!e.ventana->reporteEnCurso()) return;
            durante << Vista{e.ventana->isEnabled(), e.ventana->Label4()->isVisible(),
                             e.ventana->Label4()->text()};
            if (durante.size() == 1) {
                QCloseEvent cierre;
                QCoreApplication::sendEvent(e.ventana.get(), &cierre);
                cierreAceptado = cierre.isAccepted();
            }
        });
        espia.start();
        QTest::mouseClick(e.ventana->cmdReporte(), Qt::LeftButton);
        QVERIFY(esperarReporte(*e.ventana));
        espia.stop();

        QVERIFY(!durante.isEmpty());
        QVERIFY(!cierreAceptado);
        for (const Vista& v : std::as_const(durante)) {
            QVERIFY(!v.habilitada);
            QVERIFY(v.etiquetaVisible);
            QVERIFY2(!v.etiqueta.endsWith(QStringLiteral(".- ")), qPrintable(v.etiqueta));
        }
        QVERIFY(std::any_of(durante.cbegin(), durante.cend(), [&](const Vista& v) {
            return v.etiqueta.startsWith(e.a.general() + QStringLiteral("_e"));
        }));

        QVERIFY(e.ventana->isEnabled());
        QVERIFY(e.ventana->Label4()->isHidden());
        QVERIFY(e.ventana->Label4()->text().isEmpty());
        QCOMPARE(e.ventana->focusWidget(), e.ventana->mfgEmpresas());
        QCOMPARE(e.a.contexto().listaSeleccion, ids);
        QCOMPARE(e.tabla(), esperado);
        QCOMPARE(guion->mostradas.size(), 3);
        QCOMPARE(guion->mostradas[1].texto, QStringLiteral("¿Desea detener el reporte?"));
        QCOMPARE(guion->mostradas[1].estilo, estilos::PreguntaNo);
        QCOMPARE(guion->mostradas[2].texto, QStringLiteral("Archivo 'r.xlsx' creado"));
        QCOMPARE(guion->mostradas[2].estilo, estilos::Aviso);
        QCOMPARE(guion->mostradas[2].adicional, QStringLiteral("Abrir"));
        QCOMPARE(guion->abiertos,
                 abrir ? QStringList{e.ruta(QStringLiteral("r.xlsx"))} : QStringList{});

        const LibroLeido libro = leerLibro(e.ruta(QStringLiteral("r.xlsx")));
        QVERIFY2(libro.ok, qPrintable(libro.error));
        QCOMPARE(libro.maxFila, 3 + static_cast<int>(esperado.size()));
        for (int i = 0; i < esperado.size(); ++i)
            QCOMPARE(libro.celda(QStringLiteral("A%1").arg(i + 4)).v.toString(),
                     esperado[i].section(u'|', 0, 0));
        QCOMPARE(libro.celda(QStringLiteral("C1")).v.toString(),
                 QStringLiteral("Datos%1").arg(ids.first()));
    }

    // A fill that fails (a price level the companies lack): the reason, and the window back.
    void falloDuranteElLlenado() {
        GuionDialogos guion;
        guion->respuestas << Respuesta::Si;
        Escena e(2);
        QVERIFY2(e.valida(), qPrintable(e.error));
        // The host offers four levels; the companies have two.
        QCOMPARE(e.ventana->cmbPrecios()->count(), 4);
        e.ventana->cmbPrecios()->setCurrentIndex(3);
        e.marcar(1);
        QTest::mouseClick(e.ventana->cmdReporte(), Qt::LeftButton);
        QVERIFY(esperarReporte(*e.ventana));
        QCOMPARE(guion->mostradas.size(), 2);
        QVERIFY2(
            guion->mostradas[1].texto.startsWith(QStringLiteral("El reporte no pudo generarse: ")),
            qPrintable(guion->mostradas[1].texto));
        QCOMPARE(guion->mostradas[1].titulo, QStringLiteral("Alerta"));
        QCOMPARE(guion->mostradas[1].estilo, estilos::Alto);
        QVERIFY(e.ventana->isEnabled());
        QVERIFY(e.ventana->Label4()->isHidden());
        QVERIFY(e.ventana->Label4()->text().isEmpty());
        QCOMPARE(e.ventana->focusWidget(), e.ventana->mfgEmpresas());
        QVERIFY(!QFile::exists(e.ruta(QStringLiteral("r.xlsx"))));
    }
};

QTEST_MAIN(TstVentana)
#include "tst_ventana.moc"
