#include "common/LetraColumna.h"

QString LetraColumna(int columna) {
    // Bijective base 26: each step takes the last letter, with Z standing for a remainder of 0.
    QString letras;
    while (columna > 0) {
        const int resto = (columna - 1) % 26;
        letras.prepend(QChar(u'A' + resto));
        columna = (columna - 1) / 26;
    }
    return letras;
}
