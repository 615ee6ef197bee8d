#pragma once
#include <QByteArray>
#include <QString>

#include "basedatos/Conexion.h"
#include "report/MezclaEmpresas.h"

// A company's products streamed from its server for the merge in the program, in the order of
// their code's weight in the working table's key: WEIGHT_STRING in the key's collation, padded to
// the key's length as the key's comparison pads with blanks, so that codes the key takes as equal
// weigh the same. Products of equal weight come in the company's own merge order (`orden`, see
// ordenProductos). The values come as the working table would keep them: the code and description
// in its character set and cut to its lengths, the amounts as the server turns them into its
// doubles, in the server's binary form. The read starts with the first product; the company's
// session is busy from then until the read ends.
class ProductosEnLectura : public ProductosEmpresa {
public:
    // `trabajo`: how the working table's `Clave` keeps codes (comparacionClave, whose names it
    // checked); `directa` when the company's codes compare as those (ordered along its own key,
    // then, with no sort); `tabla`: the products as the merge reads them (productosQueCaben);
    // `columnaPrecio`: the price level's column.
    ProductosEnLectura(Conexion& empresa, const DefinicionTexto& trabajo, bool directa,
                       const QString& tabla, const QString& columnaPrecio, const QString& orden);
    bool siguiente() override;
    QByteArrayView peso() const override { return lectura_.bytes(0); }
    QVariant clave() const override { return lectura_.valor(1); }
    QVariant descrip() const override { return lectura_.valor(2); }
    QVariant costo() const override { return lectura_.valor(3); }
    QVariant precio() const override { return lectura_.valor(4); }
    QString error() const override { return error_; }
    // The code of the first product read, "" before it (or when there is none).
    QString primeraClave() const { return primeraClave_; }

private:
    Conexion& empresa_;
    QString base_;
    QString sql_;
    LecturaBinaria lectura_;
    QByteArray pesoAnterior_;
    QString primeraClave_;
    bool abierta_ = false;  // the read was started
    bool leido_ = false;    // a product was read
    QString error_;
};
