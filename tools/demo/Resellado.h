#pragma once
#include <QString>
#include <QStringList>

class BasesDD;
class Cifrado;
class Conexion;

// Seals again, each in its own place, the values of an installation still stored in the earlier
// form, which binds them to nothing: the host's user and password in talmira.ini and the four
// connection fields of every company row. Values blank or of the current form are left as they
// are; one that opens in neither form is left too, and named. Nothing tells whether an earlier
// value was moved before it is sealed again: it is sealed for the place it is found in.
namespace resellado {

struct Cuenta {
    int ajustes = 0;   // settings of talmira.ini sealed again
    int campos = 0;    // fields of company rows sealed again
    int empresas = 0;  // company rows with a field sealed again
    QStringList
        sinAbrir;  // where a value opens in neither form: "MySQLUsuario", "empresa 3, Usuario"
    QStringList cambiadas;  // Ids of the rows that changed since they were read: left as they are
};

// Seals again MySQLUsuario and MySQLPassword of the settings file `archivo`, in one write. False
// with the reason when the file cannot be written.
bool ajustes(const Cifrado& cifrado, const QString& archivo, Cuenta& cuenta, QString* error);

// Seals again the fields Servidor, BaseDeDatos2, Usuario and Conexion of every row of table
// `empresas` of the database `conexion` is open on; the server is bound to the row's Puerto. Each
// row is updated in one statement, and only while it still holds what was read, so that a change
// made meanwhile is never overwritten (the row is then named in `cuenta.cambiadas`). False with
// the server's reason when the table cannot be read or a row not written.
bool empresas(const Cifrado& cifrado, BasesDD& bases, Conexion& conexion, Cuenta& cuenta,
              QString* error);

}  // namespace resellado
