#include "report/TablaIntermedia.h"

#include "components/BasesDD.h"
#include "components/Sql.h"

namespace {
const QString Trabajo = QStringLiteral("tbltempproductos");
const QString Intermedia = QStringLiteral("tbltempproductos_fusion");
const QString Baja = QStringLiteral("tbltempproductos_fusion_baja");
const QString Alta = QStringLiteral("tbltempproductos_fusion_alta");
// Room the copy may take in the server's memory; a larger report spills to the working table.
constexpr qint64 BytesMaximos = 256LL * 1024 * 1024;
// Rows moved into the working table per statement.
constexpr int FilasPorPaso = 10000;

// A memory copy of the working table's definition with a tree key, which keeps the codes in order
// so the rows leave in ranges without a sort. The size limit of a memory table is fixed when it is
// made; the session's default comes back right after.
bool crearCopia(Conexion& principal, const QString& crear, const QString& nombre, qint64 bytes, QString* error)
{
    const QString tabla = citarIdentificador(nombre);
    const bool bien =
        principal.ejecutar(QStringLiteral("SET SESSION max_heap_table_size = %1").arg(bytes), {}, error) &&
        principal.ejecutar(crear + tabla + QStringLiteral(" LIKE `tbltempproductos`"), {}, error) &&
        principal.ejecutar(QStringLiteral("ALTER TABLE ") + tabla +
                               QStringLiteral(" ENGINE=MEMORY, DROP PRIMARY KEY, ADD PRIMARY KEY (`Clave`) USING BTREE"),
                           {}, error);
    principal.ejecutar(QStringLiteral("SET SESSION max_heap_table_size = DEFAULT"));
    return bien;
}
}  // namespace

TablaIntermedia::TablaIntermedia(Conexion& principal) : principal_(principal) {}

TablaIntermedia::~TablaIntermedia() { descartar(); }

bool TablaIntermedia::crear()
{
    descartar();
    principal_.ejecutar(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS `tbltempproductos_fusion`"));
    activa_ = crearCopia(principal_, QStringLiteral("CREATE TEMPORARY TABLE "), Intermedia, BytesMaximos, nullptr);
    if (!activa_) {
        principal_.ejecutar(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS `tbltempproductos_fusion`"));
        return false;
    }
    // The parts of a copy in two parts are tables of the host database, which another copy of the
    // program reporting on the same host would share: a lock of the server, held by this
    // connection, keeps them to one report at a time. The server frees it when the connection
    // ends, so whoever takes it may drop parts that a report cut short left behind.
    Recordset cerrojo;
    cerrojo_ = cerrojo.abrir(principal_, QStringLiteral("SELECT GET_LOCK(CONCAT('varelmo.', MD5(DATABASE())), 0)")) &&
               !cerrojo.alFinal() && cerrojo.valor(0).toInt() == 1;
    cerrojo.cerrar();
    if (cerrojo_)
        quitarPartes();
    return true;
}

bool TablaIntermedia::partir()
{
    if (!activa_ || !cerrojo_ || partida_)
        return partida_;
    // Tables of the host database, since the second connection cannot see the first one's
    // private tables; any left behind by a run that was cut short are replaced.
    quitarPartes();
    // The two together take no more of the server's memory than the copy in one part.
    partida_ = crearCopia(principal_, QStringLiteral("CREATE TABLE "), Baja, BytesMaximos / 2, nullptr) &&
               crearCopia(principal_, QStringLiteral("CREATE TABLE "), Alta, BytesMaximos / 2, nullptr);
    if (!partida_) {
        quitarPartes();
        return false;
    }
    principal_.ejecutar(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS `tbltempproductos_fusion`"));
    return true;
}

bool TablaIntermedia::quitarPartes(QString* error)
{
    const bool bien = principal_.ejecutar(
        QStringLiteral("DROP TABLE IF EXISTS `tbltempproductos_fusion_baja`, `tbltempproductos_fusion_alta`"), {},
        error);
    if (bien)
        partida_ = false;
    return bien;
}

QString TablaIntermedia::parteAlta() const { return partida_ ? Alta : QString(); }

bool TablaIntermedia::reiniciar(QString* error)
{
    if (!partida_)
        return !activa_ || principal_.ejecutar(QStringLiteral("DELETE FROM `tbltempproductos_fusion`"), {}, error);
    if (!quitarPartes(error))
        return false;
    crear();   // without the copy, the merge goes to the working table
    return true;
}

void TablaIntermedia::vaciadaAparte()
{
    enTransaccion_ = false;
    descartar();
}

bool TablaIntermedia::moverConOtra(Conexion& otra, const QStringList& tablas, QString* error)
{
    // One statement per part: on its own thread the work needs no pauses for the window.
    if (!otra.ejecutar(QStringLiteral("START TRANSACTION"), {}, error))
        return false;
    for (const QString& tabla : tablas)
        if (!otra.ejecutar(QStringLiteral("INSERT INTO `tbltempproductos` SELECT * FROM ") + citarIdentificador(tabla) +
                               QStringLiteral(" ORDER BY `Clave`"),
                           {}, error)) {
            otra.ejecutar(QStringLiteral("ROLLBACK"));
            return false;
        }
    if (otra.ejecutar(QStringLiteral("COMMIT"), {}, error))
        return true;
    otra.ejecutar(QStringLiteral("ROLLBACK"));
    return false;
}

QString TablaIntermedia::destino() const { return activa_ ? (partida_ ? Baja : Intermedia) : Trabajo; }

QStringList TablaIntermedia::tablas() const
{
    if (!activa_)
        return {Trabajo};
    return partida_ ? QStringList{Baja, Alta} : QStringList{Intermedia};
}

bool TablaIntermedia::empezar(QString* error)
{
    // The working table is still empty: every row so far went to the copy. One transaction for
    // all the moves: the working table gets every row or none.
    if (enTransaccion_)
        return true;
    if (!principal_.ejecutar(QStringLiteral("START TRANSACTION"), {}, error))
        return false;
    enTransaccion_ = true;
    tablaMovida_ = 0;
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
    tablaMovida_ = 0;
    movidasHasta_ = QVariant();
    return false;
}

bool TablaIntermedia::mover(const QVariant& hasta, QString* error)
{
    // The range (last code moved, hasta] of the table being moved; a null `hasta` takes every
    // code after it.
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
    if (!principal_.ejecutar(QStringLiteral("INSERT INTO `tbltempproductos` SELECT * FROM ") +
                                 citarIdentificador(tablas().at(tablaMovida_)) + donde +
                                 QStringLiteral(" ORDER BY `Clave`"),
                             valores, &motivo))
        return fallar(motivo, error);
    movidasHasta_ = hasta;
    return true;
}

bool TablaIntermedia::moverResto(const std::function<void()>& latido, QString* error)
{
    // What is left of the table being moved goes in ranges of codes, each a statement short
    // enough for the window to repaint between.
    const QString tabla = citarIdentificador(tablas().at(tablaMovida_));
    while (true) {
        Recordset limite;
        const bool primera = movidasHasta_.isNull();
        if (!limite.abrir(principal_,
                          QStringLiteral("SELECT `Clave` FROM ") + tabla +
                              (primera ? QString() : QStringLiteral(" WHERE `Clave` > ?")) +
                              QStringLiteral(" ORDER BY `Clave` LIMIT 1 OFFSET ") + QString::number(FilasPorPaso - 1),
                          primera ? QVariantList{} : QVariantList{movidasHasta_}))
            return fallar(limite.ultimoError(), error);
        const QVariant hasta = limite.alFinal() ? QVariant() : limite.valor(0);
        limite.cerrar();
        if (!mover(hasta, error))
            return false;
        if (hasta.isNull())
            return true;
        if (latido)
            latido();
    }
}

bool TablaIntermedia::moverHasta(int tabla, const QVariant& hasta, QString* error)
{
    if (!activa_ || hasta.isNull() || tabla < 0 || tabla >= tablas().size())
        return true;
    if (!empezar(error))
        return false;
    for (; tablaMovida_ < tabla; ++tablaMovida_, movidasHasta_ = QVariant())
        if (!moverResto({}, error))
            return false;
    return mover(hasta, error);
}

bool TablaIntermedia::vaciar(QString* error, const std::function<void()>& latido)
{
    if (!activa_)
        return true;
    if (!empezar(error))
        return false;
    for (; tablaMovida_ < tablas().size(); ++tablaMovida_, movidasHasta_ = QVariant())
        if (!moverResto(latido, error))
            return false;
    QString motivo;
    if (!principal_.ejecutar(QStringLiteral("COMMIT"), {}, &motivo))
        return fallar(motivo, error);
    enTransaccion_ = false;
    tablaMovida_ = 0;
    movidasHasta_ = QVariant();
    descartar();
    return true;
}

void TablaIntermedia::descartar()
{
    if (enTransaccion_ && principal_.abierta())
        principal_.ejecutar(QStringLiteral("ROLLBACK"));
    enTransaccion_ = false;
    tablaMovida_ = 0;
    movidasHasta_ = QVariant();
    if (partida_ && principal_.abierta())
        quitarPartes();
    else if (activa_ && principal_.abierta())
        principal_.ejecutar(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS `tbltempproductos_fusion`"));
    partida_ = false;
    activa_ = false;
    if (cerrojo_ && principal_.abierta())
        principal_.ejecutar(QStringLiteral("DO RELEASE_LOCK(CONCAT('varelmo.', MD5(DATABASE())))"));
    cerrojo_ = false;
}
