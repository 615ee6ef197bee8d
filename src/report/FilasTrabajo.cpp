#include "report/FilasTrabajo.h"

#include <QSqlError>
#include <QSqlRecord>

#include "components/BasesDD.h"
#include "components/Sql.h"

namespace {
// Rows per query: the driver holds one query's rows at a time, so this bounds the memory and the
// wait before the first row.
constexpr int FilasPorConsulta = 5000;
}  // namespace

bool FilasTrabajo::abrir(Conexion& principal, const QString& tabla, QString* error)
{
    principal_ = &principal;
    origen_ = citarIdentificador(tabla);
    Recordset total;
    if (!total.abrir(principal, QStringLiteral("SELECT COUNT(*) FROM ") + origen_) || total.alFinal()) {
        *error = total.ultimoError();
        return false;
    }
    cuenta_ = total.valor(0).toLongLong();
    total.cerrar();
    if (!consultar(QVariant())) {
        *error = error_;
        return false;
    }
    campos_ = consulta_.record().count();
    return true;
}

bool FilasTrabajo::consultar(const QVariant& desde)
{
    // Along the key, which holds the codes in order: no sort, and each range starts where the
    // last one ended.
    consulta_ = QSqlQuery(principal_->db());
    consulta_.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT * FROM ") + origen_ + QStringLiteral(" FORCE INDEX (PRIMARY)") +
                        (desde.isNull() ? QString() : QStringLiteral(" WHERE `Clave` > ?")) +
                        QStringLiteral(" ORDER BY `Clave` LIMIT ") + QString::number(FilasPorConsulta);
    bool bien = consulta_.prepare(sql);
    if (bien && !desde.isNull())
        consulta_.addBindValue(desde);
    bien = bien && consulta_.exec();
    if (!bien)
        error_ = consulta_.lastError().text().trimmed();
    enConsulta_ = 0;
    return bien;
}

bool FilasTrabajo::siguiente(QVariantList& fila)
{
    if (terminada_)
        return false;
    if (!consulta_.next()) {
        // A full range may have more rows after it; a short one was the last.
        const bool otra = error_.isEmpty() && enConsulta_ == FilasPorConsulta && consultar(ultimaClave_);
        if (!otra || !consulta_.next()) {
            terminada_ = true;
            // A connection lost half way ends the rows early: the sheet must not pass for complete.
            if (leidas_ != cuenta_ && error_.isEmpty())
                error_ = consulta_.lastError().text().trimmed().isEmpty()
                             ? QStringLiteral("la tabla de trabajo se leyó incompleta (%1 de %2 filas)")
                                   .arg(leidas_)
                                   .arg(cuenta_)
                             : consulta_.lastError().text().trimmed();
            consulta_.finish();
            return false;
        }
    }
    ++leidas_;
    ++enConsulta_;
    fila.clear();
    fila.reserve(campos_);
    for (int i = 0; i < campos_; ++i)
        fila << consulta_.value(i);
    ultimaClave_ = fila.value(0);
    if (latido_)
        latido_();
    return true;
}
