#include "report/HojaReporte.h"

#include <algorithm>
#include <optional>

#include "libro/HojaExcel.h"
#include "libro/LetraColumna.h"

void EncabezarHoja(HojaExcel& hoja, const QList<EmpresaEnHoja>& empresas) {
    hoja.ponerValor(1, 1, QStringLiteral("Reporte varelmo"));
    hoja.ponerTamano(Rango{1, 1, 1, 1}, 18);
    int columna = 3;
    for (const EmpresaEnHoja& empresa : empresas) {
        hoja.ponerValor(1, columna, QStringLiteral("Datos%1").arg(empresa.id));
        hoja.ponerNegrita(Rango{1, columna, 1, columna});
        hoja.ponerValor(2, columna, empresa.nombre);
        hoja.ponerValor(3, columna, QStringLiteral("Costo"));
        hoja.ponerValor(3, columna + 1, QStringLiteral("Precio"));
        hoja.ponerNegrita(Rango{2, columna, 3, columna});
        hoja.ponerTamano(Rango{2, columna, 3, columna}, 18);
        hoja.ponerNegrita(Rango{3, columna + 1, 3, columna + 1});
        hoja.ponerTamano(Rango{3, columna + 1, 3, columna + 1}, 18);
        columna += 2;
    }
    hoja.ponerValor(3, 1, QStringLiteral("Clave"));
    hoja.ponerValor(3, 2, QStringLiteral("Descripción"));
    hoja.ponerNegrita(Rango{1, 1, 3, 2});
    hoja.ponerTamano(Rango{1, 1, 3, 2}, 18);
    hoja.ponerAnchoColumna(1, 15);
    hoja.ponerAnchoColumna(2, 60);
    // It reads and prints as a report: the codes and the headings stay in sight while the prices
    // scroll, and every printed page is one page wide, landscape, under the same headings.
    DisposicionHoja disposicion;
    disposicion.filasFijas = 3;
    disposicion.columnasFijas = 2;
    disposicion.filasTitulo = 3;
    disposicion.horizontal = true;
    disposicion.paginasAncho = 1;
    disposicion.encabezado = QStringLiteral("&CReporte varelmo");
    disposicion.pie = QStringLiteral("&CPágina &P de &N");
    hoja.ponerDisposicion(disposicion);
}

double AnchoPrecios(const QString& formato) {
    // The largest amount, 999,999,999.99, takes 14 characters with its separators; a format of
    // more text (a currency sign, more decimals) takes about its own length. Two more hold a minus
    // sign and the cell's margins, so that no amount shows as "###".
    return static_cast<double>(std::clamp<qsizetype>(formato.size(), 14, 200) + 2);
}

void FormatearPrecios(HojaExcel& hoja, int numCampos, qint64 filas, const QString& formato) {
    const QString bloque = QStringLiteral("C4:") + LetraColumna(numCampos - 1) +
                           QString::number(qMin<qint64>(filas + 3, kMaxFilasHoja));
    if (const std::optional<Rango> r = Rango::desdeTexto(bloque))
        hoja.ponerFormatoNumero(*r, formato);
    for (int col = 3; col <= numCampos - 1; ++col)
        hoja.ponerAnchoColumna(col, AnchoPrecios(formato));
}
