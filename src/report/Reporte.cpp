#include "report/Reporte.h"

#include <QDir>
#include <optional>

#include "dialogos/Dialogos.h"
#include "dialogos/EstiloMensaje.h"
#include "dialogos/Mensajes.h"
#include "report/FusionEmpresa.h"
#include "report/SolicitudReporte.h"
#include "report/TurnoReporte.h"
#include "report/clsLlenarTabla.h"

namespace {
// Companies named at most in the message; the rest are counted.
constexpr int OmisionesNombradas = 20;

QString conArchivo(const QString& plantilla, const QString& archivo) {
    QString texto = plantilla;
    return texto.replace(QStringLiteral("XXX"), archivo);
}

// The lines that tell what a written workbook lacks.
QString textoOmisiones(const QList<ResultadoReporte::Omision>& omisiones) {
    if (omisiones.isEmpty()) return QString();
    QString texto = QStringLiteral("\r\rNo se incluyó en el reporte:");
    for (qsizetype i = 0; i < omisiones.size() && i < OmisionesNombradas; ++i)
        texto += QStringLiteral("\r- empresa %1: ").arg(omisiones[i].id) + omisiones[i].motivo;
    if (omisiones.size() > OmisionesNombradas)
        texto += QStringLiteral("\r- y %1 empresas más").arg(omisiones.size() - OmisionesNombradas);
    return texto;
}
// The outcome of a run that wrote nothing: for `solicitud`, in `estado`, with `motivo`.
ResultadoReporte resultadoSinLibro(const SolicitudReporte& solicitud,
                                   ResultadoReporte::Estado estado, const QString& motivo) {
    ResultadoReporte resultado;
    resultado.archivo = solicitud.archivo;
    resultado.ruta = solicitud.rutaArchivo();
    resultado.estado = estado;
    resultado.motivo = motivo;
    return resultado;
}

// Waits for the host's turn (a minute at most, the progress line saying so): nothing once taken,
// otherwise how the run ends (Fallido with `error`, or Cancelado).
std::optional<ResultadoReporte::Estado> esperarTurno(TurnoReporte& turno, const Progreso& progreso,
                                                     QString* error) {
    switch (turno.tomar(
        EsperaTurnoMs, [&] { return !progreso || progreso(TextoEsperandoTurno()); }, error)) {
        case TurnoReporte::Resultado::Tomado:
            return std::nullopt;
        case TurnoReporte::Resultado::Agotado:
            *error = TextoTurnoAgotado();
            return ResultadoReporte::Estado::Fallido;
        case TurnoReporte::Resultado::Cancelado:
            return ResultadoReporte::Estado::Cancelado;
        case TurnoReporte::Resultado::Fallo:
            break;
    }
    return ResultadoReporte::Estado::Fallido;
}
}  // namespace

QString ResultadoReporte::texto() const {
    switch (estado) {
        case Estado::Creado:
            return conArchivo(QStringLiteral("Archivo 'XXX' creado"), archivo) +
                   textoOmisiones(omisiones);
        case Estado::NoCreado:
            return conArchivo(
                       QStringLiteral(
                           "El archivo 'XXX' no fue creado, debido a un error de automatización"),
                       archivo) +
                   (motivo.isEmpty() ? QString() : QStringLiteral("\r\r") + motivo);
        case Estado::ExcedeXls:
            return conArchivo(
                QStringLiteral(
                    "El archivo 'XXX' no fue creado: el formato .xls admite hasta 65,536 filas y "
                    "256 columnas; use un nombre terminado en .xlsx"),
                archivo);
        case Estado::Fallido:
            return TextoReporteFallido(motivo);
        case Estado::Cancelado:
            return QString();
    }
    return QString();
}

EstiloMensaje ResultadoReporte::estilo() const {
    // A workbook written without some companies gets the warning's icon.
    return incompleto() ? estilos::Advertencia : creado() ? estilos::Aviso : estilos::Alto;
}

QString ResultadoReporte::titulo() const {
    return estado == Estado::Creado ? QStringLiteral("Aviso") : QStringLiteral("Alerta");
}

ResultadoReporte GenerarReporte(const SolicitudReporte& solicitud, ConexionesReporte conexiones,
                                const Progreso& progreso, const OpcionesReporte& opciones) {
    QString error;
    // The turn: reports on this host take turns with the working table; while another one holds
    // it, the progress line says so.
    TurnoReporte turno(conexiones.principal);
    if (const std::optional<ResultadoReporte::Estado> sinTurno =
            esperarTurno(turno, progreso, &error))
        return resultadoSinLibro(solicitud, *sinTurno, error);
    // The working table: only the report that holds the turn touches it, and only while it does.
    if (!CrearTablaTrabajo(conexiones.principal, solicitud.empresas, &error))
        return resultadoSinLibro(solicitud, ResultadoReporte::Estado::Fallido, error);
    // The merge, the export and their result.
    const ResultadoReporte resultado =
        clsLlenarTabla(solicitud, conexiones, progreso, opciones).RellenarTabla();
    // A run cut short leaves no half-filled working table behind.
    if (solicitud.quitarTablaAlFinal || resultado.estado == ResultadoReporte::Estado::Cancelado)
        QuitarTablaTrabajo(conexiones.principal);
    return resultado;
}

void AvisarResultado(Dialogos& dialogos, const ResultadoReporte& resultado) {
    if (resultado.estado == ResultadoReporte::Estado::Cancelado) return;
    if (!resultado.creado()) {
        Mensaje(dialogos, resultado.texto(), resultado.estilo(), resultado.titulo());
        return;
    }
    // The notice of a written workbook offers to open it in the desktop's own program.
    if (MensajeConBoton(dialogos, resultado.texto(), resultado.estilo(), resultado.titulo(),
                        QStringLiteral("Abrir")) == Respuesta::Adicional &&
        !dialogos.abrirDocumento(resultado.ruta))
        Mensaje(dialogos,
                QStringLiteral("No se pudo abrir el archivo '%1'")
                    .arg(QDir::toNativeSeparators(resultado.ruta)),
                estilos::Alto, QStringLiteral("Alerta"));
}
