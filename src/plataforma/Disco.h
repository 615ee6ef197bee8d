#pragma once
#include <QString>
#include <cstddef>

// Writes that must reach the disk whole: the settings files, the installation's key and the
// workbooks are each written to a new file, flushed, and renamed over the earlier one.

// Writes all `tamano` bytes of `datos` to `fd`, retrying short writes and interruptions. False
// with errno set (ENOSPC when the disk takes nothing more).
bool escribirTodo(int fd, const void* datos, std::size_t tamano);
// fsync, retried when interrupted; false with errno set.
bool sincronizar(int fd);
// Flushes the folder that holds `archivo`, so that a rename into it survives a power cut. A folder
// that cannot be flushed (some file systems cannot) is left as it is: the file is in place anyway.
void sincronizarCarpeta(const QString& archivo);

// What keeps this user from putting a file named `ruta` in place (0 when nothing does): the errno
// of a folder that takes no new files, or of a file already there that may not be written, with
// `*elArchivo` telling which. A file or folder that grants nobody the right to write is read-only
// even for the superuser, as a read-only file is on the users' other systems.
int ImpedimentoEscritura(const QString& ruta, bool* elArchivo);
