#include "common/LetraColumna.h"

#include "components/LibroExcel.h"

QString LetraColumna(int columna) { return QString::fromLatin1(LetrasColumna(columna)); }
