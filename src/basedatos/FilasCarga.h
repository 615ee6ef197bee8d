#pragma once
#include <QByteArray>
#include <QString>
#include <QVariantList>

// Rows for a LOAD DATA LOCAL INFILE as SentenciaCarga reads them: UTF-8 text, fields separated by
// a tab, rows ended by a line feed, NULL as \N, and the tab, the line ends, the NUL and the
// backslash of a text escaped. Numbers are written with the fewest digits that read back as the
// very same double.

// The statement that loads such rows into `tabla` (a name the program made, quoted here).
QString SentenciaCarga(const QString& tabla);
// Adds `fila` to `destino` as one row.
void AnadirFilaCarga(QByteArray& destino, const QVariantList& fila);
