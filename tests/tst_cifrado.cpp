#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "anfitrion/Cifrado.h"
#include "plataforma/ArchivoSecreto.h"

class TstCifrado : public QObject {
    Q_OBJECT

    QTemporaryDir carpeta_;
    std::optional<Cifrado> cifrado_;

    // The key file of `carpeta`, as the messages show it.
    QString rutaClave(const QString& carpeta) const {
        return QDir::toNativeSeparators(QDir(carpeta).filePath(Cifrado::nombreArchivoClave()));
    }
    // Writes `bytes` as the key file of `carpeta`, for its owner only as a key must be.
    bool escribirClave(const QString& carpeta, const QByteArray& bytes) const {
        return CrearArchivoSecreto(rutaClave(carpeta),
                                   reinterpret_cast<const unsigned char*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size())) == 0;
    }

private slots:
    void initTestCase() {
        QVERIFY(carpeta_.isValid());
        QString error;
        QVERIFY2(Cifrado::crearClave(carpeta_.path(), &error), qPrintable(error));
        cifrado_ = Cifrado::abrir(carpeta_.path(), &error);
        QVERIFY2(cifrado_.has_value(), qPrintable(error));
    }

    void idaYVuelta_data() {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<int>("selector");
        const QList<QPair<const char*, QString>> textos = {
            {"vacio", QString()},
            {"acentos", QStringLiteral("Contraseña ñandú Ñ áéíóú €")},
            {"largo", QString(5000, QLatin1Char('x')) + QStringLiteral("fin")},
            {"comillas", QStringLiteral("a'b\"c\\d`e;--")},
        };
        for (int selector = 0; selector <= 4; ++selector)
            for (const auto& [nombre, texto] : textos)
                QTest::addRow("%s-selector%d", nombre, selector) << texto << selector;
    }
    void idaYVuelta() {
        QFETCH(QString, texto);
        QFETCH(int, selector);
        const QString guardado = cifrado_->cifrar(texto, selector);
        QVERIFY(!guardado.isEmpty());
        for (const QChar ch : guardado)
            QVERIFY2(ch.unicode() > 0x20 && ch.unicode() < 0x7f, qPrintable(guardado));
        QVERIFY(guardado != texto);
        const auto vuelta = cifrado_->descifrar(guardado, selector);
        QVERIFY(vuelta.has_value());
        QCOMPARE(*vuelta, texto);
    }

    // A value of the earlier form (a secret box bound to the selector alone), made with the key
    // below, is refused where values are read, and told as such with the command that seals it
    // again; it opens only when asked for in that form. A value of the current form deciphers
    // only at its own place.
    void formaAnterior() {
        QTemporaryDir dir;
        QVERIFY(escribirClave(
            dir.path(), QByteArray::fromBase64("AwoRGB8mLTQ7QklQV15lbHN6gYiPlp2kq7K5wMfO1dw=")));
        const std::optional<Cifrado> c = Cifrado::abrir(dir.path());
        QVERIFY(c);
        const QString anterior =
            QStringLiteral("AP1JhLeeWtj/cZCYrgg31D4eiujXumcr34AewW6K8fpJFgeGDoZnDpo1ha4=");
        QVERIFY(Cifrado::formaAnterior(anterior));
        const QString lugar = Cifrado::lugarAjuste(QStringLiteral("MySQLUsuario"));
        QCOMPARE(c->descifrar(anterior, 0, lugar), std::nullopt);
        QCOMPARE(c->descifrar(anterior, 0), std::nullopt);
        QCOMPARE(c->descifrarAnterior(anterior, 0), std::optional<QString>(QStringLiteral("root")));
        QCOMPARE(c->descifrarAnterior(anterior, 1), std::nullopt);
        const QString motivo = c->porQueNoDescifra(QStringLiteral(" ") + anterior, 0, dir.path());
        QVERIFY2(
            motivo.contains(QStringLiteral("forma anterior")) &&
                motivo.contains(QStringLiteral("talmira-host resellar \"%1\"").arg(dir.path())),
            qPrintable(motivo));
        QCOMPARE(c->porQueNoDescifra(anterior, 1, dir.path()),
                 Cifrado::motivoSinDescifrar(anterior));
        QCOMPARE(c->porQueNoDescifra(QString(), 0, dir.path()), QStringLiteral("falta el valor"));
        const QString actual = c->cifrar(QStringLiteral("root"), 3, Cifrado::lugarEmpresa(7, 3));
        QVERIFY(!Cifrado::formaAnterior(actual));
        QCOMPARE(c->descifrarAnterior(actual, 3), std::nullopt);
        QCOMPARE(c->descifrar(actual, 3, Cifrado::lugarEmpresa(7, 3)),
                 std::optional<QString>(QStringLiteral("root")));
        QCOMPARE(c->descifrar(actual, 3, Cifrado::lugarEmpresa(8, 3)), std::nullopt);
        QCOMPARE(c->descifrar(actual, 3), std::nullopt);
        const QString servidor =
            c->cifrar(QStringLiteral("db"), 1, Cifrado::lugarEmpresa(7, 1, 3306));
        QCOMPARE(c->descifrar(servidor, 1, Cifrado::lugarEmpresa(7, 1, 3307)), std::nullopt);
    }

    void cadaCifradoEsDistinto() {
        const QString a = cifrado_->cifrar(QStringLiteral("clave"), 0);
        const QString b = cifrado_->cifrar(QStringLiteral("clave"), 0);
        QVERIFY(a != b);
        QCOMPARE(cifrado_->descifrar(b, 0), std::optional<QString>(QStringLiteral("clave")));
    }

    void otroSelectorNoDescifra_data() {
        QTest::addColumn<int>("cifrado");
        QTest::addColumn<int>("leido");
        for (int a = 0; a <= 4; ++a)
            for (int b = 0; b <= 4; ++b)
                if (a != b) QTest::addRow("%d-como-%d", a, b) << a << b;
    }
    void otroSelectorNoDescifra() {
        QFETCH(int, cifrado);
        QFETCH(int, leido);
        const QString guardado = cifrado_->cifrar(QStringLiteral("servidor.empresa"), cifrado);
        QCOMPARE(cifrado_->descifrar(guardado, leido), std::nullopt);
    }

    void otraClaveNoDescifra() {
        QTemporaryDir otra;
        QVERIFY(Cifrado::crearClave(otra.path()));
        const auto otroCifrado = Cifrado::abrir(otra.path());
        QVERIFY(otroCifrado.has_value());
        const QString guardado = cifrado_->cifrar(QStringLiteral("secreto"), 3);
        QCOMPARE(otroCifrado->descifrar(guardado, 3), std::nullopt);
    }

    void guardadoInvalido_data() {
        QTest::addColumn<QString>("guardado");
        QTest::addColumn<QString>("motivo");
        const QString ajena =
            QStringLiteral("el valor guardado no corresponde a la clave de esta instalación");
        const QString falta = QStringLiteral("falta el valor");
        const QString bueno = cifrado_->cifrar(QStringLiteral("usuario"), 1);
        QString alterado = bueno;
        const qsizetype medio = alterado.size() / 2;
        alterado[medio] = alterado[medio] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
        QString primero = bueno;
        primero[0] = primero[0] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
        QTest::newRow("alterado en medio") << alterado << ajena;
        QTest::newRow("alterado el nonce") << primero << ajena;
        QTest::newRow("truncado") << bueno.left(bueno.size() - 4) << ajena;
        QTest::newRow("solo nonce") << bueno.left(32) << ajena;
        QTest::newRow("basura") << QStringLiteral("esto no es base64 !!") << ajena;
        QTest::newRow("base64 corto") << QStringLiteral("AAAA") << ajena;
        QTest::newRow("vacio") << QString() << falta;
        QTest::newRow("solo blancos") << QStringLiteral(" \t ") << falta;
        QTest::newRow("texto plano") << QStringLiteral("usuario") << ajena;
        QTest::newRow("con espacios") << bueno.left(8) + QLatin1Char(' ') + bueno.mid(8) << ajena;
    }
    void guardadoInvalido() {
        QFETCH(QString, guardado);
        QFETCH(QString, motivo);
        QCOMPARE(cifrado_->descifrar(guardado, 1), std::nullopt);
        QCOMPARE(Cifrado::motivoSinDescifrar(guardado), motivo);
    }

    void crearClaveNoReemplazaLaExistente() {
        const QString guardado = cifrado_->cifrar(QStringLiteral("persistente"), 2);
        QVERIFY(Cifrado::crearClave(carpeta_.path()));
        const auto reabierto = Cifrado::abrir(carpeta_.path());
        QVERIFY(reabierto.has_value());
        QCOMPARE(reabierto->descifrar(guardado, 2),
                 std::optional<QString>(QStringLiteral("persistente")));
    }

    void claveAusenteOMal_data() {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<bool>("existe");
        QTest::newRow("ausente") << QByteArray() << false;
        QTest::newRow("vacia") << QByteArray() << true;
        QTest::newRow("corta") << QByteArray(31, 'k') << true;
        QTest::newRow("larga") << QByteArray(33, 'k') << true;
    }
    void claveAusenteOMal() {
        QFETCH(QByteArray, contenido);
        QFETCH(bool, existe);
        QTemporaryDir dir;
        const QString ruta = rutaClave(dir.path());
        if (existe) QVERIFY(escribirClave(dir.path(), contenido));
        QString error;
        QCOMPARE(Cifrado::abrir(dir.path(), &error).has_value(), false);
        QVERIFY2(error.contains(ruta), qPrintable(error));
        QVERIFY2(!existe || error.contains(QStringLiteral("bytes")), qPrintable(error));
        if (existe) {
            // A damaged key is reported, never silently replaced.
            QVERIFY(!Cifrado::crearClave(dir.path(), &error));
            QVERIFY2(error.contains(ruta), qPrintable(error));
            QFile f(ruta);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), contenido);
        }
    }

    void claveIlegible() {
        // A directory in the key's place cannot be read as a key, not even by root.
        QTemporaryDir dir;
        const QString ruta = rutaClave(dir.path());
        QVERIFY(QDir(dir.path()).mkdir(Cifrado::nombreArchivoClave()));
        QString error;
        QCOMPARE(Cifrado::abrir(dir.path(), &error).has_value(), false);
        QVERIFY2(error.contains(ruta), qPrintable(error));
        error.clear();
        QVERIFY(!Cifrado::crearClave(dir.path(), &error));
        QVERIFY2(error.contains(ruta), qPrintable(error));
    }

    void copiaYMovimientoConservanLaClave() {
        const QString guardado = cifrado_->cifrar(QStringLiteral("valor"), 4);
        Cifrado copia = *cifrado_;
        Cifrado movido = std::move(copia);
        QCOMPARE(movido.descifrar(guardado, 4), std::optional<QString>(QStringLiteral("valor")));
        QCOMPARE(cifrado_->descifrar(guardado, 4), std::optional<QString>(QStringLiteral("valor")));
    }
};

QTEST_GUILESS_MAIN(TstCifrado)
#include "tst_cifrado.moc"
