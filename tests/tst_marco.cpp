// The skinned frame of the main window on an offscreen screen of 1024 x 768 pixels (11520 twips
// high): the frame set-up of the first activation, the collapse into the restore bar and its
// restore, dragging, the logo menu and the close control.
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include "DialogosGuion.h"
#include "programa/Contexto.h"
#include "ui/BotonDegradado.h"
#include "ui/Colapso.h"
#include "ui/ImagenMarco.h"
#include "ui/PintarSkin.h"
#include "ui/RejaFlexible.h"
#include "ui/Twips.h"
#include "ui/frmDescripcion.h"
#include "ui/frmInicial.h"

namespace {
DatosIniciales datos() {
    DatosIniciales d;
    d.precios = {QStringLiteral("1")};
    d.archivo = QStringLiteral("r.xlsx");
    d.empresas << EmpresaInicial{1, QStringLiteral("Uno"), false}
               << EmpresaInicial{2, QStringLiteral("Dos"), false};
    return d;
}

void raton(QWidget* w, QEvent::Type tipo, const QPoint& global, Qt::MouseButton boton,
           Qt::MouseButtons botones) {
    QMouseEvent evento(tipo, QPointF(w->mapFromGlobal(global)), QPointF(global), boton, botones,
                       Qt::NoModifier);
    QApplication::sendEvent(w, &evento);
}
}  // namespace

class TstMarco : public QObject {
    Q_OBJECT
private:
    QTemporaryDir carpeta_;
    std::unique_ptr<Contexto> contexto_ = contextoDePrueba();
    std::unique_ptr<frmInicial> v_;

    bool abrir() {
        v_ = std::make_unique<frmInicial>(*contexto_);
        v_->mostrarDatos(datos());
        v_->show();
        v_->activateWindow();
        return QTest::qWaitForWindowActive(v_.get()) && v_->RestaurarForma();
    }
    int px(double twips) const { return TwipsAPixeles(v_.get(), twips); }

private slots:
    void init() {
        contexto_ = contextoDePrueba();
        contexto_->lugares.ajustes = carpeta_.filePath(QStringLiteral("varelmo.ini"));
        contexto_->lugares.descripcion = carpeta_.filePath(QStringLiteral("varelmo.txt"));
        QFile f(contexto_->lugares.descripcion);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("Descripción") > 0);
    }
    void cleanup() {
        if (v_) delete v_->descripcion(false);
        v_.reset();
    }

    void mapaDelSkin() {
        QFile bmp(RutaMapaSkin());
        QVERIFY(bmp.open(QIODevice::ReadOnly));
        const QByteArray cabecera = bmp.read(34);
        QCOMPARE(cabecera.left(2), QByteArray("BM"));
        QCOMPARE(int(uchar(cabecera[28])), 24);              // bits a pixel
        QCOMPARE(cabecera.mid(30, 4), QByteArray(4, '\0'));  // uncompressed
        QCOMPARE(MapaSkin().size(), QSize(204, 112));
    }

    // A design larger than the screen's free area is drawn at the one scale that fits it both
    // ways; the controls of a window given that scale convert their twips through it.
    void escalaQueCabe_data() {
        QTest::addColumn<QSize>("disponible");
        QTest::addColumn<double>("escala");
        QTest::newRow("cabe") << QSize(1280, 800) << 1.0;
        QTest::newRow("justo") << QSize(530, 500) << 1.0;
        QTest::newRow("1366x768 a escala 2") << QSize(683, 384) << 0.768;
        QTest::newRow("1024x600 a escala 2") << QSize(512, 300) << 0.6;
        QTest::newRow("angosta") << QSize(265, 800) << 0.5;
    }
    void escalaQueCabe() {
        QFETCH(QSize, disponible);
        QFETCH(double, escala);
        QWidget ventana;
        const auto* control = new QWidget(&ventana);
        const QSize diseno(TwipsAPixeles(&ventana, 7950), TwipsAPixeles(&ventana, 7500));
        QCOMPARE(diseno, QSize(530, 500));
        QCOMPARE(EscalaQueCabe(diseno, disponible), escala);
        PonerEscalaTwips(&ventana, escala);
        QVERIFY(TwipsAPixeles(control, 7950) <= disponible.width());
        QVERIFY(TwipsAPixeles(control, 7500) <= disponible.height());
    }

    void lugarReducido_data() {
        QTest::addColumn<double>("pantalla");
        QTest::addColumn<double>("boton");
        QTest::addColumn<QPointF>("lugar");
        QTest::newRow("11520 y 375") << 11520.0 << 375.0 << QPointF(200, 10645);
        QTest::newRow("16200 y 600") << 16200.0 << 600.0 << QPointF(200, 15100);
    }
    void lugarReducido() {
        QFETCH(double, pantalla);
        QFETCH(double, boton);
        QFETCH(QPointF, lugar);
        QCOMPARE(LugarReducido(pantalla, boton), lugar);
    }

    // Set-up once: the controls, the tooltip, the skin, the grid focused so space ticks at once;
    // a second activation after the description window closes adds nothing.
    void preparacionUnaVez() {
        GuionDialogos guion;
        QVERIFY(abrir());
        const auto cuenta = [this] {
            return QList<qsizetype>{v_->findChildren<ImagenMarco*>().size(),
                                    v_->findChildren<BotonDegradado*>().size(),
                                    v_->findChildren<QObject*>(QStringLiteral("marcoSkin")).size()};
        };
        QCOMPARE(cuenta(), (QList<qsizetype>{3, 1, 1}));
        QCOMPARE(v_->imgLogoVentana()->toolTip(), QStringLiteral("Menú de opciones generales"));
        QCOMPARE(v_->MinimizarVentana()->toolTip(), QStringLiteral("Minimizar"));
        QCOMPARE(v_->CerrarVentana()->toolTip(), QStringLiteral("Cerrar"));
        QVERIFY(!v_->RestaurarForma()->accessibleName().isEmpty());
        QVERIFY(!v_->mfgEmpresas()->accessibleName().isEmpty());
        for (QWidget* c : {static_cast<QWidget*>(v_->MinimizarVentana()),
                           static_cast<QWidget*>(v_->CerrarVentana()),
                           static_cast<QWidget*>(v_->imgLogoVentana())}) {
            QVERIFY(c->isVisible());
            QVERIFY(v_->rect().contains(c->geometry()));
        }
        QVERIFY(v_->RestaurarForma()->isHidden());
        QCOMPARE(QApplication::focusWidget(), v_->mfgEmpresas());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(v_->mfgEmpresas()->TextMatrix(1, 2), QStringLiteral("Sí"));

        v_->mostrarDescripcion();
        QVERIFY(QTest::qWaitForWindowActive(v_->descripcion(false)));
        v_->descripcion(false)->close();
        v_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(v_.get()));
        QCOMPARE(cuenta(), (QList<qsizetype>{3, 1, 1}));
    }

    // Collapse: the bar at the lower left with the caption, dragged elsewhere, restored exactly.
    void reducirArrastrarAmpliar() {
        GuionDialogos guion;
        QVERIFY(abrir());
        BotonDegradado* barra = v_->RestaurarForma();
        const QRect antes = v_->geometry();
        const QFont letra = v_->font();
        QTest::mouseClick(v_->MinimizarVentana(), Qt::LeftButton);

        QCOMPARE(barra->property("tag").toString(),
                 QStringLiteral("7950\t7500\t%1\t%2")
                     .arg(std::lround(PixelesATwips(v_.get(), antes.x())))
                     .arg(std::lround(PixelesATwips(v_.get(), antes.y()))));
        QCOMPARE(v_->pos(), QPoint(px(200), px(10645)));
        QCOMPARE(v_->height(), px(375));
        const QString texto = QStringLiteral("   ") + v_->windowTitle();
        QCOMPARE(barra->text(), texto);
        QVERIFY(v_->windowTitle().startsWith(QStringLiteral("Reporte varelmo   v ")));
        QFont medida = letra;
        medida.setPointSizeF(barra->font().pointSizeF());
        const double medido =
            PixelesATwips(v_.get(), 1) * QFontMetricsF(medida, v_.get()).horizontalAdvance(texto);
        QCOMPARE(v_->width(), px(medido + 800));
        QCOMPARE(barra->geometry(), QRect(QPoint(0, 0), v_->size()));
        QCOMPARE(v_->font().pointSizeF(), letra.pointSizeF());
        QVERIFY(barra->isVisible());
        QCOMPARE(QApplication::focusWidget(), barra);

        // Dragged by the bar: it moves, the release is no click, the stored geometry stays.
        const QString tag = barra->property("tag").toString();
        const QPoint agarre = barra->mapToGlobal(QPoint(30, 10));
        const QPoint lugar = v_->pos();
        raton(barra, QEvent::MouseButtonPress, agarre, Qt::LeftButton, Qt::LeftButton);
        raton(barra, QEvent::MouseMove, agarre + QPoint(20, 0), Qt::NoButton, Qt::LeftButton);
        raton(barra, QEvent::MouseMove, agarre + QPoint(120, -300), Qt::NoButton, Qt::LeftButton);
        raton(barra, QEvent::MouseButtonRelease, agarre + QPoint(120, -300), Qt::LeftButton,
              Qt::NoButton);
        QTRY_COMPARE(v_->pos(), lugar + QPoint(100, -300));
        QVERIFY(barra->isVisible());
        QCOMPARE(barra->property("tag").toString(), tag);

        QTest::mouseClick(barra, Qt::LeftButton);
        QTRY_COMPARE(v_->geometry(), antes);
        QVERIFY(barra->isHidden());
        QCOMPARE(QApplication::focusWidget(), v_->mfgEmpresas());
        QCOMPARE(v_->font().pointSizeF(), letra.pointSizeF());
    }

    // A window partly past the screen's right edge comes back there, unless the screen has changed
    // size since the collapse: then it comes back wholly visible.
    void ampliarTrasCambioDePantalla_data() {
        QTest::addColumn<bool>("cambiada");
        QTest::addColumn<int>("x");
        QTest::newRow("misma pantalla") << false << 600;
        QTest::newRow("pantalla cambiada") << true << 1024 - 530;
    }
    void ampliarTrasCambioDePantalla() {
        QFETCH(bool, cambiada);
        QFETCH(int, x);
        GuionDialogos guion;
        QVERIFY(abrir());
        v_->move(600, 100);
        QTRY_COMPARE(v_->pos(), QPoint(600, 100));
        ReducirVentana(v_.get(), v_->RestaurarForma());
        if (cambiada)
            v_->RestaurarForma()->setProperty("pantallaAlReducir", QRect(0, 0, 2048, 1536));
        AmpliarVentana(v_.get(), v_->RestaurarForma());
        QTRY_COMPARE(v_->geometry(), QRect(x, 100, 530, 500));
    }

    // A tag no collapse wrote: the window stays as it is and the bar stays to click.
    void ampliarSinGeometria() {
        GuionDialogos guion;
        QVERIFY(abrir());
        const QRect antes = v_->geometry();
        v_->RestaurarForma()->show();
        v_->RestaurarForma()->setProperty("tag", QStringLiteral("abc\t\t5"));
        AmpliarVentana(v_.get(), v_->RestaurarForma());
        QCOMPARE(v_->geometry(), antes);
        QVERIFY(v_->RestaurarForma()->isVisible());
    }

    // Only the left button alone, past the drag distance, drags the background.
    void arrastrarFondo_data() {
        QTest::addColumn<int>("botones");
        QTest::addColumn<QPoint>("paso");
        QTest::addColumn<bool>("mueve");
        QTest::newRow("izquierdo") << int(Qt::LeftButton) << QPoint(60, 40) << true;
        QTest::newRow("derecho") << int(Qt::RightButton) << QPoint(60, 40) << false;
        QTest::newRow("ambos") << int(Qt::LeftButton | Qt::RightButton) << QPoint(60, 40) << false;
        QTest::newRow("izquierdo sin salir del punto")
            << int(Qt::LeftButton) << QPoint(2, 1) << false;
    }
    void arrastrarFondo() {
        QFETCH(int, botones);
        QFETCH(QPoint, paso);
        QFETCH(bool, mueve);
        GuionDialogos guion;
        QVERIFY(abrir());
        const QPoint local(200, 10);
        QVERIFY(!v_->childAt(local));
        const QPoint inicio = v_->pos();
        const QPoint agarre = v_->mapToGlobal(local);
        const auto apretados = Qt::MouseButtons(botones);
        const Qt::MouseButton primero =
            (apretados & Qt::LeftButton) ? Qt::LeftButton : Qt::RightButton;
        raton(v_.get(), QEvent::MouseButtonPress, agarre, primero, primero);
        for (int i = 1; i <= 3; ++i)
            raton(v_.get(), QEvent::MouseMove, agarre + paso * i, Qt::NoButton, apretados);
        raton(v_.get(), QEvent::MouseButtonRelease, agarre + paso * 3, primero, Qt::NoButton);
        raton(v_.get(), QEvent::MouseMove, agarre + paso * 5, Qt::NoButton, Qt::NoButton);
        QCoreApplication::processEvents();
        // The drag takes hold at the first move past the drag distance and follows from there.
        QCOMPARE(v_->pos(), mueve ? inicio + paso * 2 : inicio);
        QVERIFY(guion->abiertos.isEmpty());
    }

    // The logo pops up the general menu; the description window is made but not shown.
    void menuDelLogo() {
        GuionDialogos guion;
        QVERIFY(abrir());
        QVERIFY(!v_->descripcion(false));
        QTest::mouseClick(v_->imgLogoVentana(), Qt::LeftButton);
        frmDescripcion* d = v_->descripcion(false);
        QVERIFY(d);
        QTRY_VERIFY(d->mnUno()->isVisible());
        QVERIFY(!d->isVisible());
        d->mnUno()->close();
        QVERIFY(guion->mostradas.isEmpty());
    }

    // The close control asks what Alt+F4 asks; No keeps the window.
    void controlCerrar() {
        GuionDialogos guion;
        guion->respuestas << Respuesta::No << Respuesta::No;
        QVERIFY(abrir());
        QTest::mouseClick(v_->CerrarVentana(), Qt::LeftButton);
        QTest::keyClick(v_->mfgEmpresas(), Qt::Key_F4, Qt::AltModifier);
        QCOMPARE(guion->mostradas.size(), 2);
        QCOMPARE(guion->mostradas[0].texto, QStringLiteral("¿Desea cerrar este programa?"));
        QCOMPARE(guion->mostradas[0].texto, guion->mostradas[1].texto);
        QCOMPARE(guion->mostradas[0].titulo, guion->mostradas[1].titulo);
        QCOMPARE(guion->mostradas[0].estilo, guion->mostradas[1].estilo);
        QVERIFY(v_->isVisible());
    }
};

int main(int argc, char** argv) {
    // A screen of 1024 x 768 pixels at 96 DPI: 11520 twips high.
    QTemporaryDir carpeta;
    const QString config = carpeta.filePath(QStringLiteral("pantalla.json"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(
            R"({"screens":[{"name":"prueba","x":0,"y":0,"width":1024,"height":768,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})") <=
            0)
        return 1;
    f.close();
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.toLocal8Bit());
    QApplication app(argc, argv);
    TstMarco prueba;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&prueba, argc, argv);
}
#include "tst_marco.moc"
