#pragma once
#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "dialogos/EstiloMensaje.h"
#include "libro/EscritorLibro.h"

class BasesDD;
class Dialogos;
class Conexion;
class Instalacion;

// A report as a function of its inputs: what was asked, the host it runs on, a progress line; and
// what came of it. The window, the headless run, the benchmark and the tests all go through
// GenerarReporte, which takes the host's turn, makes the working table again and fills and
// exports it (clsLlenarTabla).

// What the user asked for, and where the program keeps things.
struct SolicitudReporte {
    QString nivelPrecio;  // the text of cmbPrecios ("2"; its blanks are dropped)
    QString archivo;      // the workbook's name as typed, beside the program
    QList<int> empresas;  // the selection list: ticked Ids in grid order
    QString carpeta;      // the program's folder
    QString aplicativoExcel = QStringLiteral("Excel.Application");
    QString formatoPrecios = QStringLiteral("##,###,##0.00");
    // The .xlsx writer (the program's own; libxlsxwriter for comparing them).
    EscritorOoxml escritorOoxml = EscritorOoxml::Propio;
    // The working table goes at the end of the run, while the run still holds the host's turn
    // (the headless run, which has no window to keep it for).
    bool quitarTablaAlFinal = false;

    // The workbook's full path: `archivo` in `carpeta`.
    QString rutaArchivo() const;
};

// The host the report runs on: its connection (empresas and the working table), the connection that
// is pointed at each company's database, the host server's settings and its tables, and the
// cipher of the companies' rows.
struct ConexionesReporte {
    Conexion& principal;
    Conexion& empresa;
    BasesDD& anfitrion;
    Instalacion& instalacion;
};

// Ways of merging kept for comparing them (tests, benchmark); a report uses the defaults. Any of
// them merges into the working table first, then reads it back for the sheet.
struct OpcionesReporte {
    // Merged into the working table first, by the server as it chooses (or through the program),
    // not in the program in one pass.
    bool enTablaPrimero = false;
    // Every company through the program, even one the server could merge itself.
    bool soloPorCliente = false;
    // The codes cut in two parts at this code, whatever the companies' sizes.
    std::optional<QString> corte;
};

// The progress line's text; answers false to cut the run short (the program is being closed).
using Progreso = std::function<bool(const QString& linea)>;

struct ResultadoReporte {
    enum class Estado {
        Creado,     // the workbook is written
        NoCreado,   // the workbook could not be written
        ExcedeXls,  // the report does not fit an .xls sheet
        Fallido,    // the working table could not be made or filled (motivo)
        Cancelado,  // cut short: nothing written, the working table gone, nobody told
    };
    Estado estado = Estado::NoCreado;
    QString archivo;             // as typed
    QString ruta;                // its full path
    QString motivo;              // Fallido: why
    int fusionesEnServidor = 0;  // companies merged by the server
    bool enDosPartes = false;    // merged in two parts at once
    bool enUnaPasada = false;    // merged in the program in one pass to both outputs
    // What a written workbook lacks, in list order, one entry per company: the whole company (its
    // row or its database not available) or some of its products (codes the working table cannot
    // hold), and why.
    struct Omision {
        int id = 0;
        QString motivo;
    };
    QList<Omision> omisiones;

    bool creado() const { return estado == Estado::Creado; }
    // Written, but without some companies or products.
    bool incompleto() const { return creado() && !omisiones.isEmpty(); }
    // How the user is told: the text, the Windows message-box style, the title; no text for a run
    // cut short.
    QString texto() const;
    EstiloMensaje estilo() const;
    QString titulo() const;
};

// Waits its turn on the host (a minute at most; the progress line says so), drops and makes the
// working table for the request's companies, fills it and writes the workbook.
ResultadoReporte GenerarReporte(const SolicitudReporte& solicitud, ConexionesReporte conexiones,
                                const Progreso& progreso, const OpcionesReporte& opciones = {});

// Tells the user the outcome with Mensaje, as the report's end does, offering to open a written
// workbook; a run cut short tells nothing.
void AvisarResultado(Dialogos& dialogos, const ResultadoReporte& resultado);
