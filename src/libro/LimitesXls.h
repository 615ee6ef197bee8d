#pragma once

// The Excel 97-2003 grid: rows and columns a .xls sheet can address. A report checks them before
// it writes under a ".xls" name; the .xls writer refuses a larger sheet whole.
inline constexpr int kMaxFilasXls = 65536;
inline constexpr int kMaxColumnasXls = 256;

// True when a sheet of `filas` rows and `columnas` columns fits a .xls workbook (65536 rows, 256
// columns); check it before saving under a ".xls" name, which refuses larger sheets.
inline bool cabeEnXls(int filas, int columnas) {
    return filas <= kMaxFilasXls && columnas <= kMaxColumnasXls;
}
