#include "basedatos/FilasCarga.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "basedatos/Sql.h"

namespace {

// The characters a text escapes, and the letter that follows the backslash for each.
constexpr std::pair<char, char> Escapes[] = {
    {'\\', '\\'}, {'\t', 't'}, {'\n', 'n'}, {'\r', 'r'}, {'\0', '0'}};

void anadirTexto(QByteArray& destino, const QByteArray& texto) {
    for (const char c : texto) {
        const auto* escape = std::find_if(std::begin(Escapes), std::end(Escapes),
                                          [c](const auto& par) { return par.first == c; });
        if (escape == std::end(Escapes)) {
            destino.append(c);
        } else {
            destino.append('\\');
            destino.append(escape->second);
        }
    }
}

void anadirCampo(QByteArray& destino, const QVariant& valor) {
    QByteArray numero;
    if (valor.isNull()) {
        destino.append("\\N", 2);
    } else if (valor.typeId() == QMetaType::Double || valor.typeId() == QMetaType::Float) {
        // No table holds a NaN or an infinity: such a value goes as NULL.
        destino.append(literalDoble(valor.toDouble(), &numero) ? numero : QByteArray("\\N"));
    } else if (valor.typeId() == QMetaType::Int || valor.typeId() == QMetaType::LongLong ||
               valor.typeId() == QMetaType::UInt || valor.typeId() == QMetaType::ULongLong) {
        destino.append(valor.toByteArray());
    } else {
        anadirTexto(destino, valor.toString().toUtf8());
    }
}

}  // namespace

QString SentenciaCarga(const QString& tabla) {
    return QStringLiteral(
               "LOAD DATA LOCAL INFILE 'filas' INTO TABLE %1 CHARACTER SET utf8mb4 "
               "FIELDS TERMINATED BY '\\t' ESCAPED BY '\\\\' LINES TERMINATED BY '\\n'")
        .arg(citarIdentificador(tabla));
}

void AnadirFilaCarga(QByteArray& destino, const QVariantList& fila) {
    for (qsizetype i = 0; i < fila.size(); ++i) {
        if (i > 0) destino.append('\t');
        anadirCampo(destino, fila[i]);
    }
    destino.append('\n');
}
