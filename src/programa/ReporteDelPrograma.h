#pragma once
#include <QList>
#include <QString>

#include "report/Reporte.h"
#include "report/SolicitudReporte.h"

struct Contexto;

// What a report takes from the run's context, for the window and the headless run: the names of
// the program's own files, the request of a report for `empresas` (the workbooks' folder and the
// spreadsheet settings included), and the host it runs on (both connections, the host's settings,
// the cipher).
ArchivosPropios ArchivosDelPrograma(const Contexto& contexto);
SolicitudReporte SolicitudDelPrograma(const Contexto& contexto, const QString& nivelPrecio,
                                      const QString& archivo, const QList<int>& empresas);
ConexionesReporte ConexionesDelPrograma(Contexto& contexto);
