#include "report/TablaIntermedia.h"

#include "basedatos/BasesDD.h"
#include "basedatos/Sql.h"
#include "report/NombresTrabajo.h"
#include "report/RangosDeClaves.h"

namespace {
// Room the copy may take in the server's memory; a larger report spills to the working table.
constexpr qint64 BytesMaximos = 256LL * 1024 * 1024;
// Rows moved into the working table per statement.
constexpr int FilasPorPaso = 10000;

// A memory copy of the working table's definition with a tree key, which keeps the codes in order
// so the rows leave in ranges without a sort. The size limit of a memory table is fixed when it is
// made; the session's default comes back right after.
bool crearCopia(Conexion& principal, const QString& crear, const QString& nombre, qint64 bytes) {
    const QString tabla = citarIdentificador(nombre);
    const bool bien =
        principal.ejecutar(QStringLiteral("SET SESSION max_heap_table_size = %1").arg(bytes)) &&
        principal.ejecutar(crear + tabla + QStringLiteral(" LIKE ") +
                           citarIdentificador(nombres::TablaTrabajo())) &&
        principal.ejecutar(
            QStringLiteral("ALTER TABLE ") + tabla +
            QStringLiteral(
                " ENGINE=MEMORY, DROP PRIMARY KEY, ADD PRIMARY KEY (`Clave`) USING BTREE"));
    principal.ejecutar(QStringLiteral("SET SESSION max_heap_table_size = DEFAULT"));
    return bien;
}

QString quitarCopia() {
    return QStringLiteral("DROP TEMPORARY TABLE IF EXISTS ") +
           citarIdentificador(nombres::CopiaFusion());
}
}  // namespace

TablaIntermedia::TablaIntermedia(Conexion& principal) : principal_(principal) {}

TablaIntermedia::~TablaIntermedia() { descartar(); }

bool TablaIntermedia::crear() {
    descartar();
    principal_.ejecutar(quitarCopia());
    activa_ = crearCopia(principal_, QStringLiteral("CREATE TEMPORARY TABLE "),
                         nombres::CopiaFusion(), BytesMaximos);
    if (!activa_) {
        principal_.ejecutar(quitarCopia());
        return false;
    }
    // The parts of a copy in two parts are tables of the host database, which another copy of the
    // program reporting on the same host would share: a lock of the server, held by this
    // connection, keeps them to one report at a time. The server frees it when the connection
    // ends, so whoever takes it may drop parts that a report cut short left behind.
    Recordset cerrojo;
    cerrojo_ = cerrojo.abrir(principal_, QStringLiteral("SELECT GET_LOCK(") +
                                             nombres::CerrojoPartes() + QStringLiteral(", 0)")) &&
               !cerrojo.alFinal() && cerrojo.valor(0).toInt() == 1;
    cerrojo.cerrar();
    if (cerrojo_) quitarPartes();
    return true;
}

bool TablaIntermedia::partir() {
    if (!activa_ || !cerrojo_ || partida_) return partida_;
    // Tables of the host database, since the second connection cannot see the first one's
    // private tables; any left behind by a run that was cut short are replaced.
    quitarPartes();
    // The two together take no more of the server's memory than the copy in one part.
    partida_ = crearCopia(principal_, QStringLiteral("CREATE TABLE "), nombres::ParteBaja(),
                          BytesMaximos / 2) &&
               crearCopia(principal_, QStringLiteral("CREATE TABLE "), nombres::ParteAlta(),
                          BytesMaximos / 2);
    if (!partida_) {
        quitarPartes();
        return false;
    }
    principal_.ejecutar(quitarCopia());
    return true;
}

bool TablaIntermedia::quitarPartes(QString* error) {
    const bool bien = principal_.ejecutar(
        QStringLiteral("DROP TABLE IF EXISTS ") + citarIdentificador(nombres::ParteBaja()) +
            QStringLiteral(", ") + citarIdentificador(nombres::ParteAlta()),
        {}, error);
    if (bien) partida_ = false;
    return bien;
}

QString TablaIntermedia::parteAlta() const { return partida_ ? nombres::ParteAlta() : QString(); }

bool TablaIntermedia::reiniciar(QString* error) {
    if (!partida_)
        return !activa_ || principal_.ejecutar(QStringLiteral("DELETE FROM ") +
                                                   citarIdentificador(nombres::CopiaFusion()),
                                               {}, error);
    if (!quitarPartes(error)) return false;
    crear();  // without the copy, the merge goes to the working table
    return true;
}

QString TablaIntermedia::destino() const {
    if (!activa_) return nombres::TablaTrabajo();
    return partida_ ? nombres::ParteBaja() : nombres::CopiaFusion();
}

QStringList TablaIntermedia::tablas() const {
    if (!activa_) return {nombres::TablaTrabajo()};
    return partida_ ? QStringList{nombres::ParteBaja(), nombres::ParteAlta()}
                    : QStringList{nombres::CopiaFusion()};
}

bool TablaIntermedia::moverTabla(const QString& tabla,
                                 const std::function<void(const QString& clave)>& latido,
                                 QString* error) {
    // In ranges of codes, each a statement short enough for the window to repaint between.
    const QString origen = citarIdentificador(tabla);
    const QString insertar = QStringLiteral("INSERT INTO ") +
                             citarIdentificador(nombres::TablaTrabajo()) +
                             QStringLiteral(" SELECT * FROM ") + origen;
    RangosDeClaves rangos(principal_, origen);
    for (bool ultimo = false; !ultimo;) {
        QString condicion;
        QVariantList valores;
        QVariant hasta;
        if (!rangos.siguiente(FilasPorPaso, &condicion, &valores, &ultimo, &hasta, error) ||
            !principal_.ejecutar(insertar + condicion + QStringLiteral(" ORDER BY `Clave`"),
                                 valores, error))
            return false;
        if (latido && !ultimo) latido(hasta.toString());
    }
    return true;
}

bool TablaIntermedia::moverConOtra(Conexion& otra, const QStringList& tablas, QString* error) {
    // One statement per part: on its own thread the work needs no pauses for the window.
    Transaccion transaccion(otra);
    if (!transaccion.empezar(error)) return false;
    for (const QString& tabla : tablas)
        if (!otra.ejecutar(QStringLiteral("INSERT INTO ") +
                               citarIdentificador(nombres::TablaTrabajo()) +
                               QStringLiteral(" SELECT * FROM ") + citarIdentificador(tabla) +
                               QStringLiteral(" ORDER BY `Clave`"),
                           {}, error))
            return false;
    return transaccion.confirmar(error);
}

bool TablaIntermedia::vaciar(QString* error,
                             const std::function<void(const QString& clave)>& latido) {
    if (!activa_) return true;
    // The working table is still empty: every row so far went to the copy.
    Transaccion transaccion(principal_);
    if (!transaccion.empezar(error)) return false;
    for (const QString& tabla : tablas())
        if (!moverTabla(tabla, latido, error)) return false;
    if (!transaccion.confirmar(error)) return false;
    descartar();
    return true;
}

void TablaIntermedia::descartar() {
    if (partida_ && principal_.abierta())
        quitarPartes();
    else if (activa_ && principal_.abierta())
        principal_.ejecutar(quitarCopia());
    partida_ = false;
    activa_ = false;
    if (cerrojo_ && principal_.abierta())
        principal_.ejecutar(QStringLiteral("DO RELEASE_LOCK(") + nombres::CerrojoPartes() + u')');
    cerrojo_ = false;
}
