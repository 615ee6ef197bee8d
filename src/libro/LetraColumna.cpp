#include "libro/LetraColumna.h"

QString LetraColumna(int columna) { return QString::fromLatin1(LetrasColumna(columna)); }

QByteArray LetrasColumna(int columna) {
    // Bijective base 26: each step takes the last letter, with Z standing for a remainder of 0.
    QByteArray letras;
    for (; columna > 0; columna = (columna - 1) / 26)
        letras.prepend(static_cast<char>('A' + (columna - 1) % 26));
    return letras;
}
