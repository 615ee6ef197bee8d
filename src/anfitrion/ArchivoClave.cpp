#include "anfitrion/ArchivoClave.h"

#include <sodium.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <vector>

#include "archivos/ErrorSistema.h"
#include "plataforma/ArchivoSecreto.h"

namespace archivoclave {

namespace {

// The key file's path as the system writes it, for the messages.
QString nativa(const QString& ruta) { return QDir::toNativeSeparators(ruta); }

bool fallar(QString* error, const QString& texto) {
    if (error) *error = texto;
    return false;
}

QString noSeCreo(const QString& ruta, int numero) {
    return QStringLiteral("No se pudo crear el archivo de clave %1: %2")
        .arg(nativa(ruta), TextoErrorSistema(numero));
}

// Why the key file could not be opened.
QString noSeAbrio(const QString& ruta, int numero) {
    if (numero == ENOENT)
        return QStringLiteral("No se encontró el archivo de clave %1.").arg(nativa(ruta));
    if (numero == ELOOP)
        return QStringLiteral("El archivo de clave %1 no se usa: es un enlace simbólico.")
            .arg(nativa(ruta));
    return QStringLiteral("No se pudo leer el archivo de clave %1: %2")
        .arg(nativa(ruta), TextoErrorLectura(numero));
}

// `tamano` random bytes into a new key file `ruta`; the errno of a failure, else 0.
int llenar(const QString& ruta, std::size_t tamano) {
    std::vector<unsigned char> nueva(tamano);
    randombytes_buf(nueva.data(), nueva.size());
    const int numero = CrearArchivoSecreto(ruta, nueva.data(), nueva.size());
    sodium_memzero(nueva.data(), nueva.size());
    return numero;
}

}  // namespace

bool crear(const QString& ruta, std::size_t tamano, QString* error) {
    if (const std::optional<qint64> existente = TamanoSinSeguirEnlaces(ruta)) {
        if (*existente < 0)
            return fallar(error, QStringLiteral("El archivo de clave %1 no es un archivo normal.")
                                     .arg(nativa(ruta)));
        if (static_cast<std::size_t>(*existente) != tamano)
            return fallar(error,
                          QStringLiteral("El archivo de clave %1 existe pero no tiene %2 bytes.")
                              .arg(nativa(ruta), QString::number(tamano)));
        return true;
    }
    const int numero = llenar(ruta, tamano);
    return numero == 0 || fallar(error, noSeCreo(ruta, numero));
}

bool leer(const QString& ruta, unsigned char* destino, std::size_t tamano, QString* error) {
    // Opened without waiting (a FIFO in its place would block the open for ever) and without
    // following a link; the checks are made on the file actually opened.
    LecturaSecreto lectura(ruta);
    if (lectura.error() != 0) return fallar(error, noSeAbrio(ruta, lectura.error()));
    const std::optional<QString> motivo = lectura.motivoNoConfiable();
    if (!motivo || !motivo->isEmpty())
        return fallar(error, QStringLiteral("El archivo de clave %1 no se usa: %2.")
                                 .arg(nativa(ruta), motivo ? *motivo : TextoErrorSistema(errno)));
    // One byte more than a key: a longer file is detected without reading it all.
    std::vector<unsigned char> leido(tamano + 1);
    const qint64 total = lectura.leerHasta(leido.data(), leido.size());
    const int numero = errno;
    const bool completo = total == static_cast<qint64>(tamano);
    if (completo) std::memcpy(destino, leido.data(), tamano);
    sodium_memzero(leido.data(), leido.size());
    if (total < 0)
        return fallar(error, QStringLiteral("No se pudo leer el archivo de clave %1: %2")
                                 .arg(nativa(ruta), TextoErrorSistema(numero)));
    return completo || fallar(error, QStringLiteral("El archivo de clave %1 no tiene %2 bytes.")
                                         .arg(nativa(ruta), QString::number(tamano)));
}

}  // namespace archivoclave
