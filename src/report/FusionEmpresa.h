#pragma once
#include <QString>
#include <QVariant>
#include <functional>
#include <utility>

class Conexion;

// One company's products merged into the working table (or its staging copy, TablaIntermedia).
//
// Each product is taken in code order, as if one at a time: a code not yet in the table gets a
// row with the product's code and description (cut to the column's 60 characters) and, when the
// company is not the first of the list, the warning "No existe en alguna empresa"; then the
// company's own cost and price pair is written. Codes are compared by the table's key, so codes
// that differ only in letter case or trailing blanks share a row, spelt as first met.
//
// Two ways reach the same rows. On the server: when the company database lies on the host's
// server under the host's credentials, INSERT ... SELECT statements over ranges of codes, so the
// products never travel to the program and the progress line still moves between ranges.
// Through the client: for a company on a server of its own, the products are read in one pass and
// written in multi-row statements.
struct FusionEmpresa {
    Conexion& principal;  // host connection; holds the destination table
    Conexion& empresa;    // open on the company database
    QString base;         // the company database
    int id = 0;
    int posicion = 1;       // 1-based position in the selection list
    QString columnaPrecio;  // e.g. "Precio2"
    QString destino;        // destination table name (quoted here)
    // The code reached, for the progress line; answers false to stop the merge (the run was cut
    // short), which then fails with TextoFusionCortada().
    std::function<bool(const QString& clave)> avance;
    // On the server only: the ORDER BY of the products when already known ("" asks `empresa`),
    // and a part of the codes alone, as a condition with one "?" for `corte` ("" takes them all).
    QString orden;
    QString parte;
    QVariant corte;
    // The condition of the products the working table can hold ("" for all: ClavesFuera).
    QString caben;
};

// Longest description the working table holds, in characters.
inline constexpr int LargoDescripcion = 60;
// The warning of a code first met at `posicion`: "" for the first company of the list.
QString avisoDeFusion(int posicion);

// The ORDER BY of a company's products: by code, and where the table does not make codes unique,
// by the code's exact spelling and the other columns after it, so that every path meets equal
// codes in the same order (the first one met gives the description, the last one the pair).
QString ordenProductos(Conexion& empresa, const QString& columnaPrecio);

bool fusionarEnServidor(const FusionEmpresa& f, QString* error);

// Why a merge stopped when its progress answered false.
QString TextoFusionCortada();
bool fusionarPorCliente(const FusionEmpresa& f, QString* error);
