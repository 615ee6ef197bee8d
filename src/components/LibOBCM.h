#pragma once
#include <QString>

// The settings-file object: reads and writes keys of the program's INI file, and the numeric
// value of a text.
class LibOBCM {
public:
    // The stored text; "" when the file, section or key is missing or the value is empty.
    QString LeeIni(const QString& seccion, const QString& clave, const QString& archivo) const;
    // False, with the reason in `error`, when the file could not be written.
    bool EscribeIni(const QString& seccion, const QString& clave, const QString& valor,
                    const QString& archivo, QString* error = nullptr);
    // The leading decimal number of a text; "" and non-numbers give 0.
    double obVal(const QString& valor) const;
};
