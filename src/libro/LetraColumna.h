#pragma once
#include <QByteArray>
#include <QString>

// Name of a 1-based sheet column in letters: 1 "A", 26 "Z", 27 "AA", 702 "ZZ", 703 "AAA",
// 16384 "XFD". A column below 1 has no name and gives "".
QString LetraColumna(int columna);

// The same letters as bytes, as the .xlsx sheet's cell references hold them.
QByteArray LetrasColumna(int columna);
