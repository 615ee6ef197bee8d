#pragma once
#include <QString>
#include <cstddef>

// The installation's key file: created once, for its owner only, and read whole.
namespace archivoclave {

// Creates the key file `ruta` holding `tamano` random bytes, mode 0600 from the moment it appears.
// An existing key file is left untouched (replacing it would make every stored value unreadable);
// one that is not a regular file or not of `tamano` bytes is reported, not overwritten. False with
// a Spanish error naming the file.
bool crear(const QString& ruta, std::size_t tamano, QString* error);

// Reads the key file `ruta` into `destino`, which receives exactly `tamano` bytes. False with a
// Spanish error naming the file when it is missing, unreadable or of another size; `destino` is
// then left as it was.
bool leer(const QString& ruta, unsigned char* destino, std::size_t tamano, QString* error);

}  // namespace archivoclave
