#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "report/Marcas.h"

class BasesDD;
struct Contexto;
// Start-up of the program, shared by the window and the headless report.
//
// ArrancarPrograma fills the run's context: the places of the settings and description files and
// the workbooks (derived from the executable's path and name), the host installation and its
// server's settings; it makes the settings file's folder current. CargarDatosIniciales then opens
// both connections and gathers what the main window shows.

// False when the program must end; the user has been told why.
bool ArrancarPrograma(Contexto& contexto, const QString& rutaEjecutable);

// The user sees only the program's own words: the notes Qt prints for developers (plugin loading,
// platform warnings) are dropped.
// Critical and fatal messages still reach the standard error, and VARELMO_MENSAJES_QT=1 lets
// everything through.
void CallarMensajesDeQt();

struct EmpresaInicial {
    int id = 0;
    QString nombre;
    bool marcada = false;
};

struct DatosIniciales {
    QStringList precios;             // "1" .. number of price levels
    int precioSeleccionado = -1;     // index into precios of the saved level; -1 when none matches
    QString archivo;                 // the saved spreadsheet file name
    QList<EmpresaInicial> empresas;  // in Id order, with their saved ticks
};

// The main window's initial content; nullopt with the reason (the server's error text, or a
// price-level count that is not a number) when the host databases cannot be read.
std::optional<DatosIniciales> CargarDatosIniciales(Contexto& contexto, QString* error);

// "   v <major>.<minor>.<revision>"
QString TextoVersion();
// The designed caption without its surrounding blanks, followed by the version.
QString TituloConVersion(const QString& tituloDisenado);
// The main window's designed caption, before the version is added.
QString TituloPrograma();
// " Servidor: <server>", a lone carriage return, "  Base de datos: <database>".
QString TextoMuestra(const BasesDD& bases);
