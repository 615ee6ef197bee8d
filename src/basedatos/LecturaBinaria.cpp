#include <mysql.h>

#include <QByteArrayView>
#include <algorithm>
#include <vector>

#include "basedatos/Conexion.h"

namespace {
// The most a text or bytes cell may take, whatever its column declares: a server that declares
// huge columns gets no huge buffers.
constexpr unsigned long LargoMaximoCelda = 1 << 16;

bool esNumero(enum_field_types tipo) {
    switch (tipo) {
        case MYSQL_TYPE_TINY:
        case MYSQL_TYPE_SHORT:
        case MYSQL_TYPE_INT24:
        case MYSQL_TYPE_LONG:
        case MYSQL_TYPE_LONGLONG:
        case MYSQL_TYPE_FLOAT:
        case MYSQL_TYPE_DOUBLE:
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            return true;
        default:
            return false;
    }
}
}  // namespace

// The statement and, for each column, where its cell of the current row lands.
struct LecturaBinaria::Estado {
    struct Celda {
        bool numero = false;
        bool binaria = false;
        double doble = 0;
        std::vector<char> texto;
        unsigned long largo = 0;
        my_bool nula = 0;
        my_bool truncada = 0;
    };
    MYSQL_STMT* sentencia = nullptr;
    std::vector<Celda> celdas;
    std::vector<MYSQL_BIND> enlaces;

    ~Estado() {
        // Closing a statement whose rows are not all read reads off the rest, so the session is
        // free.
        if (sentencia) mysql_stmt_close(sentencia);
    }
    // The buffers for the columns of the result.
    bool enlazar() {
        MYSQL_RES* meta = mysql_stmt_result_metadata(sentencia);
        if (!meta) return false;
        const unsigned campos = mysql_num_fields(meta);
        const MYSQL_FIELD* columnas = mysql_fetch_fields(meta);
        celdas.resize(campos);
        enlaces.assign(campos, MYSQL_BIND{});
        for (unsigned i = 0; i < campos; ++i) {
            Celda& c = celdas[i];
            MYSQL_BIND& b = enlaces[i];
            c.numero = esNumero(columnas[i].type);
            c.binaria = columnas[i].charsetnr == 63;
            if (c.numero) {
                b.buffer_type = MYSQL_TYPE_DOUBLE;
                b.buffer = &c.doble;
            } else {
                c.texto.resize(std::clamp<unsigned long>(columnas[i].length, 1, LargoMaximoCelda));
                b.buffer_type = c.binaria ? MYSQL_TYPE_BLOB : MYSQL_TYPE_STRING;
                b.buffer = c.texto.data();
                b.buffer_length = static_cast<unsigned long>(c.texto.size());
            }
            b.length = &c.largo;
            b.is_null = &c.nula;
            b.error = &c.truncada;
        }
        mysql_free_result(meta);
        return !mysql_stmt_bind_result(sentencia, enlaces.data());
    }
};

LecturaBinaria::LecturaBinaria() = default;
LecturaBinaria::~LecturaBinaria() { cerrar(); }

void LecturaBinaria::fallar(Conexion& c, const QString& sql) {
    if (mysql_errno(c.sesion_) != 0) {
        c.anotarFallo(sql);
        fallo_ = c.fallo_;
    } else if (estado_ && estado_->sentencia && mysql_stmt_errno(estado_->sentencia) != 0) {
        fallo_ = {mysql_stmt_errno(estado_->sentencia),
                  QString::fromUtf8(mysql_stmt_error(estado_->sentencia)).trimmed()};
    } else {
        fallo_ = {0, QStringLiteral("La lectura de la base de datos no se pudo preparar.")};
    }
    cerrar();
}

bool LecturaBinaria::abrir(Conexion& c, const QString& sql) {
    cerrar();
    fallo_ = FalloBase();
    if (!c.disponer(QStringLiteral("SELECT"))) {
        fallo_ = c.fallo_;
        return false;
    }
    estado_ = std::make_unique<Estado>();
    estado_->sentencia = mysql_stmt_init(c.sesion_);
    const QByteArray texto = sql.toUtf8();
    if (!estado_->sentencia ||
        mysql_stmt_prepare(estado_->sentencia, texto.constData(),
                           static_cast<unsigned long>(texto.size())) != 0 ||
        mysql_stmt_execute(estado_->sentencia) != 0 || !estado_->enlazar()) {
        fallar(c, sql);
        return false;
    }
    conexion_ = &c;
    return true;
}

bool LecturaBinaria::siguiente() {
    if (!estado_) return false;
    const int estado = mysql_stmt_fetch(estado_->sentencia);
    if (estado == 0) return true;
    if (estado == MYSQL_NO_DATA) return false;
    if (estado == MYSQL_DATA_TRUNCATED) {
        fallo_ = {0, QStringLiteral("El servidor envió un dato más largo de lo que su columna "
                                    "admite.")};
        cerrar();
        return false;
    }
    // A session lost on the way.
    fallar(*conexion_, QString());
    return false;
}

QByteArrayView LecturaBinaria::bytes(int i) const {
    const Estado::Celda& c = estado_->celdas[static_cast<std::size_t>(i)];
    if (c.nula || c.numero) return {};
    return QByteArrayView(c.texto.data(), static_cast<qsizetype>(c.largo));
}

QVariant LecturaBinaria::valor(int i) const {
    const Estado::Celda& c = estado_->celdas[static_cast<std::size_t>(i)];
    if (c.numero) return c.nula ? QVariant(QMetaType::fromType<double>()) : QVariant(c.doble);
    if (c.binaria)
        return c.nula ? QVariant(QMetaType::fromType<QByteArray>())
                      : QVariant(bytes(i).toByteArray());
    if (c.nula) return QVariant(QMetaType::fromType<QString>());
    return QString::fromUtf8(bytes(i));
}

void LecturaBinaria::cerrar() {
    estado_.reset();
    conexion_ = nullptr;
}
