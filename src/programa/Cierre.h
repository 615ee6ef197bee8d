#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// The closing of the program: the user's choices saved for the next start, the working table
// dropped, both connections closed.

struct Contexto;

struct EleccionEmpresa {
    int id = 0;
    bool marcada = false;
};

// Writes "Empresa <Id>" for each company (its tick, "Sí" or "No"), then "Precio" and
// "Archivo de Excel", all in one write of the settings file. Returns the reason when that write
// failed (then nothing was saved); empty when all were saved.
QStringList GuardarElecciones(const QString& archivoIni, const QList<EleccionEmpresa>& empresas,
                              const QString& precio, const QString& archivo);

// Drops the working table (unless another report on this host holds it now) and closes both
// connections. A connection already lost does not stop the rest.
void CerrarBasesDeDatos(Contexto& contexto);
