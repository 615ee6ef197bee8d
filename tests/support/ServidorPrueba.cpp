#include "ServidorPrueba.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

namespace {

const QString nombreAdmin = QStringLiteral("varelmo_prueba_admin");

// The admin connection, opened on first use and reopened when the server dropped it.
bool conexionAdmin(QSqlDatabase& db, QString* razon) {
    const QString host = ServidorPrueba::host();
    const int puerto = ServidorPrueba::puerto();
    if (host.isEmpty() || puerto <= 0) {
        if (razon)
            *razon = QStringLiteral(
                "Faltan las variables de entorno VARELMO_DB_HOST y VARELMO_DB_PORT "
                "del servidor de pruebas.");
        return false;
    }
    db = QSqlDatabase::contains(nombreAdmin)
             ? QSqlDatabase::database(nombreAdmin, false)
             : QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), nombreAdmin);
    if (!db.isValid()) {
        if (razon) *razon = QStringLiteral("No está disponible el controlador QMYSQL de Qt.");
        return false;
    }
    // The environment may name another server since the connection was opened.
    if (db.isOpen() && (db.hostName() != host || db.port() != puerto)) db.close();
    if (db.isOpen()) {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT 1"))) return true;
        db.close();
    }
    db.setHostName(host);
    db.setPort(puerto);
    db.setUserName(QStringLiteral("root"));
    db.setPassword(QString());
    db.setConnectOptions(QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=5"));
    if (!db.open()) {
        if (razon)
            *razon = QStringLiteral("El servidor de pruebas %1:%2 no responde: %3")
                         .arg(host, QString::number(puerto), db.lastError().text());
        return false;
    }
    return true;
}

}  // namespace

QString ServidorPrueba::host() { return qEnvironmentVariable("VARELMO_DB_HOST"); }

int ServidorPrueba::puerto() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("VARELMO_DB_PORT", &ok);
    return ok && n > 0 && n < 65536 ? n : 0;
}

bool ServidorPrueba::disponible(QString* razon) {
    QSqlDatabase db;
    return conexionAdmin(db, razon);
}

bool ServidorPrueba::ejecutar(const QString& sql, QString* error) {
    QSqlDatabase db;
    if (!conexionAdmin(db, error)) return false;
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        if (error) *error = q.lastError().text();
        return false;
    }
    return true;
}

QString ServidorPrueba::nombreUnico(const QString& prefijo) {
    static std::atomic<int> contador{0};
    return QStringLiteral("t_%1_%2_%3")
        .arg(prefijo, QString::number(QCoreApplication::applicationPid()),
             QString::number(++contador));
}

int ServidorPrueba::puertoCerrado() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof dir;
    int puerto = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&dir), sizeof dir) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&dir), &largo) == 0)
        puerto = ntohs(dir.sin_port);
    ::close(s);
    return puerto;
}
