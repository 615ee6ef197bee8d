// The message box of the report and closing paths: styles, answers, and the skinned box itself.
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "DialogosGuion.h"
#include "dialogos/EstiloMensaje.h"
#include "dialogos/Mensajes.h"
#include "ui/CajaSkin.h"

class TstMensajes : public QObject {
    Q_OBJECT
private slots:
    void estilos_data() {
        QTest::addColumn<int>("estilo");
        QTest::addColumn<QList<int>>("botones");
        QTest::addColumn<int>("icono");
        QTest::addColumn<int>("porDefecto");
        QTest::addColumn<int>("alEscapar");
        QTest::newRow("aviso 0") << 0 << QList<int>{1} << int(IconoMensaje::Ninguno) << 1 << 1;
        QTest::newRow("alerta 16") << 16 << QList<int>{1} << int(IconoMensaje::Critico) << 1 << 1;
        QTest::newRow("si-no 4") << 4 << QList<int>{6, 7} << int(IconoMensaje::Ninguno) << 6 << 7;
        QTest::newRow("pregunta 36")
            << 36 << QList<int>{6, 7} << int(IconoMensaje::Pregunta) << 6 << 7;
        QTest::newRow("pregunta no por defecto 292")
            << 292 << QList<int>{6, 7} << int(IconoMensaje::Pregunta) << 7 << 7;
        QTest::newRow("si-no-cancelar 3 tercero")
            << (3 + 512) << QList<int>{6, 7, 2} << int(IconoMensaje::Ninguno) << 2 << 2;
        QTest::newRow("aceptar-cancelar 1")
            << 1 << QList<int>{1, 2} << int(IconoMensaje::Ninguno) << 1 << 2;
        QTest::newRow("segundo de un solo boton")
            << 256 << QList<int>{1} << int(IconoMensaje::Ninguno) << 1 << 1;
    }
    void estilos() {
        QFETCH(int, estilo);
        const EstiloMensaje e = EstiloMensaje::desde(estilo);
        QTEST(e.botones, "botones");
        QTEST(int(e.icono), "icono");
        QTEST(e.porDefecto, "porDefecto");
        QTEST(e.alEscapar, "alEscapar");
    }

    void preguntaPasaSuEstilo_data() {
        QTest::addColumn<bool>("noPorDefecto");
        QTest::addColumn<int>("estilo");
        QTest::newRow("no por defecto") << true << 292;
        QTest::newRow("si por defecto") << false << 36;
    }
    void preguntaPasaSuEstilo() {
        QFETCH(bool, noPorDefecto);
        GuionDialogos guion;
        guion->respuestas << 6;
        QVERIFY(Pregunta(QStringLiteral("¿Desea cerrar este programa?"),
                         QStringLiteral("Finalizar"), noPorDefecto));
        QCOMPARE(guion->mostradas.size(), 1);
        const CajaMostrada caja = guion->mostradas.first();
        QVERIFY(caja.skin);
        QTEST(caja.estilo, "estilo");
        QCOMPARE(caja.texto, QStringLiteral("¿Desea cerrar este programa?"));
        QCOMPARE(caja.titulo, QStringLiteral("Finalizar"));
    }

    void soloSiEsSi_data() {
        QTest::addColumn<int>("respuesta");
        QTest::addColumn<bool>("si");
        QTest::newRow("si") << 6 << true;
        QTest::newRow("no") << 7 << false;
        QTest::newRow("cancelar") << 2 << false;
        QTest::newRow("sin respuesta") << 0 << false;
        QTest::newRow("aceptar") << 1 << false;
    }
    void soloSiEsSi() {
        QFETCH(int, respuesta);
        GuionDialogos guion;
        guion->respuestas << respuesta;
        QTEST(Pregunta(QStringLiteral("¿Desea crear el archivo indicado?"),
                       QStringLiteral("Generar archivo"), true),
              "si");
    }

    void mensajeDevuelveElBoton() {
        GuionDialogos guion;
        guion->respuestas << 1;
        QCOMPARE(Mensaje(QStringLiteral("Archivo 'a.xlsx' creado"), 0, QStringLiteral("Aviso")), 1);
        QCOMPARE(guion->mostradas.first().estilo, 0);
    }

    void cajaSkinMuestraLosBotonesDelEstilo() {
        CajaSkin caja(nullptr, QStringLiteral("¿Desea crear el archivo indicado?"), 292,
                      QStringLiteral("Generar archivo"));
        QVERIFY(caja.boton(6));
        QVERIFY(caja.boton(7));
        QVERIFY(!caja.boton(1));
        QCOMPARE(caja.boton(6)->text(), QStringLiteral("Sí"));
        QVERIFY(caja.boton(7)->isDefault());
        QVERIFY(!caja.boton(6)->isDefault());
    }

    // Buttons clicked, or keys sent to the focused control: Enter and Space press the button
    // that has the focus, which is the default one only when the box opens.
    void cajaSkinDevuelveElCodigo_data() {
        QTest::addColumn<int>("estilo");
        QTest::addColumn<QList<int>>("teclas");  // a key, or -code to click that button
        QTest::addColumn<int>("esperado");
        QTest::addColumn<QString>("adicional");  // the caption of an extra button
        QTest::newRow("si") << 36 << QList<int>{-6} << 6 << QString();
        QTest::newRow("no") << 36 << QList<int>{-7} << 7 << QString();
        QTest::newRow("escape en si-no") << 36 << QList<int>{Qt::Key_Escape} << 7 << QString();
        QTest::newRow("aceptar") << 16 << QList<int>{-1} << 1 << QString();
        QTest::newRow("escape en aviso") << 0 << QList<int>{Qt::Key_Escape} << 1 << QString();
        QTest::newRow("enter en si por defecto")
            << 36 << QList<int>{Qt::Key_Return} << 6 << QString();
        QTest::newRow("tab y enter en no")
            << 36 << QList<int>{Qt::Key_Tab, Qt::Key_Return} << 7 << QString();
        QTest::newRow("tab y espacio en no")
            << 36 << QList<int>{Qt::Key_Tab, Qt::Key_Space} << 7 << QString();
        QTest::newRow("no por defecto, tab y enter en si")
            << 292 << QList<int>{Qt::Key_Backtab, Qt::Key_Enter} << 6 << QString();
        const QString abrir = QStringLiteral("Abrir");
        QTest::newRow("aviso con abrir, enter") << 0 << QList<int>{Qt::Key_Return} << 1 << abrir;
        QTest::newRow("aviso con abrir, tab y enter")
            << 0 << QList<int>{Qt::Key_Tab, Qt::Key_Enter} << 100 << abrir;
    }
    void cajaSkinDevuelveElCodigo() {
        QFETCH(int, estilo);
        QFETCH(QList<int>, teclas);
        QFETCH(QString, adicional);
        CajaSkin caja(nullptr, QStringLiteral("texto\rcon dos líneas"), estilo,
                      QStringLiteral("Titulo"), adicional);
        QTimer::singleShot(0, &caja, [&caja, teclas] {
            caja.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&caja));
            // A key that answers nothing must not leave the box open for ever.
            QTimer::singleShot(2000, &caja, [&caja] { caja.done(-1); });
            for (int tecla : teclas) {
                if (tecla < 0) {
                    caja.boton(-tecla)->click();
                    return;
                }
                QWidget* foco = QApplication::focusWidget() ? QApplication::focusWidget() : &caja;
                QTest::keyClick(foco, static_cast<Qt::Key>(tecla));
            }
        });
        QTEST(caja.ejecutar(), "esperado");
    }

    // A long file name wraps inside a box of a sensible width, every character of it shown.
    void cajaSkinConNombreLargo() {
        const QString nombre = QString(300, u'n') + QStringLiteral("ñ.xlsx");
        CajaSkin caja(nullptr, QStringLiteral("Archivo '%1' creado").arg(nombre), 0,
                      QStringLiteral("Aviso"));
        caja.adjustSize();
        QVERIFY2(caja.width() <= 640, qPrintable(QString::number(caja.width())));
        auto* texto = caja.findChild<QLabel*>(QStringLiteral("texto"));
        QVERIFY(texto);
        QCOMPARE(QString(texto->text()).remove(QChar(0x200B)),
                 QStringLiteral("Archivo '%1' creado").arg(nombre));
    }
};

QTEST_MAIN(TstMensajes)
#include "tst_mensajes.moc"
