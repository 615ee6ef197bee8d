#include "basedatos/Sql.h"

#include <mysql.h>

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <algorithm>
#include <charconv>
#include <cmath>

int escribirDoble(double valor, char (&texto)[LargoLiteralDoble], bool conExponente) {
    if (!std::isfinite(valor)) return 0;
    // The shortest form is at most 24 characters ("-2.2250738585072014e-308"), "e0" included.
    const std::to_chars_result r = std::to_chars(texto, texto + LargoLiteralDoble - 2, valor);
    char* fin = r.ptr;
    if (conExponente && std::find(texto, fin, 'e') == fin) {
        *fin++ = 'e';
        *fin++ = '0';
    }
    return static_cast<int>(fin - texto);
}

bool literalDoble(double valor, QByteArray* salida) {
    char texto[LargoLiteralDoble];
    const int largo = escribirDoble(valor, texto);
    if (largo == 0) return false;
    *salida = QByteArray(texto, largo);
    return true;
}

bool leerDoble(const char* desde, const char* hasta, double* valor) {
    const std::from_chars_result r = std::from_chars(desde, hasta, *valor);
    if (r.ec == std::errc() && r.ptr == hasta) return true;
    // Values so small that they lose precision (subnormals) come back from from_chars as out of
    // range, and untouched.
    bool bien = false;
    *valor = QByteArray(desde, hasta - desde).toDouble(&bien);
    return bien;
}

QString citarIdentificador(const QString& nombre) {
    QString citado = nombre;
    citado.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + citado + QLatin1Char('`');
}

namespace {

// A text value in single quotes, escaped by the library for the session's character set and for
// whether the server takes a backslash as an escape.
QByteArray textoCitado(MYSQL* sesion, const QByteArray& valor) {
    QByteArray salida(valor.size() * 2 + 3, Qt::Uninitialized);
    salida[0] = '\'';
    const unsigned long largo = mysql_real_escape_string(
        sesion, salida.data() + 1, valor.constData(), static_cast<unsigned long>(valor.size()));
    salida.truncate(static_cast<qsizetype>(largo) + 1);
    salida.append('\'');
    return salida;
}

bool literal(MYSQL* sesion, const QVariant& valor, QByteArray* salida) {
    if (!valor.isValid() || valor.isNull()) {
        *salida = "NULL";
        return true;
    }
    switch (valor.typeId()) {
        case QMetaType::Bool:
            *salida = valor.toBool() ? "1" : "0";
            return true;
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
            *salida = QByteArray::number(valor.toLongLong());
            return true;
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            *salida = QByteArray::number(valor.toULongLong());
            return true;
        case QMetaType::Double:
        case QMetaType::Float:
            return literalDoble(valor.toDouble(), salida);
        case QMetaType::QByteArray:
            *salida = textoCitado(sesion, valor.toByteArray());
            return true;
        case QMetaType::QDate:
            *salida = textoCitado(sesion, valor.toDate().toString(Qt::ISODate).toUtf8());
            return true;
        case QMetaType::QDateTime:
            *salida = textoCitado(
                sesion,
                valor.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8());
            return true;
        default:
            *salida = textoCitado(sesion, valor.toString().toUtf8());
            return true;
    }
}

// Where a quoted part of the statement that starts at `i` (a quote, a backtick, a comment) ends:
// the index just after it; `i` itself when nothing quoted starts there.
qsizetype finCitado(const QString& sql, qsizetype i) {
    const QChar c = sql.at(i);
    const qsizetype n = sql.size();
    if (c == u'\'' || c == u'"' || c == u'`') {
        qsizetype j = i + 1;
        while (j < n) {
            if (c != u'`' && sql.at(j) == u'\\') {
                j += 2;
            } else if (sql.at(j) == c) {
                if (j + 1 < n && sql.at(j + 1) == c)
                    j += 2;  // a doubled quote stands for itself
                else
                    return j + 1;
            } else {
                ++j;
            }
        }
        return n;
    }
    const auto hasta = [&](const QString& fin, qsizetype desde) {
        const qsizetype k = sql.indexOf(fin, desde);
        return k < 0 ? n : k + fin.size();
    };
    if (c == u'#') return hasta(QStringLiteral("\n"), i);
    if (c == u'-' && i + 2 < n && sql.at(i + 1) == u'-' && sql.at(i + 2).isSpace())
        return hasta(QStringLiteral("\n"), i);
    if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') return hasta(QStringLiteral("*/"), i + 2);
    return i;
}

}  // namespace

bool armarSentencia(MYSQL* sesion, const QString& sql, const QVariantList& valores,
                    QByteArray* sentencia, QString* error) {
    QByteArray salida;
    salida.reserve(sql.size() + valores.size() * 16);
    qsizetype usado = 0, inicio = 0;
    for (qsizetype i = 0; i < sql.size();) {
        if (const qsizetype fin = finCitado(sql, i); fin != i) {
            i = fin;
            continue;
        }
        if (sql.at(i) != u'?') {
            ++i;
            continue;
        }
        if (usado == valores.size()) {
            *error = QStringLiteral("la sentencia tiene más marcas «?» que valores");
            return false;
        }
        QByteArray valor;
        if (!literal(sesion, valores.at(usado), &valor)) {
            *error = QStringLiteral("un valor no es un número que la base de datos pueda guardar");
            return false;
        }
        salida += QStringView(sql).mid(inicio, i - inicio).toUtf8();
        salida += valor;
        ++usado;
        inicio = ++i;
    }
    if (usado != valores.size()) {
        *error = QStringLiteral("la sentencia tiene menos marcas «?» que valores");
        return false;
    }
    salida += QStringView(sql).mid(inicio).toUtf8();
    *sentencia = salida;
    return true;
}
