#pragma once
#include <QList>
#include <QString>

#include "report/Reporte.h"
#include "report/clsLlenarTabla.h"

struct Contexto;

// Reports on the host the program was started on (AnfitrionPrueba::arrancar, its context), as the
// window runs them: the selection list set, the outcome told to the user as the window tells it.
namespace prueba {
// The whole report: the host's turn, the working table made again, filled and exported.
ResultadoReporte reporte(Contexto& contexto, const QList<int>& ids, const QString& nivel,
                         const QString& archivo, const OpcionesReporte& opciones = {},
                         const Progreso& progreso = {});
// The report class for a working table the test made itself.
clsLlenarTabla llenado(Contexto& contexto, const QList<int>& ids, const QString& nivel,
                       const QString& archivo, const Progreso& progreso = {},
                       const OpcionesReporte& opciones = {});
// Fills and exports that table, and tells the outcome.
ResultadoReporte rellenar(Contexto& contexto, const QList<int>& ids, const QString& nivel,
                          const QString& archivo);
}  // namespace prueba
