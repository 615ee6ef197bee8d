// The sessions with the database servers let no one in: no password goes in clear to a server
// that asks for it (a fake one, speaking just enough of the protocol), and with TLS set up in the
// host's settings a session is encrypted and its server's certificate checked against the CA;
// a server of another CA, or one without TLS, is refused.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "AnfitrionPrueba.h"
#include "ServidorPropio.h"
#include "ServidorPrueba.h"
#include "Soporte.h"
#include "common/Programa.h"
#include "components/AnfitrionDemo.h"
#include "components/ArchivoIni.h"
#include "components/BasesDD.h"
#include "components/Instalacion.h"

namespace {
bool openssl(const QString& carpeta, const QStringList& argumentos) {
    QProcess p;
    p.setWorkingDirectory(carpeta);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), argumentos);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A CA of its own: <nombre>.key and <nombre>.pem in `carpeta`.
bool autoridad(const QString& carpeta, const QString& nombre) {
    return openssl(carpeta,
                   {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                    nombre + QStringLiteral(".key"), QStringLiteral("-out"),
                    nombre + QStringLiteral(".pem"), QStringLiteral("-days"), QStringLiteral("2"),
                    QStringLiteral("-subj"), QStringLiteral("/CN=") + nombre});
}
}  // namespace

class TstConexionSegura : public QObject {
    Q_OBJECT
    QTemporaryDir certificados_;
    ServidorPropio conTls_;
    QByteArray hostComun_, puertoComun_;

    QString certificado(const QString& nombre) const { return certificados_.filePath(nombre); }

private slots:
    void initTestCase() {
        REQUIERE_SERVIDOR();
        hostComun_ = qgetenv("VARELMO_DB_HOST");
        puertoComun_ = qgetenv("VARELMO_DB_PORT");
        const QString c = certificados_.path();
        QVERIFY(autoridad(c, QStringLiteral("ca1")) && autoridad(c, QStringLiteral("ca2")));
        QVERIFY(openssl(
            c, {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                QStringLiteral("-nodes"), QStringLiteral("-keyout"), QStringLiteral("servidor.key"),
                QStringLiteral("-out"), QStringLiteral("servidor.csr"), QStringLiteral("-subj"),
                QStringLiteral("/CN=127.0.0.1")}));
        QVERIFY(openssl(
            c, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                QStringLiteral("servidor.csr"), QStringLiteral("-CA"), QStringLiteral("ca1.pem"),
                QStringLiteral("-CAkey"), QStringLiteral("ca1.key"),
                QStringLiteral("-CAcreateserial"), QStringLiteral("-out"),
                QStringLiteral("servidor.pem"), QStringLiteral("-days"), QStringLiteral("2")}));
        conTls_.ponerOpciones(
            {QStringLiteral("--ssl-ca=") + certificado(QStringLiteral("ca1.pem")),
             QStringLiteral("--ssl-cert=") + certificado(QStringLiteral("servidor.pem")),
             QStringLiteral("--ssl-key=") + certificado(QStringLiteral("servidor.key"))});
        QString razon;
        QVERIFY2(conTls_.iniciar(&razon), qPrintable(razon));
    }
    void cleanup() {
        qputenv("VARELMO_DB_HOST", hostComun_);
        qputenv("VARELMO_DB_PORT", puertoComun_);
    }

    // The host's TLS settings against a server with TLS (its certificate signed by ca1) and one
    // without it.
    void tls_data() {
        QTest::addColumn<bool>("servidorConTls");
        QTest::addColumn<QString>("ca");
        QTest::addColumn<QString>("motivo");  // "" when the session opens
        QTest::newRow("certificado de la autoridad indicada") << true << "ca1.pem" << QString();
        QTest::newRow("certificado de otra autoridad")
            << true << "ca2.pem" << QStringLiteral("TLS");
        QTest::newRow("servidor sin TLS")
            << false << "ca1.pem" << QStringLiteral("no está cifrada");
    }
    void tls() {
        QFETCH(bool, servidorConTls);
        QFETCH(QString, ca);
        QFETCH(QString, motivo);
        if (servidorConTls) conTls_.usarEnPruebas();
        AnfitrionPrueba a;
        QVERIFY2(a.valido() && a.crearGeneral(), qPrintable(a.error()));
        EmpresaPrueba e;
        QVERIFY2(!a.crearEmpresa(e).isEmpty(), qPrintable(a.error()));
        QVERIFY(a.escribirIni());
        QVERIFY(ArchivoIni::escribir(
            QDir(a.carpetaInstalacion()).filePath(Instalacion::nombreArchivoAjustes()),
            Instalacion::seccionAjustes(), QStringLiteral("MySQLSSLCA"), certificado(ca)));
        QString error;
        const bool abre = a.arrancar(&error).has_value();
        QVERIFY2(abre == motivo.isEmpty(), qPrintable(error));
        if (!abre) {
            QVERIFY2(error.contains(motivo), qPrintable(error));
            return;
        }
        Recordset cifrado;
        QVERIFY(cifrado.abrir(programa().ConexionPrincipal,
                              QStringLiteral("SHOW SESSION STATUS LIKE 'Ssl_cipher'")));
        QVERIFY2(!cifrado.valor(1).toString().isEmpty(), "la sesión no usa TLS");
    }

    // A server that asks for the password in clear gets none: the login is refused and says why.
    void claveEnClaro() {
        QTemporaryDir dir;
        const QString registro = dir.filePath(QStringLiteral("recibido.log"));
        QProcess falso;
        falso.start(QStringLiteral("/usr/bin/python3"),
                    {soporte::carpetaPruebas() + QStringLiteral("/servidor_falso.py"),
                     QStringLiteral("claro"), registro});
        QVERIFY(falso.waitForReadyRead(10000));
        const int puerto = falso.readLine().trimmed().toInt();
        QVERIFY(puerto > 0);
        anfitrion::AjustesInstalacion ajustes;
        ajustes.puerto = puerto;
        ajustes.guardarUsuario = true;
        ajustes.usuario = QStringLiteral("varelmo");
        ajustes.contrasena = QStringLiteral("secreto-claro");
        QString error;
        QVERIFY2(
            anfitrion::crearInstalacion(dir.filePath(QStringLiteral("talmira")), ajustes, &error),
            qPrintable(error));
        const QString carpeta = dir.filePath(QStringLiteral("programa"));
        QVERIFY(QDir().mkpath(carpeta));
        QVERIFY(QFile::copy(soporte::carpetaBinarios() + QStringLiteral("/varelmo"),
                            carpeta + QStringLiteral("/varelmo")));
        QVERIFY(ArchivoIni::escribir(
            carpeta + QStringLiteral("/varelmo.ini"), QStringLiteral("Configuración"),
            QStringLiteral("Ruta de Talmira Premium"), dir.filePath(QStringLiteral("talmira"))));
        QProcess programa;
        programa.start(carpeta + QStringLiteral("/varelmo"), {QStringLiteral("--reporte")});
        QVERIFY(programa.waitForFinished(60000));
        falso.kill();
        falso.waitForFinished();
        QCOMPARE(programa.exitCode(), 1);
        const QString errores = QString::fromUtf8(programa.readAllStandardError());
        QVERIFY2(errores.contains(QStringLiteral("sin cifrar (mysql_clear_password)")),
                 qPrintable(errores));
        const QByteArray recibido = soporte::contenido(registro);
        QVERIFY2(recibido.contains(QByteArray("varelmo").toHex()),
                 "el servidor falso no recibió el saludo");
        QVERIFY(!recibido.contains(QByteArray("secreto-claro").toHex()));
    }
};

QTEST_GUILESS_MAIN(TstConexionSegura)
#include "tst_conexion_segura.moc"
