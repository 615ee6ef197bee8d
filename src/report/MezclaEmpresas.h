#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QVariant>
#include <vector>

#include "libro/HojaExcel.h"

// A company's products in the order of their weights, one at a time: `peso`, the code's weight in
// the working table's key (what WEIGHT_STRING gives in its collation: equal weights are one code,
// their order is the key's order), and the values the working table keeps of it, read from the
// current product only when the merge needs them. Products of equal weight come in the order the
// company's own merge would meet them.
class ProductosEmpresa {
public:
    virtual ~ProductosEmpresa() = default;
    // Moves to the next product: false after the last one, or when the company's rows stopped
    // (error() says why).
    virtual bool siguiente() = 0;
    // The current product's; the weight's bytes hold until the next product.
    virtual QByteArrayView peso() const = 0;
    virtual QVariant clave() const = 0;
    virtual QVariant descrip() const = 0;
    virtual QVariant costo() const = 0;
    virtual QVariant precio() const = 0;
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
    bool avanzar(int i);
    // The company whose next product has the least weight (the first in list order among equals),
    // -1 when none has products left.
    int menor() const;

    QList<ProductosEmpresa*> empresas_;
    std::vector<bool> hay_;  // whether each company is on a product
    QByteArray peso_;        // the weight of the code being merged
    QString error_;
};
