#pragma once
#include <QString>
#include <cstddef>

// The installation's key file: created once, for its owner only, and read whole when no one else
// can change it or read it outside its group.
namespace archivoclave {

// Creates the key file `ruta` holding `tamano` random bytes, mode 0600 from the moment it appears.
// An existing key file is left untouched (replacing it would make every stored value unreadable);
// one that is not a regular file or not of `tamano` bytes is reported, not overwritten. False with
// a Spanish error naming the file.
bool crear(const QString& ruta, std::size_t tamano, QString* error);

// Reads the key file `ruta` into `destino`, which receives exactly `tamano` bytes. False with a
// Spanish error naming the file and the reason when it is missing, unreadable or of another size,
// and when it is not to be trusted with the key: not a regular file (a link, a FIFO, a device),
// owned by neither this user nor root, writable by anyone but its owner, or readable by users
// outside its group. A key shared with a group is 0640; `destino` is left as it was.
bool leer(const QString& ruta, unsigned char* destino, std::size_t tamano, QString* error);

}  // namespace archivoclave
