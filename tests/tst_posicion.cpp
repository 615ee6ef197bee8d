// Window placement memory on a plain window: what is written, what is restored, and the places
// and sizes that must not be taken as they were saved.
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <algorithm>

#include "anfitrion/ArchivoIni.h"
#include "ui/Posicion.h"

namespace {
const QString Seccion = QStringLiteral("frmPrueba");
// The design size of the test window, in pixels.
const QSize Diseno(400, 300);

std::unique_ptr<QWidget> ventanaNueva() {
    auto w = std::make_unique<QWidget>();
    w->setObjectName(Seccion);
    w->setWindowTitle(QStringLiteral("Prueba"));
    w->resize(Diseno);
    return w;
}
}  // namespace

class TstPosicion : public QObject {
    Q_OBJECT
private:
    QTemporaryDir carpeta_;
    QString ini_;  // the settings file of the case
    QString leer(const QString& seccion, const QString& clave) const {
        return ArchivoIni::leer(ini_, seccion, clave);
    }
    void escribir(const QString& clave, const QString& valor) {
        QVERIFY(ArchivoIni::escribir(ini_, Seccion, clave, valor));
    }

private slots:
    void init() {
        ini_ = carpeta_.filePath(QStringLiteral("p%1.ini").arg(QTest::currentDataTag()));
        QFile::remove(ini_);
    }

    // Values as saved (twips; "" leaves the key out) and where the window must come up (pixels
    // at 96 DPI, 15 twips a pixel).
    void leer_data() {
        QTest::addColumn<QString>("linea");
        QTest::addColumn<QString>("columna");
        QTest::addColumn<QString>("ancho");
        QTest::addColumn<QString>("alto");
        QTest::addColumn<QPoint>("lugar");
        QTest::addColumn<QSize>("tamano");
        QTest::newRow("primera vez")
            << QString() << QString() << QString() << QString() << QPoint(0, 0) << Diseno;
        QTest::newRow("lugar y tamano") << "900"
                                        << "1200"
                                        << "9000"
                                        << "6000" << QPoint(80, 60) << QSize(600, 400);
        QTest::newRow("ancho 0") << "900"
                                 << "1200"
                                 << "0"
                                 << "6000" << QPoint(80, 60) << Diseno;
        QTest::newRow("alto 0") << "900"
                                << "1200"
                                << "9000"
                                << "0" << QPoint(80, 60) << Diseno;
        // A width or height that is no number sends the window to the top-left corner.
        QTest::newRow("ancho no numerico") << "900"
                                           << "1200"
                                           << "abc"
                                           << "6000" << QPoint(0, 0) << Diseno;
        QTest::newRow("alto no numerico") << "900"
                                          << "1200"
                                          << "9000"
                                          << "12px" << QPoint(0, 0) << Diseno;
        QTest::newRow("solo posicion") << "150"
                                       << "300" << QString() << QString() << QPoint(0, 0) << Diseno;
        // Partly off the screen: back on it, wholly; a window larger than the screen is made as
        // large as the screen. 600 pixels wide at 600: past the right edge of a screen narrower
        // than 1200 pixels (the test platform's is 800).
        const QRect pantalla = QGuiApplication::primaryScreen()->availableGeometry();
        QTest::newRow("pasada del borde derecho")
            << "900"
            << "9000"
            << "9000"
            << "6000" << QPoint(std::min(600, pantalla.right() + 1 - 600), 60) << QSize(600, 400);
        QTest::newRow("mas ancha que la pantalla")
            << "0"
            << "-45000"
            << "48000"
            << "3000" << QPoint(0, 0) << QSize(pantalla.width(), 200);
    }
    void leer() {
        QFETCH(QString, linea);
        QFETCH(QString, columna);
        QFETCH(QString, ancho);
        QFETCH(QString, alto);
        QFETCH(QPoint, lugar);
        QFETCH(QSize, tamano);
        const QStringList claves{QStringLiteral("Linea"), QStringLiteral("Columna"),
                                 QStringLiteral("Ancho"), QStringLiteral("Alto")};
        const QStringList valores{linea, columna, ancho, alto};
        for (int i = 0; i < claves.size(); ++i)
            if (!valores[i].isNull()) escribir(claves[i], valores[i]);
        auto w = ventanaNueva();
        w->move(333, 222);
        LeerPosicion(ini_, w.get(), true);
        QCOMPARE(w->pos(), lugar);
        // The saved size is the outer one; the design size is the client's.
        QCOMPARE(tamano == Diseno ? w->size() : w->frameGeometry().size(), tamano);
    }

    // Saved places the window cannot be seen at any more: it comes up fully on the primary screen.
    void fueraDePantalla_data() {
        QTest::addColumn<QString>("linea");
        QTest::addColumn<QString>("columna");
        QTest::newRow("lejos a la derecha y abajo") << "150000"
                                                    << "200000";
        QTest::newRow("lejos a la izquierda") << "600"
                                              << "-90000";
        QTest::newRow("lejos arriba") << "-70000"
                                      << "600";
        QTest::newRow("fuera de todo rango") << "1e30"
                                             << "-1e30";
    }
    void fueraDePantalla() {
        QFETCH(QString, linea);
        QFETCH(QString, columna);
        escribir(QStringLiteral("Linea"), linea);
        escribir(QStringLiteral("Columna"), columna);
        escribir(QStringLiteral("Ancho"), QStringLiteral("3000"));
        escribir(QStringLiteral("Alto"), QStringLiteral("1500"));
        auto w = ventanaNueva();
        LeerPosicion(ini_, w.get(), true);
        const QRect zona = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(zona.contains(w->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                   .arg(w->x())
                                                                   .arg(w->y())
                                                                   .arg(w->width())
                                                                   .arg(w->height())));
        QCOMPARE(w->frameGeometry().size(), QSize(200, 100));
    }

    // A size smaller than the window can show is not applied; the place still is.
    void tamanoMenorQueMinimo() {
        escribir(QStringLiteral("Linea"), QStringLiteral("300"));
        escribir(QStringLiteral("Columna"), QStringLiteral("450"));
        escribir(QStringLiteral("Ancho"), QStringLiteral("1500"));
        escribir(QStringLiteral("Alto"), QStringLiteral("1500"));
        auto w = ventanaNueva();
        w->setMinimumSize(300, 200);
        LeerPosicion(ini_, w.get(), true);
        QCOMPARE(w->pos(), QPoint(30, 20));
        QCOMPARE(w->size(), Diseno);
    }

    // Without conTamano the saved size is neither read nor written.
    void sinTamano() {
        escribir(QStringLiteral("Ancho"), QStringLiteral("9000"));
        escribir(QStringLiteral("Alto"), QStringLiteral("6000"));
        auto w = ventanaNueva();
        LeerPosicion(ini_, w.get(), false);
        QCOMPARE(w->size(), Diseno);
        w->move(10, 20);
        w->resize(100, 50);
        QVERIFY(GuardarPosicion(ini_, w.get(), false));
        QCOMPARE(leer(Seccion, QStringLiteral("Ancho")), QStringLiteral("9000"));
        QCOMPARE(leer(Seccion, QStringLiteral("Linea")), QStringLiteral("300"));
        QCOMPARE(leer(Seccion, QStringLiteral("Columna")), QStringLiteral("150"));
    }

    // What a save writes and that it comes back as it was, large values included.
    void guardarYVolver_data() {
        QTest::addColumn<QRect>("marco");
        QTest::newRow("normal") << QRect(80, 60, 600, 400);
        QTest::newRow("mas alla de 32767") << QRect(2300, 2250, 450, 300);
    }
    void guardarYVolver() {
        QFETCH(QRect, marco);
        auto w = ventanaNueva();
        w->setGeometry(marco);
        QVERIFY(GuardarPosicion(ini_, w.get(), true));
        QCOMPARE(leer(Seccion, QStringLiteral("Ventana")), QStringLiteral("Prueba"));
        QCOMPARE(leer(Seccion, QStringLiteral("Linea")), QString::number(marco.y() * 15));
        QCOMPARE(leer(Seccion, QStringLiteral("Columna")), QString::number(marco.x() * 15));
        QCOMPARE(leer(Seccion, QStringLiteral("Ancho")), QString::number(marco.width() * 15));
        QCOMPARE(leer(Seccion, QStringLiteral("Alto")), QString::number(marco.height() * 15));

        auto otra = ventanaNueva();
        LeerPosicion(ini_, otra.get(), true);
        QCOMPARE(otra->frameGeometry().size(), w->frameGeometry().size());
        const QRect zona = QGuiApplication::primaryScreen()->availableGeometry();
        if (zona.intersects(marco))
            QCOMPARE(otra->pos(), w->pos());
        else
            QVERIFY(zona.contains(otra->frameGeometry()));
    }

    void ventanaReescrita() {
        auto w = ventanaNueva();
        QVERIFY(GuardarPosicion(ini_, w.get(), true));
        w->setWindowTitle(QStringLiteral("Otro título"));
        QVERIFY(GuardarPosicion(ini_, w.get(), true));
        QCOMPARE(leer(Seccion, QStringLiteral("Ventana")), QStringLiteral("Otro título"));
    }

    // The section: the tag when it is not blank, otherwise the object name without blanks.
    void seccion_data() {
        QTest::addColumn<QVariant>("tag");
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QString>("seccion");
        QTest::newRow("sin tag") << QVariant() << QStringLiteral("frmUno")
                                 << QStringLiteral("frmUno");
        QTest::newRow("tag vacio")
            << QVariant(QString()) << QStringLiteral("frmUno") << QStringLiteral("frmUno");
        QTest::newRow("tag en blanco") << QVariant(QStringLiteral("   "))
                                       << QStringLiteral(" frmUno ") << QStringLiteral("frmUno");
        QTest::newRow("con tag") << QVariant(QStringLiteral("Ayuda")) << QStringLiteral("frmUno")
                                 << QStringLiteral("Ayuda");
    }
    void seccion() {
        QFETCH(QVariant, tag);
        QFETCH(QString, nombre);
        QFETCH(QString, seccion);
        auto w = ventanaNueva();
        w->setObjectName(nombre);
        w->setProperty("tag", tag);
        w->move(20, 10);
        QVERIFY(GuardarPosicion(ini_, w.get(), true));
        QCOMPARE(leer(seccion, QStringLiteral("Ventana")), QStringLiteral("Prueba"));

        auto otra = ventanaNueva();
        otra->setObjectName(nombre);
        otra->setProperty("tag", tag);
        LeerPosicion(ini_, otra.get(), true);
        QCOMPARE(otra->pos(), QPoint(20, 10));
    }

    // No section name at all: nothing is written and the window stays at the corner.
    void sinNombre() {
        auto w = ventanaNueva();
        w->setObjectName(QStringLiteral("  "));
        w->move(40, 40);
        QVERIFY(GuardarPosicion(ini_, w.get(), true));
        QVERIFY(!QFile::exists(ini_) || leer(QString(), QStringLiteral("Ventana")).isEmpty());
        LeerPosicion(ini_, w.get(), true);
        QCOMPARE(w->pos(), QPoint(0, 0));
    }
};

QTEST_MAIN(TstPosicion)
#include "tst_posicion.moc"
