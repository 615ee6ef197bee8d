#pragma once
#include <QString>

// The private MariaDB server of the test run, named by VARELMO_DB_HOST and VARELMO_DB_PORT.
// A test that needs it fails (never skips) when it is missing.
struct ServidorPrueba {
    static QString host();  // "" when the environment does not name it
    static int puerto();    // 0 when the environment does not name it
    // True when the server answers; otherwise false with a Spanish reason (tests QFAIL with it).
    static bool disponible(QString* razon = nullptr);
    // Runs one SQL statement as root on an admin connection of its own (text is sent as is,
    // never split at ';'). False with the error text.
    static bool ejecutar(const QString& sql, QString* error = nullptr);
    // "t_<prefijo>_<pid>_<counter>": unique across the test programs running at the same time.
    static QString nombreUnico(const QString& prefijo);
};
