#include "libro/LetraColumna.h"

#include "libro/LibroExcel.h"

QString LetraColumna(int columna) { return QString::fromLatin1(LetrasColumna(columna)); }
