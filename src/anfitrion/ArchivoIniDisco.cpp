#include "anfitrion/ArchivoIniDisco.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <cerrno>
#include <cstring>

#include "archivos/ErrorSistema.h"
#include "plataforma/Disco.h"

namespace archivoini {

namespace {

QByteArray nativo(const QString& ruta) { return QFile::encodeName(ruta); }

// Opens the lock file, creating it when missing. A lock file another user owns and this one may
// only read still serves: a lock needs no write access.
int abrirCerrojo(const QByteArray& ruta, Permisos permisos) {
    for (int intento = 0; intento < 3; ++intento) {
        int fd = ::open(ruta.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0 && errno == EACCES) fd = ::open(ruta.constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) return fd;
        const mode_t modo = permisos.exactos ? S_IRUSR | S_IWUSR : permisos.modo;
        fd = ::open(ruta.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, modo);
        if (fd >= 0) {
            if (permisos.exactos) (void)::fchmod(fd, permisos.modo);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// One try at the exclusive lock of the open lock file, without waiting: true when it is held.
// The lock belongs to the open file, not to the process, so two opens of the same file in one
// process exclude each other too. On Windows this is LockFileEx with LOCKFILE_EXCLUSIVE_LOCK |
// LOCKFILE_FAIL_IMMEDIATELY on the lock file's handle.
bool intentarBloqueo(int fd, int* numero) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        *numero = errno;
        return false;
    }
    return true;
}

// Creates a new file beside `archivo` under a name no other file has; its path goes to `ruta`.
int crearNuevo(const QString& archivo, Permisos permisos, QByteArray* ruta) {
    static constexpr char letras[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int intento = 0; intento < 100; ++intento) {
        QByteArray sufijo(".", 1);
        for (int i = 0; i < 8; ++i)
            sufijo += letras[QRandomGenerator::global()->bounded(int(sizeof letras) - 1)];
        *ruta = nativo(archivo) + sufijo + ".nuevo";
        const mode_t modo = permisos.exactos ? S_IRUSR | S_IWUSR : permisos.modo;
        const int fd = ::open(ruta->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, modo);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the new file `fd` the group and the mode of `permisos`. The group goes first: a mode that
// lets a group read is never left on a file of another group than the one it was meant for.
bool darPermisos(int fd, Permisos permisos) {
    mode_t modo = permisos.modo;
    if (permisos.conGrupo && ::fchown(fd, static_cast<uid_t>(-1), permisos.grupo) != 0)
        modo &= ~static_cast<mode_t>(S_IRWXG);
    return !permisos.exactos || ::fchmod(fd, modo) == 0;
}

}  // namespace

Firma firmaDe(const struct stat& info) {
    return Firma{info.st_dev,         info.st_ino,          qint64{info.st_size},
                 info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_ctim.tv_sec,
                 info.st_ctim.tv_nsec};
}

QString destinoReal(const QString& archivo) {
    QFileInfo info(archivo);
    for (int vuelta = 0; vuelta < 40 && info.isSymLink(); ++vuelta)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? archivo : info.filePath();
}

Cerrojo::~Cerrojo() {
    // Closing the lock file releases the lock.
    if (fd_ >= 0) ::close(fd_);
}

bool Cerrojo::tomar(const QString& archivo, Permisos permisos, int esperaMs, QString* motivo) {
    fd_ = abrirCerrojo(nativo(archivo + QStringLiteral(".lock")), permisos);
    if (fd_ < 0) {
        *motivo = TextoErrorSistema(errno);
        return false;
    }
    const QDeadlineTimer plazo(esperaMs);
    int numero = 0;
    while (!intentarBloqueo(fd_, &numero)) {
        if (numero != EWOULDBLOCK) {
            *motivo = TextoErrorSistema(numero);
            return false;
        }
        if (plazo.hasExpired()) {
            *motivo =
                QStringLiteral("otro programa lo está modificando y no terminó en %1 segundos")
                    .arg(esperaMs / 1000);
            return false;
        }
        QThread::msleep(10);
    }
    return true;
}

bool reemplazar(const QString& archivo, const QByteArray& contenido, Permisos permisos,
                QString* motivo) {
    QByteArray nuevo;
    const int fd = crearNuevo(archivo, permisos, &nuevo);
    if (fd < 0) {
        *motivo = TextoErrorSistema(errno);
        return false;
    }
    bool bien = darPermisos(fd, permisos) &&
                escribirTodo(fd, contenido.constData(), size_t(contenido.size())) &&
                sincronizar(fd);
    int numero = errno;
    // Linux closes the descriptor even when close reports EINTR: it is never closed twice.
    if (::close(fd) != 0 && bien && errno != EINTR) bien = false, numero = errno;
    if (bien && ::rename(nuevo.constData(), nativo(archivo).constData()) != 0)
        bien = false, numero = errno;
    if (!bien) {
        ::unlink(nuevo.constData());
        *motivo = TextoErrorSistema(numero);
        return false;
    }
    sincronizarCarpeta(archivo);
    return true;
}

}  // namespace archivoini
