#pragma once
#include <QStringList>

// The report without a window: `varelmo --reporte [--empresas 1,3] [--precio 2] [--archivo
// NOMBRE]`. Runs the same start-up, request, fill and export as the window, takes what the command
// line does not give from the settings file and saves no choice back. The standard output gets the
// workbook's full path alone; failures go to the standard error, and the progress line and the
// notice that the workbook was written go there too when a person is watching (AvanceEnTerminal).
// Returns the process's exit code: 0 when the workbook was written.
int EjecutarReporteSinVentana(const QStringList& argumentos);

// The Spanish help of the command line.
QString AyudaLineaDeOrdenes();
