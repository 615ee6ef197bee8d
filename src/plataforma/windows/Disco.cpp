#include "plataforma/Disco.h"

#include <io.h>

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>

#include "plataforma/windows/Sistema.h"

using namespace sistema;

bool escribirTodo(int fd, const void* datos, std::size_t tamano) {
    const auto* p = static_cast<const char*>(datos);
    while (tamano > 0) {
        const unsigned parte = static_cast<unsigned>(std::min<std::size_t>(tamano, INT_MAX));
        const int n = ::_write(fd, p, parte);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        tamano -= static_cast<std::size_t>(n);
    }
    return true;
}

bool sincronizar(int fd) { return ::_commit(fd) == 0; }

// Windows gives no handle through which a folder's entries are flushed: the rename into it is made
// durable by MoveFileExW itself, with MOVEFILE_WRITE_THROUGH, which returns only once the move is
// on the disk. Nothing is left to do here.
void sincronizarCarpeta(const QString&) {}

namespace {
// 0 when this user may create and remove files in `carpeta`, else the errno of why not. It really
// creates one (removed as its handle closes): the folder's ACL, a read-only share and a
// write-protected medium each answer in their own way, and _waccess ignores the ACL.
int pruebaCarpeta(const QString& carpeta) {
    for (int intento = 0; intento < 10; ++intento) {
        const QString prueba =
            carpeta + QStringLiteral("/.varelmo-") + SufijoAlAzar(8) + QStringLiteral(".prueba");
        const HANDLE h = CreateFileW(
            rutaNativa(prueba).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return 0;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return errnoDe(error);
    }
    return EEXIST;
}

// 0 when the regular file `archivo` may be replaced: not read-only, and not held open by another
// program that shares neither writing nor removal (a workbook open in a spreadsheet program).
int pruebaArchivo(const QString& archivo, DWORD atributos) {
    if (atributos & FILE_ATTRIBUTE_READONLY) return EACCES;
    const HANDLE h = CreateFileW(rutaNativa(archivo).c_str(), GENERIC_WRITE | DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return errnoDe(GetLastError());
    CloseHandle(h);
    return 0;
}
}  // namespace

int ImpedimentoEscritura(const QString& ruta, bool* elArchivo) {
    *elArchivo = false;
    const QString carpeta = QFileInfo(ruta).absolutePath();
    const DWORD enCarpeta = GetFileAttributesW(rutaNativa(carpeta).c_str());
    if (enCarpeta == INVALID_FILE_ATTRIBUTES) return errnoDe(GetLastError());
    if (!(enCarpeta & FILE_ATTRIBUTE_DIRECTORY)) return ENOTDIR;
    if (const int numero = pruebaCarpeta(carpeta); numero != 0) return numero;
    // The workbook is moved over the file, which replaces anything there; only a regular file that
    // refuses to be written or removed stops it.
    const QString archivo = QFileInfo(ruta).absoluteFilePath();
    const DWORD atributos = GetFileAttributesW(rutaNativa(archivo).c_str());
    if (atributos == INVALID_FILE_ATTRIBUTES ||
        (atributos & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return 0;
    *elArchivo = true;
    return pruebaArchivo(archivo, atributos);
}

// A Windows file carries no mode: a new one inherits its folder's ACL, and the one it replaces
// keeps nothing that the new one should copy.
unsigned PermisosParaReemplazar(const QString&) { return 0666; }

namespace {
// Makes the open file `h` read-only when `permisos` grants no write, writable otherwise: the one
// part of a mode that a Windows file keeps as an attribute.
bool darSoloLectura(HANDLE h, unsigned permisos) {
    FILE_BASIC_INFO basica{};
    if (!GetFileInformationByHandleEx(h, FileBasicInfo, &basica, sizeof basica)) return false;
    const DWORD antes = basica.FileAttributes;
    if (permisos & 0222)
        basica.FileAttributes &= ~DWORD{FILE_ATTRIBUTE_READONLY};
    else
        basica.FileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (basica.FileAttributes == 0) basica.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (basica.FileAttributes == antes) return true;
    return SetFileInformationByHandle(h, FileBasicInfo, &basica, sizeof basica) != 0;
}
}  // namespace

int AsentarArchivo(const QString& ruta, unsigned permisos) {
    const HANDLE h =
        CreateFileW(rutaNativa(ruta).c_str(), GENERIC_READ | GENERIC_WRITE | FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return errnoDe(GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    int numero = 0;
    if (!GetFileInformationByHandle(h, &info))
        numero = errnoDe(GetLastError());
    else if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT) ||
             GetFileType(h) != FILE_TYPE_DISK)
        numero = EINVAL;
    else if (!darSoloLectura(h, permisos) || !FlushFileBuffers(h))
        numero = errnoDe(GetLastError());
    if (!CloseHandle(h) && numero == 0) numero = errnoDe(GetLastError());
    return numero;
}

bool PonerEnSuLugar(const QString& nuevo, const QString& destino) {
    if (moverReemplazando(nuevo, destino)) return true;
    errnoDelSistema();
    return false;
}

bool CarpetaEscribible(const QString& carpeta) { return pruebaCarpeta(carpeta) == 0; }
