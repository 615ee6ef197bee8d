#include "basedatos/SesionSegura.h"

#include <errmsg.h>
#include <mysql.h>

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>

#include "basedatos/Biblioteca.h"
#include "plataforma/Carpetas.h"

namespace {
// Login methods that never reveal the password to the server, whoever it is.
const char* const MetodosSinRevelar = "mysql_native_password,client_ed25519";
// With a server that proved who it is, the SHA-2 methods too: they hand it the password.
const char* const MetodosConTlsVerificado =
    "mysql_native_password,client_ed25519,caching_sha2_password,sha256_password";

QMutex& mutexAjustes() {
    static QMutex m;
    return m;
}
AjustesTls& ajustesTls() {
    static AjustesTls a;
    return a;
}

bool es(const QString& valor, std::initializer_list<const char*> formas) {
    for (const char* forma : formas)
        if (valor.compare(QString::fromUtf8(forma), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool opcion(MYSQL* sesion, mysql_option cual, const void* valor) {
    return mysql_optionsv(sesion, cual, valor) == 0;
}
}  // namespace

void PonerTls(const AjustesTls& ajustes) {
    const QMutexLocker bloqueo(&mutexAjustes());
    ajustesTls() = ajustes;
}

AjustesTls TlsEnUso() {
    const QMutexLocker bloqueo(&mutexAjustes());
    return ajustesTls();
}

std::optional<AjustesTls> LeerAjustesTls(const std::function<QString(const QString&)>& leer,
                                         const QString& carpeta, QString* error) {
    AjustesTls a;
    const QString ca = leer(QStringLiteral("MySQLSSLCA")).trimmed();
    if (!ca.isEmpty())
        a.ca = QDir::isAbsolutePath(ca) || carpeta.isEmpty() ? ca : QDir(carpeta).filePath(ca);
    const QString requerido = leer(QStringLiteral("MySQLSSL")).trimmed();
    if (es(requerido, {"Sí", "Si", "1", "true"})) {
        a.requerido = true;
    } else if (!requerido.isEmpty() && !es(requerido, {"No", "0", "false"})) {
        *error = QStringLiteral(
                     "el valor \"%1\" de MySQLSSL no es válido: es Sí (exigir TLS) o No (dejarlo a "
                     "MySQLSSLCA y MySQLSSLHuella)")
                     .arg(requerido);
        return std::nullopt;
    }
    QString huella = leer(QStringLiteral("MySQLSSLHuella")).trimmed().toLower();
    huella.remove(u':');
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    if (!huella.isEmpty() && !hex.match(huella).hasMatch()) {
        *error = QStringLiteral(
            "el valor de MySQLSSLHuella no es una huella SHA-256: son 64 cifras hexadecimales, "
            "con o sin «:» entre cada par");
        return std::nullopt;
    }
    a.huella = huella;
    return a;
}

bool ProtegerSesion(MYSQL* sesion, const AjustesTls& a, const QByteArray& huellaSha1,
                    QString* error) {
    const QByteArray plugins = CarpetaPluginsBaseDatos();
    bool bien = opcion(sesion, MYSQL_PLUGIN_DIR, plugins.constData());
    if (!a.activo()) return bien && opcion(sesion, MARIADB_OPT_RESTRICTED_AUTH, MetodosSinRevelar);
    if (!a.ca.isEmpty() && !QFileInfo(a.ca).isReadable()) {
        *error = QStringLiteral("no se puede leer el certificado de la autoridad (MySQLSSLCA): %1")
                     .arg(a.ca);
        return false;
    }
    const QByteArray autoridades = QFile::encodeName(CarpetaAutoridadesDelSistema());
    if (a.ca.isEmpty() && a.huella.isEmpty() && autoridades.isEmpty()) {
        *error = QStringLiteral(
            "en este sistema el programa no puede leer las autoridades de certificación del "
            "sistema: indique en MySQLSSLCA el certificado de la autoridad que firmó el del "
            "servidor, o en MySQLSSLHuella la huella del certificado del servidor");
        return false;
    }
    const my_bool si = 1;
    bien = bien && opcion(sesion, MYSQL_OPT_SSL_ENFORCE, &si);
    if (a.huella.isEmpty()) {
        // The chain is checked against the CA named, or the system's, and the certificate's name
        // against the server's name or address.
        const QByteArray ca = QFile::encodeName(a.ca);
        bien = bien && opcion(sesion, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &si) &&
               (a.ca.isEmpty() ? opcion(sesion, MYSQL_OPT_SSL_CAPATH, autoridades.constData())
                               : opcion(sesion, MYSQL_OPT_SSL_CA, ca.constData()));
    } else {
        // A pinned certificate stands for itself, whoever signed it and for whatever name.
        bien = bien && opcion(sesion, MARIADB_OPT_TLS_PEER_FP, huellaSha1.constData());
    }
    bien = bien && opcion(sesion, MARIADB_OPT_RESTRICTED_AUTH, MetodosConTlsVerificado);
    if (!bien)
        *error = QStringLiteral("la biblioteca cliente de MariaDB no aceptó los ajustes de TLS");
    return bien;
}

QString MotivoRechazoSesion(unsigned numero, const QString& texto, const AjustesTls& tls) {
    const QString servidor =
        QStringLiteral("; puede que no sea el servidor que dice ser (%1)").arg(texto.trimmed());
    if (numero == CR_PLUGIN_NOT_ALLOWED || numero == CR_AUTH_PLUGIN_CANNOT_LOAD)
        return QStringLiteral(
                   "el servidor pidió un método de acceso que entregaría la contraseña, y el "
                   "programa no la envía así") +
               servidor;
    if (!tls.activo() || numero != CR_SSL_CONNECTION_ERROR) return QString();
    if (texto.contains(QStringLiteral("not support"), Qt::CaseInsensitive))
        return QStringLiteral(
                   "el servidor no ofrece una conexión cifrada (TLS), y la instalación de "
                   "Talmira Premium la exige") +
               servidor;
    if (texto.contains(QStringLiteral("finger"), Qt::CaseInsensitive))
        return QStringLiteral("el certificado del servidor no es el que fija MySQLSSLHuella") +
               servidor;
    return QStringLiteral(
               "el certificado del servidor no lo firma la autoridad indicada o no es para ese "
               "servidor") +
           servidor;
}
