#include "report/FilasTrabajo.h"

#include <QStringList>
#include <algorithm>
#include <charconv>

#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"

namespace {
// Rows per query: each range is a query of its own along the key, so a session lost half way
// costs one range, and no query holds the server's rows for long.
constexpr int FilasPorConsulta = 5000;
}  // namespace

bool FilasTrabajo::abrir(Conexion& principal, const QStringList& tablas,
                         std::function<void()> latido, QString* error) {
    principal_ = &principal;
    latido_ = std::move(latido);
    tablas_.clear();
    for (const QString& tabla : tablas) tablas_ << citarIdentificador(tabla);
    indice_ = 0;
    origen_ = tablas_.value(0);
    cuenta_ = 0;
    for (const QString& origen : std::as_const(tablas_)) {
        Recordset total;
        if (!total.abrir(principal, QStringLiteral("SELECT COUNT(*) FROM ") + origen) ||
            total.alFinal()) {
            *error = total.ultimoError();
            return false;
        }
        cuenta_ += total.valor(0).toLongLong();
    }

    // The columns in the table's order: the texts as they are, the doubles joined into one text,
    // in their order. An amount with at most four decimals (most prices and costs) goes as the
    // whole number of ten-thousandths, which the server writes and the program reads faster than
    // a decimal form; it is sent only when dividing it by 10000 gives back that very double,
    // since the program divides it the same way. Any other double goes as "d" and its shortest
    // decimal form, which reads back to the same double; a NULL as "N". A double's text takes up
    // to 24 characters ("-2.2250738585072014e-308"), well within the room it is cast to.
    Lectura columnas;
    if (!columnas.abrir(principal,
                        QStringLiteral("SELECT * FROM ") + origen_ + QStringLiteral(" LIMIT 0"))) {
        *error = columnas.fallo().texto;
        return false;
    }
    campos_ = columnas.numCampos();
    dobles_.assign(static_cast<std::size_t>(campos_), false);
    QStringList otras, dobles;
    for (int i = 0; i < campos_; ++i) {
        const QString nombre = citarIdentificador(columnas.nombreCampo(i));
        if (columnas.esDoble(i)) {
            dobles_[static_cast<std::size_t>(i)] = true;
            // The size is asked first, on its own: the product of a huge double overflows.
            const QString texto =
                QStringLiteral("CONCAT('d', CAST(") + nombre + QStringLiteral(" AS CHAR(32)))");
            dobles << QStringLiteral("IFNULL(IF(ABS(") + nombre + QStringLiteral(") < 1e14, IF(") +
                          nombre + QStringLiteral(" - ROUND(") + nombre +
                          QStringLiteral(" * 10000) / 10000 = 0, CAST(ROUND(") + nombre +
                          QStringLiteral(" * 10000) AS SIGNED), ") + texto + QStringLiteral("), ") +
                          texto + QStringLiteral("), 'N')");
        } else {
            otras << nombre;
        }
    }
    columnas.cerrar();
    otras_ = static_cast<int>(otras.size());
    if (!dobles.isEmpty()) otras << QStringLiteral("CONCAT_WS(' ',") + dobles.join(u',') + u')';
    seleccion_ = otras.join(u',');
    // The first range is asked for with the first row: until then the session is free for the
    // checks made before the sheet is written.
    return true;
}

bool FilasTrabajo::consultar(const QVariant& desde) {
    // Along the key, which holds the codes in order: no sort, and each range starts where the
    // last one ended.
    const QString sql = QStringLiteral("SELECT ") + seleccion_ + QStringLiteral(" FROM ") +
                        origen_ + QStringLiteral(" FORCE INDEX (PRIMARY)") +
                        (desde.isNull() ? QString() : QStringLiteral(" WHERE `Clave` > ?")) +
                        QStringLiteral(" ORDER BY `Clave` LIMIT ") +
                        QString::number(FilasPorConsulta);
    enConsulta_ = 0;
    if (consulta_.abrir(*principal_, sql, desde.isNull() ? QVariantList() : QVariantList{desde}))
        return true;
    error_ = consulta_.fallo().texto;
    return false;
}

bool FilasTrabajo::siguienteConsulta() {
    // A full range may have more rows after it; a short one was the last.
    const bool llena = enConsulta_ == FilasPorConsulta;
    if (error_.isEmpty() && llena && consultar(ultimaClave_) && consulta_.siguiente()) return true;
    // A table read to its end: the next one, whose codes all come after.
    while (error_.isEmpty() && consulta_.fallo().texto.isEmpty() && indice_ + 1 < tablas_.size()) {
        origen_ = tablas_.at(++indice_);
        if (consultar(QVariant()) && consulta_.siguiente()) return true;
    }
    return false;
}

bool FilasTrabajo::siguiente(QVariantList& fila) {
    if (terminada_) return false;
    if (!empezada_) {
        empezada_ = true;
        if (!consultar(QVariant())) {
            terminada_ = true;
            return false;
        }
    }
    if (!consulta_.siguiente() && !siguienteConsulta()) {
        terminada_ = true;
        // A session lost half way ends the rows early: the sheet must not pass for complete.
        if (error_.isEmpty()) error_ = consulta_.fallo().texto;
        if (leidas_ != cuenta_ && error_.isEmpty())
            error_ = QStringLiteral("la tabla de trabajo se leyó incompleta (%1 de %2 filas)")
                         .arg(leidas_)
                         .arg(cuenta_);
        consulta_.cerrar();
        return false;
    }
    if (!armarFila(fila)) {
        terminada_ = true;
        consulta_.cerrar();
        return false;
    }
    ++leidas_;
    ++enConsulta_;
    ultimaClave_ = fila.value(0);
    if (latido_) latido_();
    return true;
}

bool FilasTrabajo::armarFila(QVariantList& fila) {
    fila.clear();
    fila.reserve(campos_);
    const char* cursor = otras_ < campos_ && !consulta_.nula(otras_) ? consulta_.datos(otras_) : "";
    const char* const fin = cursor + (otras_ < campos_ ? consulta_.largo(otras_) : 0);
    int otra = 0;
    for (int i = 0; i < campos_; ++i) {
        if (!dobles_[static_cast<std::size_t>(i)]) {
            fila << consulta_.valor(otra++);
            continue;
        }
        const char* corte = std::find(cursor, fin, ' ');
        double valor = 0;
        qint64 diezmilesimos = 0;
        if (corte - cursor == 1 && *cursor == 'N') {
            fila << QVariant(QMetaType::fromType<double>());
        } else if (cursor < corte && *cursor == 'd' && leerDoble(cursor + 1, corte, &valor)) {
            fila << valor;
        } else if (const std::from_chars_result r = std::from_chars(cursor, corte, diezmilesimos);
                   cursor < corte && r.ec == std::errc() && r.ptr == corte) {
            fila << static_cast<double>(diezmilesimos) / 10000;
        } else {
            error_ = QStringLiteral("la tabla de trabajo dio un importe ilegible: %1")
                         .arg(QString::fromLatin1(cursor, corte - cursor));
            return false;
        }
        cursor = corte == fin ? fin : corte + 1;
    }
    return true;
}
