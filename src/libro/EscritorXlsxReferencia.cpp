#include "libro/EscritorXlsxReferencia.h"

#include <xlsxwriter.h>

#include <QFile>
#include <cmath>
#include <tuple>

#include "libro/Celdas.h"
#include "libro/XlsxIncompleto.h"

namespace {

struct LiberarLibro {
    void operator()(lxw_workbook* libro) const { lxw_workbook_free(libro); }
};

QString textoError(lxw_error codigo) {
    return QStringLiteral("error de escritura del libro (%1: %2)")
        .arg(static_cast<int>(codigo))
        .arg(QString::fromUtf8(lxw_strerror(codigo)));
}

// One lxw_format per distinct look; the library owns them and frees them with the workbook.
class FormatosXlsx {
public:
    explicit FormatosXlsx(lxw_workbook* libro) : libro_(libro) {}
    // The format of `estilo` (null for the plain look); false when the library could not make it.
    bool para(const EstiloCelda& estilo, lxw_format** formato) {
        *formato = nullptr;
        if (!estilo.negrita && estilo.tamano == 0 && estilo.formatoNumero.isEmpty()) return true;
        const auto clave = std::make_tuple(estilo.negrita, estilo.tamano, estilo.formatoNumero);
        if (const auto it = formatos_.find(clave); it != formatos_.end()) {
            *formato = it->second;
            return true;
        }
        lxw_format* nuevo = workbook_add_format(libro_);
        if (!nuevo) return false;
        if (estilo.negrita) format_set_bold(nuevo);
        if (estilo.tamano != 0) format_set_font_size(nuevo, estilo.tamano);
        if (!estilo.formatoNumero.isEmpty())
            format_set_num_format(nuevo, estilo.formatoNumero.toUtf8().constData());
        formatos_.emplace(clave, nuevo);
        *formato = nuevo;
        return true;
    }

private:
    lxw_workbook* libro_;
    std::map<std::tuple<bool, double, QString>, lxw_format*> formatos_;
};

// The sheet's frozen panes and print setup.
lxw_error disponer(lxw_worksheet* hoja, const DisposicionHoja& d) {
    if (d.filasFijas > 0 || d.columnasFijas > 0)
        worksheet_freeze_panes(hoja, static_cast<lxw_row_t>(d.filasFijas),
                               static_cast<lxw_col_t>(d.columnasFijas));
    if (d.horizontal) worksheet_set_landscape(hoja);
    if (d.paginasAncho > 0) worksheet_fit_to_pages(hoja, static_cast<uint16_t>(d.paginasAncho), 0);
    lxw_error e = LXW_NO_ERROR;
    if (d.filasTitulo > 0)
        e = worksheet_repeat_rows(hoja, 0, static_cast<lxw_row_t>(d.filasTitulo - 1));
    if (e == LXW_NO_ERROR && !d.encabezado.isEmpty())
        e = worksheet_set_header(hoja, d.encabezado.toUtf8().constData());
    if (e == LXW_NO_ERROR && !d.pie.isEmpty())
        e = worksheet_set_footer(hoja, d.pie.toUtf8().constData());
    return e;
}

lxw_error escribirCelda(lxw_worksheet* hoja, int fila, int col, const QVariant& v,
                        lxw_format* formato) {
    const auto f = static_cast<lxw_row_t>(fila - 1);
    const auto c = static_cast<lxw_col_t>(col - 1);
    const std::optional<double> numero = numeroDeCelda(v);
    if (v.isNull() || (numero && !std::isfinite(*numero))) {
        // An empty cell keeps its look; a value the format cannot hold (NaN, infinity) would
        // corrupt the file, and is left empty as well.
        return formato ? worksheet_write_blank(hoja, f, c, formato) : LXW_NO_ERROR;
    }
    if (numero) return worksheet_write_number(hoja, f, c, *numero, formato);
    if (v.typeId() == QMetaType::Bool)
        return worksheet_write_boolean(hoja, f, c, v.toBool() ? 1 : 0, formato);
    // Always a string, never a formula, even when it begins with "=".
    return worksheet_write_string(hoja, f, c, textoDeCelda(v.toString()).toUtf8().constData(),
                                  formato);
}

// A new sheet with the column widths, panes and print setup of `hoja`, which every sheet of the
// workbook gets; null with the reason.
lxw_worksheet* agregarHoja(lxw_workbook* libro, const HojaExcel& hoja, QString* error) {
    lxw_worksheet* hojaXlsx = workbook_add_worksheet(libro, nullptr);
    if (!hojaXlsx) {
        *error = QStringLiteral("no se pudo agregar la hoja al libro.");
        return nullptr;
    }
    if (const lxw_error e = disponer(hojaXlsx, hoja.disposicion()); e != LXW_NO_ERROR) {
        *error = textoError(e);
        return nullptr;
    }
    for (const auto& [col, ancho] : hoja.anchosColumna()) {
        const auto c = static_cast<lxw_col_t>(col - 1);
        if (const lxw_error e = worksheet_set_column(hojaXlsx, c, c, ancho, nullptr);
            e != LXW_NO_ERROR) {
            *error = textoError(e);
            return nullptr;
        }
    }
    return hojaXlsx;
}

// One cell with the format of its look; false with the reason.
bool escribirConEstilo(lxw_worksheet* hoja, FormatosXlsx& formatos, int fila, int col,
                       const QVariant& v, const EstiloCelda& estilo, QString* error) {
    lxw_format* formato = nullptr;
    if (!formatos.para(estilo, &formato)) {
        *error = QStringLiteral("no se pudo crear un formato de celda.");
        return false;
    }
    const lxw_error e = escribirCelda(hoja, fila, col, v, formato);
    if (e != LXW_NO_ERROR) {
        *error =
            QStringLiteral("celda (fila %1, columna %2): %3").arg(fila).arg(col).arg(textoError(e));
        return false;
    }
    return true;
}

}  // namespace

bool EscritorXlsxReferencia::escribir(HojaExcel& hoja, const QString& ruta,
                                      const QString& carpetaTemporal, QString* error) {
    auto fallar = [error](const QString& texto) {
        if (error) *error = texto;
        return false;
    };

    QByteArray carpeta = QFile::encodeName(carpetaTemporal);
    lxw_workbook_options opciones{};
    opciones.constant_memory = LXW_TRUE;
    opciones.tmpdir = carpeta.isEmpty() ? nullptr : carpeta.data();
    opciones.use_zip64 = LXW_FALSE;
    std::unique_ptr<lxw_workbook, LiberarLibro> libro(
        workbook_new_opt(QFile::encodeName(ruta).constData(), &opciones));
    if (!libro)
        return fallar(QStringLiteral("no se pudo iniciar el libro (memoria insuficiente)."));
    lxw_worksheet* hojaXlsx = nullptr;
    QString motivo;
    if (!(hojaXlsx = agregarHoja(libro.get(), hoja, &motivo))) return fallar(motivo);
    FormatosXlsx formatos(libro.get());
    const bool recorrido = hoja.recorrer(
        [&](int fila, int col, const QVariant& v, const EstiloCelda& estilo) {
            return escribirConEstilo(hojaXlsx, formatos, fila, col, v, estilo, &motivo);
        },
        &motivo,
        [&](int) { return (hojaXlsx = agregarHoja(libro.get(), hoja, &motivo)) != nullptr; });
    if (!recorrido) return fallar(motivo);

    // workbook_close writes the file and frees the workbook whatever its result. It reports
    // nothing while it copies and deflates the sheet, so the close is one step.
    avisarCierre(0);
    const lxw_error cierre = workbook_close(libro.release());
    avisarCierre(1);
    if (cierre != LXW_NO_ERROR) return fallar(textoError(cierre));
    if (const QString incompleto = LibroXlsxIncompleto(ruta); !incompleto.isEmpty())
        return fallar(incompleto);
    return true;
}
