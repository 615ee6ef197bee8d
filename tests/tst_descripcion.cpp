// The description window on the offscreen platform: its file shown as plain text and read once,
// a missing file, the text box following the window's size, and its menu.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include "DialogosGuion.h"
#include "anfitrion/ArchivoIni.h"
#include "programa/Contexto.h"
#include "ui/Twips.h"
#include "ui/frmDescripcion.h"

class TstDescripcion : public QObject {
    Q_OBJECT
private:
    QTemporaryDir carpeta_;
    std::unique_ptr<Contexto> contexto_ = contextoDePrueba();
    int caso_ = 0;

    void ponerDescripcion(const QByteArray& contenido) {
        QFile f(contexto_->lugares.descripcion);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contenido);
    }
    QString leer(const QString& clave) const {
        return ArchivoIni::leer(contexto_->lugares.ajustes, QStringLiteral("frmDescripcion"),
                                clave);
    }

private slots:
    void init() {
        contexto_ = contextoDePrueba();
        ++caso_;
        contexto_->lugares.ajustes = carpeta_.filePath(QStringLiteral("d%1.ini").arg(caso_));
        contexto_->lugares.descripcion = carpeta_.filePath(QStringLiteral("d%1.txt").arg(caso_));
    }

    // The file as it is, whatever it looks like, and read only once while the window lives.
    void textoPlano_data() {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<QString>("mostrado");
        QTest::newRow("texto") << QByteArray("Programa de precios\nSegunda línea")
                               << QStringLiteral("Programa de precios\nSegunda línea");
        QTest::newRow("rtf") << QByteArray("{\\rtf1 hola}") << QStringLiteral("{\\rtf1 hola}");
        QTest::newRow("html") << QByteArray("<b>hola</b>") << QStringLiteral("<b>hola</b>");
        QTest::newRow("windows-1252")
            << QByteArray("Descripci\xf3n") << QStringLiteral("Descripción");
        QTest::newRow("windows-1252 de 0x80 a 0x9f")
            << QByteArray("\x80 \x93hola\x94 \x96 \x85") << QStringLiteral("€ “hola” – …");
        QTest::newRow("vacio") << QByteArray() << QString();
    }
    void textoPlano() {
        QFETCH(QByteArray, contenido);
        QFETCH(QString, mostrado);
        GuionDialogos guion;
        ponerDescripcion(contenido);
        frmDescripcion w(contexto_->lugares, *contexto_->dialogos);
        QCOMPARE(w.windowTitle(), QStringLiteral("Descripción del programa"));
        QCOMPARE(w.lecturas(), 0);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.rtbTexto()->toPlainText(), mostrado);
        QCOMPARE(w.lecturas(), 1);

        // Activated and shown again, changed on disk meanwhile: not read again.
        ponerDescripcion("cambiado");
        w.hide();
        w.show();
        w.activateWindow();
        QTest::qWait(20);
        QCOMPARE(w.lecturas(), 1);
        QCOMPARE(w.rtbTexto()->toPlainText(), mostrado);
        QVERIFY(guion->mostradas.isEmpty());
    }

    // No description file: one plain box, the window unloads and still saves its placement.
    void sinArchivo() {
        GuionDialogos guion;
        QPointer<frmDescripcion> w = new frmDescripcion(contexto_->lugares, *contexto_->dialogos);
        w->show();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas[0].skin, false);
        QCOMPARE(guion->mostradas[0].texto, QStringLiteral("No existe el archivo de ayuda"));
        QCOMPARE(guion->mostradas[0].titulo, QStringLiteral("Error"));
        QCOMPARE(guion->mostradas[0].estilo, estilos::Alto);
        QCOMPARE(leer(QStringLiteral("Ventana")), QStringLiteral("Descripción del programa"));
        QVERIFY(!leer(QStringLiteral("Ancho")).isEmpty());
        for (QWidget* v : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<frmDescripcion*>(v));
    }

    // The text box fills the client area below the menu bar, whatever the size; never negative.
    void tamanoTexto_data() {
        QTest::addColumn<int>("ancho");
        QTest::addColumn<int>("alto");
        QTest::newRow("9180x6930") << 9180 << 6930;
        QTest::newRow("grande") << 15000 << 12000;
        QTest::newRow("diminuta") << 120 << 90;
    }
    void tamanoTexto() {
        QFETCH(int, ancho);
        QFETCH(int, alto);
        GuionDialogos guion;
        ponerDescripcion("x");
        frmDescripcion w(contexto_->lugares, *contexto_->dialogos);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(TwipsAPixeles(&w, ancho), TwipsAPixeles(&w, alto));
        QCoreApplication::processEvents();
        const QRect texto = w.rtbTexto()->geometry();
        QVERIFY(texto.width() >= 0 && texto.height() >= 0);
        QCOMPARE(texto.x(), 0);
        QCOMPARE(texto.width(), w.width());
        if (w.height() > texto.y()) QCOMPARE(texto.y() + texto.height(), w.height());
    }

    // The menu the main window's logo pops up: editing the settings file leaves the window hidden.
    void menu() {
        GuionDialogos guion;
        ponerDescripcion("x");
        frmDescripcion w(contexto_->lugares, *contexto_->dialogos);
        auto* editar = w.findChild<QAction*>(QStringLiteral("mnEditINI"));
        auto* mostrar = w.findChild<QAction*>(QStringLiteral("mnDescrip"));
        QVERIFY(editar && mostrar);
        editar->trigger();
        QCOMPARE(guion->abiertos, QStringList{contexto_->lugares.ajustes});
        QVERIFY(!w.isVisible());
        QCOMPARE(w.lecturas(), 0);
        mostrar->trigger();
        QVERIFY(w.isVisible());
        QCOMPARE(w.lecturas(), 1);
        QCOMPARE(guion->abiertos.size(), 1);
        // The workbooks' folder opens in the desktop's file manager.
        contexto_->lugares.libros = carpeta_.path();
        w.findChild<QAction*>(QStringLiteral("mnCarpeta"))->trigger();
        QCOMPARE(guion->abiertos.last(), carpeta_.path());
    }

    // A placement that cannot be saved is told, as the main window's choices are.
    void lugarNoGuardado() {
        GuionDialogos guion;
        ponerDescripcion("x");
        contexto_->lugares.ajustes = carpeta_.filePath(QStringLiteral("no-existe/d.ini"));
        frmDescripcion w(contexto_->lugares, *contexto_->dialogos);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.close();
        QCOMPARE(guion->mostradas.size(), 1);
        QVERIFY2(
            guion->mostradas[0].texto.startsWith(QStringLiteral("No se pudo guardar el lugar")),
            qPrintable(guion->mostradas[0].texto));
        QCOMPARE(guion->mostradas[0].titulo, QStringLiteral("Alerta"));
        QVERIFY(guion->mostradas[0].skin);
    }

    // The saved placement of an earlier close comes back when the window is made again.
    void recuerdaLugar() {
        GuionDialogos guion;
        ponerDescripcion("x");
        QPoint marco;  // where the window system put the frame: the place a window is moved to
        {
            auto* w = new frmDescripcion(contexto_->lugares, *contexto_->dialogos);
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w));
            w->setGeometry(80, 60, 600, 400);
            marco = w->frameGeometry().topLeft();
            QPointer<frmDescripcion> p = w;
            w->close();
            QTRY_VERIFY(p.isNull());
        }
        frmDescripcion otra(contexto_->lugares, *contexto_->dialogos);
        QCOMPARE(otra.size(), QSize(600, 400));
        QCOMPARE(otra.pos(), marco);
    }
};

QTEST_MAIN(TstDescripcion)
#include "tst_descripcion.moc"
