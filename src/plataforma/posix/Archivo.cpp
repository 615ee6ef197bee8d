#include "plataforma/Archivo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cerrno>

#include "plataforma/Disco.h"
#include "plataforma/NombreAlAzar.h"

namespace {

QByteArray nativo(const QString& ruta) { return QFile::encodeName(ruta); }

DatosArchivo datosDe(const struct stat& info) {
    DatosArchivo d;
    d.tipo = S_ISREG(info.st_mode)   ? TipoArchivo::Comun
             : S_ISDIR(info.st_mode) ? TipoArchivo::Carpeta
                                     : TipoArchivo::Otro;
    d.tamano = qint64{info.st_size};
    d.firma = FirmaArchivo{info.st_dev,         info.st_ino,          qint64{info.st_size},
                           info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_ctim.tv_sec,
                           info.st_ctim.tv_nsec};
    d.permisos = info.st_mode & 0777;
    d.grupo = info.st_gid;
    return d;
}

// Opens the lock file, creating it when missing.
int abrirCerrojo(const QByteArray& ruta, PermisosArchivo permisos) {
    for (int intento = 0; intento < 3; ++intento) {
        int fd = ::open(ruta.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0 && errno == EACCES) fd = ::open(ruta.constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) return fd;
        const mode_t modo = permisos.exactos ? S_IRUSR | S_IWUSR : permisos.permisos;
        fd = ::open(ruta.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, modo);
        if (fd >= 0) {
            if (permisos.exactos) (void)::fchmod(fd, permisos.permisos);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// One try at the exclusive lock of the open lock file, without waiting: true when it is held.
// The lock belongs to the open file, not to the process, so two opens of the same file in one
// process exclude each other too.
bool intentarBloqueo(int fd, int* numero) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        *numero = errno;
        return false;
    }
    return true;
}

// Creates a new file beside `archivo` under a name no other file has; its path goes to `ruta`.
int crearNuevo(const QString& archivo, PermisosArchivo permisos, QByteArray* ruta) {
    for (int intento = 0; intento < 100; ++intento) {
        *ruta = nativo(archivo + u'.' + SufijoAlAzar(8) + QStringLiteral(".nuevo"));
        const mode_t modo = permisos.exactos ? S_IRUSR | S_IWUSR : permisos.permisos;
        const int fd = ::open(ruta->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, modo);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the new file `fd` the group and the mode of `permisos`. The group goes first: a mode that
// lets a group read is never left on a file of another group than the one it was meant for.
bool darPermisos(int fd, PermisosArchivo permisos) {
    mode_t modo = permisos.permisos;
    if (permisos.conGrupo && ::fchown(fd, static_cast<uid_t>(-1), permisos.grupo) != 0)
        modo &= ~static_cast<mode_t>(S_IRWXG);
    return !permisos.exactos || ::fchmod(fd, modo) == 0;
}

}  // namespace

std::optional<DatosArchivo> DatosDeArchivo(const QString& ruta) {
    struct stat info {};
    const QByteArray nombre = nativo(ruta);
    if (nombre.isEmpty() || ::stat(nombre.constData(), &info) != 0) return std::nullopt;
    return datosDe(info);
}

int ImpedimentoDeEscribir(const QString& ruta) {
    return ::access(nativo(ruta).constData(), W_OK) == 0 ? 0 : errno;
}

LecturaArchivo::LecturaArchivo(const QString& ruta)
    : archivo_(::open(nativo(ruta).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)),
      error_(archivo_ < 0 ? errno : 0) {}

LecturaArchivo::~LecturaArchivo() {
    if (archivo_ >= 0) ::close(archivo_);
}

std::optional<DatosArchivo> LecturaArchivo::datos() const {
    struct stat info {};
    if (::fstat(archivo_, &info) != 0) return std::nullopt;
    return datosDe(info);
}

bool LecturaArchivo::leerTodo(qint64 tamano, qint64 maximo, QByteArray* datos) {
    datos->resize(qsizetype(tamano) + 1);
    qsizetype leidos = 0;
    for (;;) {
        if (leidos == datos->size()) {
            if (leidos > maximo) break;
            datos->resize(qsizetype(std::min<qint64>(maximo + 1, leidos * qint64{2})));
        }
        const ssize_t n = ::read(archivo_, datos->data() + leidos, size_t(datos->size() - leidos));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        leidos += n;
    }
    datos->resize(leidos);
    return true;
}

PermisosArchivo SoloParaElDueno() { return {S_IRUSR | S_IWUSR, true}; }

CerrojoDeArchivo::~CerrojoDeArchivo() {
    // Closing the lock file releases the lock.
    if (archivo_ >= 0) ::close(archivo_);
}

CerrojoDeArchivo::Toma CerrojoDeArchivo::tomar(const QString& archivo, PermisosArchivo permisos,
                                               int esperaMs, int* numero) {
    archivo_ = abrirCerrojo(nativo(archivo + QStringLiteral(".lock")), permisos);
    if (archivo_ < 0) {
        *numero = errno;
        return Toma::Fallo;
    }
    const QDeadlineTimer plazo(esperaMs);
    while (!intentarBloqueo(archivo_, numero)) {
        if (*numero != EWOULDBLOCK) return Toma::Fallo;
        if (plazo.hasExpired()) return Toma::Ocupado;
        QThread::msleep(10);
    }
    return Toma::Tomado;
}

bool ReemplazarArchivo(const QString& archivo, const QByteArray& contenido,
                       PermisosArchivo permisos, int* numero) {
    QByteArray nuevo;
    const int fd = crearNuevo(archivo, permisos, &nuevo);
    if (fd < 0) {
        *numero = errno;
        return false;
    }
    bool bien = darPermisos(fd, permisos) &&
                escribirTodo(fd, contenido.constData(), size_t(contenido.size())) &&
                sincronizar(fd);
    *numero = errno;
    // Linux closes the descriptor even when close reports EINTR: it is never closed twice.
    if (::close(fd) != 0 && bien && errno != EINTR) bien = false, *numero = errno;
    if (bien && ::rename(nuevo.constData(), nativo(archivo).constData()) != 0)
        bien = false, *numero = errno;
    if (!bien) {
        ::unlink(nuevo.constData());
        return false;
    }
    sincronizarCarpeta(archivo);
    return true;
}

bool LineasConCrLf() { return false; }
