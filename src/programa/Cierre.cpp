#include "programa/Cierre.h"

#include "anfitrion/ArchivoIni.h"
#include "basedatos/BasesDD.h"
#include "programa/Arranque.h"
#include "programa/Contexto.h"
#include "programa/ParaPluginsPortables.h"
#include "report/SolicitudReporte.h"
#include "report/TurnoReporte.h"

QStringList GuardarElecciones(const QString& archivoIni, const QList<EleccionEmpresa>& empresas,
                              const QString& precio, const QString& archivo) {
    // Ticks are saved under the company's Id, the key start-up reads them back from. Everything
    // goes in one write: a write per company would rewrite a file of megabytes once per company.
    QList<std::pair<QString, QString>> valores;
    valores.reserve(empresas.size() + 2);
    for (const EleccionEmpresa& e : empresas)
        valores.push_back(
            {QStringLiteral("Empresa %1").arg(e.id), e.marcada ? TextoSi() : TextoNo()});
    valores.push_back({QStringLiteral("Precio"), precio});
    valores.push_back({QStringLiteral("Archivo de Excel"), archivo});
    QString error;
    if (ArchivoIni::escribirVarias(archivoIni, SeccionConfiguracion(), valores, &error)) return {};
    return {error};
}

void CerrarBasesDeDatos(Contexto& p) {
    // The working table goes unless another report on this host holds it at this moment.
    if (p.ConexionPrincipal.abierta()) {
        TurnoReporte turno(p.ConexionPrincipal);
        if (turno.tomarSiLibre()) QuitarTablaTrabajo(p.ConexionPrincipal);
    }
    p.basesDD.CierraBdD(p.ConexionPrincipal);
    p.basesDD.CierraBdD(p.ConexionEmpresa);
}
