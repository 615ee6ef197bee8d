#pragma once
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// A MariaDB server of one test program's own, for the tests that kill it: data in a temporary
// folder, on 127.0.0.1 and a port chosen at its first start and kept, so that it comes back where
// the program under test left it. Never the shared server of the test run, which other test
// programs use at the same time.
class ServidorPropio {
public:
    ServidorPropio();
    ~ServidorPropio();  // stops the server and removes its data
    ServidorPropio(const ServidorPropio&) = delete;
    ServidorPropio& operator=(const ServidorPropio&) = delete;

    // Starts the server (the first time it makes its data folder and a root user reachable over
    // TCP without password) and waits until it answers; false with the reason.
    bool iniciar(QString* error);
    // Kills the server at once (SIGKILL), as a crash or a pulled cable would, and waits until it
    // is gone.
    void matar();
    bool vivo() const { return proceso_ && proceso_->state() == QProcess::Running; }
    int puerto() const { return puerto_; }
    // Makes ServidorPrueba, and so AnfitrionPrueba, use this server for the rest of the program.
    void usarEnPruebas() const;
    // Options of the server's own given at every start (before iniciar), such as its TLS files.
    void ponerOpciones(const QStringList& opciones) { opciones_ = opciones; }

private:
    bool cliente(const QString& sql, QString* error) const;
    QTemporaryDir carpeta_;
    std::unique_ptr<QProcess> proceso_;
    int puerto_ = 0;
    QStringList opciones_;
};
