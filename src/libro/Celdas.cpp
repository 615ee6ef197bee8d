#include "libro/Celdas.h"

#include "libro/LibroExcel.h"

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
