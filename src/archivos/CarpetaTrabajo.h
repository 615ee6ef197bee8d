#pragma once
#include <QString>
#include <QTemporaryDir>

#include "plataforma/Cerrojo.h"

// A working folder of the process's own (mode 0700), named `prefijo` and six random characters,
// inside `padre`; it goes with the object.
//
// While the object lives, the process holds a lock on a file inside the folder. A process that
// dies (a signal, a power cut) leaves its folder behind but not its lock, so a later run tells a
// folder abandoned from one in use and removes only the first kind (limpiarAbandonadas). The lock
// is one the system frees with the process, also on a folder shared over the network.
class CarpetaTrabajo {
public:
    CarpetaTrabajo(const QString& padre, const QString& prefijo);
    ~CarpetaTrabajo();
    CarpetaTrabajo(const CarpetaTrabajo&) = delete;
    CarpetaTrabajo& operator=(const CarpetaTrabajo&) = delete;

    bool valida() const { return cerrojo_.tomado(); }
    QString ruta() const { return carpeta_.path(); }
    QString archivo(const QString& nombre) const { return carpeta_.filePath(nombre); }
    // Why the folder could not be made (when not valida()).
    QString error() const { return error_; }

    // Removes the folders `prefijo`XXXXXX in `padre` that belong to this user and that no living
    // process holds. A folder without its lock file (one being made at this moment, or one of an
    // earlier version) is removed only once it has not changed for an hour.
    static void limpiarAbandonadas(const QString& padre, const QString& prefijo);

private:
    QTemporaryDir carpeta_;
    CerrojoDeProceso cerrojo_;
    QString error_;
};
