#pragma once
#include <QString>
#include <optional>

class Conexion;

// The products of a company that the working table cannot hold: a NULL code, or a code longer than
// the table's `Clave` (15 characters, blanks at its end aside). They are left out of the report,
// which goes on with the others and says how many it left out.
struct ClavesFuera {
    qint64 nulas = 0;
    qint64 largas = 0;
    // The condition the products that fit meet; "" when the company's column holds no code that
    // could not fit (the usual case, which then costs nothing).
    QString condicion;

    qint64 total() const { return nulas + largas; }
    // "3 productos sin clave y 1 con la clave de más de 15 caracteres".
    QString texto() const;
};

// Longest code the working table holds, in characters.
inline constexpr int LargoClave = 15;

// Looks at the `productos` of the database `conexion` is open on: its `Clave` column, and the
// codes that would not fit when the column allows them. Nothing with the server's error.
std::optional<ClavesFuera> revisarClaves(Conexion& conexion, QString* error);

// The products table `tabla` (quoted) as the merge reads it: the table itself, or only the rows
// that meet `condicion`, under the table's own name.
QString productosQueCaben(const QString& tabla, const QString& condicion);
