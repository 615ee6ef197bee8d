// The settings file on a POSIX system: changes made behind its back, its replacement seen through
// a second link, writes cut short by the file size limit or a full disk, a folder it may not write.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "Soporte.h"
#include "anfitrion/ArchivoIni.h"

class TstArchivoIniPosix : public QObject {
    Q_OBJECT

private slots:
    void cacheVeCambiosAjenos();
    void reemplazoAtomico();
    void escrituraInterrumpida();
    void discoLleno();
    void carpetaSoloLectura();
};

void TstArchivoIniPosix::cacheVeCambiosAjenos() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    QVERIFY(soporte::guardar(ruta, "[S]\nk=1\n"));
    QCOMPARE(ArchivoIni::leer(ruta, "S", "k"), QStringLiteral("1"));

    // Another size.
    QVERIFY(soporte::guardar(ruta, "[S]\nk=22\n"));
    QCOMPARE(ArchivoIni::leer(ruta, "S", "k"), QStringLiteral("22"));

    // The same size, another modification time.
    QVERIFY(soporte::guardar(ruta, "[S]\nk=33\n"));
    {
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(60),
                              QFileDevice::FileModificationTime));
    }
    QCOMPARE(ArchivoIni::leer(ruta, "S", "k"), QStringLiteral("33"));

    // Another file of the same size and the very same modification time renamed into its place.
    const QString otro = dir.filePath("otro.ini");
    QVERIFY(soporte::guardar(otro, "[S]\nk=44\n"));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(ruta).constData(), &info), 0);
    const timespec tiempos[2] = {info.st_atim, info.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(otro).constData(), tiempos, 0), 0);
    QCOMPARE(::rename(QFile::encodeName(otro).constData(), QFile::encodeName(ruta).constData()), 0);
    QCOMPARE(ArchivoIni::leer(ruta, "S", "k"), QStringLiteral("44"));

    // The file gone.
    QVERIFY(QFile::remove(ruta));
    QCOMPARE(ArchivoIni::leer(ruta, "S", "k"), QString());
}

void TstArchivoIniPosix::reemplazoAtomico() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    const QString enlace = dir.filePath("enlace-duro");
    const QByteArray antes = "[S]\nk=1\n";
    QVERIFY(soporte::guardar(ruta, antes));
    const auto permisos = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(ruta, permisos));
    // A second name for the old file: an in-place rewrite would show through it.
    QCOMPARE(::link(QFile::encodeName(ruta).constData(), QFile::encodeName(enlace).constData()), 0);

    QVERIFY(ArchivoIni::escribir(ruta, "S", "k", "2"));
    QCOMPARE(soporte::contenido(ruta), QByteArray("[S]\nk=2\n"));
    QCOMPARE(soporte::contenido(enlace), antes);
    const auto bitsDelArchivo =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
        QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QCOMPARE(QFileInfo(ruta).permissions() & bitsDelArchivo, permisos);
    QCOMPARE(soporte::entradas(dir.path()),
             (QStringList{"enlace-duro", "varelmo.ini", "varelmo.ini.lock"}));
}

void TstArchivoIniPosix::escrituraInterrumpida() {
    // A write that stops part way (here at the file size limit, as on a full disk).
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    const QByteArray antes = "; nota\n[S]\nk=1\n";
    QVERIFY(soporte::guardar(ruta, antes));

    struct sigaction ignorar {};
    struct sigaction previa {};
    ignorar.sa_handler = SIG_IGN;
    QCOMPARE(::sigaction(SIGXFSZ, &ignorar, &previa), 0);
    rlimit limite{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limite), 0);
    rlimit corto = limite;
    corto.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &corto), 0);
    QString error;
    const bool escrito = ArchivoIni::escribir(ruta, "S", "k", QString(20000, u'x'), &error);
    ::setrlimit(RLIMIT_FSIZE, &limite);
    ::sigaction(SIGXFSZ, &previa, nullptr);

    QVERIFY(!escrito);
    QVERIFY2(error.contains(QDir::toNativeSeparators(ruta)), qPrintable(error));
    QCOMPARE(soporte::contenido(ruta), antes);
    QCOMPARE(ArchivoIni::leer(ruta, "S", "k"), QStringLiteral("1"));
    QCOMPARE(soporte::entradas(dir.path()), (QStringList{"varelmo.ini", "varelmo.ini.lock"}));
}

void TstArchivoIniPosix::discoLleno() {
    // A write that runs out of disk space: a small file system of its own, filled up.
    if (::geteuid() != 0) QSKIP("mounting a small file system needs root");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray montaje = QFile::encodeName(dir.path());
    if (::mount("tmpfs", montaje.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP(qPrintable(QStringLiteral("no se pudo montar un tmpfs: ") + qt_error_string(errno)));
    const auto desmontar = qScopeGuard([&] { ::umount2(montaje.constData(), MNT_DETACH); });
    const QString ruta = dir.filePath("varelmo.ini");
    QVERIFY(ArchivoIni::escribir(ruta, "S", "k", QString(4000, u'a')));
    const QByteArray antes = soporte::contenido(ruta);
    QFile relleno(dir.filePath("relleno"));
    QVERIFY(relleno.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (relleno.write(QByteArray(1024, 'r')) == 1024) {
    }
    relleno.close();

    QString error;
    QVERIFY(!ArchivoIni::escribir(ruta, "S", "k", QString(8000, u'b'), &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(ruta)) &&
                 error.contains(QStringLiteral("no queda espacio en el disco")),
             qPrintable(error));
    QCOMPARE(soporte::contenido(ruta), antes);
    QCOMPARE(soporte::entradas(dir.path()),
             (QStringList{"relleno", "varelmo.ini", "varelmo.ini.lock"}));
}

void TstArchivoIniPosix::carpetaSoloLectura() {
    if (::geteuid() == 0) QSKIP("root writes into read-only folders");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath("varelmo.ini");
    const QByteArray antes = "[S]\nk=1\n";
    QVERIFY(soporte::guardar(ruta, antes));
    const auto permisos = QFile::permissions(dir.path());
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QString error;
    const bool escrito = ArchivoIni::escribir(ruta, "S", "k", "2", &error);
    const QStringList nombres = soporte::entradas(dir.path());
    QVERIFY(QFile::setPermissions(dir.path(), permisos));

    QVERIFY(!escrito);
    QVERIFY2(error.contains(QDir::toNativeSeparators(ruta)), qPrintable(error));
    QCOMPARE(soporte::contenido(ruta), antes);
    QCOMPARE(nombres, QStringList{"varelmo.ini"});
}

QTEST_GUILESS_MAIN(TstArchivoIniPosix)
#include "tst_archivoini_posix.moc"
