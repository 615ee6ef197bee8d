#include "report/ProductosEnLectura.h"

#include <algorithm>

#include "basedatos/Sql.h"
#include "report/ClavesFuera.h"
#include "report/FusionEmpresa.h"

ProductosEnLectura::ProductosEnLectura(Conexion& empresa, const DefinicionTexto& trabajo,
                                       bool directa, const QString& tabla,
                                       const QString& columnaPrecio, const QString& orden)
    : empresa_(empresa), base_(empresa.base()) {
    // The names were checked to be names when the key's definition was read (comparacionClave).
    const QString usando = QStringLiteral(" USING ") + trabajo.juego + u')';
    const QString largo = QString::number(trabajo.largo);
    sql_ = QStringLiteral("SELECT WEIGHT_STRING(CONVERT(`Clave`") + usando +
           QStringLiteral(" COLLATE ") + trabajo.cotejo + QStringLiteral(" AS CHAR(") + largo +
           QStringLiteral(")), CONVERT(LEFT(`Clave`, ") + largo + u')' + usando +
           QStringLiteral(", CONVERT(LEFT(`Descrip`, ") + QString::number(LargoDescripcion) + u')' +
           usando + QStringLiteral(", `Costo` * 1e0, ") + citarIdentificador(columnaPrecio) +
           QStringLiteral(" * 1e0 FROM ") + tabla + QStringLiteral(" ORDER BY ") +
           (directa ? orden : QStringLiteral("1, ") + orden);
}

bool ProductosEnLectura::siguiente() {
    if (!abierta_) {
        abierta_ = true;
        if (!lectura_.abrir(empresa_, sql_)) error_ = lectura_.fallo().texto;
    }
    if (!error_.isEmpty() || !lectura_.siguiente()) {
        if (error_.isEmpty()) error_ = lectura_.fallo().texto;
        return false;
    }
    // The merge holds only if every company comes in the key's order: a server that orders its
    // own key otherwise stops the report rather than merge codes apart.
    const QByteArrayView actual = peso();
    if (actual < QByteArrayView(pesoAnterior_)) {
        error_ =
            QStringLiteral("los productos de la base «%1» no llegaron en el orden de sus claves")
                .arg(base_);
        return false;
    }
    if (!leido_) primeraClave_ = clave().toString();
    leido_ = true;
    pesoAnterior_.resize(actual.size());
    std::copy(actual.begin(), actual.end(), pesoAnterior_.begin());
    return true;
}
