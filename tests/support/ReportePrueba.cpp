#include "ReportePrueba.h"

#include "common/Programa.h"
#include "startup/ReporteDelPrograma.h"

namespace prueba {

ResultadoReporte reporte(const QList<int>& ids, const QString& nivel, const QString& archivo,
                         const OpcionesReporte& opciones, const Progreso& progreso) {
    programa().listaSeleccion = ids;
    const ResultadoReporte r = GenerarReporte(SolicitudDelPrograma(nivel, archivo, ids),
                                              ConexionesDelPrograma(), progreso, opciones);
    AvisarResultado(r);
    return r;
}

clsLlenarTabla llenado(const QList<int>& ids, const QString& nivel, const QString& archivo,
                       const Progreso& progreso, const OpcionesReporte& opciones) {
    programa().listaSeleccion = ids;
    return clsLlenarTabla(SolicitudDelPrograma(nivel, archivo, ids), ConexionesDelPrograma(),
                          progreso, opciones);
}

ResultadoReporte rellenar(const QList<int>& ids, const QString& nivel, const QString& archivo) {
    const ResultadoReporte r = llenado(ids, nivel, archivo).RellenarTabla();
    AvisarResultado(r);
    return r;
}

}  // namespace prueba
