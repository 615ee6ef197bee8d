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
#include "DialogosGuion.h"
#include "ServidorPropio.h"
#include "ServidorPrueba.h"
#include "Soporte.h"
#include "anfitrion/ArchivoIni.h"
#include "anfitrion/Instalacion.h"
#include "basedatos/BasesDD.h"
#include "basedatos/Conexion.h"
#include "demo/AnfitrionDemo.h"

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
// A server certificate <nombre>.key/.pem for the name `cn`, signed by ca1.
bool firmado(const QString& carpeta, const QString& nombre, const QString& cn) {
    return openssl(carpeta, {QStringLiteral("req"), QStringLiteral("-newkey"),
                             QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                             QStringLiteral("-keyout"), nombre + QStringLiteral(".key"),
                             QStringLiteral("-out"), nombre + QStringLiteral(".csr"),
                             QStringLiteral("-subj"), QStringLiteral("/CN=") + cn}) &&
           openssl(carpeta,
                   {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                    nombre + QStringLiteral(".csr"), QStringLiteral("-CA"),
                    QStringLiteral("ca1.pem"), QStringLiteral("-CAkey"), QStringLiteral("ca1.key"),
                    QStringLiteral("-CAcreateserial"), QStringLiteral("-out"),
                    nombre + QStringLiteral(".pem"), QStringLiteral("-days"), QStringLiteral("2")});
}

// The SHA-256 fingerprint of a certificate, as openssl prints it ("AB:CD:...").
QString huella(const QString& archivo) {
    QProcess p;
    p.start(QStringLiteral("openssl"),
            {QStringLiteral("x509"), QStringLiteral("-in"), archivo, QStringLiteral("-noout"),
             QStringLiteral("-fingerprint"), QStringLiteral("-sha256")});
    p.waitForFinished(60000);
    return QString::fromLatin1(p.readAllStandardOutput()).section(u'=', 1).trimmed();
}
}  // namespace

class TstConexionSegura : public QObject {
    Q_OBJECT
    QTemporaryDir certificados_;
    ServidorPropio conTls_;
    QString certificadoEnUso_;
    QByteArray hostComun_, puertoComun_;

    QString certificado(const QString& nombre) const { return certificados_.filePath(nombre); }

    // The server with TLS, showing the certificate `nombre`.
    bool servidorConTls(const QString& nombre, QString* razon) {
        if (certificadoEnUso_ == nombre) return true;
        conTls_.matar();
        conTls_.ponerOpciones(
            {QStringLiteral("--ssl-ca=") + certificado(QStringLiteral("ca1.pem")),
             QStringLiteral("--ssl-cert=") + certificado(nombre + QStringLiteral(".pem")),
             QStringLiteral("--ssl-key=") + certificado(nombre + QStringLiteral(".key"))});
        certificadoEnUso_ = nombre;
        return conTls_.iniciar(razon);
    }

private slots:
    void initTestCase() {
        REQUIERE_SERVIDOR();
        hostComun_ = qgetenv("VARELMO_DB_HOST");
        puertoComun_ = qgetenv("VARELMO_DB_PORT");
        const QString c = certificados_.path();
        QVERIFY(autoridad(c, QStringLiteral("ca1")) && autoridad(c, QStringLiteral("ca2")));
        QVERIFY(firmado(c, QStringLiteral("servidor"), QStringLiteral("127.0.0.1")));
        QVERIFY(firmado(c, QStringLiteral("otro"), QStringLiteral("otro.example")));
        QString razon;
        QVERIFY2(servidorConTls(QStringLiteral("servidor"), &razon), qPrintable(razon));
    }
    void cleanup() {
        qputenv("VARELMO_DB_HOST", hostComun_);
        qputenv("VARELMO_DB_PORT", puertoComun_);
    }

    // The host's TLS settings against the server with TLS, showing a certificate signed by ca1
    // for its address ("servidor") or for another name ("otro"), and against the shared server,
    // which offers no TLS (""). A fingerprint "huella:X" is that of certificate X.
    void tls_data() {
        QTest::addColumn<QString>("certificadoServidor");
        QTest::addColumn<QStringList>("ajustes");
        QTest::addColumn<QString>("motivo");  // "" when the session opens
        const QString ca1 = QStringLiteral("MySQLSSLCA=ca1.pem");
        QTest::newRow("certificado de la autoridad indicada")
            << "servidor" << QStringList{ca1} << QString();
        QTest::newRow("certificado de otra autoridad")
            << "servidor" << QStringList{QStringLiteral("MySQLSSLCA=ca2.pem")}
            << QStringLiteral("no lo firma la autoridad indicada");
        QTest::newRow("servidor sin TLS") << "" << QStringList{ca1, QStringLiteral("MySQLSSL=Sí")}
                                          << QStringLiteral("no ofrece una conexión cifrada");
        QTest::newRow("certificado para otro nombre")
            << "otro" << QStringList{ca1} << QStringLiteral("no es para ese servidor");
        QTest::newRow("autoridades del sistema")
            << "servidor" << QStringList{QStringLiteral("MySQLSSL=Sí")}
            << QStringLiteral("no lo firma la autoridad indicada");
        QTest::newRow("huella fijada, sea cual sea el nombre")
            << "otro" << QStringList{QStringLiteral("MySQLSSLHuella=huella:otro")} << QString();
        QTest::newRow("huella de otro certificado")
            << "servidor" << QStringList{QStringLiteral("MySQLSSLHuella=huella:otro")}
            << QStringLiteral("no es el que fija MySQLSSLHuella");
        QTest::newRow("huella sin TLS")
            << "" << QStringList{QStringLiteral("MySQLSSLHuella=huella:otro")}
            << QStringLiteral("no ofrece una conexión cifrada");
        QTest::newRow("MySQLSSL que no se entiende")
            << "" << QStringList{QStringLiteral("MySQLSSL=quizá")}
            << QStringLiteral("es Sí (exigir TLS) o No");
    }
    void tls() {
        QFETCH(QString, certificadoServidor);
        QFETCH(QStringList, ajustes);
        QFETCH(QString, motivo);
        QString error;
        if (!certificadoServidor.isEmpty()) {
            QVERIFY2(servidorConTls(certificadoServidor, &error), qPrintable(error));
            conTls_.usarEnPruebas();
        }
        AnfitrionPrueba a;
        QVERIFY2(a.valido() && a.crearGeneral(), qPrintable(a.error()));
        EmpresaPrueba e;
        QVERIFY2(!a.crearEmpresa(e).isEmpty(), qPrintable(a.error()));
        QVERIFY(a.escribirIni());
        for (const QString& ajuste : std::as_const(ajustes)) {
            QString valor = ajuste.section(u'=', 1);
            if (valor.startsWith(QLatin1String("huella:")))
                valor = huella(certificado(valor.mid(7) + QStringLiteral(".pem")));
            else if (valor.endsWith(QLatin1String(".pem")))
                valor = certificado(valor);
            QVERIFY(ArchivoIni::escribir(
                QDir(a.carpetaInstalacion()).filePath(Instalacion::nombreArchivoAjustes()),
                Instalacion::seccionAjustes(), ajuste.section(u'=', 0, 0), valor));
        }
        const GuionDialogos guion;
        const bool abre = a.arrancar(&error).has_value();
        for (const CajaMostrada& caja : std::as_const(guion->mostradas)) error += u' ' + caja.texto;
        QVERIFY2(abre == motivo.isEmpty(), qPrintable(error));
        if (!abre) {
            QVERIFY2(error.contains(motivo), qPrintable(error));
            return;
        }
        Recordset cifrado;
        QVERIFY(cifrado.abrir(a.contexto().ConexionPrincipal,
                              QStringLiteral("SHOW SESSION STATUS LIKE 'Ssl_cipher'")));
        QVERIFY2(!cifrado.valor(1).toString().isEmpty(), "la sesión no usa TLS");
    }

    // Servers that only pretend to be the host's (tests/servidor_falso.py) and a relay that hides
    // the real server's TLS (tests/relevo_tls.py): each gets nothing from which the password can
    // be read, no session to take over, and the program says why. The log holds every packet
    // the client sent in hex, "LOGIN" when a login arrived, "CLARO" and the password when the
    // fake recovered one, "CONSULTA" for each statement that went through the relay. No file of
    // the client's (here /etc/passwd) goes to a server that asks for it.
    void servidorFalso_data() {
        QTest::addColumn<QStringList>("guion");  // the script and its mode
        QTest::addColumn<QStringList>("ajustesTls");
        QTest::addColumn<QByteArray>("entorno");  // NAME=value given to the program, or ""
        QTest::addColumn<QString>("motivo");
        const QString metodo = QStringLiteral("entregaría la contraseña");
        const QString sinTls = QStringLiteral("no ofrece una conexión cifrada");
        const QString falso = QStringLiteral("servidor_falso.py");
        const QStringList exigeTls{QStringLiteral("MySQLSSLCA=ca1.pem"),
                                   QStringLiteral("MySQLSSL=Sí")};
        QTest::newRow("cambio a la clave en claro") << QStringList{falso, QStringLiteral("claro")}
                                                    << QStringList{} << QByteArray() << metodo;
        QTest::newRow("cambio a dialog") << QStringList{falso, QStringLiteral("dialog")}
                                         << QStringList{} << QByteArray() << metodo;
        QTest::newRow("clave en claro pedida desde el entorno")
            << QStringList{falso, QStringLiteral("claro")} << QStringList{}
            << QByteArray("LIBMYSQL_PLUGINS=mysql_clear_password,dialog") << metodo;
        QTest::newRow("SHA-2 sin TLS, con la clave pública del falso")
            << QStringList{falso, QStringLiteral("sha2")} << QStringList{} << QByteArray()
            << metodo;
        QTest::newRow("SHA-256 sin TLS, con la clave pública del falso")
            << QStringList{falso, QStringLiteral("sha256")} << QStringList{} << QByteArray()
            << metodo;
        QTest::newRow("sin TLS cuando la instalación lo exige")
            << QStringList{falso, QStringLiteral("sintls")} << exigeTls << QByteArray() << sinTls;
        QTest::newRow("servidor que pide un archivo del cliente")
            << QStringList{falso, QStringLiteral("archivo")} << QStringList{} << QByteArray()
            << QStringLiteral("No se pudo preparar la conexión");
        QTest::newRow("relevo que esconde el TLS del servidor")
            << QStringList{QStringLiteral("relevo_tls.py")} << exigeTls << QByteArray() << sinTls;
    }
    // A session opened to load its own rows (cargaLocal) still sends no file of the client's to a
    // server that asks for one, at connect or on any statement.
    void cargaLocalNoEntregaArchivos() {
        QTemporaryDir dir;
        const QString registro = dir.filePath(QStringLiteral("recibido.log"));
        QProcess falso;
        falso.start(QStringLiteral("/usr/bin/python3"),
                    {soporte::carpetaPruebas() + QStringLiteral("/servidor_falso.py"),
                     QStringLiteral("archivo"), registro});
        QVERIFY(falso.waitForReadyRead(10000));
        DestinoBase destino;
        destino.host = QStringLiteral("127.0.0.1");
        destino.puerto = falso.readLine().trimmed().toInt();
        destino.usuario = QStringLiteral("varelmo");
        destino.cargaLocal = true;
        Conexion c;
        const bool abierta = c.abrir(destino);
        if (abierta) QVERIFY(!c.ejecutar(QStringLiteral("SELECT 1")));
        falso.kill();
        falso.waitForFinished();
        const QByteArray recibido = soporte::contenido(registro);
        QVERIFY(recibido.contains("LOGIN"));
        QVERIFY2(!recibido.contains(QByteArray("root:x:0:0").toHex()), recibido.constData());
    }

    void servidorFalso() {
        QFETCH(QStringList, guion);
        QFETCH(QStringList, ajustesTls);
        QFETCH(QByteArray, entorno);
        QFETCH(QString, motivo);
        QTemporaryDir dir;
        const QString registro = dir.filePath(QStringLiteral("recibido.log"));
        QString error;
        // The relay stands before the real server with TLS, whose certificate ca1 signed.
        if (guion.size() == 1) {
            QVERIFY2(servidorConTls(QStringLiteral("servidor"), &error), qPrintable(error));
            guion << QString::number(conTls_.puerto());
        }
        QProcess falso;
        falso.start(QStringLiteral("/usr/bin/python3"),
                    QStringList{soporte::carpetaPruebas() + u'/' + guion.takeFirst()} + guion +
                        QStringList{registro});
        QVERIFY(falso.waitForReadyRead(10000));
        const int puerto = falso.readLine().trimmed().toInt();
        QVERIFY(puerto > 0);
        anfitrion::AjustesInstalacion ajustes;
        ajustes.puerto = puerto;
        ajustes.guardarUsuario = true;
        ajustes.usuario = QStringLiteral("varelmo");
        ajustes.contrasena = QStringLiteral("secreto-claro");
        const QString instalacion = dir.filePath(QStringLiteral("talmira"));
        QVERIFY2(anfitrion::crearInstalacion(instalacion, ajustes, &error), qPrintable(error));
        for (const QString& ajuste : std::as_const(ajustesTls)) {
            QString valor = ajuste.section(u'=', 1);
            if (valor.endsWith(QLatin1String(".pem"))) valor = certificado(valor);
            QVERIFY(ArchivoIni::escribir(
                QDir(instalacion).filePath(Instalacion::nombreArchivoAjustes()),
                Instalacion::seccionAjustes(), ajuste.section(u'=', 0, 0), valor));
        }
        const QString carpeta = dir.filePath(QStringLiteral("programa"));
        QVERIFY(QDir().mkpath(carpeta));
        QVERIFY(QFile::copy(soporte::carpetaBinarios() + QStringLiteral("/varelmo"),
                            carpeta + QStringLiteral("/varelmo")));
        QVERIFY(ArchivoIni::escribir(carpeta + QStringLiteral("/varelmo.ini"),
                                     QStringLiteral("Configuración"),
                                     QStringLiteral("Ruta de Talmira Premium"), instalacion));
        QProcess programa;
        if (!entorno.isEmpty()) {
            QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
            variables.insert(QString::fromLatin1(entorno.split('=').first()),
                             QString::fromLatin1(entorno.mid(entorno.indexOf('=') + 1)));
            programa.setProcessEnvironment(variables);
        }
        programa.start(carpeta + QStringLiteral("/varelmo"), {QStringLiteral("--reporte")});
        QVERIFY(programa.waitForFinished(60000));
        falso.kill();
        falso.waitForFinished();
        const QString errores = QString::fromUtf8(programa.readAllStandardError());
        QCOMPARE(programa.exitCode(), 1);
        QVERIFY2(errores.contains(motivo), qPrintable(errores));
        const QByteArray recibido = soporte::contenido(registro);
        QVERIFY2(!recibido.contains(QByteArray("secreto-claro").toHex()) &&
                     !recibido.contains("CLARO") && !recibido.contains("CONSULTA") &&
                     !recibido.contains(QByteArray("root:x:0:0").toHex()),
                 recibido.constData());
        // Where TLS is demanded, not even the user's name leaves.
        if (!ajustesTls.isEmpty()) QVERIFY2(!recibido.contains("LOGIN"), recibido.constData());
    }
};

QTEST_GUILESS_MAIN(TstConexionSegura)
#include "tst_conexion_segura.moc"
