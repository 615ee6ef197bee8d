#include "archivos/ErrorSistema.h"

#include <QFileDevice>
#include <cerrno>
#include <cstring>

namespace {
struct Motivo {
    int numero;
    const char16_t* texto;
};

// The failures a user meets while the program writes a file, each said once.
constexpr Motivo Motivos[] = {
    {ENOSPC, u"no queda espacio en el disco"},
#ifdef EDQUOT  // disk quotas: not every system's C library names them
    {EDQUOT, u"se agotó el espacio en disco asignado a este usuario"},
#endif
    {EFBIG, u"el archivo pasa del tamaño máximo que se permite escribir"},
    {EACCES, u"no hay permiso para escribir en la carpeta o el archivo"},
    {EPERM, u"la operación no está permitida en la carpeta o el archivo"},
    {EROFS, u"la carpeta está en un disco de solo lectura"},
    {EISDIR, u"el nombre es el de una carpeta"},
    {ENOTDIR, u"una parte de la ruta no es una carpeta"},
    {ENOENT, u"no existe la carpeta o el archivo"},
    {ENAMETOOLONG, u"el nombre es demasiado largo"},
    {EIO, u"error de lectura o escritura del disco"},
    {EMFILE, u"el programa tiene abiertos demasiados archivos"},
    {ENFILE, u"el sistema tiene abiertos demasiados archivos"},
    {EBUSY, u"el archivo o la carpeta está en uso"},
    {ETXTBSY, u"el archivo está en uso"},
    {ELOOP, u"la ruta tiene demasiados enlaces simbólicos"},
    {EXDEV, u"la carpeta de trabajo está en otro disco"},
};
}  // namespace

QString TextoErrorSistema(int numero) {
    for (const Motivo& m : Motivos)
        if (m.numero == numero) return QString::fromUtf16(m.texto);
    return QString::fromLocal8Bit(std::strerror(numero));
}

QString TextoErrorLectura(int numero) {
    return numero == EACCES ? QStringLiteral("no hay permiso para leer el archivo")
                            : TextoErrorSistema(numero);
}

QString MotivoEscritura(const QFileDevice& archivo, int numero) {
    const bool sabido = archivo.error() != QFileDevice::NoError &&
                        archivo.errorString() != QLatin1String("Unknown error") &&
                        !archivo.errorString().isEmpty();
    if (sabido || numero == 0) return TraducirErroresSistema(archivo.errorString());
    return TextoErrorSistema(numero);
}

QString TraducirErroresSistema(QString texto) {
    for (const Motivo& m : Motivos) {
        const QString delSistema = QString::fromLocal8Bit(std::strerror(m.numero));
        if (!delSistema.isEmpty()) texto.replace(delSistema, QString::fromUtf16(m.texto));
    }
    return texto;
}
