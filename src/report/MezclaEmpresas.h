#pragma once
#include <QByteArray>
#include <QList>
#include <QVariant>
#include <vector>

#include "libro/HojaExcel.h"

// One product of a company as the merge in the program takes it: `peso`, the code's weight in
// the working table's key (what WEIGHT_STRING gives in its collation: equal weights are one code,
// their order is the key's order), and the values the working table keeps of it.
struct ProductoEmpresa {
    QByteArray peso;
    QVariant clave, descrip, costo, precio;
};

// A company's products in the order of their weights; products of equal weight in the order the
// company's own merge would meet them. False after the last one, or when the company's rows
// stopped (its error() says why).
class ProductosEmpresa {
public:
    virtual ~ProductosEmpresa() = default;
    virtual bool siguiente(ProductoEmpresa& producto) = 0;
    virtual QString error() const { return QString(); }
};

// The merge of the ticked companies' products, k ways, in the program: one row per code, in the
// working table's key order, with its columns (Clave, Descrip, Costo and Precio of each company
// in list order, Aviso), the same rows the working table gets when the companies are merged into
// it one by one in list order:
// - the code's spelling and description come from the first company in list order that has it,
//   and from its first product of that code;
// - each company's pair from its last product of that code; a company without the code leaves
//   the column default, 0;
// - the warning says the code is missing from some company unless the company at position 1 has
//   it.
class MezclaEmpresas : public FuenteFilas {
public:
    // `empresas` in list order (position 1 first); null for a company that was skipped. They must
    // outlive the merge.
    explicit MezclaEmpresas(QList<ProductosEmpresa*> empresas);
    bool siguiente(QVariantList& fila) override;
    QString error() const override { return error_; }

private:
    struct Cabeza {
        ProductoEmpresa producto;
        bool hay = false;
    };
    bool avanzar(int i);
    // The company whose next product has the least weight (the first in list order among equals),
    // -1 when none has products left.
    int menor() const;

    QList<ProductosEmpresa*> empresas_;
    std::vector<Cabeza> cabezas_;
    QString error_;
};
