#include "BasesDD.h"

#include <QSqlError>
#include <QStringList>
#include <atomic>

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

}  // namespace

// ---------------------------------------------------------------------------------------------
// Conexion

Conexion::Conexion() = default;

Conexion::~Conexion() { cerrar(); }

Conexion::Conexion(Conexion&& otra) noexcept
    : db_(std::move(otra.db_)),
      nombre_(std::move(otra.nombre_)),
      base_(std::move(otra.base_)),
      error_(std::move(otra.error_)) {
    otra.db_ = QSqlDatabase();
    otra.nombre_.clear();
    otra.base_.clear();
}

Conexion& Conexion::operator=(Conexion&& otra) noexcept {
    if (this != &otra) {
        cerrar();
        db_ = std::move(otra.db_);
        nombre_ = std::move(otra.nombre_);
        base_ = std::move(otra.base_);
        error_ = std::move(otra.error_);
        otra.db_ = QSqlDatabase();
        otra.nombre_.clear();
        otra.base_.clear();
    }
    return *this;
}

bool Conexion::abierta() const { return !nombre_.isEmpty() && db_.isOpen(); }

QString Conexion::base() const { return abierta() ? base_ : QString(); }

QSqlDatabase Conexion::db() const { return db_; }

bool Conexion::ejecutar(const QString& sql, const QVariantList& valores, QString* error) {
    error_.clear();
    if (!abierta()) {
        error_ = errorCerrada;
    } else {
        QSqlQuery q(db_);
        if (!ejecutarEn(q, sql, valores)) error_ = textoError(q.lastError());
    }
    if (error) *error = error_;
    return error_.isEmpty();
}

QString Conexion::ultimoError() const { return error_; }

void Conexion::cerrar() {
    if (nombre_.isEmpty()) return;
    db_.close();
    db_ = QSqlDatabase();  // the last handle must go before the Qt connection is removed
    QSqlDatabase::removeDatabase(nombre_);
    nombre_.clear();
    base_.clear();
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
    QSqlQuery q(c.db());
    if (!ejecutarEn(q, sql, valores)) {
        error_ = textoError(q.lastError());
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
    error_ = texto;
    // The password never leaves in an error text, even if a driver were to echo it.
    if (!cPassword.isEmpty()) error_.replace(cPassword, QStringLiteral("****"));
}

bool BasesDD::AbrirBdD(Conexion& c, const QString& base) {
    c.cerrar();
    error_.clear();
    c.error_.clear();
    const QString nombreBase = base.isEmpty() ? baseGeneral : base;
    const QString nombre = nombreConexionNuevo();
    QString problema;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), nombre);
        if (!db.isValid()) {
            problema = QStringLiteral("No está disponible el controlador QMYSQL de Qt: %1")
                           .arg(textoError(db.lastError()));
        } else {
            db.setHostName(cRuta);
            db.setPort(cPuerto);
            db.setUserName(cUsuario);
            db.setPassword(cPassword);
            db.setDatabaseName(nombreBase);
            db.setConnectOptions(QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=5"));
            if (!db.open()) {
                problema = QStringLiteral("No se pudo abrir la base de datos %1 en %2:%3: %4")
                               .arg(nombreBase, cRuta, QString::number(cPuerto),
                                    textoError(db.lastError()));
            } else {
                // Tables of the companies may be latin1 or utf8; the connection speaks utf8mb4 so
                // the server converts every value and no accent is lost on the way.
                QSqlQuery q(db);
                if (!q.exec(
                        QStringLiteral("SELECT @@character_set_client, @@character_set_connection, "
                                       "@@character_set_results")) ||
                    !q.next()) {
                    problema = textoError(q.lastError());
                } else if (q.value(0).toString() != QLatin1String("utf8mb4") ||
                           q.value(1).toString() != QLatin1String("utf8mb4") ||
                           q.value(2).toString() != QLatin1String("utf8mb4")) {
                    if (!q.exec(QStringLiteral("SET NAMES utf8mb4")))
                        problema = textoError(q.lastError());
                }
                if (!problema.isEmpty())
                    problema = QStringLiteral("No se pudo preparar la conexión con %1: %2")
                                   .arg(nombreBase, problema);
            }
            if (problema.isEmpty()) {
                c.db_ = db;
                c.nombre_ = nombre;
                c.base_ = nombreBase;
                return true;
            }
            db.close();
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
