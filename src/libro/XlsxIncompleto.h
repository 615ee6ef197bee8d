#pragma once
#include <QString>

// The check both .xlsx writers make of the file they wrote, read back from the disk.

// Why the .xlsx workbook at `ruta` is not whole ("" when it is): a zip directory that does not lie
// where its record says, or a sheet that does not inflate whole to its closing tag. A full disk or
// a file-size limit may cut a file short without any write reporting it.
QString LibroXlsxIncompleto(const QString& ruta);
