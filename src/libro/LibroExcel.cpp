#include "libro/LibroExcel.h"

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

    if (const int numero = AsentarArchivo(rutaTemporal, PermisosParaReemplazar(ruta)); numero != 0)
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
    // The new file takes the earlier one's place in one step, and that step reaches the disk too,
    // so that a power cut cannot bring the earlier file back after the user was told the new one
    // is there.
    if (PonerEnSuLugar(privada->archivo(QStringLiteral("libro")), ruta_)) return true;
    if (error)
        *error = QStringLiteral("No se pudo reemplazar el archivo '%1': %2")
                     .arg(ruta_, TextoErrorSistema(errno));
    return false;
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
