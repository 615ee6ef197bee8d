// The main window's keys and mouse on the offscreen platform, without a server: ticking in the
// company grid, F1, Alt+F4, the double-click on the background and the file name box.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "DialogosGuion.h"
#include "programa/Contexto.h"
#include "ui/RejaFlexible.h"
#include "ui/frmDescripcion.h"
#include "ui/frmInicial.h"

namespace {
const QString Si = QStringLiteral("Sí");

DatosIniciales datos(int empresas) {
    DatosIniciales d;
    d.precios = {QStringLiteral("1"), QStringLiteral("2")};
    d.precioSeleccionado = 0;
    d.archivo = QStringLiteral("r.xls");
    for (int i = 1; i <= empresas; ++i)
        d.empresas << EmpresaInicial{i, QStringLiteral("Empresa %1").arg(i), false};
    return d;
}
}  // namespace

class TstInteraccion : public QObject {
    Q_OBJECT
private:
    QTemporaryDir carpeta_;
    std::unique_ptr<Contexto> contexto_ = contextoDePrueba();
    std::unique_ptr<frmInicial> ventana_;

    bool abrir(int empresas = 2) {
        ventana_ = std::make_unique<frmInicial>(*contexto_);
        ventana_->mostrarDatos(datos(empresas));
        ventana_->show();
        ventana_->activateWindow();
        return QTest::qWaitForWindowExposed(ventana_.get());
    }
    RejaFlexible* reja() const { return ventana_->mfgEmpresas(); }
    // The events a window system sends for a double-click: press, release, press, double-click,
    // release. QTest::mouseDClick alone sends only the double-click event, which an item view
    // takes for a plain press.
    void dobleClickEnCelda(int fila, int columna) {
        dobleClickEn(reja()->visualRect(reja()->model()->index(fila, columna)).center());
    }
    void dobleClickEn(const QPoint& punto) {
        QWidget* vista = reja()->viewport();
        QTest::mouseClick(vista, Qt::LeftButton, {}, punto);
        QTest::mousePress(vista, Qt::LeftButton, {}, punto);
        QTest::mouseDClick(vista, Qt::LeftButton, {}, punto);
        QTest::mouseRelease(vista, Qt::LeftButton, {}, punto);
    }

private slots:
    void init() {
        contexto_ = contextoDePrueba();
        contexto_->lugares.ajustes = carpeta_.filePath(QStringLiteral("varelmo.ini"));
        contexto_->lugares.descripcion = carpeta_.filePath(QStringLiteral("varelmo.txt"));
    }
    void cleanup() {
        if (ventana_)
            if (frmDescripcion* d = ventana_->descripcion(false)) delete d;
        ventana_.reset();
    }

    // One toggle of a row's mark by space or double-click, from whatever the cell held.
    void marcar_data() {
        QTest::addColumn<bool>("doble");
        QTest::addColumn<QString>("antes");
        QTest::addColumn<QString>("despues");
        for (bool doble : {false, true}) {
            const char* como = doble ? "doble click" : "espacio";
            QTest::addRow("%s: vacia", como) << doble << QString() << Si;
            QTest::addRow("%s: No", como) << doble << QStringLiteral("No") << Si;
            QTest::addRow("%s: si minuscula", como) << doble << QStringLiteral("sí") << Si;
            QTest::addRow("%s: Si sin acento", como) << doble << QStringLiteral("Si") << Si;
            QTest::addRow("%s: marcada", como) << doble << Si << QString();
        }
    }
    void marcar() {
        QFETCH(bool, doble);
        QFETCH(QString, antes);
        QFETCH(QString, despues);
        GuionDialogos guion;
        QVERIFY(abrir(3));
        reja()->setTextMatrix(2, 2, antes);
        reja()->setRow(2);
        if (doble) {
            dobleClickEnCelda(2, 1);
        } else {
            QTest::keyClick(reja(), Qt::Key_Space);
        }
        QCOMPARE(reja()->TextMatrix(2, 2), despues);
        QCOMPARE(reja()->TextMatrix(1, 2), QString());
        QCOMPARE(reja()->TextMatrix(3, 2), QString());
        QCOMPARE(reja()->TextMatrix(2, 1), QStringLiteral("Empresa 2"));
        QVERIFY(guion->mostradas.isEmpty());
        QVERIFY(!QFile::exists(contexto_->lugares.ajustes));
    }

    void espacioDosVecesYRepetido() {
        GuionDialogos guion;
        QVERIFY(abrir());
        reja()->setRow(1);
        QTest::keyClick(reja(), Qt::Key_Space);
        QCOMPARE(reja()->TextMatrix(1, 2), Si);
        QTest::keyClick(reja(), Qt::Key_Space);
        QCOMPARE(reja()->TextMatrix(1, 2), QString());
        // Held down: one toggle for each repeated key.
        const QStringList esperado{Si, QString(), Si};
        for (const QString& marca : esperado) {
            QKeyEvent tecla(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                            true);
            QApplication::sendEvent(reja(), &tecla);
            QCOMPARE(reja()->TextMatrix(1, 2), marca);
        }
    }

    // Where the keys go shows: the grid with the focus is framed. Enter (the keypad's too) presses
    // the focused "Generar archivo", whose first check beeps at a blank file name.
    void focoVisibleYEnter() {
        GuionDialogos guion;
        QVERIFY(abrir());
        QVERIFY(QTest::qWaitForWindowActive(ventana_.get()));
        const QPoint borde =
            reja()->viewport()->mapTo(reja(), QPoint(1, reja()->viewport()->height() - 3));
        const QColor marco = reja()->palette().color(QPalette::Active, QPalette::Highlight);
        reja()->setFocus();
        QCOMPARE(reja()->grab().toImage().pixelColor(borde), marco);
        ventana_->cmdReporte()->setFocus();
        QVERIFY(reja()->grab().toImage().pixelColor(borde) != marco);
        ventana_->txtArchivo()->clear();
        QTest::keyClick(ventana_->cmdReporte(), Qt::Key_Return);
        QTest::keyClick(ventana_->cmdReporte(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(guion->pitidos, 2);
    }

    // A grid without companies: nothing changes.
    void sinEmpresas() {
        GuionDialogos guion;
        QVERIFY(abrir(0));
        reja()->setCurrentCell(0, 1);
        QTest::keyClick(reja(), Qt::Key_Space);
        dobleClickEnCelda(0, 1);
        QCOMPARE(reja()->TextMatrix(0, 2), QStringLiteral("Imprimir"));
        QCOMPARE(reja()->Rows(), 1);
    }

    // The heading row never becomes the current row, and a double-click anywhere in the grid
    // toggles the current company.
    void filaDeTitulos_data() {
        QTest::addColumn<QString>("accion");
        QTest::addColumn<int>("desde");
        QTest::newRow("clic en titulos y espacio") << "clic" << 2;
        QTest::newRow("doble clic en titulos") << "doble" << 2;
        QTest::newRow("doble clic bajo la ultima fila") << "abajo" << 2;
        QTest::newRow("arriba desde la primera y espacio") << "arriba" << 1;
        QTest::newRow("elegida por programa") << "programa" << 2;
    }
    void filaDeTitulos() {
        QFETCH(QString, accion);
        QFETCH(int, desde);
        GuionDialogos guion;
        QVERIFY(abrir(3));
        reja()->setRow(desde);
        const QPoint titulo = reja()->visualRect(reja()->model()->index(0, 1)).center();
        if (accion == QLatin1String("clic")) {
            QTest::mouseClick(reja()->viewport(), Qt::LeftButton, {}, titulo);
        } else if (accion == QLatin1String("doble")) {
            dobleClickEn(titulo);
        } else if (accion == QLatin1String("abajo")) {
            dobleClickEn(QPoint(titulo.x(), reja()->viewport()->height() - 5));
        } else if (accion == QLatin1String("arriba")) {
            QTest::keyClick(reja(), Qt::Key_Up);
        } else {
            reja()->setCurrentCell(0, 1);
        }
        QCOMPARE(reja()->Row(), desde);
        if (accion != QLatin1String("doble") && accion != QLatin1String("abajo"))
            QTest::keyClick(reja(), Qt::Key_Space);
        for (int f = 1; f < reja()->Rows(); ++f)
            QCOMPARE(reja()->TextMatrix(f, 2), f == desde ? Si : QString());
        QCOMPARE(reja()->TextMatrix(0, 2), QStringLiteral("Imprimir"));
    }

    // F1 from any control: one description window, its file read once.
    void f1DosVeces() {
        GuionDialogos guion;
        {
            QFile f(contexto_->lugares.descripcion);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("Descripción");
        }
        QVERIFY(abrir());
        QTest::keyClick(reja(), Qt::Key_F1);
        QTest::keyClick(ventana_->txtArchivo(), Qt::Key_F1);
        QCoreApplication::processEvents();
        int cuantas = 0;
        for (QWidget* v : QApplication::topLevelWidgets())
            if (qobject_cast<frmDescripcion*>(v)) ++cuantas;
        QCOMPARE(cuantas, 1);
        frmDescripcion* d = ventana_->descripcion(false);
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->lecturas(), 1);
        QVERIFY(!d->parentWidget());
        QVERIFY(guion->mostradas.isEmpty());
    }

    // Alt alone with F4 asks the closing question (answered No: the window stays).
    void f4_data() {
        QTest::addColumn<int>("estado");
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("pregunta");
        QTest::newRow("Alt+F4 en la reja")
            << int(Qt::AltModifier) << QStringLiteral("reja") << true;
        QTest::newRow("Alt+F4 en el archivo")
            << int(Qt::AltModifier) << QStringLiteral("archivo") << true;
        QTest::newRow("Alt+F4 en precios")
            << int(Qt::AltModifier) << QStringLiteral("precios") << true;
        QTest::newRow("Alt+F4 en la ventana")
            << int(Qt::AltModifier) << QStringLiteral("ventana") << true;
        QTest::newRow("Ctrl+Alt+F4")
            << int(Qt::ControlModifier | Qt::AltModifier) << QStringLiteral("reja") << false;
        QTest::newRow("Shift+Alt+F4")
            << int(Qt::ShiftModifier | Qt::AltModifier) << QStringLiteral("reja") << false;
        QTest::newRow("F4 solo") << int(Qt::NoModifier) << QStringLiteral("reja") << false;
    }
    void f4() {
        QFETCH(int, estado);
        QFETCH(QString, control);
        QFETCH(bool, pregunta);
        GuionDialogos guion;
        guion->respuestas << Respuesta::No;
        QVERIFY(abrir());
        QWidget* destino =
            control == QLatin1String("reja")      ? static_cast<QWidget*>(reja())
            : control == QLatin1String("archivo") ? static_cast<QWidget*>(ventana_->txtArchivo())
            : control == QLatin1String("precios") ? static_cast<QWidget*>(ventana_->cmbPrecios())
                                                  : static_cast<QWidget*>(ventana_.get());
        QTest::keyClick(destino, Qt::Key_F4, Qt::KeyboardModifiers(estado));
        QCOMPARE(guion->mostradas.size(), pregunta ? 1 : 0);
        if (pregunta) {
            QCOMPARE(guion->mostradas[0].texto, QStringLiteral("¿Desea cerrar este programa?"));
            QCOMPARE(guion->mostradas[0].titulo, QStringLiteral("Finalizar"));
            QCOMPARE(guion->mostradas[0].estilo, estilos::Pregunta);
        }
        QVERIFY(ventana_->isVisible());
    }

    // Only the window's own background opens the settings file.
    void dobleClickFondo_data() {
        QTest::addColumn<QString>("donde");
        QTest::addColumn<bool>("abre");
        QTest::newRow("fondo") << QStringLiteral("fondo") << true;
        QTest::newRow("etiqueta") << QStringLiteral("etiqueta") << false;
        QTest::newRow("reja") << QStringLiteral("reja") << false;
    }
    void dobleClickFondo() {
        QFETCH(QString, donde);
        QFETCH(bool, abre);
        GuionDialogos guion;
        QVERIFY(abrir());
        if (donde == QLatin1String("fondo")) {
            const QPoint punto(5, 5);
            QVERIFY(!ventana_->childAt(punto));
            QTest::mouseDClick(ventana_.get(), Qt::LeftButton, {}, punto);
        } else if (donde == QLatin1String("etiqueta")) {
            auto* etiqueta = ventana_->findChild<QLabel*>(QStringLiteral("Label1"));
            QVERIFY(etiqueta);
            QTest::mouseDClick(etiqueta, Qt::LeftButton, {}, QPoint(3, 3));
        } else {
            QTest::mouseDClick(reja()->viewport(), Qt::LeftButton, {},
                               reja()->visualItemRect(reja()->item(1, 1)).center());
        }
        QCOMPARE(guion->abiertos, abre ? QStringList{contexto_->lugares.ajustes} : QStringList{});
    }

    // The file name box: its text selected on entry, Enter moves on and types nothing, other
    // keys type as usual.
    void cajaArchivo() {
        GuionDialogos guion;
        QVERIFY(abrir());
        QVERIFY(QTest::qWaitForWindowActive(ventana_.get()));
        QLineEdit* caja = ventana_->txtArchivo();
        reja()->setFocus();
        caja->setFocus();
        QTRY_COMPARE(caja->selectedText(), QStringLiteral("r.xls"));
        caja->end(false);
        QTest::keyClicks(caja, QStringLiteral("ab"));
        QCOMPARE(caja->text(), QStringLiteral("r.xlsab"));
        QTest::keyClick(caja, Qt::Key_Return);
        QCOMPARE(caja->text(), QStringLiteral("r.xlsab"));
        QVERIFY(QApplication::focusWidget() != caja);
        QVERIFY(guion->mostradas.isEmpty());
    }
};

QTEST_MAIN(TstInteraccion)
#include "tst_interaccion.moc"
