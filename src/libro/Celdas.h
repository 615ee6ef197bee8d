#pragma once
#include <QString>

// What the .xls writer and both .xlsx writers store for a cell's text, so that their files hold
// the same values.

// The text a cell holds for `texto`: NUL characters dropped, cut to kMaxLargoTexto UTF-16 units
// without splitting a surrogate pair.
QString textoDeCelda(const QString& texto);
