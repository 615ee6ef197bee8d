#include "ReportePrueba.h"

#include "programa/Contexto.h"
#include "programa/ReporteDelPrograma.h"

namespace prueba {

ResultadoReporte reporte(Contexto& c, const QList<int>& ids, const QString& nivel,
                         const QString& archivo, const OpcionesReporte& opciones,
                         const Progreso& progreso) {
    c.listaSeleccion = ids;
    const ResultadoReporte r = GenerarReporte(SolicitudDelPrograma(c, nivel, archivo, ids),
                                              ConexionesDelPrograma(c), progreso, opciones);
    AvisarResultado(*c.dialogos, r);
    return r;
}

clsLlenarTabla llenado(Contexto& c, const QList<int>& ids, const QString& nivel,
                       const QString& archivo, const Progreso& progreso,
                       const OpcionesReporte& opciones) {
    c.listaSeleccion = ids;
    return clsLlenarTabla(SolicitudDelPrograma(c, nivel, archivo, ids), ConexionesDelPrograma(c),
                          progreso, opciones);
}

ResultadoReporte rellenar(Contexto& c, const QList<int>& ids, const QString& nivel,
                          const QString& archivo) {
    const ResultadoReporte r = llenado(c, ids, nivel, archivo).RellenarTabla();
    AvisarResultado(*c.dialogos, r);
    return r;
}

}  // namespace prueba
