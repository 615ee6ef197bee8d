// The description file when it is not a plain small text: binary, 20 MB, a folder, a file whose
// reading fails. The window shows what it can or says why, and never stays open empty-handed.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "DialogosGuion.h"
#include "programa/Contexto.h"
#include "ui/frmDescripcion.h"

class TstFallosDescripcion : public QObject {
    Q_OBJECT
    QTemporaryDir carpeta_;
    std::unique_ptr<Contexto> contexto_ = contextoDePrueba();
    int caso_ = 0;

private slots:
    void init() {
        contexto_ = contextoDePrueba();
        ++caso_;
        contexto_->lugares.ajustes = carpeta_.filePath(QStringLiteral("d%1.ini").arg(caso_));
        contexto_->lugares.descripcion = carpeta_.filePath(QStringLiteral("d%1.txt").arg(caso_));
    }

    // Whatever the bytes, the window shows them as text, with no character lost to a NUL.
    void contenidoExtrano_data() {
        QTest::addColumn<QByteArray>("contenido");
        QByteArray binario(65536, Qt::Uninitialized);
        QRandomGenerator azar(8);
        for (char& c : binario) c = static_cast<char>(azar.bounded(256));
        QTest::newRow("binario") << binario;
        QTest::newRow("20 MB en líneas")
            << QByteArray("Línea de la descripción del programa de precios.\n").repeated(400000);
        // No line feed at all: the text box gets it in lines it can lay out.
        QTest::newRow("20 MB en una línea") << QByteArray("precio costo ").repeated(1600000);
    }
    void contenidoExtrano() {
        QFETCH(QByteArray, contenido);
        QFile f(contexto_->lugares.descripcion);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(contenido) == contenido.size());
        f.close();
        GuionDialogos guion;
        QElapsedTimer reloj;
        reloj.start();
        frmDescripcion w(contexto_->lugares, *contexto_->dialogos);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        qInfo("mostrada en %lld ms", reloj.elapsed());
        QVERIFY(guion->mostradas.isEmpty());
        const QString texto = w.rtbTexto()->toPlainText();
        QVERIFY(!texto.contains(QChar(u'\0')));
        QVERIFY(texto.size() >= contenido.size() / 4);
    }

    // A description path that is a folder, or a file whose reading fails: one plain box and
    // the window goes.
    void ilegible_data() {
        QTest::addColumn<QString>("destino");  // what the description path is a link to
        QTest::newRow("carpeta") << carpeta_.path();
        QTest::newRow("lectura que falla") << QStringLiteral("/proc/self/mem");
    }
    void ilegible() {
        QFETCH(QString, destino);
        QVERIFY(QFile::link(destino, contexto_->lugares.descripcion));
        GuionDialogos guion;
        QPointer<frmDescripcion> w = new frmDescripcion(contexto_->lugares, *contexto_->dialogos);
        w->show();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(guion->mostradas.size(), 1);
        QCOMPARE(guion->mostradas[0].titulo, QStringLiteral("Error"));
        QCOMPARE(guion->mostradas[0].estilo, estilos::Alto);
        for (QWidget* v : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<frmDescripcion*>(v));
    }
};

QTEST_MAIN(TstFallosDescripcion)
#include "tst_fallos_descripcion.moc"
