#include "basedatos/FilasCarga.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "basedatos/Sql.h"

namespace {

// The characters a text escapes, and the letter that follows the backslash for each.
constexpr std::pair<char, char> Escapes[] = {
    {'\\', '\\'}, {'\t', 't'}, {'\n', 'n'}, {'\r', 'r'}, {'\0', '0'}};

// The escape letter of a character the text escapes, 0 for any other.
char escapeDe(char c) {
    for (const auto& [caracter, letra] : Escapes)
        if (c == caracter) return letra;
    return 0;
}

void anadirTexto(QByteArray& destino, const QByteArray& texto) {
    // Runs of characters that need no escape (most texts are one run) go in whole.
    const char* desde = texto.constData();
    const char* const fin = desde + texto.size();
    for (const char* c = desde; c != fin; ++c) {
        const char letra = escapeDe(*c);
        if (letra == 0) continue;
        destino.append(desde, c - desde).append('\\').append(letra);
        desde = c + 1;
    }
    destino.append(desde, fin - desde);
}

void anadirCampo(QByteArray& destino, const QVariant& valor) {
    if (valor.isNull()) {
        destino.append("\\N", 2);
    } else if (valor.typeId() == QMetaType::Double || valor.typeId() == QMetaType::Float) {
        // No table holds a NaN or an infinity: such a value goes as NULL.
        char numero[LargoLiteralDoble];
        const int largo = escribirDoble(valor.toDouble(), numero, false);
        if (largo > 0)
            destino.append(numero, largo);
        else
            destino.append("\\N", 2);
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
