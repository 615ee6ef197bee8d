#include "report/TablaIntermedia.h"

#include <QStringList>

#include "components/BasesDD.h"

namespace {
const QString Trabajo = QStringLiteral("tbltempproductos");
const QString Intermedia = QStringLiteral("tbltempproductos_fusion");
// Room the copy may take in the server's memory; a larger report spills to the working table.
constexpr qint64 BytesMaximos = 256LL * 1024 * 1024;
// Rows moved into the working table per statement.
constexpr int FilasPorPaso = 10000;
}  // namespace

TablaIntermedia::TablaIntermedia(Conexion& principal) : principal_(principal) {}

TablaIntermedia::~TablaIntermedia() { descartar(); }

bool TablaIntermedia::crear()
{
    descartar();
    principal_.ejecutar(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS `tbltempproductos_fusion`"));
    // The size limit of a memory table is fixed when it is made; the session's default comes back
    // right after.
    activa_ = principal_.ejecutar(QStringLiteral("SET SESSION max_heap_table_size = %1").arg(BytesMaximos)) &&
              principal_.ejecutar(
                  QStringLiteral("CREATE TEMPORARY TABLE `tbltempproductos_fusion` LIKE `tbltempproductos`")) &&
              // A tree key keeps the codes in order: the rows leave in ranges, without a sort.
              principal_.ejecutar(QStringLiteral("ALTER TABLE `tbltempproductos_fusion` ENGINE=MEMORY, "
                                                 "DROP PRIMARY KEY, ADD PRIMARY KEY (`Clave`) USING BTREE"));
    principal_.ejecutar(QStringLiteral("SET SESSION max_heap_table_size = DEFAULT"));
    if (!activa_)
        principal_.ejecutar(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS `tbltempproductos_fusion`"));
    return activa_;
}

QString TablaIntermedia::destino() const { return activa_ ? Intermedia : Trabajo; }

bool TablaIntermedia::empezar(QString* error)
{
    // The working table is still empty: every row so far went to the copy. One transaction for
    // all the moves: the working table gets every row or none.
    if (enTransaccion_)
        return true;
    if (!principal_.ejecutar(QStringLiteral("START TRANSACTION"), {}, error))
        return false;
    enTransaccion_ = true;
    movidasHasta_ = QVariant();
    return true;
}

bool TablaIntermedia::fallar(const QString& motivo, QString* error)
{
    if (error)
        *error = motivo;
    if (enTransaccion_)
        principal_.ejecutar(QStringLiteral("ROLLBACK"));
    enTransaccion_ = false;
    movidasHasta_ = QVariant();
    return false;
}

bool TablaIntermedia::mover(const QVariant& hasta, QString* error)
{
    // The range (last code moved, hasta]; a null `hasta` takes every code after it.
    QStringList condiciones;
    QVariantList valores;
    if (!movidasHasta_.isNull()) {
        condiciones << QStringLiteral("`Clave` > ?");
        valores << movidasHasta_;
    }
    if (!hasta.isNull()) {
        condiciones << QStringLiteral("`Clave` <= ?");
        valores << hasta;
    }
    const QString donde =
        condiciones.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condiciones.join(QStringLiteral(" AND "));
    QString motivo;
    if (!principal_.ejecutar(QStringLiteral("INSERT INTO `tbltempproductos` SELECT * FROM `tbltempproductos_fusion`") +
                                 donde + QStringLiteral(" ORDER BY `Clave`"),
                             valores, &motivo))
        return fallar(motivo, error);
    movidasHasta_ = hasta;
    return true;
}

bool TablaIntermedia::moverHasta(const QVariant& hasta, QString* error)
{
    if (!activa_ || hasta.isNull())
        return true;
    return empezar(error) && mover(hasta, error);
}

bool TablaIntermedia::vaciar(QString* error, const std::function<void()>& latido)
{
    if (!activa_)
        return true;
    if (!empezar(error))
        return false;
    // What is left goes in ranges of codes, each a statement short enough for the window to
    // repaint between.
    while (true) {
        Recordset limite;
        const bool primera = movidasHasta_.isNull();
        if (!limite.abrir(principal_,
                          QStringLiteral("SELECT `Clave` FROM `tbltempproductos_fusion`") +
                              (primera ? QString() : QStringLiteral(" WHERE `Clave` > ?")) +
                              QStringLiteral(" ORDER BY `Clave` LIMIT 1 OFFSET ") + QString::number(FilasPorPaso - 1),
                          primera ? QVariantList{} : QVariantList{movidasHasta_}))
            return fallar(limite.ultimoError(), error);
        const QVariant hasta = limite.alFinal() ? QVariant() : limite.valor(0);
        limite.cerrar();
        if (!mover(hasta, error))
            return false;
        if (hasta.isNull())
            break;
        if (latido)
            latido();
    }
    QString motivo;
    if (!principal_.ejecutar(QStringLiteral("COMMIT"), {}, &motivo))
        return fallar(motivo, error);
    enTransaccion_ = false;
    movidasHasta_ = QVariant();
    descartar();
    return true;
}

void TablaIntermedia::descartar()
{
    if (enTransaccion_ && principal_.abierta())
        principal_.ejecutar(QStringLiteral("ROLLBACK"));
    enTransaccion_ = false;
    movidasHasta_ = QVariant();
    if (activa_ && principal_.abierta())
        principal_.ejecutar(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS `tbltempproductos_fusion`"));
    activa_ = false;
}
