#pragma once
#include <QString>

// The progress line of the headless report, for a person at a terminal: one line on the standard
// error, drawn again in place (a carriage return, then blanks over what the longer text before it
// left), and wiped when the object goes so that the final message starts on a clean line.
//
// When the standard error is not a terminal (a script, a scheduled job whose mail should hold only
// failures) or the user asked for silence, it writes nothing.
class AvanceEnTerminal {
public:
    explicit AvanceEnTerminal(bool silencio);
    ~AvanceEnTerminal();
    AvanceEnTerminal(const AvanceEnTerminal&) = delete;
    AvanceEnTerminal& operator=(const AvanceEnTerminal&) = delete;

    // Whether a person is watching: the standard error is a terminal and silence was not asked.
    bool activo() const { return activo_; }
    // Draws `linea` over the previous one; the same text again writes nothing.
    void mostrar(const QString& linea);
    // Wipes the line (the next message starts at the beginning of it).
    void borrar();

private:
    void escribir(const QString& texto);

    bool activo_ = false;
    QString ultima_;
};
