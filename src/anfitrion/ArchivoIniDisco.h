#pragma once
#include <sys/stat.h>

#include <QByteArray>
#include <QString>

// The disk side of the settings files (ArchivoIni): what tells one version of a file from another,
// the lock that makes a read-change-replace one step for every process, and the replacement of a
// file that leaves the earlier one whole when anything fails.
namespace archivoini {

// One version of a file on disk: the same name may hold a new file (another device and inode) or
// new bytes of the same size written within one tick of the modification clock (another change
// time), and either one must be read again.
struct Firma {
    dev_t dispositivo = 0;
    ino_t nodo = 0;
    qint64 tamano = -1;
    qint64 modificadoS = 0, modificadoNs = 0;
    qint64 cambiadoS = 0, cambiadoNs = 0;
    bool operator==(const Firma&) const = default;
};
Firma firmaDe(const struct stat& info);

// The permissions a replacement file is given: those of the file it replaces (`exactos`), or, for a
// new file, `modo` as the process's umask allows it. A file that replaces another also keeps its
// group (`grupo`, when `conGrupo`), so that a file shared with a group stays readable by it.
struct Permisos {
    mode_t modo = 0666;
    bool exactos = false;
    bool conGrupo = false;
    gid_t grupo = 0;
};

// The path a write goes to: a symbolic link is followed to the file it names, so that the link
// stays a link.
QString destinoReal(const QString& archivo);

// The exclusive lock of a settings file, held by this object until it is destroyed. It is taken on
// "<file>.lock", a file beside it that is created once and never replaced, because the settings
// file itself is replaced on every write and a lock on it would be lost with it.
class Cerrojo {
public:
    Cerrojo() = default;
    Cerrojo(const Cerrojo&) = delete;
    Cerrojo& operator=(const Cerrojo&) = delete;
    ~Cerrojo();
    // Waits up to `esperaMs` for the lock of `archivo`. False with a Spanish reason when the lock
    // file cannot be opened or created, or when another process holds the lock that long.
    bool tomar(const QString& archivo, Permisos permisos, int esperaMs, QString* motivo);

private:
    int fd_ = -1;
};

// Replaces `archivo` by a file holding `contenido`: a new file beside it, with the permissions and
// group of `permisos`, written whole and flushed to the disk, then renamed over it. When the group
// cannot be given (this user is not in it), the new file gives its own group no access instead. On
// any failure the new file is removed, the earlier file is left as it was, and `motivo` receives
// the system's reason.
bool reemplazar(const QString& archivo, const QByteArray& contenido, Permisos permisos,
                QString* motivo);

}  // namespace archivoini
