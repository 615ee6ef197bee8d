#include "report/Reporte.h"

#include <QDir>

#include "common/Mensajes.h"
#include "report/FusionEmpresa.h"
#include "report/SolicitudReporte.h"
#include "report/TurnoReporte.h"
#include "report/clsLlenarTabla.h"

namespace {
QString conArchivo(const QString& plantilla, const QString& archivo) {
    QString texto = plantilla;
    return texto.replace(QStringLiteral("XXX"), archivo);
}
}  // namespace

QString ResultadoReporte::texto() const {
    switch (estado) {
        case Estado::Creado:
            return conArchivo(QStringLiteral("Archivo 'XXX' creado"), archivo);
        case Estado::NoCreado:
            return conArchivo(
                QStringLiteral(
                    "El archivo 'XXX' no fue creado, debido a un error de automatización"),
                archivo);
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

int ResultadoReporte::estilo() const { return estado == Estado::Creado ? 0 : 16; }

QString ResultadoReporte::titulo() const {
    return estado == Estado::Creado ? QStringLiteral("Aviso") : QStringLiteral("Alerta");
}

ResultadoReporte GenerarReporte(const SolicitudReporte& solicitud, ConexionesReporte conexiones,
                                const Progreso& progreso, const OpcionesReporte& opciones) {
    ResultadoReporte resultado;
    resultado.archivo = solicitud.archivo;
    resultado.ruta = QDir(solicitud.carpeta).filePath(solicitud.archivo);
    const auto terminar = [&](ResultadoReporte::Estado estado, const QString& motivo = QString()) {
        resultado.estado = estado;
        resultado.motivo = motivo;
        return resultado;
    };
    // Reports on this host take turns with the working table; while another one holds it, the
    // progress line says so.
    TurnoReporte turno(conexiones.principal);
    QString error;
    switch (turno.tomar(
        EsperaTurnoMs, [&] { return !progreso || progreso(TextoEsperandoTurno()); }, &error)) {
        case TurnoReporte::Resultado::Tomado:
            break;
        case TurnoReporte::Resultado::Agotado:
            return terminar(ResultadoReporte::Estado::Fallido, TextoTurnoAgotado());
        case TurnoReporte::Resultado::Cancelado:
            return terminar(ResultadoReporte::Estado::Cancelado);
        case TurnoReporte::Resultado::Fallo:
            return terminar(ResultadoReporte::Estado::Fallido, error);
    }
    if (!CrearTablaTrabajo(conexiones.principal, solicitud.empresas, &error))
        return terminar(ResultadoReporte::Estado::Fallido, error);
    return clsLlenarTabla(solicitud, conexiones, progreso, opciones).RellenarTabla();
}

void AvisarResultado(const ResultadoReporte& resultado) {
    if (resultado.estado != ResultadoReporte::Estado::Cancelado)
        Mensaje(resultado.texto(), resultado.estilo(), resultado.titulo());
}
