#include "libro/Celdas.h"

#include <cmath>

#include "libro/HojaExcel.h"

QString textoDeCelda(const QString& texto) {
    QString t = texto;
    t.remove(QChar(u'\0'));  // a C string ends there: it would cut the text short
    if (t.size() > kMaxLargoTexto) {
        qsizetype largo = kMaxLargoTexto;
        if (t[largo - 1].isHighSurrogate()) --largo;
        t.truncate(largo);
    }
    return t;
}

double anchoAlmacenado(double ancho) {
    const double pixeles =
        ancho < 1 ? std::floor(ancho * 12 + 0.5) : std::floor(ancho * 7 + 0.5) + 5;
    return std::floor(pixeles * 256 / 7) / 256;
}

std::optional<double> numeroDeCelda(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Float:
        case QMetaType::Double:
            return v.toDouble();
        default:
            return std::nullopt;
    }
}
