#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "anfitrion/Cifrado.h"

class TstCifrado : public QObject {
    Q_OBJECT

    QTemporaryDir carpeta_;
    std::optional<Cifrado> cifrado_;

    QString rutaClave(const QString& carpeta) const {
        return QDir(carpeta).filePath(Cifrado::nombreArchivoClave());
    }
    // Writes `bytes` as the key file of `carpeta`, for its owner only as a key must be.
    bool escribirClave(const QString& carpeta, const QByteArray& bytes) const {
        QFile f(rutaClave(carpeta));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() &&
               f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
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

    void archivoClaveSoloDelDueno() {
        QTemporaryDir dir;
        const mode_t anterior = ::umask(0);  // even a permissive umask must not widen the mode
        const bool creada = Cifrado::crearClave(dir.path());
        ::umask(anterior);
        QVERIFY(creada);
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(rutaClave(dir.path())).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, static_cast<mode_t>(0600));
        QCOMPARE(info.st_size, static_cast<off_t>(32));
        // Only the key file is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{Cifrado::nombreArchivoClave()});
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

    // A key file that others could change or read, or that is not a file of this user's, is
    // refused with the reason, and a FIFO in its place does not block the program.
    void claveAbiertaAOtros_data() {
        QTest::addColumn<QString>("como");
        QTest::addColumn<int>("modo");
        QTest::addColumn<QString>("motivo");  // "" when the key is used
        QTest::newRow("solo el dueño") << QString() << 0600 << QString();
        QTest::newRow("el dueño y su grupo") << QString() << 0640 << QString();
        QTest::newRow("la lee cualquiera")
            << QString() << 0644 << QStringLiteral("cualquier usuario puede leerlo");
        QTest::newRow("la modifica su grupo")
            << QString() << 0660 << QStringLiteral("pueden modificarlo otros usuarios");
        QTest::newRow("de otro usuario")
            << QStringLiteral("nobody") << 0600 << QStringLiteral("pertenece a otro usuario");
        QTest::newRow("tubería") << QStringLiteral("fifo") << 0600
                                 << QStringLiteral("no es un archivo normal");
        QTest::newRow("enlace a una clave")
            << QStringLiteral("enlace") << 0600 << QStringLiteral("es un enlace simbólico");
    }
    void claveAbiertaAOtros() {
        QFETCH(QString, como);
        QFETCH(int, modo);
        QFETCH(QString, motivo);
        QTemporaryDir dir;
        QVERIFY(Cifrado::crearClave(dir.path()));
        const QString ruta = rutaClave(dir.path());
        const QByteArray local = QFile::encodeName(ruta);
        if (como == QStringLiteral("nobody")) {
            const passwd* nadie = ::getpwnam("nobody");
            if (::geteuid() != 0 || !nadie) QSKIP("solo root puede dar la clave al usuario nobody");
            QCOMPARE(::chown(local.constData(), nadie->pw_uid, static_cast<gid_t>(-1)), 0);
        } else if (como == QStringLiteral("fifo")) {
            QVERIFY(QFile::remove(ruta));
            QCOMPARE(::mkfifo(local.constData(), 0600), 0);
        } else if (como == QStringLiteral("enlace")) {
            QVERIFY(QFile::rename(ruta, ruta + QStringLiteral(".real")));
            QVERIFY(QFile::link(ruta + QStringLiteral(".real"), ruta));
        }
        QCOMPARE(::chmod(local.constData(), static_cast<mode_t>(modo)), 0);
        QString error;
        ::alarm(10);  // an open that blocks ends this program rather than hanging it
        const bool abierta = Cifrado::abrir(dir.path(), &error).has_value();
        ::alarm(0);
        if (motivo.isEmpty()) {
            QVERIFY2(abierta, qPrintable(error));
            return;
        }
        QVERIFY(!abierta);
        QVERIFY2(error.contains(ruta) && error.contains(motivo), qPrintable(error));
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
