#include "plataforma/Archivo.h"

#include <fcntl.h>
#include <io.h>

#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <climits>

#include "plataforma/windows/Sistema.h"

using namespace sistema;

namespace {

constexpr DWORD CompartirTodo = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A FILETIME (100 ns ticks since 1601) as seconds and nanoseconds since the epoch.
void desdeElEpoch(LARGE_INTEGER tiempo, qint64* s, qint64* ns) {
    constexpr qint64 Desde1601 = 116444736000000000LL, PorSegundo = 10000000LL;
    const qint64 ticks = tiempo.QuadPart - Desde1601;
    *s = ticks / PorSegundo;
    *ns = (ticks % PorSegundo) * 100;
    if (*ns < 0) *s -= 1, *ns += 1000000000LL;
}

// What the system tells of the open file `h`; nothing with errno set. Windows keeps no mode: a
// read-only file is 0444, any other 0666 (its ACL decides who else may use it).
std::optional<DatosArchivo> datosDe(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basica{};
    if (!GetFileInformationByHandle(h, &info) ||
        !GetFileInformationByHandleEx(h, FileBasicInfo, &basica, sizeof basica)) {
        errnoDelSistema();
        return std::nullopt;
    }
    DatosArchivo d;
    const bool carpeta = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    d.tipo = carpeta                            ? TipoArchivo::Carpeta
             : GetFileType(h) == FILE_TYPE_DISK ? TipoArchivo::Comun
                                                : TipoArchivo::Otro;
    d.tamano = carpeta ? 0 : qint64(quint64{info.nFileSizeHigh} << 32 | info.nFileSizeLow);
    d.firma.dispositivo = info.dwVolumeSerialNumber;
    d.firma.nodo = quint64{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    d.firma.tamano = d.tamano;
    desdeElEpoch(basica.LastWriteTime, &d.firma.modificadoS, &d.firma.modificadoNs);
    desdeElEpoch(basica.ChangeTime, &d.firma.cambiadoS, &d.firma.cambiadoNs);
    d.permisos = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    return d;
}

// `h` as a CRT descriptor that owns it from now on; -1 (and `h` closed) when none is left.
int descriptorDe(HANDLE h, int modo) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), modo | _O_BINARY);
    if (fd < 0) CloseHandle(h);
    return fd;
}

// Opens the lock file, creating it when missing: read and write, or read alone when this user
// may only read it (a lock needs no write access). Shared in every way: the lock, not the open,
// excludes the other processes.
HANDLE abrirCerrojo(const QString& ruta, PermisosArchivo permisos) {
    const std::wstring nombre = rutaNativa(ruta);
    HANDLE h = CreateFileW(nombre.c_str(), GENERIC_READ | GENERIC_WRITE, CompartirTodo, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        h = CreateFileW(nombre.c_str(), GENERIC_READ, CompartirTodo, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) return h;
    Descriptor soloDueno(SoloDueno);
    return CreateFileW(nombre.c_str(), GENERIC_READ | GENERIC_WRITE, CompartirTodo,
                       permisos.exactos ? soloDueno.atributos() : nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// One try at the exclusive lock of the whole lock file, without waiting: true when it is held.
// The lock belongs to the handle, so two opens in one process exclude each other too.
bool intentarBloqueo(HANDLE h, int* numero) {
    OVERLAPPED desde{};
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &desde))
        return true;
    *numero = errnoDe(GetLastError());
    return false;
}

// Whether a new file with `permisos` is for its owner alone: then it gets the protected DACL
// instead of its folder's.
bool paraElDueno(PermisosArchivo permisos) {
    return permisos.exactos && (permisos.permisos & 077) == 0;
}

// Creates a new file beside `archivo` under a name no other file has; its path goes to `ruta`.
HANDLE crearNuevo(const QString& archivo, PermisosArchivo permisos, QString* ruta) {
    Descriptor soloDueno(SoloDueno);
    for (int intento = 0; intento < 100; ++intento) {
        *ruta = archivo + u'.' + SufijoAlAzar(8) + QStringLiteral(".nuevo");
        const HANDLE h = CreateFileW(rutaNativa(*ruta).c_str(), GENERIC_WRITE, 0,
                                     paraElDueno(permisos) ? soloDueno.atributos() : nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

// Writes all of `contenido` to `h` and flushes it to the disk; false with GetLastError() set.
bool escribirYAsentar(HANDLE h, const QByteArray& contenido) {
    const char* p = contenido.constData();
    for (qsizetype queda = contenido.size(); queda > 0;) {
        DWORD escrito = 0;
        const DWORD parte = DWORD(std::min<qsizetype>(queda, 1 << 30));
        if (!WriteFile(h, p, parte, &escrito, nullptr)) return false;
        if (escrito == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        p += escrito;
        queda -= escrito;
    }
    return FlushFileBuffers(h) != 0;
}

}  // namespace

std::optional<DatosArchivo> DatosDeArchivo(const QString& ruta) {
    if (ruta.isEmpty()) {
        errno = ENOENT;
        return std::nullopt;
    }
    // Only the attributes are asked for, so a file another program holds open is read too; a
    // folder needs FILE_FLAG_BACKUP_SEMANTICS to be opened at all.
    const HANDLE h = CreateFileW(rutaNativa(ruta).c_str(), FILE_READ_ATTRIBUTES, CompartirTodo,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errnoDelSistema();
        return std::nullopt;
    }
    std::optional<DatosArchivo> datos = datosDe(h);
    CloseHandle(h);
    return datos;
}

int ImpedimentoDeEscribir(const QString& ruta) {
    const DWORD atributos = GetFileAttributesW(rutaNativa(ruta).c_str());
    if (atributos == INVALID_FILE_ATTRIBUTES) return errnoDe(GetLastError());
    if (atributos & FILE_ATTRIBUTE_READONLY && !(atributos & FILE_ATTRIBUTE_DIRECTORY))
        return EACCES;
    // The ACL and a program that holds the file open without sharing its writing answer only to
    // an open that asks to write.
    const HANDLE h = CreateFileW(rutaNativa(ruta).c_str(), GENERIC_WRITE, CompartirTodo, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return errnoDe(GetLastError());
    CloseHandle(h);
    return 0;
}

LecturaArchivo::LecturaArchivo(const QString& ruta) {
    const HANDLE h = CreateFileW(rutaNativa(ruta).c_str(), GENERIC_READ, CompartirTodo, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = errnoDelSistema();
        return;
    }
    archivo_ = descriptorDe(h, _O_RDONLY);
    if (archivo_ < 0) error_ = EMFILE;
}

LecturaArchivo::~LecturaArchivo() {
    if (archivo_ >= 0) ::_close(archivo_);
}

std::optional<DatosArchivo> LecturaArchivo::datos() const {
    const intptr_t h = ::_get_osfhandle(archivo_);
    if (h == -1) {
        errno = EBADF;
        return std::nullopt;
    }
    return datosDe(reinterpret_cast<HANDLE>(h));
}

bool LecturaArchivo::leerTodo(qint64 tamano, qint64 maximo, QByteArray* datos) {
    datos->resize(qsizetype(tamano) + 1);
    qsizetype leidos = 0;
    for (;;) {
        if (leidos == datos->size()) {
            if (leidos > maximo) break;
            datos->resize(qsizetype(std::min<qint64>(maximo + 1, leidos * qint64{2})));
        }
        const auto parte = unsigned(std::min<qsizetype>(datos->size() - leidos, INT_MAX));
        const int n = ::_read(archivo_, datos->data() + leidos, parte);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        leidos += n;
    }
    datos->resize(leidos);
    return true;
}

PermisosArchivo SoloParaElDueno() { return {0600, true}; }

CerrojoDeArchivo::~CerrojoDeArchivo() {
    // Closing the lock file's handle releases the lock.
    if (archivo_ >= 0) ::_close(archivo_);
}

CerrojoDeArchivo::Toma CerrojoDeArchivo::tomar(const QString& archivo, PermisosArchivo permisos,
                                               int esperaMs, int* numero) {
    const HANDLE h = abrirCerrojo(archivo + QStringLiteral(".lock"), permisos);
    if (h == INVALID_HANDLE_VALUE) {
        *numero = errnoDelSistema();
        return Toma::Fallo;
    }
    archivo_ = descriptorDe(h, _O_RDWR);
    if (archivo_ < 0) {
        *numero = EMFILE;
        return Toma::Fallo;
    }
    const QDeadlineTimer plazo(esperaMs);
    while (!intentarBloqueo(h, numero)) {
        if (*numero != EBUSY) return Toma::Fallo;  // EBUSY: ERROR_LOCK_VIOLATION, held elsewhere
        if (plazo.hasExpired()) return Toma::Ocupado;
        QThread::msleep(10);
    }
    return Toma::Tomado;
}

// The group of `permisos` has no meaning here (a POSIX group id): a Windows file that replaces
// another gets its folder's ACL, or the protected one of its owner alone.
bool ReemplazarArchivo(const QString& archivo, const QByteArray& contenido,
                       PermisosArchivo permisos, int* numero) {
    QString nuevo;
    const HANDLE h = crearNuevo(archivo, permisos, &nuevo);
    if (h == INVALID_HANDLE_VALUE) {
        *numero = errnoDelSistema();
        return false;
    }
    bool bien = escribirYAsentar(h, contenido);
    DWORD error = bien ? ERROR_SUCCESS : GetLastError();
    if (!CloseHandle(h) && bien) bien = false, error = GetLastError();
    if (bien && !moverReemplazando(nuevo, archivo)) bien = false, error = GetLastError();
    if (!bien) {
        DeleteFileW(rutaNativa(nuevo).c_str());
        *numero = errnoDe(error);
        errno = *numero;
    }
    return bien;
}

bool LineasConCrLf() { return true; }
