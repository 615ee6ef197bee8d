#include "programa/ReporteDelPrograma.h"

#include "programa/Contexto.h"

ArchivosPropios ArchivosDelPrograma(const Contexto& c) {
    return {c.lugares.ajustes, c.lugares.descripcion, c.archivoPrograma, c.lugares.libros};
}

SolicitudReporte SolicitudDelPrograma(const Contexto& c, const QString& nivelPrecio,
                                      const QString& archivo, const QList<int>& empresas) {
    SolicitudReporte s;
    s.nivelPrecio = nivelPrecio;
    s.archivo = archivo;
    s.empresas = empresas;
    s.carpeta = c.lugares.libros;
    s.aplicativoExcel = c.AplicativoExcel;
    s.formatoPrecios = c.FormatoPrecios;
    return s;
}

ConexionesReporte ConexionesDelPrograma(Contexto& c) {
    return {c.ConexionPrincipal, c.ConexionEmpresa, c.basesDD, c.instalacion};
}
