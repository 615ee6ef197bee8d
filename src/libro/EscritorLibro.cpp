#include "libro/EscritorLibro.h"

#include "libro/EscritorCsv.h"
#include "libro/EscritorXls.h"
#include "libro/EscritorXlsx.h"
#include "libro/EscritorXlsxReferencia.h"

bool esNombreXls(const QString& ruta) {
    return ruta.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive);
}

bool esNombreCsv(const QString& ruta) {
    return ruta.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

std::unique_ptr<EscritorLibro> escritorParaRuta(const QString& ruta, EscritorOoxml ooxml) {
    if (esNombreXls(ruta)) return std::make_unique<EscritorXls>();
    if (esNombreCsv(ruta)) return std::make_unique<EscritorCsv>();
    if (ooxml == EscritorOoxml::Libxlsxwriter) return std::make_unique<EscritorXlsxReferencia>();
    return std::make_unique<EscritorXlsx>();
}
