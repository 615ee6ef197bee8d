#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

// Files as the system keeps them: their kind, size and version, reading one whole, and replacing
// one by a new file in a single step that leaves the earlier one whole when anything fails, under
// a lock that every process honours. Failures give the system's error number (errno).

enum class TipoArchivo { Comun, Carpeta, Otro };

// One version of a file on disk: the same name may hold a new file (another device and node) or
// new bytes of the same size written within one tick of the modification clock (another change
// time), and either one must be read again.
struct FirmaArchivo {
    quint64 dispositivo = 0, nodo = 0;
    qint64 tamano = -1;
    qint64 modificadoS = 0, modificadoNs = 0;
    qint64 cambiadoS = 0, cambiadoNs = 0;
    bool operator==(const FirmaArchivo&) const = default;
};

struct DatosArchivo {
    TipoArchivo tipo = TipoArchivo::Otro;
    qint64 tamano = 0;
    FirmaArchivo firma;
    unsigned permisos = 0;  // read, write, run for the owner, the group and the others (0777)
    quint32 grupo = 0;
};

// Whether the system's own text files end their lines with CR LF (Windows) rather than LF: how a
// text file written new ends its lines, so that the system's own editor shows them.
bool LineasConCrLf();
// What the system tells of the file `ruta` names, a link followed; nothing with errno set.
std::optional<DatosArchivo> DatosDeArchivo(const QString& ruta);

// 0 when this process may write the file `ruta`, else the error number that says why not.
int ImpedimentoDeEscribir(const QString& ruta);

// A file open to read, without blocking on a pipe or a device that took its place, and never
// inherited by a program this one starts. Closed when it goes.
class LecturaArchivo {
public:
    explicit LecturaArchivo(const QString& ruta);
    ~LecturaArchivo();
    LecturaArchivo(const LecturaArchivo&) = delete;
    LecturaArchivo& operator=(const LecturaArchivo&) = delete;

    // 0 when open, else why not.
    int error() const { return error_; }
    // What the system tells of the open file; nothing with errno set.
    std::optional<DatosArchivo> datos() const;
    // The bytes of the file, up to one byte past `maximo`. The buffer starts at `tamano` (the
    // size just seen) and one byte more, to notice a file that grew meanwhile: reserving
    // `maximo` at once would take that much memory on every read. False with errno set.
    bool leerTodo(qint64 tamano, qint64 maximo, QByteArray* datos);

private:
    int archivo_ = -1;
    int error_ = 0;
};

// The permissions a replacement file is given: those of the file it replaces (`exactos`), or, for a
// new file, `permisos` as the process's creation mask allows it. A file that replaces another also
// keeps its group (`grupo`, when `conGrupo`), so that a file shared with a group stays readable by
// it.
struct PermisosArchivo {
    unsigned permisos = 0666;
    bool exactos = false;
    bool conGrupo = false;
    quint32 grupo = 0;
};

// The permissions for a file that only its owner reads and writes.
PermisosArchivo SoloParaElDueno();

// The exclusive lock of a file that is replaced on every write, held by this object until it is
// destroyed. It is taken on "<file>.lock", a file beside it that is created once and never
// replaced, since a lock on the file itself would go with it. A lock file another user owns and
// this one may only read still serves: a lock needs no write access.
class CerrojoDeArchivo {
public:
    CerrojoDeArchivo() = default;
    ~CerrojoDeArchivo();
    CerrojoDeArchivo(const CerrojoDeArchivo&) = delete;
    CerrojoDeArchivo& operator=(const CerrojoDeArchivo&) = delete;

    enum class Toma { Tomado, Ocupado, Fallo };
    // Waits up to `esperaMs` for the lock of `archivo`: Ocupado when another process held it that
    // long, Fallo with `*numero` when the lock file cannot be opened or created.
    Toma tomar(const QString& archivo, PermisosArchivo permisos, int esperaMs, int* numero);

private:
    int archivo_ = -1;
};

// Replaces `archivo` by a file holding `contenido`: a new file beside it, with `permisos`, written
// whole and flushed to the disk, then put in the earlier one's place in one step. When the group
// cannot be given (this user is not in it), the new file gives its own group no access instead.
// On any failure the new file is removed, the earlier one is left as it was, and `*numero` says
// why.
bool ReemplazarArchivo(const QString& archivo, const QByteArray& contenido,
                       PermisosArchivo permisos, int* numero);
