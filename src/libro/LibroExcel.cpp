#include "libro/LibroExcel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "archivos/CarpetaTrabajo.h"
#include "archivos/ErrorSistema.h"
#include "plataforma/Disco.h"

// ---------------------------------------------------------------------------------------------
// LibroExcel

namespace {

// The mode a new file gets: 0666 less the process's umask, read without changing it (setting
// the mask to read it back would affect every thread of the process meanwhile).
mode_t permisosNuevos() {
    mode_t mascara = 022;
    QFile estado(QStringLiteral("/proc/self/status"));
    if (estado.open(QIODevice::ReadOnly)) {
        for (const QByteArray& linea : estado.readAll().split('\n')) {
            if (!linea.startsWith("Umask:")) continue;
            bool bien = false;
            const uint valor = linea.mid(6).trimmed().toUInt(&bien, 8);
            if (bien) mascara = static_cast<mode_t>(valor & 0777);
            break;
        }
    }
    return static_cast<mode_t>(0666 & ~mascara);
}

// Gives the finished working file at `ruta` its mode and flushes it to disk, through one
// descriptor opened without following a link, so that the rename never exposes a workbook still
// in the cache. The errno of the failure, or 0.
int asentar(const QString& ruta, mode_t modo) {
    const int fd = ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno;
    struct stat datos {};
    int numero = 0;
    if (::fstat(fd, &datos) != 0)
        numero = errno;
    else if (!S_ISREG(datos.st_mode))
        numero = EINVAL;
    else if (::fchmod(fd, modo) != 0 || !sincronizar(fd))
        numero = errno;
    if (::close(fd) != 0 && numero == 0) numero = errno;
    return numero;
}

// Keep the permissions of the regular file being replaced; a new file gets the usual ones.
mode_t modoDelLibro(const QString& ruta) {
    struct stat anterior {};
    return ::lstat(QFile::encodeName(ruta).constData(), &anterior) == 0 && S_ISREG(anterior.st_mode)
               ? static_cast<mode_t>(anterior.st_mode & 07777)
               : permisosNuevos();
}

// Why no workbook can be written at `ruta` ("" when one can): no name, a folder there, a folder
// that does not exist, or a file there that cannot be written.
QString destinoImposible(const QString& ruta) {
    if (ruta.isEmpty())
        return QStringLiteral("No se guardó el libro: falta el nombre del archivo.");
    const QFileInfo destino(ruta);
    if (destino.isDir())
        return QStringLiteral("No se guardó el libro: '%1' es una carpeta, no un archivo.")
            .arg(ruta);
    const QString carpeta = destino.absolutePath();
    if (!QFileInfo(carpeta).isDir())
        return QStringLiteral("No se guardó el libro '%1': no existe la carpeta '%2'.")
            .arg(ruta, QDir::toNativeSeparators(carpeta));
    // A file made read-only while the rows were merged keeps its bytes.
    bool elArchivo = false;
    if (const int numero = ImpedimentoEscritura(ruta, &elArchivo); numero != 0 && elArchivo)
        return QStringLiteral("No se guardó el libro '%1': %2.")
            .arg(ruta, numero == EACCES || numero == EPERM
                           ? QStringLiteral("el archivo es de solo lectura")
                           : TextoErrorSistema(numero));
    return QString();
}

}  // namespace

LibroExcel::LibroExcel() = default;
LibroExcel::~LibroExcel() = default;

bool LibroExcel::guardarComo(const QString& ruta, QString* error) {
    return preparar(ruta, error) && reemplazar(error);
}

bool LibroExcel::preparar(const QString& ruta, QString* error) {
    preparado_.reset();
    auto fallar = [error](const QString& texto) {
        if (error) *error = TraducirErroresSistema(texto);
        return false;
    };
    // The caller keeps the copied rows' source alive only until this returns.
    struct SoltarCopia {
        HojaExcel& hoja;
        ~SoltarCopia() { hoja.descartarCopia(); }
    } soltarCopia{hoja_};
    if (const QString pendiente = hoja_.errorPendiente(); !pendiente.isEmpty())
        return fallar(QStringLiteral("No se guardó el libro '%1': %2").arg(ruta, pendiente));
    if (const QString impedimento = destinoImposible(ruta); !impedimento.isEmpty())
        return fallar(impedimento);
    const QString carpeta = QFileInfo(ruta).absolutePath();

    // The workbook and the writers' working files are written in a folder of the process's own
    // (mode 0700) beside the target, on the same file system: nobody else who can write the
    // target's folder can put a link in their place meanwhile. The finished workbook is then
    // renamed over the target, which replaces a link there instead of following it. Folders that
    // runs which died left here go first.
    CarpetaTrabajo::limpiarAbandonadas(carpeta, QStringLiteral(".varelmo-"));
    auto privada = std::make_unique<CarpetaTrabajo>(carpeta, QStringLiteral(".varelmo-"));
    if (!privada->valida())
        return fallar(
            QStringLiteral("No se guardó el libro '%1': no se pudo crear una carpeta de trabajo en "
                           "'%2' (%3).")
                .arg(ruta, QDir::toNativeSeparators(carpeta), privada->error()));
    const QString rutaTemporal = privada->archivo(QStringLiteral("libro"));

    QString detalle;
    const std::unique_ptr<EscritorLibro> escritor = escritorParaRuta(ruta, ooxml_);
    escritor->ponerAvanceCierre(avanceCierre_);
    if (!escritor->escribir(hoja_, rutaTemporal, privada->ruta(), &detalle))
        return fallar(QStringLiteral("No se guardó el libro '%1': %2").arg(ruta, detalle));

    if (const int numero = asentar(rutaTemporal, modoDelLibro(ruta)); numero != 0)
        return fallar(
            QStringLiteral(
                "No se guardó el libro '%1': no se pudo asentar el archivo en disco (%2).")
                .arg(ruta, TextoErrorSistema(numero)));
    preparado_ = std::move(privada);
    ruta_ = ruta;
    return true;
}

void LibroExcel::descartar() { preparado_.reset(); }

bool LibroExcel::reemplazar(QString* error) {
    if (!preparado_) {
        if (error) *error = QStringLiteral("No se guardó el libro: no hay un libro preparado.");
        return false;
    }
    const std::unique_ptr<CarpetaTrabajo> privada = std::move(preparado_);
    if (std::rename(QFile::encodeName(privada->archivo(QStringLiteral("libro"))).constData(),
                    QFile::encodeName(ruta_).constData()) != 0) {
        if (error)
            *error = QStringLiteral("No se pudo reemplazar el archivo '%1': %2")
                         .arg(ruta_, TextoErrorSistema(errno));
        return false;
    }
    // The rename itself reaches the disk too, so that a power cut cannot bring the earlier file
    // back after the user was told the new one is there.
    sincronizarCarpeta(ruta_);
    return true;
}

// ---------------------------------------------------------------------------------------------
// AplicacionExcel

std::unique_ptr<AplicacionExcel> AplicacionExcel::crear(const QString& clase, QString* error) {
    if (clase.compare(QLatin1String("Excel.Application"), Qt::CaseInsensitive) != 0) {
        if (error)
            *error = QStringLiteral(
                         "No se pudo crear el objeto de automatización '%1': la clase no está "
                         "registrada.")
                         .arg(clase);
        return nullptr;
    }
    return std::unique_ptr<AplicacionExcel>(new AplicacionExcel());
}

std::unique_ptr<LibroExcel> AplicacionExcel::agregarLibro() {
    return std::make_unique<LibroExcel>();
}
