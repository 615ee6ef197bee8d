#include "startup/ReporteDelPrograma.h"

#include "common/Programa.h"

ArchivosPropios ArchivosDelPrograma() {
    const Programa& p = programa();
    return {p.ArchivoIni, p.ArchivoDescripcion, p.archivoPrograma, p.carpetaLibros};
}

SolicitudReporte SolicitudDelPrograma(const QString& nivelPrecio, const QString& archivo,
                                      const QList<int>& empresas) {
    const Programa& p = programa();
    SolicitudReporte s;
    s.nivelPrecio = nivelPrecio;
    s.archivo = archivo;
    s.empresas = empresas;
    s.carpeta = p.carpetaLibros;
    s.aplicativoExcel = p.AplicativoExcel;
    s.formatoPrecios = p.FormatoPrecios;
    return s;
}

ConexionesReporte ConexionesDelPrograma() {
    Programa& p = programa();
    return {p.ConexionPrincipal, p.ConexionEmpresa, *p.basesDD, *p.deAcceso};
}
