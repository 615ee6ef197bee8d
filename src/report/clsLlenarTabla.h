#pragma once
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <optional>

#include "report/Reporte.h"
#include "report/TrabajoEnHilo.h"

class BasesDD;
class Conexion;
class Recordset;
class TablaIntermedia;

// One report run: fills the working table company by company and writes it to the workbook.
//
// RellenarTabla merges each ticked company's products, in list order, into a copy of the working
// table held in the server's memory (TablaIntermedia), then moves the rows into the working table:
// a code gets its row from the first company that has it (its description, and the warning when
// that company is not the first of the list); every company writes its own cost and price pair
// (FusionEmpresa). A company on the host's server and credentials is merged by the server itself;
// one on a server of its own goes through the program. When the server merges them all, it does so
// in two parts of the codes at once, on a second connection too (FusionEnDos). ExportarExcel then
// lays out the sheet and streams the copy in, while its rows go into the working table. It takes
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

    // True when the last ExportarExcel failed because the report does not fit an .xls sheet.
    bool excedeXls() const { return excedeXls_; }
    // The full path of the workbook.
    QString rutaArchivo() const;

private:
    enum class Paso { Siguiente, Omitida, Fallo };
    // The company's row and settings looked up, and its database opened on ConexionEmpresa.
    Paso resolverEmpresa(int id, Recordset& empresa, BasesDD& propio, QString* error);
    bool enServidor(const BasesDD& propio) const;
    Paso fusionarEmpresa(int posicion, int id, Recordset& empresa, TablaIntermedia& intermedia, QString* error);
    // Every company merged by the server in two parts at once (FusionEnDos); Omitida when that
    // way does not apply and the companies go one by one.
    Paso fusionarEnDos(TablaIntermedia& intermedia, QString* error);
    // The host connection's settings, for a second connection.
    TrabajoEnHilo::Ajustes ajustesSegundaConexion() const;
    // Whether the progress line is due a refresh (or `forzar`); when so, the refresh is counted.
    bool tocaAviso(bool forzar = false);
    // Puts "base.- clave" on the progress line when due, keeping the last text while no code is
    // known yet.
    void avanzar(const QString& base, const QString& clave, bool forzar = false);

    SolicitudReporte solicitud_;
    ConexionesReporte conexiones_;
    OpcionesReporte opciones_;
    QString columnaPrecio_;
    Progreso progreso_;
    QElapsedTimer reloj_;
    qint64 ultimoAviso_ = -1;
    bool excedeXls_ = false;
    bool cancelado_ = false;
    // During RellenarTabla, the copy in memory that the export reads and then empties into the
    // working table (while the writer finishes the file); null when the export reads the table.
    TablaIntermedia* intermedia_ = nullptr;
    int fusionesEnServidor_ = 0;
    bool enDosPartes_ = false;
    QString ultimoTexto_;
};
