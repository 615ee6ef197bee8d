#include "ServidorPropio.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace {
// A port nobody listens on now, from the kernel.
int puertoLibre() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return 0;
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof dir;
    int puerto = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&dir), largo) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&dir), &largo) == 0)
        puerto = ntohs(dir.sin_port);
    ::close(s);
    return puerto;
}

QStringList usuario() {
    return ::geteuid() == 0 ? QStringList{QStringLiteral("--user=root")} : QStringList{};
}
}  // namespace

ServidorPropio::ServidorPropio() = default;

ServidorPropio::~ServidorPropio() {
    if (proceso_) {
        proceso_->terminate();
        if (!proceso_->waitForFinished(30000)) matar();
    }
}

bool ServidorPropio::cliente(const QString& sql, QString* error) const {
    QProcess p;
    p.start(QStringLiteral("mariadb"),
            {QStringLiteral("--no-defaults"), QStringLiteral("-uroot"),
             QStringLiteral("--socket=") + carpeta_.filePath(QStringLiteral("sock")),
             QStringLiteral("-e"), sql});
    const bool bien =
        p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!bien && error) *error = QString::fromLocal8Bit(p.readAllStandardError());
    return bien;
}

bool ServidorPropio::iniciar(QString* error) {
    if (!carpeta_.isValid()) {
        *error = QStringLiteral("no se pudo crear la carpeta del servidor propio");
        return false;
    }
    const QString datos = carpeta_.filePath(QStringLiteral("data"));
    const bool nuevo = !QDir(datos).exists();
    if (nuevo) {
        QProcess instalar;
        instalar.setProcessChannelMode(QProcess::MergedChannels);
        instalar.start(QStringLiteral("mariadb-install-db"),
                       QStringList{QStringLiteral("--no-defaults")} + usuario() +
                           QStringList{QStringLiteral("--datadir=") + datos,
                                       QStringLiteral("--auth-root-authentication-method=normal"),
                                       QStringLiteral("--skip-test-db")});
        if (!instalar.waitForFinished(120000) || instalar.exitCode() != 0) {
            *error = QStringLiteral("mariadb-install-db falló: ") +
                     QString::fromLocal8Bit(instalar.readAll());
            return false;
        }
        puerto_ = puertoLibre();
    }
    proceso_ = std::make_unique<QProcess>();
    proceso_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proceso_->setStandardOutputFile(QProcess::nullDevice());
    QString programa = QStandardPaths::findExecutable(QStringLiteral("mariadbd"));
    if (programa.isEmpty())
        programa = QStandardPaths::findExecutable(QStringLiteral("mariadbd"),
                                                  {QStringLiteral("/usr/sbin")});
    proceso_->start(
        programa,
        QStringList{QStringLiteral("--no-defaults")} + usuario() +
            QStringList{
                QStringLiteral("--datadir=") + datos, QStringLiteral("--bind-address=127.0.0.1"),
                QStringLiteral("--port=%1").arg(puerto_),
                QStringLiteral("--socket=") + carpeta_.filePath(QStringLiteral("sock")),
                QStringLiteral("--pid-file=") + carpeta_.filePath(QStringLiteral("pid")),
                QStringLiteral("--log-error=") + carpeta_.filePath(QStringLiteral("error.log")),
                QStringLiteral("--skip-name-resolve"), QStringLiteral("--skip-log-bin"),
                QStringLiteral("--innodb-buffer-pool-size=32M"),
                QStringLiteral("--character-set-server=utf8mb4"),
                QStringLiteral("--collation-server=utf8mb4_general_ci")} +
            opciones_);
    if (!proceso_->waitForStarted(10000)) {
        *error = QStringLiteral("no arrancó mariadbd: ") + proceso_->errorString();
        return false;
    }
    for (int i = 0; i < 300; ++i) {
        if (proceso_->state() != QProcess::Running) break;
        if (cliente(QStringLiteral("SELECT 1"), nullptr))
            return !nuevo ||
                   cliente(
                       QStringLiteral("CREATE USER IF NOT EXISTS 'root'@'127.0.0.1'; "
                                      "GRANT ALL ON *.* TO 'root'@'127.0.0.1' WITH GRANT OPTION"),
                       error);
        QThread::msleep(100);
    }
    QFile registro(carpeta_.filePath(QStringLiteral("error.log")));
    registro.open(QIODevice::ReadOnly);
    *error = QStringLiteral("el servidor propio no respondió: ") +
             QString::fromLocal8Bit(registro.readAll().right(2000));
    return false;
}

void ServidorPropio::matar() {
    if (!proceso_) return;
    proceso_->kill();
    proceso_->waitForFinished(30000);
    proceso_.reset();
}

void ServidorPropio::usarEnPruebas() const {
    qputenv("VARELMO_DB_HOST", "127.0.0.1");
    qputenv("VARELMO_DB_PORT", QByteArray::number(puerto_));
}
