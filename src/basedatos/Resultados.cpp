#include <mysql.h>

#include <QDate>
#include <QDateTime>
#include <QTime>

#include "basedatos/Conexion.h"
#include "basedatos/Sql.h"

namespace {

// A cell as the server sent it in the text protocol, as the value of its column's type.
QVariant valorCelda(const MYSQL_FIELD& campo, const char* datos, unsigned long largo) {
    const bool sinSigno = (campo.flags & UNSIGNED_FLAG) != 0;
    const QByteArray texto =
        QByteArray::fromRawData(datos ? datos : "", static_cast<qsizetype>(largo));
    QMetaType tipo;
    switch (campo.type) {
        case MYSQL_TYPE_TINY:
        case MYSQL_TYPE_SHORT:
        case MYSQL_TYPE_INT24:
        case MYSQL_TYPE_LONG:
        case MYSQL_TYPE_YEAR:
            tipo = sinSigno ? QMetaType::fromType<uint>() : QMetaType::fromType<int>();
            break;
        case MYSQL_TYPE_LONGLONG:
            tipo = sinSigno ? QMetaType::fromType<qulonglong>() : QMetaType::fromType<qlonglong>();
            break;
        case MYSQL_TYPE_FLOAT:
        case MYSQL_TYPE_DOUBLE:
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            tipo = QMetaType::fromType<double>();
            break;
        case MYSQL_TYPE_DATE:
            tipo = QMetaType::fromType<QDate>();
            break;
        case MYSQL_TYPE_DATETIME:
        case MYSQL_TYPE_TIMESTAMP:
            tipo = QMetaType::fromType<QDateTime>();
            break;
        default:
            // Binary strings (character set 63) are bytes; every other string is utf8mb4 text.
            tipo = campo.charsetnr == 63 && (campo.flags & BINARY_FLAG) != 0
                       ? QMetaType::fromType<QByteArray>()
                       : QMetaType::fromType<QString>();
    }
    if (!datos) return QVariant(tipo);
    switch (tipo.id()) {
        case QMetaType::Int:
            return texto.toInt();
        case QMetaType::UInt:
            return texto.toUInt();
        case QMetaType::LongLong:
            return texto.toLongLong();
        case QMetaType::ULongLong:
            return texto.toULongLong();
        case QMetaType::Double: {
            double valor = 0;
            leerDoble(datos, datos + largo, &valor);
            return valor;
        }
        case QMetaType::QDate:
            return QDate::fromString(QString::fromLatin1(texto), Qt::ISODate);
        case QMetaType::QDateTime:
            return QDateTime::fromString(QString::fromLatin1(texto), Qt::ISODateWithMs);
        case QMetaType::QByteArray:
            return QByteArray(datos, static_cast<qsizetype>(largo));
        default:
            return QString::fromUtf8(datos, static_cast<qsizetype>(largo));
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Recordset

void Recordset::Liberar::operator()(MYSQL_RES* r) const { mysql_free_result(r); }

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

bool Recordset::abrir(Conexion& c, const QString& sql, const QVariantList& valores) {
    cerrar();
    if (!c.correr(sql, valores)) {
        fallo_ = c.fallo_;
        if (fallo_.texto.isEmpty()) fallo_.texto = QStringLiteral("La sentencia no se ejecutó.");
        return false;
    }
    resultado_.reset(mysql_store_result(c.sesion_));
    if (!resultado_ && mysql_errno(c.sesion_) != 0) {
        c.anotarFallo(sql);
        fallo_ = c.fallo_;
        return false;
    }
    abierto_ = true;
    siguiente();
    return true;
}

bool Recordset::alFinal() const { return !abierto_ || !fila_; }

void Recordset::siguiente() {
    if (!resultado_) return;
    fila_ = mysql_fetch_row(resultado_.get());
    largos_ = fila_ ? mysql_fetch_lengths(resultado_.get()) : nullptr;
}

int Recordset::indiceCampo(const QString& nombre) const {
    for (int i = 0; i < numCampos(); ++i)
        if (nombreCampo(i).compare(nombre, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QVariant Recordset::campo(const QString& nombre) const {
    const int i = indiceCampo(nombre);
    return i < 0 ? QVariant() : valor(i);
}

int Recordset::numCampos() const {
    return resultado_ ? static_cast<int>(mysql_num_fields(resultado_.get())) : 0;
}

QString Recordset::nombreCampo(int i) const {
    if (i < 0 || i >= numCampos()) return QString();
    return QString::fromUtf8(
        mysql_fetch_field_direct(resultado_.get(), static_cast<unsigned>(i))->name);
}

QVariant Recordset::valor(int i) const {
    if (i < 0 || i >= numCampos() || alFinal()) return QVariant();
    return valorCelda(*mysql_fetch_field_direct(resultado_.get(), static_cast<unsigned>(i)),
                      fila_[i], largos_[i]);
}

qint64 Recordset::cuenta() const {
    return resultado_ ? static_cast<qint64>(mysql_num_rows(resultado_.get())) : 0;
}

std::optional<DefinicionTexto> Recordset::definicionTexto(int i) const {
    if (!resultado_ || i < 0 || i >= numCampos()) return std::nullopt;
    const MYSQL_FIELD* campo = mysql_fetch_field_direct(resultado_.get(), static_cast<unsigned>(i));
    constexpr unsigned Binario = 63;
    const MARIADB_CHARSET_INFO* juego =
        campo->charsetnr == Binario ? nullptr : mariadb_get_charset_by_nr(campo->charsetnr);
    if (!juego || !juego->csname || !juego->name || juego->char_maxlen == 0) return std::nullopt;
    switch (campo->type) {
        case MYSQL_TYPE_VARCHAR:
        case MYSQL_TYPE_VAR_STRING:
        case MYSQL_TYPE_STRING:
        case MYSQL_TYPE_TINY_BLOB:
        case MYSQL_TYPE_BLOB:
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
            break;
        default:
            return std::nullopt;
    }
    return DefinicionTexto{QString::fromLatin1(juego->csname), QString::fromLatin1(juego->name),
                           static_cast<qint64>(campo->length / juego->char_maxlen),
                           (campo->flags & NOT_NULL_FLAG) == 0};
}

void Recordset::cerrar() {
    resultado_.reset();
    fila_ = nullptr;
    largos_ = nullptr;
    abierto_ = false;
    fallo_ = FalloBase();
}

// ---------------------------------------------------------------------------------------------
// Lectura

bool Lectura::abrir(Conexion& c, const QString& sql, const QVariantList& valores) {
    cerrar();
    fallo_ = FalloBase();
    if (!c.correr(sql, valores)) {
        fallo_ = c.fallo_;
        return false;
    }
    resultado_ = mysql_use_result(c.sesion_);
    if (!resultado_) {
        if (mysql_errno(c.sesion_) != 0)
            c.anotarFallo(sql);
        else
            c.fallo_ = {0, QStringLiteral("La sentencia no devolvió filas.")};
        fallo_ = c.fallo_;
        return false;
    }
    conexion_ = &c;
    c.lectura_ = this;
    campos_ = static_cast<int>(mysql_num_fields(resultado_));
    columnas_ = mysql_fetch_fields(resultado_);
    return true;
}

bool Lectura::siguiente() {
    if (!resultado_) return false;
    fila_ = mysql_fetch_row(resultado_);
    if (fila_) {
        largos_ = mysql_fetch_lengths(resultado_);
        return true;
    }
    // The end of the rows, or a session lost on the way.
    if (mysql_errno(conexion_->sesion_) != 0) {
        conexion_->anotarFallo(QString());
        fallo_ = conexion_->fallo_;
    }
    return false;
}

QString Lectura::nombreCampo(int i) const {
    return i >= 0 && i < campos_ ? QString::fromUtf8(columnas_[i].name) : QString();
}

bool Lectura::esDoble(int i) const {
    return i >= 0 && i < campos_ && columnas_[i].type == MYSQL_TYPE_DOUBLE;
}

QVariant Lectura::valor(int i) const {
    if (i < 0 || i >= campos_ || !fila_) return QVariant();
    return valorCelda(columnas_[i], fila_[i], largos_[i]);
}

void Lectura::cerrar() {
    // Freeing a streamed result reads what the server still sends of it, so the session is free.
    if (resultado_) mysql_free_result(resultado_);
    if (conexion_) conexion_->lectura_ = nullptr;
    resultado_ = nullptr;
    fila_ = nullptr;
    largos_ = nullptr;
    campos_ = 0;
    conexion_ = nullptr;
}
