#include "report/ClavesFuera.h"

#include <QStringList>

#include "basedatos/BasesDD.h"
#include "report/FusionEnDos.h"

namespace {
const QString CondicionNula = QStringLiteral("`Clave` IS NOT NULL");
const QString CondicionLarga = QStringLiteral("CHAR_LENGTH(RTRIM(`Clave`)) <= %1").arg(LargoClave);

// How many products of `productos` meet `donde`; nothing with the server's error.
std::optional<qint64> contar(Conexion& conexion, const QString& donde, QString* error) {
    Recordset r;
    if (!r.abrir(conexion, QStringLiteral("SELECT COUNT(*) FROM `productos` WHERE ") + donde)) {
        *error = r.ultimoError();
        return std::nullopt;
    }
    return r.alFinal() ? 0 : r.valor(0).toLongLong();
}

QString cantidad(qint64 n, const char16_t* uno, const char16_t* varios) {
    return QString::number(n) + u' ' + QString::fromUtf16(n == 1 ? uno : varios);
}
}  // namespace

QString ClavesFuera::texto() const {
    QStringList partes;
    if (nulas > 0) partes << cantidad(nulas, u"producto sin clave", u"productos sin clave");
    if (largas > 0) {
        const QString que = QStringLiteral("con la clave de más de %1 caracteres").arg(LargoClave);
        partes << (nulas > 0 ? QString::number(largas) + u' ' + que
                             : cantidad(largas, u"producto ", u"productos ") + que);
    }
    return partes.join(QStringLiteral(" y "));
}

std::optional<ClavesFuera> revisarClaves(Conexion& conexion, QString* error) {
    // A column that holds no text (a number, a date) has no character length: its text may still
    // run past the code's, and it may be NULL; both are counted then.
    const std::optional<ComparacionClave> columna =
        comparacionClave(conexion, conexion.base(), QStringLiteral("productos"));
    const bool anulable = !columna || columna->anulable;
    const bool puedeSerLarga = !columna || columna->largo > LargoClave;

    ClavesFuera fuera;
    QStringList condiciones;
    if (anulable) {
        const auto n = contar(conexion, QStringLiteral("`Clave` IS NULL"), error);
        if (!n) return std::nullopt;
        fuera.nulas = *n;
        if (fuera.nulas > 0) condiciones << CondicionNula;
    }
    if (puedeSerLarga) {
        const auto n = contar(conexion, QStringLiteral("NOT (") + CondicionLarga + u')', error);
        if (!n) return std::nullopt;
        fuera.largas = *n;
        if (fuera.largas > 0) condiciones << CondicionLarga;
    }
    fuera.condicion = condiciones.join(QStringLiteral(" AND "));
    return fuera;
}

QString productosQueCaben(const QString& tabla, const QString& condicion) {
    if (condicion.isEmpty()) return tabla;
    return QStringLiteral("(SELECT * FROM ") + tabla + QStringLiteral(" WHERE ") + condicion +
           QStringLiteral(") AS `productos`");
}
