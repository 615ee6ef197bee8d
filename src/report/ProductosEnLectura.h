#pragma once
#include <QString>

#include "basedatos/Conexion.h"
#include "report/MezclaEmpresas.h"

class Conexion;

// A company's products streamed from its server for the merge in the program, in the order of
// their code's weight in the working table's key: WEIGHT_STRING in the key's collation, padded to
// the key's length as the key's comparison pads with blanks, so that codes the key takes as equal
// weigh the same. Products of equal weight come in the company's own merge order (`orden`, see
// ordenProductos). The company's session is busy until the read ends.
class ProductosEnLectura : public ProductosEmpresa {
public:
    // `cotejo`: the collation of the working table's `Clave` (a name of letters, digits and
    // underscores, else the read fails); `tabla`: the products as the merge reads them
    // (productosQueCaben); `columnaPrecio`: the price level's column.
    ProductosEnLectura(Conexion& empresa, const QString& cotejo, const QString& tabla,
                       const QString& columnaPrecio, const QString& orden);
    bool siguiente(ProductoEmpresa& producto) override;
    QString error() const override { return error_; }

private:
    Lectura lectura_;
    QString error_;
};
