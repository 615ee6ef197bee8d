#include "BasesDD.h"

#include <QSqlError>
#include <QStringList>
#include <QThread>
#include <atomic>

#include "SesionSegura.h"
#include "Sql.h"

namespace {

QString nombreConexionNuevo() {
    static std::atomic<quint64> contador{0};
    return QStringLiteral("varelmo_bdd_%1").arg(++contador);
}

// The error of a query or connection as one line: the server's text and the driver's.
QString textoError(const QSqlError& error) {
    const QString texto = error.text().trimmed();
    return texto.isEmpty() ? QStringLiteral("Error desconocido de la base de datos.") : texto;
}

bool ejecutarEn(QSqlQuery& q, const QString& sql, const QVariantList& valores) {
    // Without values the statement goes as plain text, so statements the server cannot prepare
    // still run; with values it is prepared and every value is bound, never pasted.
    if (valores.isEmpty()) return q.exec(sql);
    if (!q.prepare(sql)) return false;
    for (const QVariant& valor : valores) q.addBindValue(valor);
    return q.exec();
}

const QString errorCerrada = QStringLiteral("La conexión con la base de datos no está abierta.");

// A connection in use is checked before a statement once it has been idle this long.
constexpr qint64 MilisegundosSinComprobar = 1000;

// The client's codes for a connection that is gone: server gone away, lost during a query, lost
// (extended), and the server's own "connection killed" and "shutdown in progress".
bool esConexionPerdida(const QSqlError& error) {
    static const QStringList codigos{QStringLiteral("2006"), QStringLiteral("2013"),
                                     QStringLiteral("2055"), QStringLiteral("1927"),
                                     QStringLiteral("1053")};
    return codigos.contains(error.nativeErrorCode());
}

// The first word of a statement, in capitals ("START", "COMMIT", ...).
QString primeraPalabra(const QString& sql) {
    const QString limpio = sql.trimmed();
    qsizetype fin = 0;
    while (fin < limpio.size() && limpio.at(fin).isLetter()) ++fin;
    return limpio.left(fin).toUpper();
}

// Statements after which an earlier transaction is over: its own end, a new one, and the
// statements the server runs with an implicit commit.
bool terminaTransaccion(const QString& palabra) {
    static const QStringList palabras{
        QStringLiteral("COMMIT"), QStringLiteral("ROLLBACK"), QStringLiteral("START"),
        QStringLiteral("BEGIN"),  QStringLiteral("DROP"),     QStringLiteral("CREATE"),
        QStringLiteral("ALTER"),  QStringLiteral("TRUNCATE"), QStringLiteral("RENAME")};
    return palabras.contains(palabra);
}

const QString errorPerdida =
    QStringLiteral("Se perdió la conexión con el servidor de la base de datos");

// Opens `db`. A server at its limit of connections (of its own, or of this user) frees the place
// of a connection only a moment after the client closed it, so a connection this program has just
// closed may still count: the attempt is made again, for up to two seconds.
bool abrirConEspera(QSqlDatabase& db) {
    static const QStringList limites{QStringLiteral("1040"), QStringLiteral("1203"),
                                     QStringLiteral("1226")};
    QElapsedTimer reloj;
    reloj.start();
    while (!db.open()) {
        if (!limites.contains(db.lastError().nativeErrorCode()) || reloj.elapsed() > 2000)
            return false;
        QThread::msleep(50);
    }
    return true;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Conexion

Conexion::Conexion() = default;

Conexion::~Conexion() { cerrar(); }

Conexion::Conexion(Conexion&& otra) noexcept
    : db_(std::move(otra.db_)),
      nombre_(std::move(otra.nombre_)),
      base_(std::move(otra.base_)),
      error_(std::move(otra.error_)),
      ajustes_(std::move(otra.ajustes_)),
      perdida_(otra.perdida_),
      enTransaccion_(otra.enTransaccion_),
      transaccionPerdida_(otra.transaccionPerdida_),
      usoReciente_(otra.usoReciente_) {
    otra.db_ = QSqlDatabase();
    otra.nombre_.clear();
    otra.base_.clear();
    otra.ajustes_ = Ajustes();
}

Conexion& Conexion::operator=(Conexion&& otra) noexcept {
    if (this != &otra) {
        cerrar();
        db_ = std::move(otra.db_);
        nombre_ = std::move(otra.nombre_);
        base_ = std::move(otra.base_);
        error_ = std::move(otra.error_);
        ajustes_ = std::move(otra.ajustes_);
        perdida_ = otra.perdida_;
        enTransaccion_ = otra.enTransaccion_;
        transaccionPerdida_ = otra.transaccionPerdida_;
        usoReciente_ = otra.usoReciente_;
        otra.db_ = QSqlDatabase();
        otra.nombre_.clear();
        otra.base_.clear();
        otra.ajustes_ = Ajustes();
    }
    return *this;
}

// A connection the server dropped still counts as open: the next statement reopens it.
bool Conexion::abierta() const { return !nombre_.isEmpty() && (db_.isOpen() || perdida_); }

QString Conexion::base() const { return abierta() ? base_ : QString(); }

QSqlDatabase Conexion::db() const { return db_; }

bool Conexion::ejecutar(const QString& sql, const QVariantList& valores, QString* error) {
    QSqlQuery q(QSqlDatabase{});
    correr(q, sql, valores);
    if (error) *error = error_;
    return error_.isEmpty();
}

bool Transaccion::empezar(QString* error) {
    abierta_ = conexion_.ejecutar(QStringLiteral("START TRANSACTION"), {}, error);
    return abierta_;
}

bool Transaccion::confirmar(QString* error) {
    if (!abierta_) {
        if (error) *error = QStringLiteral("no hay una transacción abierta");
        return false;
    }
    if (!conexion_.ejecutar(QStringLiteral("COMMIT"), {}, error)) {
        deshacer();
        return false;
    }
    abierta_ = false;
    return true;
}

void Transaccion::deshacer() {
    if (abierta_ && conexion_.abierta()) conexion_.ejecutar(QStringLiteral("ROLLBACK"));
    abierta_ = false;
}

bool Conexion::abrirSesion(QSqlDatabase& db, const Ajustes& a, QString* problema) {
    db.setHostName(a.host);
    db.setPort(a.puerto);
    db.setUserName(a.usuario);
    db.setPassword(a.password);
    db.setDatabaseName(a.base);
    // A server that does not answer ends the attempt within seconds; a statement whose answer
    // never comes ends within two minutes, well past any statement of a report. No password is
    // sent in clear, and with TLS set up the session is encrypted and its server checked.
    RestringirAutenticacion();
    QString errorTls;
    const QString tls = OpcionesTls(&errorTls);
    const auto noAbre = [&](const QString& motivo) {
        *problema = QStringLiteral("No se pudo abrir la base de datos %1 en %2:%3: %4")
                        .arg(a.base, a.host, QString::number(a.puerto), motivo);
        return false;
    };
    if (!errorTls.isEmpty()) return noAbre(errorTls);
    db.setConnectOptions(QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=5;MYSQL_OPT_READ_TIMEOUT=120;"
                                        "MYSQL_OPT_WRITE_TIMEOUT=120") +
                         tls);
    if (!abrirConEspera(db)) {
        const QString rechazo = MotivoRechazoSesion(db.lastError());
        return noAbre(rechazo.isEmpty() ? textoError(db.lastError()) : rechazo);
    }
    if (const QString enClaro = ComprobarCifrado(db); !enClaro.isEmpty()) {
        db.close();
        return noAbre(enClaro);
    }
    // Tables of the companies may be latin1 or utf8; the connection speaks utf8mb4 so the server
    // converts every value and no accent is lost on the way.
    QSqlQuery q(db);
    QString fallo;
    if (!q.exec(QStringLiteral("SELECT @@character_set_client, @@character_set_connection, "
                               "@@character_set_results")) ||
        !q.next()) {
        fallo = textoError(q.lastError());
    } else if (q.value(0).toString() != QLatin1String("utf8mb4") ||
               q.value(1).toString() != QLatin1String("utf8mb4") ||
               q.value(2).toString() != QLatin1String("utf8mb4")) {
        if (!q.exec(QStringLiteral("SET NAMES utf8mb4"))) fallo = textoError(q.lastError());
    }
    if (fallo.isEmpty()) return true;
    *problema = QStringLiteral("No se pudo preparar la conexión con %1: %2").arg(a.base, fallo);
    q = QSqlQuery(QSqlDatabase{});
    db.close();
    return false;
}

void Conexion::comprobar() {
    if (usoReciente_.isValid() && usoReciente_.elapsed() < MilisegundosSinComprobar) return;
    // After a pause the server may have gone and come back: a harmless statement finds out
    // before the caller's statement is sent.
    QSqlQuery prueba(db_);
    if (prueba.exec(QStringLiteral("DO 1"))) {
        usoReciente_.start();
    } else if (esConexionPerdida(prueba.lastError())) {
        marcarPerdida();
    } else {
        error_ = textoError(prueba.lastError());
    }
}

void Conexion::marcarPerdida() {
    perdida_ = true;
    // The server rolled back whatever transaction was open on it.
    if (enTransaccion_) transaccionPerdida_ = true;
    enTransaccion_ = false;
}

bool Conexion::reabrir() {
    db_.close();
    QString problema;
    if (!abrirSesion(db_, ajustes_, &problema)) {
        error_ = errorPerdida + QStringLiteral(" y no se pudo restablecer: ") + problema;
        return false;
    }
    perdida_ = false;
    usoReciente_.start();
    return true;
}

void Conexion::anotarFallo(const QSqlError& fallo, const QString& sql) {
    error_ = textoError(fallo);
    if (!esConexionPerdida(fallo)) return;
    // The statement may or may not have run; it is not sent again. The next one reopens.
    marcarPerdida();
    error_ = errorPerdida + QStringLiteral(": ") + error_;
    const QString palabra = primeraPalabra(sql);
    if (palabra == QLatin1String("COMMIT") || palabra == QLatin1String("ROLLBACK"))
        transaccionPerdida_ = false;  // that transaction is over, and its failure reported
}

bool Conexion::correr(QSqlQuery& q, const QString& sql, const QVariantList& valores) {
    error_.clear();
    if (!abierta()) {
        error_ = errorCerrada;
        return false;
    }
    const QString palabra = primeraPalabra(sql);
    if (!perdida_ && !transaccionPerdida_) comprobar();
    if (!error_.isEmpty()) return false;
    if (transaccionPerdida_) {
        // The rest of a transaction the server dropped must not run alone on a fresh
        // connection: a ROLLBACK has nothing left to undo, a COMMIT nothing to apply. A
        // statement that would end a transaction anyway (a new one, a table dropped or made)
        // starts afresh.
        const QString perdida =
            errorPerdida + QStringLiteral(" durante una transacción; sus cambios no se aplicaron.");
        if (!terminaTransaccion(palabra)) {
            error_ = perdida;
            return false;
        }
        transaccionPerdida_ = false;
        if (palabra == QLatin1String("ROLLBACK")) return true;
        if (palabra == QLatin1String("COMMIT")) {
            error_ = perdida;
            return false;
        }
    }
    if (perdida_ && !reabrir()) return false;
    q = QSqlQuery(db_);
    if (!ejecutarEn(q, sql, valores)) {
        anotarFallo(q.lastError(), sql);
        return false;
    }
    usoReciente_.start();
    if (palabra == QLatin1String("START") || palabra == QLatin1String("BEGIN"))
        enTransaccion_ = true;
    else if (terminaTransaccion(palabra))
        enTransaccion_ = false;
    return true;
}

QString Conexion::ultimoError() const { return error_; }

void Conexion::cerrar() {
    if (nombre_.isEmpty()) return;
    db_.close();
    db_ = QSqlDatabase();  // the last handle must go before the Qt connection is removed
    QSqlDatabase::removeDatabase(nombre_);
    nombre_.clear();
    base_.clear();
    ajustes_ = Ajustes();
    perdida_ = enTransaccion_ = transaccionPerdida_ = false;
    usoReciente_.invalidate();
}

// ---------------------------------------------------------------------------------------------
// Recordset

Recordset::Recordset() : consulta_(QSqlDatabase()) {}

bool Recordset::abrir(Conexion& c, const QString& sql, const QVariantList& valores) {
    cerrar();
    if (!c.abierta()) {
        error_ = errorCerrada;
        return false;
    }
    QSqlQuery q(QSqlDatabase{});
    if (!c.correr(q, sql, valores)) {
        error_ = c.error_;
        return false;
    }
    consulta_ = std::move(q);
    registro_ = consulta_.record();
    abierto_ = true;
    consulta_.next();
    return true;
}

bool Recordset::abierto() const { return abierto_; }

bool Recordset::alFinal() const { return !abierto_ || !consulta_.isValid(); }

void Recordset::siguiente() {
    if (!alFinal()) consulta_.next();
}

int Recordset::indiceCampo(const QString& nombre) const {
    for (int i = 0; i < registro_.count(); ++i)
        if (registro_.fieldName(i).compare(nombre, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QVariant Recordset::campo(const QString& nombre) const {
    const int i = indiceCampo(nombre);
    return i < 0 ? QVariant() : valor(i);
}

int Recordset::numCampos() const { return abierto_ ? registro_.count() : 0; }

QString Recordset::nombreCampo(int i) const {
    return i >= 0 && i < numCampos() ? registro_.fieldName(i) : QString();
}

QVariant Recordset::valor(int i) const {
    if (i < 0 || i >= numCampos() || alFinal()) return QVariant();
    return consulta_.value(i);
}

qint64 Recordset::cuenta() const {
    if (!abierto_ || !consulta_.isSelect()) return 0;
    const int tamano = consulta_.size();
    if (tamano >= 0) return tamano;
    // A driver that cannot tell the size: count by seeking to the last row and come back.
    // A forward-only walk cannot come back, so its size stays unknown (-1).
    if (consulta_.isForwardOnly()) return -1;
    const int donde = consulta_.at();
    const qint64 total = consulta_.last() ? consulta_.at() + 1 : 0;
    if (donde == QSql::AfterLastRow) {
        consulta_.last();
        consulta_.next();
    } else {
        consulta_.seek(donde);  // a negative index leaves it before the first row
    }
    return total;
}

QString Recordset::ultimoError() const { return error_; }

void Recordset::cerrar() {
    if (abierto_) consulta_.finish();
    consulta_ = QSqlQuery(QSqlDatabase());
    registro_ = QSqlRecord();
    abierto_ = false;
    error_.clear();
}

QSqlQuery& Recordset::consulta() { return consulta_; }

// ---------------------------------------------------------------------------------------------
// BasesDD

void BasesDD::fallo(const QString& texto) {
    // The password is handed to the session alone and never put into a text, so the server's words
    // are shown whole: masking them would only blank out names that happen to contain it.
    error_ = texto;
}

bool BasesDD::AbrirBdD(Conexion& c, const QString& base) {
    c.cerrar();
    error_.clear();
    c.error_.clear();
    const Conexion::Ajustes ajustes{cRuta, cUsuario, cPassword, base.isEmpty() ? baseGeneral : base,
                                    cPuerto};
    const QString nombre = nombreConexionNuevo();
    QString problema;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), nombre);
        if (!db.isValid()) {
            problema = QStringLiteral("No está disponible el controlador QMYSQL de Qt: %1")
                           .arg(textoError(db.lastError()));
        } else if (Conexion::abrirSesion(db, ajustes, &problema)) {
            c.db_ = db;
            c.nombre_ = nombre;
            c.base_ = ajustes.base;
            c.ajustes_ = ajustes;
            c.usoReciente_.start();
            return true;
        }
    }
    QSqlDatabase::removeDatabase(nombre);
    fallo(problema);
    c.error_ = error_;
    return false;
}

bool BasesDD::AbrirTabla(Recordset& rs, Conexion& c, const QString& origen, const QString& campos,
                         const QVariantList& valores) {
    rs.cerrar();
    error_.clear();
    QString lista = QStringLiteral("*");
    if (!campos.trimmed().isEmpty() && campos.trimmed() != lista) {
        QStringList citados;
        for (const QString& campo : campos.split(QLatin1Char(','))) {
            const QString limpio = campo.trimmed();
            if (limpio.isEmpty()) {
                fallo(
                    QStringLiteral("La lista de campos \"%1\" tiene un nombre vacío.").arg(campos));
                return false;
            }
            citados << citarIdentificador(limpio);
        }
        lista = citados.join(QLatin1Char(','));
    }
    if (!rs.abrir(c, QStringLiteral("SELECT %1 FROM %2").arg(lista, origen), valores)) {
        fallo(rs.ultimoError());
        return false;
    }
    return !rs.alFinal();
}

std::optional<QString> BasesDD::LeerConfig(const QString& nombre, Conexion& c) {
    Recordset rs;
    if (!AbrirTabla(rs, c, QStringLiteral("configuracion where Nombre=?"), QStringLiteral("Valor"),
                    {nombre}))
        return std::nullopt;
    return rs.campo(QStringLiteral("Valor")).toString();
}

void BasesDD::CierraTabla(Recordset& rs) { rs.cerrar(); }

void BasesDD::CierraBdD(Conexion& c) { c.cerrar(); }

QString BasesDD::ultimoError() const { return error_; }
