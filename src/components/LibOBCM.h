#pragma once
#include <QList>
#include <QString>
#include <utility>

// The settings-file object: reads and writes keys of the program's INI file, and the numeric
// value of a text. Its entry behaviour of text boxes lives with the windows (ui/EntradaTexto).
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
};
