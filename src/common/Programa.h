#pragma once
#include <QList>
#include <QString>
#include <memory>

#include "components/BasesDD.h"

struct LugaresPrograma;
class DeAcceso;
class DeArchivos;
class DelRegistro;
class Instalacion;
class LibOBCM;
class QObject;
class Utilerias;

// Process-wide state of one run: the names derived from the executable, the component objects, the
// two database connections, the spreadsheet settings and the selection list of the last report.
//
// Start-up fills it, the window and the report read it, closing releases it. There is one per
// process (programa()); tests reset it between cases.
struct Programa {
    QString carpetaPrograma;     // the executable's folder
    QString nombrePrograma;      // the executable's name without folder or extension
    QString archivoPrograma;     // the executable's file name, without folder
    QString ArchivoIni;          // <folder>/<name>.ini
    QString ArchivoDescripcion;  // <folder>/<name>.txt
    QString carpetaLibros;       // where the workbooks are saved: <folder>
    QString VersionPrograma;     // "   v 1.0.0"

    std::shared_ptr<Instalacion> instalacion;
    std::unique_ptr<LibOBCM> libOBCM;
    std::unique_ptr<BasesDD> basesDD;
    std::unique_ptr<Utilerias> utilerias;
    std::unique_ptr<DeArchivos> deArchivos;
    std::unique_ptr<DelRegistro> delRegistro;
    std::unique_ptr<DeAcceso> deAcceso;

    Conexion ConexionPrincipal;  // host database: empresas and the working table
    Conexion ConexionEmpresa;    // the database of "Base de datos a usar", then of each company
    Recordset TablaEmpresas;

    QString AplicativoExcel;
    QString FormatoPrecios;
    QList<int> listaSeleccion;  // Ids of the companies of the last confirmed report, in grid order

    QObject* ventanaPrincipal = nullptr;  // the main window, owner of the skinned boxes
    // Nobody is there to answer (the session is ending, the system asked the program to end):
    // messages go to the standard error instead of a box.
    bool desatendido = false;

    Programa();
    ~Programa();
    // Derives the folder, name, settings file and description file from the executable's path.
    void ponerEjecutable(const QString& rutaEjecutable);
    // Takes the settings file, the description file and the workbooks' folder from `lugares`.
    void ponerLugares(const LugaresPrograma& lugares);
    // Creates the component objects, in the order the program uses them.
    void crearComponentes();
    // Releases them in the order of closing: libOBCM, BasesDD, Utilerias, DeArchivos, DelRegistro,
    // DeAcceso (the windows' own control helpers, DeControles, hold nothing to release).
    void liberarComponentes();
};

Programa& programa();
// Drops the current state and starts a fresh one (tests; each run of the program has one).
void reiniciarPrograma();
