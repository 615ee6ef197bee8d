// The key file's rules in POSIX terms: its mode, its owner, what may stand in its place.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "anfitrion/Cifrado.h"

class TstClavePosix : public QObject {
    Q_OBJECT

    QString rutaClave(const QString& carpeta) const {
        return QDir(carpeta).filePath(Cifrado::nombreArchivoClave());
    }

private slots:
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
};

QTEST_GUILESS_MAIN(TstClavePosix)
#include "tst_clave_posix.moc"
