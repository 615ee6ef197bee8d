#pragma once
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

class AvanceCompartido;
#include "basedatos/Conexion.h"

// The merge split in two parts of the codes, done at once by the server on two host connections:
// the program's own one merges the lower codes while a second one (TrabajoEnHilo) merges the upper
// codes, each into its part of the copy (TablaIntermedia). Each part takes every company in list
// order, so each code meets the same products in the same order as in one pass; the rows are the
// same, in about half the time on a server with two processors or more.
//
// The parts are cut by the working table's own comparison of codes (its character set and
// collation, and its length, to which a longer code is cut): two codes it takes for one always
// fall in the same part, whatever the company's own collation.

// How a table's `Clave` column keeps and compares codes.
using ComparacionClave = DefinicionTexto;
// That of column `Clave` of table `tabla` in database `base`; nullopt when there is no such
// column or it holds no text.
std::optional<ComparacionClave> comparacionClave(Conexion& conexion, const QString& base,
                                                 const QString& tabla);

// Whether the codes of a company (its `Clave`, as comparacionClave gives it) compare as those of
// the working table's `trabajo`: the same character set and collation, and no longer.
bool comparaComoTrabajo(const std::optional<ComparacionClave>& empresa,
                        const ComparacionClave& trabajo);

struct ParteClaves {
    // Conditions on a company's `Clave`, with one "?" for `corte`: the lower part and the upper.
    QString baja, alta;
    // The same for a company whose codes compare as the working table's (the same character set
    // and collation, and no longer): along its key, without converting each code.
    QString bajaDirecta, altaDirecta;
    QVariant corte;
    ComparacionClave trabajo;  // the working table's
    // Whether a company's codes compare as the working table's.
    bool directa(const std::optional<ComparacionClave>& empresa) const;
};

// The cut for the working table `tbltempproductos` of `principal`, at the middle code of company
// database `base` (or at `corte` when given); nullopt (and the merge goes in one pass) when the
// company has few products or the key is not a text the cut can be put to.
std::optional<ParteClaves> partirClaves(Conexion& principal, const QString& base,
                                        const std::optional<QString>& corte = std::nullopt);

// A company as the second connection merges it.
struct EmpresaParaMitad {
    int posicion = 1;
    int id = 0;
    QString base;
    QString orden;         // ordenProductos of the company
    bool directa = false;  // ParteClaves::directa
    QString caben;         // FusionEmpresa::caben
};

// The merge of the upper part, as work for the second connection (TrabajoEnHilo): every company in
// list order into `destino`. `avance` gets each company database and code reached, on that thread.
bool fusionarParteAlta(Conexion& conexion, const QList<EmpresaParaMitad>& empresas,
                       const QString& columnaPrecio, const QString& destino,
                       const ParteClaves& parte, AvanceCompartido& avance, QString* error);
