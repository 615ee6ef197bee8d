#include "report/RangosDeClaves.h"

#include <QStringList>

#include "basedatos/BasesDD.h"

bool RangosDeClaves::siguiente(qint64 filas, QString* condicion, QVariantList* valores,
                               bool* ultimo, QVariant* hasta, QString* error) {
    QStringList condiciones;
    QVariantList valoresLimite;
    if (!primero_) {
        condiciones << QStringLiteral("`Clave` > ?");
        valoresLimite << desde_;
    }
    if (!parte_.isEmpty()) {
        condiciones << parte_;
        valoresLimite << corte_;
    }
    const QString donde = condiciones.isEmpty() ? QString()
                                                : QStringLiteral(" WHERE ") +
                                                      condiciones.join(QStringLiteral(" AND "));
    Recordset limite;
    if (!limite.abrir(conexion_,
                      QStringLiteral("SELECT `Clave` FROM ") + tabla_ + donde +
                          QStringLiteral(" ORDER BY `Clave` LIMIT 1 OFFSET ") +
                          QString::number(filas - 1),
                      valoresLimite)) {
        *error = limite.ultimoError();
        return false;
    }
    *hasta = limite.alFinal() ? QVariant() : limite.valor(0);
    limite.cerrar();
    *ultimo = hasta->isNull();

    QStringList partes;
    if (!primero_) {
        partes << QStringLiteral("`Clave` > ?");
        *valores << desde_;
    }
    if (!*ultimo) {
        partes << (primero_ ? QStringLiteral("(`Clave` IS NULL OR `Clave` <= ?)")
                            : QStringLiteral("`Clave` <= ?"));
        *valores << *hasta;
    }
    if (!parte_.isEmpty()) {
        partes << parte_;
        *valores << corte_;
    }
    *condicion = partes.isEmpty()
                     ? QString()
                     : QStringLiteral(" WHERE ") + partes.join(QStringLiteral(" AND "));
    desde_ = *hasta;
    primero_ = false;
    return true;
}
