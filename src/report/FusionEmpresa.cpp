#include "report/FusionEmpresa.h"

#include <QMap>

#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"
#include "report/ClavesFuera.h"
#include "report/RangosDeClaves.h"

namespace {
// Rows per INSERT: large enough to cut the round trips, small enough for the server's packet.
constexpr int FilasPorLote = 500;
// Products read from a company's server at a time.
constexpr qint64 FilasPorRango = 5000;
}  // namespace

QString TextoFusionCortada() { return QStringLiteral("el reporte se interrumpió"); }

QString avisoDeFusion(int posicion) {
    // Never a null QString: it would be bound as NULL instead of the column's empty default.
    return posicion > 1 ? QStringLiteral("No existe en alguna empresa") : QStringLiteral("");
}

QString ordenProductos(Conexion& empresa, const QString& columnaPrecio) {
    // A unique index on the code alone leaves no two products equal by code.
    Recordset indices;
    if (indices.abrir(empresa, QStringLiteral("SHOW INDEX FROM `productos`"))) {
        QMap<QString, QStringList> unicos;
        for (; !indices.alFinal(); indices.siguiente())
            if (indices.campo(QStringLiteral("Non_unique")).toInt() == 0)
                unicos[indices.campo(QStringLiteral("Key_name")).toString()]
                    << indices.campo(QStringLiteral("Column_name")).toString();
        for (const QStringList& columnas : std::as_const(unicos))
            if (columnas.size() == 1 &&
                columnas.first().compare(QStringLiteral("Clave"), Qt::CaseInsensitive) == 0)
                return QStringLiteral("`Clave`");
    }
    return QStringLiteral(
               "`Clave`, CAST(`Clave` AS BINARY), CAST(`Descrip` AS BINARY), `Costo`, ") +
           citarIdentificador(columnaPrecio);
}

bool fusionarPorCliente(const FusionEmpresa& f, QString* error) {
    const QString destino = citarIdentificador(f.destino);
    const QString costo = citarIdentificador(QStringLiteral("Costo%1").arg(f.id));
    const QString precio = citarIdentificador(QStringLiteral("Precio%1").arg(f.id));
    const QString cabecera =
        QStringLiteral("INSERT INTO %1 (`Clave`,`Descrip`,%2,%3,`Aviso`) VALUES ")
            .arg(destino, costo, precio);
    // A code already in the table keeps its description and warning; this company only writes
    // its own pair, as a lookup followed by an update of the found row would.
    const QString alDuplicar =
        QStringLiteral(" ON DUPLICATE KEY UPDATE %1.%2=VALUES(%2),%1.%3=VALUES(%3)")
            .arg(destino, costo, precio);
    const QString aviso = avisoDeFusion(f.posicion);
    // The products come range of codes by range of codes, their descriptions already cut by the
    // company's server (LEFT counts characters in the column's own character set): whatever a
    // company holds, the program holds one range of short rows at a time.
    const QString tabla = productosQueCaben(QStringLiteral("`productos`"), f.caben);
    const QString lectura = QStringLiteral("SELECT `Clave`, LEFT(`Descrip`, %1), `Costo`, %2 FROM ")
                                .arg(LargoDescripcion)
                                .arg(citarIdentificador(f.columnaPrecio)) +
                            tabla;
    const QString orden = QStringLiteral(" ORDER BY ") + ordenProductos(f.empresa, f.columnaPrecio);

    Conexion& principal = f.principal;
    Transaccion transaccion(principal);
    if (!transaccion.empezar(error)) return false;
    QVariantList valores;
    valores.reserve(FilasPorLote * 5);
    int enLote = 0;
    auto vaciar = [&]() {
        if (enLote == 0) return true;
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
    RangosDeClaves rangos(f.empresa, tabla);
    for (bool ultimo = false; !ultimo;) {
        QString condicion;
        QVariantList valoresRango;
        QVariant hasta;
        if (!rangos.siguiente(FilasPorRango, &condicion, &valoresRango, &ultimo, &hasta, error))
            return false;
        Recordset productos;
        if (!productos.abrir(f.empresa, lectura + condicion + orden, valoresRango)) {
            *error = productos.ultimoError();
            return false;
        }
        for (; !productos.alFinal(); productos.siguiente()) {
            valores << productos.valor(0) << productos.valor(1) << productos.valor(2)
                    << productos.valor(3) << aviso;
            if (f.avance && !f.avance(productos.valor(0).toString())) {
                *error = TextoFusionCortada();
                return false;
            }
            if (++enLote == FilasPorLote && !vaciar()) return false;
        }
    }
    return vaciar() && transaccion.confirmar(error);
}
