#pragma once
#include <QList>
#include <QString>

class Conexion;

// The checks and the working table of one report request.
//
// The window and the headless run both go through these: the request is checked, then the
// working table tbltempproductos is dropped and made again with one Costo/Precio pair per ticked
// company, and the selection list holds those companies' Ids in grid order.

// Column 0 (the Id) and column 2 (the tick mark) of a company row of the grid.
struct MarcaEmpresa {
    QString id;
    QString marca;
};

enum class Validacion {
    Valida,
    ArchivoEnBlanco,
    SinEmpresas,
    ArchivoInvalido,
    DestinoNoEscribible
};

// The names of the program's own files, beside which the workbook is written.
struct ArchivosPropios {
    QString ini, descripcion, ejecutable;
    QString carpeta;  // where the workbooks are written
};

// Blank file name first, then no company in `empresas` (the ticked Ids), then a name that is no
// bare file name, then a workbook or folder this user may not write (`motivo` then holds the whole
// message). All of it is decided before the working table is touched, so that a refused workbook
// costs no merge.
Validacion ValidarSolicitud(const QString& archivo, const QList<int>& empresas,
                            const ArchivosPropios& propios, QString* motivo = nullptr);
// What the user is told of a refused request (`motivo` as ValidarSolicitud gave it); "" for a
// valid one.
QString TextoValidacion(Validacion validacion, const QString& archivo, const QString& motivo);

// Why `archivo` cannot be written beside the program ("" when it can): it must be a bare file
// name, without folders, "." or "..", not starting with a dash, and without control characters or
// the characters < > : " | ? * that file names elsewhere cannot hold; nor, in any letter case, the
// name of the settings file, the description file or the executable itself; nor an invisible
// format character (a right-to-left override, a zero-width space).
QString ProblemaNombreArchivo(const QString& archivo, const ArchivosPropios& propios);

// The message for a workbook `archivo` that this user may not write in `carpeta` ("" when it may):
// a read-only file keeps its bytes rather than being replaced.
QString ProblemaDestino(const QString& archivo, const QString& carpeta);

// The ticked companies' Ids, in grid order. A row counts as ticked only when its mark is "Sí"
// exactly.
QList<int> EmpresasMarcadas(const QList<MarcaEmpresa>& filas);

// The definition of the working table for these companies.
QString DefinicionTablaTrabajo(const QList<int>& ids);

// Drops the working table; false with the server's error.
bool QuitarTablaTrabajo(Conexion& principal, QString* error = nullptr);
// Drops and creates the working table on `principal`; false with the server's error.
bool CrearTablaTrabajo(Conexion& principal, const QList<int>& ids, QString* error);

// "El reporte no pudo generarse: " followed by the reason.
QString TextoReporteFallido(const QString& motivo);
