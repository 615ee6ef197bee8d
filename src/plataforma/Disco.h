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

// The permissions for a file written in place of `ruta`: those of the regular file there, else
// what a new file gets (read and write for all, less the process's creation mask).
unsigned PermisosParaReemplazar(const QString& ruta);
// Gives the finished file at `ruta` the permissions `permisos` and flushes it to disk, through one
// handle opened without following a link, so that putting it in place never exposes a file still
// in the cache. 0, or the error number of the failure.
int AsentarArchivo(const QString& ruta, unsigned permisos);
// Puts the file `nuevo` in the place of `destino` in one step (whatever `destino` was) and flushes
// the folder, so that a power cut cannot bring the earlier file back. False with errno set.
bool PonerEnSuLugar(const QString& nuevo, const QString& destino);

// Whether this user may create and remove files in the folder `carpeta` (its groups, and a file
// system mounted read-only, taken into account).
bool CarpetaEscribible(const QString& carpeta);

// What keeps this user from putting a file named `ruta` in place (0 when nothing does): the errno
// of a folder that takes no new files, or of a file already there that may not be written, with
// `*elArchivo` telling which. A file or folder that grants nobody the right to write is read-only
// even for the superuser, as a read-only file is on the users' other systems.
int ImpedimentoEscritura(const QString& ruta, bool* elArchivo);
