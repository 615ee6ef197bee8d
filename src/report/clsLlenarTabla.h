#pragma once
#include <QElapsedTimer>
#include <QMap>
#include <QString>

#include "report/FusionReporte.h"
#include "report/HojaReporte.h"
#include "report/Reporte.h"

class BasesDD;
class Recordset;

// One report run: fills the working table company by company and writes it to the workbook.
//
// RellenarTabla runs the report's merge, export and result steps. The merge looks each ticked
// company up (its row of empresas, its own server's settings deciphered) and has FusionReporte
// merge them, in list order, into the working table: a code gets its row from the first company
// that has it (its description, and the warning when that company is not the first of the list);
// every company writes its own cost and price pair. The export (ExportarExcel) lays out the
// sheet's headings and has FusionReporte stream the rows in, in code order. It takes
// everything from its inputs (Reporte.h): the request, the host's connections and settings, the
// progress line.
class clsLlenarTabla {
public:
    clsLlenarTabla(SolicitudReporte solicitud, ConexionesReporte conexiones, Progreso progreso = {},
                   OpcionesReporte opciones = {});

    // Fills the working table just made for the request and writes the workbook: what came of it.
    ResultadoReporte RellenarTabla();
    // Writes the working table to the workbook beside the program; `rs` serves the lookups of the
    // company names. False, with the reason, when the workbook could not be written.
    bool ExportarExcel(Recordset& rs, QString* error);

private:
    enum class Exportacion { Escrita, NoEscrita, ExcedeXls };
    // The merge step: every ticked company, in list order, into the working table.
    bool fusionar(QString* error);
    // The export step: the sheet's headings, then the rows in code order, written to the workbook.
    Exportacion exportar(Recordset& rs, QString* error);
    // What came of the run, with the companies and products it left out.
    ResultadoReporte resultado(ResultadoReporte::Estado estado,
                               const QString& motivo = QString()) const;
    // The company's row and settings looked up, and its database opened on the company connection.
    FusionReporte::Empresa resolverEmpresa(int id, Recordset& empresa, BasesDD& propio,
                                           QString* error);
    // The settings of a company's own server, deciphered from its row into `propio`; false with
    // the reason.
    bool descifrarServidorPropio(int id, const Recordset& empresa, BasesDD& propio, QString* error);
    // What the report left out, company by company in list order.
    QList<ResultadoReporte::Omision> omisiones() const;
    // The ticked companies with the names their columns show.
    QList<EmpresaEnHoja> empresasEnHoja(Recordset& rs);
    // Whether the progress line is due a refresh (or `forzar`); when so, the refresh is counted.
    bool tocaAviso(bool forzar = false);
    // Puts "base.- clave" on the progress line when due, keeping the last text while no code is
    // known yet; false once the run is cut short.
    bool avanzar(const QString& base, const QString& clave, bool forzar = false);

    SolicitudReporte solicitud_;
    ConexionesReporte conexiones_;
    FusionReporte fusion_;
    Progreso progreso_;
    QElapsedTimer reloj_;
    qint64 ultimoAviso_ = -1;
    bool cancelado_ = false;
    QString ultimoTexto_;
    QMap<int, QString> omitidas_;  // companies left out whole, and why
};
