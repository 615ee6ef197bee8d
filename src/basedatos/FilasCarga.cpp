#include "basedatos/FilasCarga.h"

#include <charconv>

#include "basedatos/Sql.h"

namespace {

void anadirTexto(QByteArray& destino, const QByteArray& texto) {
    for (const char c : texto) {
        switch (c) {
            case '\\':
                destino.append("\\\\", 2);
                break;
            case '\t':
                destino.append("\\t", 2);
                break;
            case '\n':
                destino.append("\\n", 2);
                break;
            case '\r':
                destino.append("\\r", 2);
                break;
            case '\0':
                destino.append("\\0", 2);
                break;
            default:
                destino.append(c);
        }
    }
}

void anadirNumero(QByteArray& destino, double valor) {
    char texto[32];
    const std::to_chars_result hecho = std::to_chars(texto, texto + sizeof texto, valor);
    destino.append(texto, hecho.ptr - texto);
}

void anadirCampo(QByteArray& destino, const QVariant& valor) {
    if (valor.isNull()) {
        destino.append("\\N", 2);
        return;
    }
    switch (valor.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            anadirNumero(destino, valor.toDouble());
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            destino.append(valor.toByteArray());
            break;
        default:
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
