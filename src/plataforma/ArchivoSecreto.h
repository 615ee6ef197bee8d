#pragma once
#include <QString>
#include <cstddef>
#include <optional>

// A file that holds a secret (the installation's key): created whole for its owner alone, and
// read only when nobody but its owner can change it and nobody outside its group can read it.
// Failures give the system's error number (errno).

// Creates the file `ruta` holding `datos`, for its owner alone from the moment it appears, and
// never in the place of a file that is already there (one that appeared meanwhile stands). 0, or
// the error number of the failure.
int CrearArchivoSecreto(const QString& ruta, const unsigned char* datos, std::size_t tamano);

// Whether the system has a group of users named `grupo`.
bool ExisteGrupo(const QString& grupo);
// Gives the secret file `ruta` to the group of users `grupo`, who may then read it; only its owner
// may change it. The group is given before the permissions, so that the file is never readable by
// the group it had before. 0, or the error number of the failure.
int CompartirConGrupo(const QString& ruta, const QString& grupo);

// The size of the regular file at `ruta` (a link not followed); -1 when something else is there;
// nothing when nothing is.
std::optional<qint64> TamanoSinSeguirEnlaces(const QString& ruta);

// A secret file open to read, without following a link and without blocking on a FIFO put in its
// place; the checks are made on the file actually opened. Closed when it goes.
class LecturaSecreto {
public:
    explicit LecturaSecreto(const QString& ruta);
    ~LecturaSecreto();
    LecturaSecreto(const LecturaSecreto&) = delete;
    LecturaSecreto& operator=(const LecturaSecreto&) = delete;

    // 0 when open; else why not (ELOOP for a link).
    int error() const { return error_; }
    // Why the open file is not to be trusted with the secret, in the user's words, "" when it is:
    // a regular file of this user or of the system's administrator, which only its owner may
    // change and nobody outside its group may read. Nothing, with errno set, when the system
    // cannot tell.
    std::optional<QString> motivoNoConfiable() const;
    // Reads up to `tamano` bytes into `destino`: the count read, or -1 with errno set.
    qint64 leerHasta(unsigned char* destino, std::size_t tamano);

private:
    int archivo_ = -1;
    int error_ = 0;
};
