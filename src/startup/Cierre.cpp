#include "startup/Cierre.h"

#include "common/Programa.h"
#include "components/BasesDD.h"
#include "components/LibOBCM.h"
#include "report/SolicitudReporte.h"
#include "report/TurnoReporte.h"
#include "startup/Arranque.h"
#include "startup/ParaPluginsPortables.h"

QStringList GuardarElecciones(const QList<EleccionEmpresa>& empresas, const QString& precio,
                              const QString& archivo) {
    Programa& p = programa();
    QStringList fallos;
    auto escribir = [&](const QString& clave, const QString& valor) {
        QString error;
        if (!p.libOBCM->EscribeIni(SeccionConfiguracion(), clave, valor, p.ArchivoIni, &error) &&
            !fallos.contains(error))
            fallos << error;
    };
    // Ticks are saved under the company's Id, the key start-up reads them back from.
    for (const EleccionEmpresa& e : empresas)
        escribir(QStringLiteral("Empresa %1").arg(e.id), e.marcada ? TextoSi() : TextoNo());
    escribir(QStringLiteral("Precio"), precio);
    escribir(QStringLiteral("Archivo de Excel"), archivo);
    return fallos;
}

void CerrarBasesDeDatos() {
    Programa& p = programa();
    // The working table goes unless another report on this host holds it at this moment.
    if (p.ConexionPrincipal.abierta()) {
        TurnoReporte turno(p.ConexionPrincipal);
        if (turno.tomarSiLibre()) QuitarTablaTrabajo(p.ConexionPrincipal);
    }
    if (p.basesDD) {
        p.basesDD->CierraTabla(p.TablaEmpresas);
        p.basesDD->CierraBdD(p.ConexionPrincipal);
        p.basesDD->CierraBdD(p.ConexionEmpresa);
    } else {
        p.TablaEmpresas.cerrar();
        p.ConexionPrincipal.cerrar();
        p.ConexionEmpresa.cerrar();
    }
}
