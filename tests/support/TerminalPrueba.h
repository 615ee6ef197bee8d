#pragma once
#include <QByteArray>
#include <QString>

// A pseudo-terminal to give a child process as its standard error, so that the child finds a
// person watching; the test reads what the child drew there. The test keeps the terminal's other
// end open as well, so nothing written is lost when the child ends.
class TerminalPrueba {
public:
    TerminalPrueba();
    ~TerminalPrueba();
    TerminalPrueba(const TerminalPrueba&) = delete;
    TerminalPrueba& operator=(const TerminalPrueba&) = delete;

    bool valida() const { return maestro_ >= 0 && esclavo_ >= 0; }
    // The device the child opens (QProcess::setStandardErrorFile).
    QString dispositivo() const { return dispositivo_; }
    // Everything drawn so far (the terminal turns each "\n" into "\r\n").
    QByteArray leido();
    // Reads until `texto` has been drawn or `ms` have passed; whether it was.
    bool esperar(const QByteArray& texto, int ms);

private:
    int maestro_ = -1;
    int esclavo_ = -1;
    QString dispositivo_;
    QByteArray leido_;
};
