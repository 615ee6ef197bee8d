#pragma once
#include <QElapsedTimer>
#include <QString>
#include <functional>

class Conexion;
class Recordset;

// One report run: fills the working table company by company and writes it to the workbook.
//
// RellenarTabla reads each ticked company's products in one pass and merges them into the working
// table in multi-row statements, inside a transaction per company: a code gets its row from the
// first company that has it (its description, and the warning when that company is not the first
// of the list); every company writes its own cost and price pair. ExportarExcel then lays out the
// sheet and copies the table in. The window and the headless run both drive it, giving the price
// level, the file name and a progress callback for the progress line.
class clsLlenarTabla {
public:
    using Progreso = std::function<void(const QString&)>;

    clsLlenarTabla(QString nivelPrecio, QString archivo, Progreso progreso = {});

    // Fills, exports and tells the user the outcome. True when the workbook was written.
    bool RellenarTabla();
    // Writes the working table to the workbook beside the program; `rs` is left on the table.
    // False, with the reason, when the workbook could not be written (the earlier file stays).
    bool ExportarExcel(Recordset& rs, QString* error);

    // True when the last ExportarExcel failed because the report does not fit an .xls sheet.
    bool excedeXls() const { return excedeXls_; }
    // The full path of the workbook.
    QString rutaArchivo() const;

private:
    enum class Paso { Siguiente, Omitida, Fallo };
    Paso fusionarEmpresa(int posicion, int id, Recordset& empresa, Recordset& productos, QString* error);
    void avanzar(const QString& base, const QString& clave, bool forzar = false);

    QString columnaPrecio_;
    QString archivo_;
    Progreso progreso_;
    QElapsedTimer reloj_;
    qint64 ultimoAviso_ = -1;
    bool excedeXls_ = false;
    QString ultimoTexto_;
};
