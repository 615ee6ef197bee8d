#include "report/ProductosEnLectura.h"

#include <QRegularExpression>
#include <algorithm>

#include "basedatos/Sql.h"
#include "report/ClavesFuera.h"
#include "report/FusionEmpresa.h"

namespace {
// A character set's or collation's name goes into the statement's text: it must be one, nothing
// else.
bool esNombre(const QString& nombre) {
    static const QRegularExpression valido(QStringLiteral("^[A-Za-z0-9_]{1,64}$"));
    return valido.match(nombre).hasMatch();
}
}  // namespace

ProductosEnLectura::ProductosEnLectura(Conexion& empresa, const DefinicionTexto& trabajo,
                                       bool directa, const QString& tabla,
                                       const QString& columnaPrecio, const QString& orden)
    : base_(empresa.base()) {
    if (!esNombre(trabajo.juego) || !esNombre(trabajo.cotejo) || trabajo.largo <= 0) {
        error_ =
            QStringLiteral("la clave de la tabla de trabajo («%1», «%2») no es un texto válido")
                .arg(trabajo.juego, trabajo.cotejo);
        return;
    }
    const QString usando = QStringLiteral(" USING ") + trabajo.juego + u')';
    const QString largo = QString::number(trabajo.largo);
    const QString sql = QStringLiteral("SELECT WEIGHT_STRING(CONVERT(`Clave`") + usando +
                        QStringLiteral(" COLLATE ") + trabajo.cotejo + QStringLiteral(" AS CHAR(") +
                        largo + QStringLiteral(")), CONVERT(LEFT(`Clave`, ") + largo + u')' +
                        usando + QStringLiteral(", CONVERT(LEFT(`Descrip`, ") +
                        QString::number(LargoDescripcion) + u')' + usando +
                        QStringLiteral(", `Costo` * 1e0, ") + citarIdentificador(columnaPrecio) +
                        QStringLiteral(" * 1e0 FROM ") + tabla + QStringLiteral(" ORDER BY ") +
                        (directa ? orden : QStringLiteral("1, ") + orden);
    if (!lectura_.abrir(empresa, sql)) error_ = lectura_.fallo().texto;
}

bool ProductosEnLectura::siguiente() {
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
