#include "report/FusionEmpresa.h"

#include <QMap>

#include "components/BasesDD.h"
#include "components/Sql.h"

namespace {
// Rows per INSERT: large enough to cut the round trips, small enough for the server's packet.
constexpr int FilasPorLote = 500;

// The first `largo` characters of `texto`, counted as the server counts them (code points), so a
// character outside the basic plane is never split into half a surrogate pair.
QString cortarTexto(const QString& texto, int largo)
{
    qsizetype unidades = 0;
    for (int caracteres = 0; unidades < texto.size() && caracteres < largo; ++caracteres)
        unidades += texto.at(unidades).isHighSurrogate() && unidades + 1 < texto.size() &&
                            texto.at(unidades + 1).isLowSurrogate()
                        ? 2
                        : 1;
    return texto.left(unidades);
}
}  // namespace

QString TextoFusionCortada() { return QStringLiteral("el reporte se interrumpió"); }

QString avisoDeFusion(int posicion)
{
    // Never a null QString: it would be bound as NULL instead of the column's empty default.
    return posicion > 1 ? QStringLiteral("No existe en alguna empresa") : QStringLiteral("");
}

QString ordenProductos(Conexion& empresa, const QString& columnaPrecio)
{
    // A unique index on the code alone leaves no two products equal by code.
    Recordset indices;
    if (indices.abrir(empresa, QStringLiteral("SHOW INDEX FROM `productos`"))) {
        QMap<QString, QStringList> unicos;
        for (; !indices.alFinal(); indices.siguiente())
            if (indices.campo(QStringLiteral("Non_unique")).toInt() == 0)
                unicos[indices.campo(QStringLiteral("Key_name")).toString()]
                    << indices.campo(QStringLiteral("Column_name")).toString();
        for (const QStringList& columnas : std::as_const(unicos))
            if (columnas.size() == 1 && columnas.first().compare(QStringLiteral("Clave"), Qt::CaseInsensitive) == 0)
                return QStringLiteral("`Clave`");
    }
    return QStringLiteral("`Clave`, CAST(`Clave` AS BINARY), CAST(`Descrip` AS BINARY), `Costo`, ") +
           citarIdentificador(columnaPrecio);
}

bool fusionarPorCliente(const FusionEmpresa& f, QString* error)
{
    Recordset productos;
    if (!productos.abrir(f.empresa, QStringLiteral("SELECT `Clave`,`Descrip`,`Costo`,%1 FROM `productos` ORDER BY %2")
                                        .arg(citarIdentificador(f.columnaPrecio),
                                             ordenProductos(f.empresa, f.columnaPrecio)))) {
        *error = productos.ultimoError();
        return false;
    }

    const QString destino = citarIdentificador(f.destino);
    const QString costo = citarIdentificador(QStringLiteral("Costo%1").arg(f.id));
    const QString precio = citarIdentificador(QStringLiteral("Precio%1").arg(f.id));
    const QString cabecera =
        QStringLiteral("INSERT INTO %1 (`Clave`,`Descrip`,%2,%3,`Aviso`) VALUES ").arg(destino, costo, precio);
    // A code already in the table keeps its description and warning; this company only writes
    // its own pair, as a lookup followed by an update of the found row would.
    const QString alDuplicar =
        QStringLiteral(" ON DUPLICATE KEY UPDATE %1.%2=VALUES(%2),%1.%3=VALUES(%3)").arg(destino, costo, precio);
    const QString aviso = avisoDeFusion(f.posicion);

    Conexion& principal = f.principal;
    if (!principal.ejecutar(QStringLiteral("START TRANSACTION"), {}, error))
        return false;
    QVariantList valores;
    valores.reserve(FilasPorLote * 5);
    int enLote = 0;
    QString ultimaClave;
    auto vaciar = [&]() {
        if (enLote == 0)
            return true;
        QString sql = cabecera;
        sql.reserve(cabecera.size() + enLote * 12 + alDuplicar.size());
        for (int i = 0; i < enLote; ++i)
            sql += i ? QStringLiteral(",(?,?,?,?,?)") : QStringLiteral("(?,?,?,?,?)");
        sql += alDuplicar;
        const bool bien = principal.ejecutar(sql, valores, error);
        valores.clear();
        enLote = 0;
        return bien;
    };
    for (; !productos.alFinal(); productos.siguiente()) {
        ultimaClave = productos.valor(0).toString();
        QVariant descripcion = productos.valor(1);
        if (!descripcion.isNull())
            descripcion = cortarTexto(descripcion.toString(), LargoDescripcion);
        valores << productos.valor(0) << descripcion << productos.valor(2) << productos.valor(3) << aviso;
        if (f.avance && !f.avance(ultimaClave)) {
            *error = TextoFusionCortada();
            principal.ejecutar(QStringLiteral("ROLLBACK"));
            return false;
        }
        if (++enLote == FilasPorLote && !vaciar()) {
            principal.ejecutar(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    if (!vaciar() || !principal.ejecutar(QStringLiteral("COMMIT"), {}, error)) {
        principal.ejecutar(QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}
