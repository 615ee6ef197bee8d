#pragma once
#include <QByteArray>

// The MariaDB client library, made ready once for the whole process before any session: what the
// user's or the system's environment would have it read (plugins to load, a plugin folder, a
// server, a password) is cleared first, so that nothing outside the program changes which login
// methods it allows or where it connects. Runs on the first call; later calls do nothing. Call it
// at the start of main(), before any thread exists.
void IniciarBibliotecaBaseDatos();

// The folder the library loads its login methods from, set on every session.
QByteArray CarpetaPluginsBaseDatos();

// A thread other than the main one that uses the library holds one of these for as long as it
// does.
class HiloBaseDatos {
public:
    HiloBaseDatos();
    ~HiloBaseDatos();
    HiloBaseDatos(const HiloBaseDatos&) = delete;
    HiloBaseDatos& operator=(const HiloBaseDatos&) = delete;
};
