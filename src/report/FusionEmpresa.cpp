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

namespace {
// The rows of one company gathered into multi-row INSERTs of FilasPorLote rows each. A code
// already in the table keeps its description and warning; this company only writes its own pair,
// as a lookup followed by an update of the found row would.
class LoteFusion {
public:
    LoteFusion(Conexion& principal, const FusionEmpresa& f) : principal_(principal) {
        const QString destino = citarIdentificador(f.destino);
        const QString costo = citarIdentificador(QStringLiteral("Costo%1").arg(f.id));
        const QString precio = citarIdentificador(QStringLiteral("Precio%1").arg(f.id));
        cabecera_ = QStringLiteral("INSERT INTO %1 (`Clave`,`Descrip`,%2,%3,`Aviso`) VALUES ")
                        .arg(destino, costo, precio);
        alDuplicar_ = QStringLiteral(" ON DUPLICATE KEY UPDATE %1.%2=VALUES(%2),%1.%3=VALUES(%3)")
                          .arg(destino, costo, precio);
        valores_.reserve(FilasPorLote * 5);
    }
    // The product at the recordset's row, with the warning `aviso`.
    void poner(const Recordset& producto, const QString& aviso) {
        valores_ << producto.valor(0) << producto.valor(1) << producto.valor(2) << producto.valor(3)
                 << aviso;
        ++enLote_;
    }
    bool lleno() const { return enLote_ == FilasPorLote; }
    // Sends what is gathered; false with the server's error.
    bool vaciar(QString* error) {
        if (enLote_ == 0) return true;
        QString sql = cabecera_;
        sql.reserve(cabecera_.size() + enLote_ * 12 + alDuplicar_.size());
        for (int i = 0; i < enLote_; ++i)
            sql += i ? QStringLiteral(",(?,?,?,?,?)") : QStringLiteral("(?,?,?,?,?)");
        sql += alDuplicar_;
        const bool bien = principal_.ejecutar(sql, valores_, error);
        valores_.clear();
        enLote_ = 0;
        return bien;
    }

private:
    Conexion& principal_;
    QString cabecera_;
    QString alDuplicar_;
    QVariantList valores_;
    int enLote_ = 0;
};
}  // namespace

bool fusionarPorCliente(const FusionEmpresa& f, QString* error) {
    const QString aviso = avisoDeFusion(f.posicion);
    // The products come range of codes by range of codes, their descriptions already cut by the
    // company's server (LEFT counts characters in the column's own character set): whatever a
    // company holds, the program holds one range of short rows at a time.
    const QString tabla = productosQueCaben(QStringLiteral("`productos`"), f.caben);
    // The amounts as the server turns them into the working table's doubles (a FLOAT or DECIMAL
    // column's text would read back as another double): times a double 1, which any server's
    // version takes (CAST AS DOUBLE is recent) and which keeps every double, -0 too.
    const QString lectura = QStringLiteral(
                                "SELECT `Clave`, LEFT(`Descrip`, %1), `Costo` * 1e0, "
                                "%2 * 1e0 FROM ")
                                .arg(LargoDescripcion)
                                .arg(citarIdentificador(f.columnaPrecio)) +
                            tabla;
    const QString orden = QStringLiteral(" ORDER BY ") + ordenProductos(f.empresa, f.columnaPrecio);

    Transaccion transaccion(f.principal);
    if (!transaccion.empezar(error)) return false;
    LoteFusion lote(f.principal, f);
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
            lote.poner(productos, aviso);
            if (f.avance && !f.avance(productos.valor(0).toString())) {
                *error = TextoFusionCortada();
                return false;
            }
            if (lote.lleno() && !lote.vaciar(error)) return false;
        }
    }
    return lote.vaciar(error) && transaccion.confirmar(error);
}
