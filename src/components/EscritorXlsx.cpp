#include "components/EscritorXlsx.h"

#include <xlsxwriter.h>

#include <QFile>
#include <cmath>
#include <tuple>

namespace {

struct LiberarLibro {
    void operator()(lxw_workbook* libro) const { lxw_workbook_free(libro); }
};

QString textoError(lxw_error codigo) {
    return QStringLiteral("error de escritura del libro (%1: %2)")
        .arg(static_cast<int>(codigo))
        .arg(QString::fromUtf8(lxw_strerror(codigo)));
}


}  // namespace

QString EscritorXlsx::textoDeCelda(const QString& texto) {
    QString t = texto;
    t.remove(QChar(u'\0'));  // a C string ends there: it would cut the text short
    if (t.size() > kMaxLargoTexto) {
        qsizetype largo = kMaxLargoTexto;
        if (t[largo - 1].isHighSurrogate()) --largo;
        t.truncate(largo);
    }
    return t;
}

bool EscritorXlsx::escribir(HojaExcel& hoja, const QString& ruta, const QString& carpetaTemporal,
                            QString* error) {
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
    lxw_worksheet* hojaXlsx = workbook_add_worksheet(libro.get(), nullptr);
    if (!hojaXlsx) return fallar(QStringLiteral("no se pudo agregar la hoja al libro."));

    for (const auto& [col, ancho] : hoja.anchosColumna()) {
        const auto c = static_cast<lxw_col_t>(col - 1);
        if (const lxw_error e = worksheet_set_column(hojaXlsx, c, c, ancho, nullptr);
            e != LXW_NO_ERROR)
            return fallar(textoError(e));
    }

    // One lxw_format per distinct look; the library owns them and frees them with the workbook.
    std::map<std::tuple<bool, double, QString>, lxw_format*> formatos;
    auto formatoPara = [&](const EstiloCelda& estilo, lxw_format*& formato) {
        formato = nullptr;
        if (!estilo.negrita && estilo.tamano == 0 && estilo.formatoNumero.isEmpty()) return true;
        const auto clave = std::make_tuple(estilo.negrita, estilo.tamano, estilo.formatoNumero);
        if (const auto it = formatos.find(clave); it != formatos.end()) {
            formato = it->second;
            return true;
        }
        lxw_format* nuevo = workbook_add_format(libro.get());
        if (!nuevo) return false;
        if (estilo.negrita) format_set_bold(nuevo);
        if (estilo.tamano != 0) format_set_font_size(nuevo, estilo.tamano);
        if (!estilo.formatoNumero.isEmpty())
            format_set_num_format(nuevo, estilo.formatoNumero.toUtf8().constData());
        formatos.emplace(clave, nuevo);
        formato = nuevo;
        return true;
    };

    QString errorCelda;
    const bool recorrido = hoja.recorrer(
        [&](int fila, int col, const QVariant& v, const EstiloCelda& estilo) {
            lxw_format* formato = nullptr;
            if (!formatoPara(estilo, formato)) {
                errorCelda = QStringLiteral("no se pudo crear un formato de celda.");
                return false;
            }
            const auto f = static_cast<lxw_row_t>(fila - 1);
            const auto c = static_cast<lxw_col_t>(col - 1);
            lxw_error e = LXW_NO_ERROR;
            if (const std::optional<double> numero = numeroDeCelda(v)) {
                // A value the format cannot hold (NaN, infinity) would corrupt the file: left
                // empty.
                if (!std::isfinite(*numero)) return true;
                e = worksheet_write_number(hojaXlsx, f, c, *numero, formato);
            } else if (v.typeId() == QMetaType::Bool) {
                e = worksheet_write_boolean(hojaXlsx, f, c, v.toBool() ? 1 : 0, formato);
            } else {
                // Always a string, never a formula, even when it begins with "=".
                e = worksheet_write_string(
                    hojaXlsx, f, c, textoDeCelda(v.toString()).toUtf8().constData(), formato);
            }
            if (e != LXW_NO_ERROR) {
                errorCelda = QStringLiteral("celda (fila %1, columna %2): %3")
                                 .arg(fila)
                                 .arg(col)
                                 .arg(textoError(e));
                return false;
            }
            return true;
        },
        &errorCelda);
    if (!recorrido) return fallar(errorCelda);

    // workbook_close writes the file and frees the workbook whatever its result.
    const lxw_error cierre = workbook_close(libro.release());
    if (cierre != LXW_NO_ERROR) return fallar(textoError(cierre));
    return true;
}
