#include "components/SesionSegura.h"

#include <link.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <memory>

#include "components/CarpetaTrabajo.h"

namespace {
// The methods a session may log in with: none of them sends the password in clear.
const char* const MetodosAceptados[] = {"client_ed25519.so", "caching_sha2_password.so",
                                        "sha256_password.so"};
// Those that would: a login that asks for them is refused.
const char* const MetodosEnClaro[] = {"mysql_clear_password", "dialog"};

QMutex& mutexAjustes() {
    static QMutex m;
    return m;
}
AjustesTls& ajustesTls() {
    static AjustesTls a;
    return a;
}

// The folder of the client library's authentication plugins, from where the library was loaded
// (the driver loads it before the first session), or the usual places.
QString carpetaPluginsDelCliente() {
    QString biblioteca;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* dato) {
            const QString ruta = QFile::decodeName(info->dlpi_name);
            if (QFileInfo(ruta).fileName().startsWith(QLatin1String("libmariadb.so"))) {
                *static_cast<QString*>(dato) = ruta;
                return 1;
            }
            return 0;
        },
        &biblioteca);
    QStringList candidatas;
    if (!biblioteca.isEmpty())
        candidatas << QFileInfo(biblioteca).absolutePath() + QStringLiteral("/libmariadb3/plugin");
    candidatas << QStringLiteral("/usr/lib/x86_64-linux-gnu/libmariadb3/plugin")
               << QStringLiteral("/usr/lib/mysql/plugin")
               << QStringLiteral("/usr/lib64/mariadb/plugin");
    for (const QString& c : std::as_const(candidatas))
        if (QFileInfo(QDir(c).filePath(QStringLiteral("client_ed25519.so"))).isFile()) return c;
    return QString();
}
}  // namespace

void PonerTls(const AjustesTls& ajustes) {
    const QMutexLocker bloqueo(&mutexAjustes());
    ajustesTls() = ajustes;
}

AjustesTls LeerAjustesTls(const std::function<QString(const QString&)>& leer,
                          const QString& carpeta) {
    AjustesTls a;
    const QString ca = leer(QStringLiteral("MySQLSSLCA")).trimmed();
    if (!ca.isEmpty())
        a.ca = QDir::isAbsolutePath(ca) || carpeta.isEmpty() ? ca : QDir(carpeta).filePath(ca);
    const QString requerido = leer(QStringLiteral("MySQLSSL")).trimmed();
    a.requerido = requerido.compare(QStringLiteral("Sí"), Qt::CaseInsensitive) == 0 ||
                  requerido.compare(QStringLiteral("Si"), Qt::CaseInsensitive) == 0 ||
                  requerido == QLatin1String("1") ||
                  requerido.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
    return a;
}

AjustesTls TlsEnUso() {
    const QMutexLocker bloqueo(&mutexAjustes());
    return ajustesTls();
}

void RestringirAutenticacion() {
    // The library looks for the plugin of a method, when a server asks for it, only in the folder
    // this names: a folder of the process's own (mode 0700) that holds the accepted ones alone.
    static QMutex mutex;
    static std::unique_ptr<CarpetaTrabajo> carpeta;
    const QMutexLocker bloqueo(&mutex);
    if (carpeta) return;
    // Folders of earlier runs that were killed go first.
    const QString prefijo = QStringLiteral("varelmo-autenticacion-");
    CarpetaTrabajo::limpiarAbandonadas(QDir::tempPath(), prefijo);
    carpeta = std::make_unique<CarpetaTrabajo>(QDir::tempPath(), prefijo);
    const QString origen = carpetaPluginsDelCliente();
    if (carpeta->valida() && !origen.isEmpty())
        for (const char* metodo : MetodosAceptados) {
            const QString archivo = QDir(origen).filePath(QLatin1String(metodo));
            if (QFileInfo(archivo).isFile())
                QFile::link(archivo, carpeta->archivo(QLatin1String(metodo)));
        }
    // Without a folder of its own the library gets one that does not exist: only the built-in
    // native method is left, and still no password goes in clear.
    qputenv(
        "MARIADB_PLUGIN_DIR",
        QFile::encodeName(carpeta->valida() ? carpeta->ruta() : QStringLiteral("/nonexistent")));
}

QString OpcionesTls(QString* error) {
    const AjustesTls a = TlsEnUso();
    if (!a.activo()) return QString();
    // The driver splits its options at ';' and '=': a path holding them cannot be handed over.
    if (a.ca.contains(u';') || a.ca.contains(u'=')) {
        *error = QStringLiteral(
                     "la ruta del certificado de la autoridad (MySQLSSLCA) no puede llevar «;» ni "
                     "«=»: %1")
                     .arg(a.ca);
        return QString();
    }
    if (!a.ca.isEmpty() && !QFileInfo(a.ca).isReadable()) {
        *error = QStringLiteral("no se puede leer el certificado de la autoridad (MySQLSSLCA): %1")
                     .arg(a.ca);
        return QString();
    }
    return a.ca.isEmpty() ? QStringLiteral(";SSL_CAPATH=/etc/ssl/certs")
                          : QStringLiteral(";SSL_CA=") + a.ca;
}

QString ComprobarCifrado(QSqlDatabase& db) {
    if (!TlsEnUso().activo()) return QString();
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SHOW SESSION STATUS LIKE 'Ssl_cipher'")) && q.next() &&
        !q.value(1).toString().trimmed().isEmpty())
        return QString();
    return QStringLiteral(
        "la conexión no está cifrada (TLS), y la instalación de Talmira Premium lo exige");
}

QString MotivoRechazoSesion(const QSqlError& error) {
    const QString texto = error.text();
    for (const char* metodo : MetodosEnClaro)
        if (texto.contains(
                QStringLiteral("Plugin %1 could not be loaded").arg(QLatin1String(metodo)),
                Qt::CaseInsensitive) ||
            texto.contains(QStringLiteral("plugin %1").arg(QLatin1String(metodo)),
                           Qt::CaseInsensitive))
            return QStringLiteral(
                       "el servidor pidió la contraseña sin cifrar (%1), y el programa no la envía "
                       "así; "
                       "puede que no sea el servidor que dice ser")
                .arg(QLatin1String(metodo));
    if (TlsEnUso().activo() &&
        (texto.contains(QStringLiteral("certificate"), Qt::CaseInsensitive) ||
         texto.contains(QStringLiteral("SSL"), Qt::CaseInsensitive) ||
         texto.contains(QStringLiteral("TLS"), Qt::CaseInsensitive)))
        return QStringLiteral(
                   "no se pudo establecer una conexión cifrada (TLS) con un certificado de la "
                   "autoridad "
                   "indicada; puede que no sea el servidor que dice ser (%1)")
            .arg(texto.trimmed());
    return QString();
}
