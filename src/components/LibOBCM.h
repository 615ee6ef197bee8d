#pragma once
#include <QList>
#include <QString>
#include <utility>

class QLineEdit;

// The settings-file object: reads and writes keys of the program's INI file, and the numeric
// value of a text.
class LibOBCM {
public:
    // The stored text; "" when the file, section or key is missing or the value is empty.
    QString LeeIni(const QString& seccion, const QString& clave, const QString& archivo) const;
    // False, with the reason in `error`, when the file could not be written.
    bool EscribeIni(const QString& seccion, const QString& clave, const QString& valor,
                    const QString& archivo, QString* error = nullptr);
    // Several keys of one section in one write of the file.
    bool EscribeIniVarias(const QString& seccion, const QList<std::pair<QString, QString>>& valores,
                          const QString& archivo, QString* error = nullptr);
    // The leading decimal number of a text; "" and non-numbers give 0.
    double obVal(const QString& valor) const;

    // Entry behaviour of a text box: its whole text selected when it takes the focus.
    void Resalta(QLineEdit* caja) const;
    // Key codes of a text box pass unchanged.
    void Teclas(int& codigoTecla) const;
    // Enter (character 13) moves the focus on to the next control, as Tab does, and is cancelled
    // (set to 0); other characters pass unchanged.
    void Enter(int& codigoCaracter) const;
};
