#include "EscritoresIni.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "anfitrion/ArchivoIni.h"

namespace soporte {

int escritorIni(int argc, char** argv) {
    if (argc != 7 || std::strcmp(argv[1], "--escritor-ini") != 0) return -1;
    const QString archivo = QString::fromLocal8Bit(argv[2]);
    const QString seccion = QString::fromLocal8Bit(argv[3]);
    const QString clave = QString::fromLocal8Bit(argv[4]);
    const int veces = std::atoi(argv[5]);
    const int pausaMs = std::atoi(argv[6]);
    if (pausaMs > 0) ArchivoIni::ponerPausaAntesDeReemplazar([=] { QThread::msleep(pausaMs); });
    for (int n = 1; n <= veces; ++n) {
        QString error;
        if (!ArchivoIni::escribir(archivo, seccion, clave, clave + u' ' + QString::number(n),
                                  &error)) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(error));
            return 1;
        }
    }
    return 0;
}

QString escritoresIni(const QString& archivo, const QString& seccion, int procesos, int veces,
                      int pausaMs) {
    std::vector<std::unique_ptr<QProcess>> escritores;
    for (int i = 1; i <= procesos; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedOutputChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--escritor-ini"), archivo, seccion,
                  QStringLiteral("Proceso %1").arg(i), QString::number(veces),
                  QString::number(pausaMs)});
        escritores.push_back(std::move(p));
    }
    QString fallos;
    for (const auto& p : escritores) {
        if (!p->waitForFinished(300000) || p->exitStatus() != QProcess::NormalExit)
            fallos += QStringLiteral("un escritor no terminó: %1. ").arg(p->errorString());
        else if (p->exitCode() != 0)
            fallos += QStringLiteral("un escritor falló: %1. ")
                          .arg(QString::fromUtf8(p->readAllStandardError()));
    }
    return fallos;
}

}  // namespace soporte
