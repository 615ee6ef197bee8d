#pragma once
#include <QList>
#include <QString>

#include "report/Reporte.h"
#include "report/SolicitudReporte.h"

// What a report takes from the running program's state, for the window and the headless run: the
// names of its own files, the request of a report for `empresas` (the program's folder and
// spreadsheet settings included), and the host it runs on (both connections, the host's
// settings, the cipher).
ArchivosPropios ArchivosDelPrograma();
SolicitudReporte SolicitudDelPrograma(const QString& nivelPrecio, const QString& archivo,
                                      const QList<int>& empresas);
ConexionesReporte ConexionesDelPrograma();
