#pragma once
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <optional>

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
// lays out the sheet and streams the copy in, while its rows go into the working table. The window
// and the headless run both drive it, giving the price level, the file name and a progress
// callback for the progress line.
class clsLlenarTabla {
public:
    using Progreso = std::function<void(const QString&)>;

    clsLlenarTabla(QString nivelPrecio, QString archivo, Progreso progreso = {});

    // Fills, exports and tells the user the outcome. True when the workbook was written.
    bool RellenarTabla();
    // Writes the working table to the workbook beside the program; `rs` serves the lookups of the
    // company names. False, with the reason, when the workbook could not be written.
    bool ExportarExcel(Recordset& rs, QString* error);

    // Cuts the run short at its next refresh of the progress line (the program is being closed):
    // no workbook is written, an earlier one stays, and no message is shown.
    void cancelar() { cancelado_ = true; }
    bool cancelado() const { return cancelado_; }

    // True when the last ExportarExcel failed because the report does not fit an .xls sheet.
    bool excedeXls() const { return excedeXls_; }
    // The full path of the workbook.
    QString rutaArchivo() const;

    // Merges every company through the program, even one the server could merge itself (the two
    // ways give the same rows; this one is kept for comparing them).
    void fusionarSoloPorCliente(bool solo) { soloCliente_ = solo; }
    // Companies of the last RellenarTabla merged by the server.
    int fusionesEnServidor() const { return fusionesEnServidor_; }
    // Cuts the codes for the merge in two parts at `corte`, whatever the companies' sizes (for
    // comparing the ways); and whether the last RellenarTabla merged in two parts.
    void partirEn(const QString& corte) { corteFijo_ = corte; }
    bool fusionEnDosPartes() const { return enDosPartes_; }

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
    static TrabajoEnHilo::Ajustes ajustesSegundaConexion();
    // Whether the progress line is due a refresh (or `forzar`); when so, the refresh is counted.
    bool tocaAviso(bool forzar = false);
    // Puts "base.- clave" on the progress line when due, keeping the last text while no code is
    // known yet.
    void avanzar(const QString& base, const QString& clave, bool forzar = false);

    QString columnaPrecio_;
    QString archivo_;
    Progreso progreso_;
    QElapsedTimer reloj_;
    qint64 ultimoAviso_ = -1;
    bool excedeXls_ = false;
    bool cancelado_ = false;
    bool soloCliente_ = false;
    // During RellenarTabla, the copy in memory that the export reads and then empties into the
    // working table (while the writer finishes the file); null when the export reads the table.
    TablaIntermedia* intermedia_ = nullptr;
    int fusionesEnServidor_ = 0;
    std::optional<QString> corteFijo_;
    bool enDosPartes_ = false;
    QString ultimoTexto_;
};
