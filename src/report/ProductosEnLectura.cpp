#include "report/ProductosEnLectura.h"

#include <QRegularExpression>

#include "basedatos/Sql.h"
#include "report/ClavesFuera.h"
#include "report/FusionEmpresa.h"

namespace {
// A collation's name goes into the statement's text: it must be one, nothing else.
bool esNombreDeCotejo(const QString& cotejo) {
    static const QRegularExpression nombre(QStringLiteral("^[A-Za-z0-9_]{1,64}$"));
    return nombre.match(cotejo).hasMatch();
}
}  // namespace

ProductosEnLectura::ProductosEnLectura(Conexion& empresa, const QString& cotejo,
                                       const QString& tabla, const QString& columnaPrecio,
                                       const QString& orden) {
    if (!esNombreDeCotejo(cotejo)) {
        error_ = QStringLiteral("el cotejo «%1» de la tabla de trabajo no es un nombre válido")
                     .arg(cotejo);
        return;
    }
    const QString sql =
        QStringLiteral("SELECT WEIGHT_STRING(CONVERT(`Clave` USING utf8mb4) COLLATE ") + cotejo +
        QStringLiteral(" AS CHAR(") + QString::number(LargoClave) +
        QStringLiteral(")), `Clave`, LEFT(`Descrip`, ") + QString::number(LargoDescripcion) +
        QStringLiteral("), `Costo`, ") + citarIdentificador(columnaPrecio) +
        QStringLiteral(" FROM ") + tabla + QStringLiteral(" ORDER BY 1, ") + orden;
    if (!lectura_.abrir(empresa, sql)) error_ = lectura_.fallo().texto;
}

bool ProductosEnLectura::siguiente(ProductoEmpresa& producto) {
    if (!error_.isEmpty() || !lectura_.siguiente()) {
        if (error_.isEmpty()) error_ = lectura_.fallo().texto;
        return false;
    }
    producto.peso = QByteArray(lectura_.datos(0), lectura_.largo(0));
    producto.clave = lectura_.valor(1);
    producto.descrip = lectura_.valor(2);
    producto.costo = lectura_.valor(3);
    producto.precio = lectura_.valor(4);
    return true;
}
