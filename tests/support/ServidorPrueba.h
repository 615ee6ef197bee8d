#pragma once
#include <QString>

#include "basedatos/BasesDD.h"

// The private MariaDB server of the test run, named by VARELMO_DB_HOST and VARELMO_DB_PORT.
// A test that needs it fails (never skips) when it is missing.
struct ServidorPrueba {
    static QString host();  // "" when the environment does not name it
    static int puerto();    // 0 when the environment does not name it
    // True when the server answers; otherwise false with a Spanish reason (tests QFAIL with it).
    static bool disponible(QString* razon = nullptr);
    // The server as a host's settings name it, logging in as root.
    static BasesDD comoRoot();
    // Runs one SQL statement as root on an admin connection of its own (text is sent as is,
    // never split at ';'). False with the error text.
    static bool ejecutar(const QString& sql, QString* error = nullptr);
    // "t_<prefijo>_<pid>_<counter>": unique across the test programs running at the same time.
    static QString nombreUnico(const QString& prefijo);
    // A loopback port nobody listens on: bound to learn a free number, then released.
    static int puertoCerrado();
};

// In a test function (initTestCase, as a rule): fails it with the reason when the server does not
// answer.
#define REQUIERE_SERVIDOR()                                                                  \
    do {                                                                                     \
        QString razonServidor_;                                                              \
        if (!ServidorPrueba::disponible(&razonServidor_)) QFAIL(qPrintable(razonServidor_)); \
    } while (false)
