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
        using B = BotonesMensaje;
        using R = Respuesta;
        QTest::addColumn<EstiloMensaje>("estilo");
        QTest::addColumn<QList<Respuesta>>("botones");
        QTest::addColumn<Respuesta>("porDefecto");
        QTest::addColumn<Respuesta>("alEscapar");
        QTest::newRow("aviso") << estilos::Aviso << QList<R>{R::Aceptar} << R::Aceptar
                               << R::Aceptar;
        QTest::newRow("alto") << estilos::Alto << QList<R>{R::Aceptar} << R::Aceptar << R::Aceptar;
        QTest::newRow("pregunta") << estilos::Pregunta << QList<R>{R::Si, R::No} << R::Si << R::No;
        QTest::newRow("pregunta no por defecto")
            << estilos::PreguntaNo << QList<R>{R::Si, R::No} << R::No << R::No;
        QTest::newRow("si-no-cancelar tercero")
            << EstiloMensaje{B::SiNoCancelar, IconoMensaje::Ninguno, 2}
            << QList<R>{R::Si, R::No, R::Cancelar} << R::Cancelar << R::Cancelar;
        QTest::newRow("aceptar-cancelar")
            << EstiloMensaje{B::AceptarCancelar} << QList<R>{R::Aceptar, R::Cancelar} << R::Aceptar
            << R::Cancelar;
        QTest::newRow("segundo de un solo boton")
            << EstiloMensaje{B::Aceptar, IconoMensaje::Ninguno, 1} << QList<R>{R::Aceptar}
            << R::Aceptar << R::Aceptar;
    }
    void estilos() {
        QFETCH(EstiloMensaje, estilo);
        QTEST(estilo.respuestas(), "botones");
        QTEST(estilo.porDefecto(), "porDefecto");
        QTEST(estilo.alEscapar(), "alEscapar");
    }

    void preguntaPasaSuEstilo_data() {
        QTest::addColumn<bool>("noPorDefecto");
        QTest::addColumn<EstiloMensaje>("estilo");
        QTest::newRow("no por defecto") << true << estilos::PreguntaNo;
        QTest::newRow("si por defecto") << false << estilos::Pregunta;
    }
    void preguntaPasaSuEstilo() {
        QFETCH(bool, noPorDefecto);
        GuionDialogos guion;
        guion->respuestas << Respuesta::Si;
        QVERIFY(Pregunta(*guion, QStringLiteral("¿Desea cerrar este programa?"),
                         QStringLiteral("Finalizar"), noPorDefecto));
        QCOMPARE(guion->mostradas.size(), 1);
        const CajaMostrada caja = guion->mostradas.first();
        QVERIFY(caja.skin);
        QTEST(caja.estilo, "estilo");
        QCOMPARE(caja.texto, QStringLiteral("¿Desea cerrar este programa?"));
        QCOMPARE(caja.titulo, QStringLiteral("Finalizar"));
    }

    void soloSiEsSi_data() {
        QTest::addColumn<Respuesta>("respuesta");
        QTest::addColumn<bool>("si");
        QTest::newRow("si") << Respuesta::Si << true;
        QTest::newRow("no") << Respuesta::No << false;
        QTest::newRow("cancelar") << Respuesta::Cancelar << false;
        QTest::newRow("sin respuesta") << Respuesta::Ninguna << false;
        QTest::newRow("aceptar") << Respuesta::Aceptar << false;
    }
    void soloSiEsSi() {
        QFETCH(Respuesta, respuesta);
        GuionDialogos guion;
        guion->respuestas << respuesta;
        QTEST(Pregunta(*guion, QStringLiteral("¿Desea crear el archivo indicado?"),
                       QStringLiteral("Generar archivo"), true),
              "si");
    }

    void mensajeDevuelveElBoton() {
        GuionDialogos guion;
        guion->respuestas << Respuesta::Aceptar;
        QCOMPARE(Mensaje(*guion, QStringLiteral("Archivo 'a.xlsx' creado"), estilos::Aviso,
                         QStringLiteral("Aviso")),
                 Respuesta::Aceptar);
        QCOMPARE(guion->mostradas.first().estilo, estilos::Aviso);
    }

    void cajaSkinMuestraLosBotonesDelEstilo() {
        CajaSkin caja(nullptr, QStringLiteral("¿Desea crear el archivo indicado?"),
                      estilos::PreguntaNo, QStringLiteral("Generar archivo"));
        QVERIFY(caja.boton(Respuesta::Si));
        QVERIFY(caja.boton(Respuesta::No));
        QVERIFY(!caja.boton(Respuesta::Aceptar));
        QCOMPARE(caja.boton(Respuesta::Si)->text(), QStringLiteral("Sí"));
        QVERIFY(caja.boton(Respuesta::No)->isDefault());
        QVERIFY(!caja.boton(Respuesta::Si)->isDefault());
    }

    // Buttons clicked, or keys sent to the focused control: Enter and Space press the button
    // that has the focus, which is the default one only when the box opens.
    void cajaSkinDevuelveElCodigo_data() {
        using R = Respuesta;
        QTest::addColumn<EstiloMensaje>("estilo");
        QTest::addColumn<R>("clic");             // the button clicked, or Ninguna for the keys
        QTest::addColumn<QList<int>>("teclas");  // keys sent to the focused control
        QTest::addColumn<R>("esperado");
        QTest::addColumn<QString>("adicional");  // the caption of an extra button
        const EstiloMensaje pregunta = estilos::Pregunta;
        QTest::newRow("si") << pregunta << R::Si << QList<int>{} << R::Si << QString();
        QTest::newRow("no") << pregunta << R::No << QList<int>{} << R::No << QString();
        QTest::newRow("escape en si-no")
            << pregunta << R::Ninguna << QList<int>{Qt::Key_Escape} << R::No << QString();
        QTest::newRow("aceptar") << estilos::Alto << R::Aceptar << QList<int>{} << R::Aceptar
                                 << QString();
        QTest::newRow("escape en aviso") << estilos::Aviso << R::Ninguna
                                         << QList<int>{Qt::Key_Escape} << R::Aceptar << QString();
        QTest::newRow("enter en si por defecto")
            << pregunta << R::Ninguna << QList<int>{Qt::Key_Return} << R::Si << QString();
        QTest::newRow("tab y enter en no")
            << pregunta << R::Ninguna << QList<int>{Qt::Key_Tab, Qt::Key_Return} << R::No
            << QString();
        QTest::newRow("tab y espacio en no")
            << pregunta << R::Ninguna << QList<int>{Qt::Key_Tab, Qt::Key_Space} << R::No
            << QString();
        QTest::newRow("no por defecto, tab y enter en si")
            << estilos::PreguntaNo << R::Ninguna << QList<int>{Qt::Key_Backtab, Qt::Key_Enter}
            << R::Si << QString();
        const QString abrir = QStringLiteral("Abrir");
        QTest::newRow("aviso con abrir, enter")
            << estilos::Aviso << R::Ninguna << QList<int>{Qt::Key_Return} << R::Aceptar << abrir;
        QTest::newRow("aviso con abrir, tab y enter")
            << estilos::Aviso << R::Ninguna << QList<int>{Qt::Key_Tab, Qt::Key_Enter}
            << R::Adicional << abrir;
    }
    void cajaSkinDevuelveElCodigo() {
        QFETCH(EstiloMensaje, estilo);
        QFETCH(Respuesta, clic);
        QFETCH(QList<int>, teclas);
        QFETCH(QString, adicional);
        CajaSkin caja(nullptr, QStringLiteral("texto\rcon dos líneas"), estilo,
                      QStringLiteral("Titulo"), adicional);
        QTimer::singleShot(0, &caja, [&caja, clic, teclas] {
            caja.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&caja));
            // A key that answers nothing must not leave the box open for ever.
            QTimer::singleShot(2000, &caja, [&caja] { caja.done(-1); });
            if (clic != Respuesta::Ninguna) {
                caja.boton(clic)->click();
                return;
            }
            for (int tecla : teclas) {
                QWidget* foco = QApplication::focusWidget() ? QApplication::focusWidget() : &caja;
                QTest::keyClick(foco, static_cast<Qt::Key>(tecla));
            }
        });
        QTEST(caja.ejecutar(), "esperado");
    }

    // A long file name wraps inside a box of a sensible width, every character of it shown.
    void cajaSkinConNombreLargo() {
        const QString nombre = QString(300, u'n') + QStringLiteral("ñ.xlsx");
        CajaSkin caja(nullptr, QStringLiteral("Archivo '%1' creado").arg(nombre), estilos::Aviso,
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
