#include "ServidorPrueba.h"

#include <QCoreApplication>
#include <atomic>

#include "basedatos/Conexion.h"

namespace {

// The admin session, opened on first use, reopened when the server dropped it and opened anew
// when the environment names another server. It asks for no TLS whatever the host's settings
// under test say.
Conexion* conexionAdmin(QString* razon) {
    static Conexion admin;
    static QString donde;
    const QString host = ServidorPrueba::host();
    const int puerto = ServidorPrueba::puerto();
    if (host.isEmpty() || puerto <= 0) {
        if (razon)
            *razon = QStringLiteral(
                "Faltan las variables de entorno VARELMO_DB_HOST y VARELMO_DB_PORT "
                "del servidor de pruebas.");
        return nullptr;
    }
    const QString servidor = host + u':' + QString::number(puerto);
    // A server restarted by the test since the last statement: the first check finds the session
    // lost, the second opens it again.
    if (admin.abierta() && donde == servidor &&
        (admin.ejecutar(QStringLiteral("DO 1")) || admin.ejecutar(QStringLiteral("DO 1"))))
        return &admin;
    donde = servidor;
    if (admin.abrir({host, QStringLiteral("root"), QString(), QString(), puerto, {}}))
        return &admin;
    if (razon)
        *razon = QStringLiteral("El servidor de pruebas %1 no responde: %2")
                     .arg(servidor, admin.ultimoError());
    return nullptr;
}

}  // namespace

QString ServidorPrueba::host() { return qEnvironmentVariable("VARELMO_DB_HOST"); }

int ServidorPrueba::puerto() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("VARELMO_DB_PORT", &ok);
    return ok && n > 0 && n < 65536 ? n : 0;
}

BasesDD ServidorPrueba::comoRoot() {
    BasesDD b;
    b.cRuta = host();
    b.cPuerto = puerto();
    b.cUsuario = QStringLiteral("root");
    return b;
}

bool ServidorPrueba::disponible(QString* razon) { return conexionAdmin(razon) != nullptr; }

bool ServidorPrueba::ejecutar(const QString& sql, QString* error) {
    Conexion* admin = conexionAdmin(error);
    return admin && admin->ejecutar(sql, {}, error);
}

QString ServidorPrueba::nombreUnico(const QString& prefijo) {
    static std::atomic<int> contador{0};
    return QStringLiteral("t_%1_%2_%3")
        .arg(prefijo, QString::number(QCoreApplication::applicationPid()),
             QString::number(++contador));
}
