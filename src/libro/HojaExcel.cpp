#include "libro/HojaExcel.h"

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------------------------
// Rango

namespace {
// Reads one cell name ("B12", "$AB$3", "xfd1") into 1-based row and column.
bool leerCelda(QStringView texto, int& fila, int& col) {
    qsizetype i = 0;
    const qsizetype n = texto.size();
    if (i < n && texto[i] == u'$') ++i;
    int c = 0;
    qsizetype letras = 0;
    while (i < n && texto[i].isLetter() && texto[i].unicode() < 128) {
        const char16_t ch = texto[i].toUpper().unicode();
        if (ch < u'A' || ch > u'Z') return false;
        c = c * 26 + (ch - u'A' + 1);
        if (c > kMaxColumnasHoja) return false;
        ++i;
        ++letras;
    }
    if (letras == 0) return false;
    if (i < n && texto[i] == u'$') ++i;
    int f = 0;
    qsizetype digitos = 0;
    while (i < n && texto[i] >= u'0' && texto[i] <= u'9') {
        f = f * 10 + (texto[i].unicode() - u'0');
        if (f > kMaxFilasHoja) return false;
        ++i;
        ++digitos;
    }
    if (digitos == 0 || i != n || f < 1) return false;
    fila = f;
    col = c;
    return true;
}

}  // namespace

std::optional<Rango> Rango::desdeTexto(const QString& a1) {
    const qsizetype dosPuntos = a1.indexOf(u':');
    Rango r;
    if (dosPuntos < 0) {
        if (!leerCelda(a1, r.fila1, r.col1)) return std::nullopt;
        r.fila2 = r.fila1;
        r.col2 = r.col1;
        return r;
    }
    const QStringView vista(a1);
    if (!leerCelda(vista.left(dosPuntos), r.fila1, r.col1) ||
        !leerCelda(vista.mid(dosPuntos + 1), r.fila2, r.col2))
        return std::nullopt;
    return r;
}

// ---------------------------------------------------------------------------------------------
// HojaExcel

void HojaExcel::anotarError(const QString& texto) {
    if (error_.isEmpty()) error_ = texto;
}

QString HojaExcel::errorPendiente() const { return error_; }

namespace {
bool posicionValida(int fila, int col) {
    return fila >= 1 && fila <= kMaxFilasHoja && col >= 1 && col <= kMaxColumnasHoja;
}
QString textoFueraDeHoja(int fila, int col) {
    return QStringLiteral(
               "La celda (fila %1, columna %2) queda fuera de la hoja: el libro admite "
               "filas de 1 a %3 y columnas de 1 a %4.")
        .arg(fila)
        .arg(col)
        .arg(kMaxFilasHoja)
        .arg(kMaxColumnasHoja);
}
}  // namespace

bool HojaExcel::rangoValido(const Rango& r, const char* llamada) {
    if (posicionValida(r.fila1, r.col1) && posicionValida(r.fila2, r.col2)) return true;
    anotarError(QStringLiteral("%1: el rango (%2,%3)-(%4,%5) queda fuera de la hoja.")
                    .arg(QLatin1String(llamada))
                    .arg(r.fila1)
                    .arg(r.col1)
                    .arg(r.fila2)
                    .arg(r.col2));
    return false;
}

void HojaExcel::ponerValor(int fila, int col, const QVariant& v) {
    if (!posicionValida(fila, col)) {
        anotarError(textoFueraDeHoja(fila, col));
        return;
    }
    valores_[{fila, col}] = Valor{v, ++orden_};
}

void HojaExcel::ponerNegrita(const Rango& r, bool negrita) {
    if (!rangoValido(r, "Negrita")) return;
    operaciones_.push_back({r, Propiedad::Negrita, negrita, 0, {}});
}

void HojaExcel::ponerTamano(const Rango& r, double puntos) {
    if (!rangoValido(r, "Tamaño de letra")) return;
    // The spreadsheet takes font sizes from 1 to 409 points.
    if (!std::isfinite(puntos) || puntos < 1 || puntos > 409) {
        anotarError(QStringLiteral("Tamaño de letra inválido: %1 (se admite de 1 a 409 puntos).")
                        .arg(puntos));
        return;
    }
    operaciones_.push_back({r, Propiedad::Tamano, false, puntos, {}});
}

void HojaExcel::ponerAnchoColumna(int col, double ancho) {
    if (col < 1 || col > kMaxColumnasHoja) {
        anotarError(
            QStringLiteral("Ancho de columna: la columna %1 queda fuera de la hoja.").arg(col));
        return;
    }
    // Column widths go from 0 (hidden) to 255 characters.
    if (!std::isfinite(ancho) || ancho < 0 || ancho > 255) {
        anotarError(
            QStringLiteral("Ancho de columna inválido: %1 (se admite de 0 a 255).").arg(ancho));
        return;
    }
    anchos_[col] = ancho;
}

void HojaExcel::ponerFormatoNumero(const Rango& r, const QString& formato) {
    if (!rangoValido(r, "Formato de número")) return;
    operaciones_.push_back({r, Propiedad::Formato, false, 0, formato});
}

void HojaExcel::copiarFilas(int fila, int col, FuenteFilas& fuente) {
    if (!posicionValida(fila, col)) {
        anotarError(textoFueraDeHoja(fila, col));
        return;
    }
    copia_ = Copia{fila, col, &fuente, ++orden_};
}

void HojaExcel::ponerDisposicion(const DisposicionHoja& d) {
    const int filas = std::max(d.filasFijas, d.filasTitulo);
    if (d.filasFijas < 0 || d.columnasFijas < 0 || d.filasTitulo < 0 || d.paginasAncho < 0 ||
        filas >= kMaxFilasHoja || d.columnasFijas >= kMaxColumnasHoja) {
        anotarError(QStringLiteral("Disposición de la hoja: filas o columnas fuera de la hoja."));
        return;
    }
    // Both formats keep at most 255 characters of a header or footer.
    if (d.encabezado.size() > 255 || d.pie.size() > 255) {
        anotarError(QStringLiteral(
            "Disposición de la hoja: el encabezado o el pie pasa de 255 caracteres."));
        return;
    }
    disposicion_ = d;
}

namespace {
// Columns of a row that the looks set on ranges reach, as sorted intervals that do not overlap.
std::vector<std::pair<int, int>> columnasConEstilo(const std::vector<std::pair<int, int>>& rangos) {
    std::vector<std::pair<int, int>> orden = rangos;
    std::sort(orden.begin(), orden.end());
    std::vector<std::pair<int, int>> unidos;
    for (const auto& r : orden) {
        if (!unidos.empty() && r.first <= unidos.back().second + 1)
            unidos.back().second = std::max(unidos.back().second, r.second);
        else
            unidos.push_back(r);
    }
    return unidos;
}
}  // namespace

int HojaExcel::primeraFilaConEstilo(int desde, int hasta) const {
    int primera = hasta;
    for (const Operacion& op : operaciones_)
        if (op.rango.filaMax() >= desde && op.rango.filaMin() < primera)
            primera = std::max(op.rango.filaMin(), desde);
    return primera;
}

EstiloCelda HojaExcel::estiloEn(const std::vector<const Operacion*>& delRenglon, int col) const {
    EstiloCelda estilo;
    for (const Operacion* op : delRenglon) {
        if (col < op->rango.colMin() || col > op->rango.colMax()) continue;
        switch (op->propiedad) {
            case Propiedad::Negrita:
                estilo.negrita = op->negrita;
                break;
            case Propiedad::Tamano:
                estilo.tamano = op->tamano;
                break;
            case Propiedad::Formato:
                estilo.formatoNumero = op->formato;
                break;
        }
    }
    return estilo;
}

struct HojaExcel::Recorrido {
    struct Pendiente {
        int col;
        const QVariant* v;
    };
    std::optional<Copia> copia;
    QVariantList filaCopiada;
    int filaDeCopia = 0;  // sheet row of `filaCopiada`, 0 when no copied row is pending
    std::vector<Pendiente> celdas;
    std::vector<const Operacion*> delRenglon;
    std::vector<std::pair<int, int>> rangos;
    std::map<std::pair<int, int>, Valor>::const_iterator it, fin;
    static inline const QVariant vacia;
};

bool HojaExcel::siguienteCopiada(Recorrido& r, QString* error) const {
    r.filaCopiada.clear();
    const int fila = r.filaDeCopia == 0 ? r.copia->fila : r.filaDeCopia + 1;
    r.filaDeCopia = r.copia->fuente->siguiente(r.filaCopiada) ? fila : 0;
    QString motivo;
    if (r.filaDeCopia == 0)
        motivo = r.copia->fuente->error();
    else if (!r.filaCopiada.isEmpty() &&
             static_cast<qint64>(r.copia->col) + r.filaCopiada.size() - 1 > kMaxColumnasHoja)
        motivo = QStringLiteral("Las filas copiadas pasan de la columna %1, la última de la hoja.")
                     .arg(kMaxColumnasHoja);
    if (!motivo.isEmpty() && error) *error = motivo;
    return motivo.isEmpty();
}

void HojaExcel::celdasDeFila(Recorrido& r, int fila, bool copiaAqui) const {
    r.celdas.clear();
    qsizetype j = 0;
    while (true) {
        const bool hayValor = r.it != r.fin && r.it->first.first == fila;
        const bool quedaCopia = copiaAqui && j < r.filaCopiada.size();
        if (!hayValor && !quedaCopia) break;
        const int colValor = hayValor ? r.it->first.second : 0;
        const int colCopia = quedaCopia ? r.copia->col + static_cast<int>(j) : 0;
        if (hayValor && (!quedaCopia || colValor < colCopia)) {
            r.celdas.push_back({colValor, &r.it->second.v});
            ++r.it;
        } else if (!hayValor || colCopia < colValor) {
            r.celdas.push_back({colCopia, &r.filaCopiada[j]});
            ++j;
        } else {
            const bool ganaValor = r.it->second.orden > r.copia->orden;
            r.celdas.push_back({colValor, ganaValor ? &r.it->second.v : &r.filaCopiada[j]});
            ++r.it;
            ++j;
        }
    }
    vaciasConEstilo(r, fila);
}

void HojaExcel::vaciasConEstilo(Recorrido& r, int fila) const {
    // Only the ranges that reach this row can style its cells, the empty ones among them too.
    r.delRenglon.clear();
    r.rangos.clear();
    for (const Operacion& op : operaciones_)
        if (fila >= op.rango.filaMin() && fila <= op.rango.filaMax()) {
            r.delRenglon.push_back(&op);
            r.rangos.emplace_back(op.rango.colMin(), op.rango.colMax());
        }
    const std::size_t conContenido = r.celdas.size();
    std::size_t k = 0;
    for (const auto& [desde, hasta] : columnasConEstilo(r.rangos)) {
        for (int col = desde; col <= hasta; ++col) {
            while (k < conContenido && r.celdas[k].col < col) ++k;
            if (k < conContenido && r.celdas[k].col == col) continue;
            r.celdas.push_back({col, &Recorrido::vacia});
        }
    }
    std::inplace_merge(
        r.celdas.begin(), r.celdas.begin() + static_cast<std::ptrdiff_t>(conContenido),
        r.celdas.end(),
        [](const Recorrido::Pendiente& a, const Recorrido::Pendiente& b) { return a.col < b.col; });
}

bool HojaExcel::recorrer(const VisitaCelda& celda, QString* error, const NuevaHoja& nuevaHoja) {
    // The source pointer is only good until the save returns: never keep it past this call.
    Recorrido r;
    r.copia = std::exchange(copia_, std::nullopt);
    auto fallar = [error](const QString& texto) {
        if (error) *error = texto;
        return false;
    };
    if (r.copia && r.copia->fila > filasPorHoja_)
        return fallar(
            QStringLiteral(
                "Las filas copiadas empiezan después de la fila %1, la última de la hoja.")
                .arg(filasPorHoja_));
    if (r.copia && !siguienteCopiada(r, error)) return false;
    r.it = valores_.cbegin();
    r.fin = valores_.cend();
    int hoja = 1;
    int anterior = 0;  // the row last visited on this sheet

    while (true) {
        const int filaValor = r.it != r.fin ? r.it->first.first : 0;
        if (filaValor == 0 && r.filaDeCopia == 0) break;
        int fila = filaValor == 0       ? r.filaDeCopia
                   : r.filaDeCopia == 0 ? filaValor
                                        : std::min(filaValor, r.filaDeCopia);
        const bool hayCopia = r.filaDeCopia == fila;
        if (hayCopia && fila > filasPorHoja_) {
            // The copy goes on on a new sheet, under the rows above it once more.
            if (!nuevaHoja)
                return fallar(
                    QStringLiteral("Las filas copiadas pasan de la fila %1, la última de la hoja.")
                        .arg(filasPorHoja_));
            if (!nuevaHoja(++hoja)) return false;
            r.it = valores_.cbegin();
            r.fin = valores_.lower_bound({r.copia->fila, 0});
            r.filaDeCopia = r.copia->fila;
            anterior = 0;
            continue;
        }
        // A row before it that holds nothing but a look set on a range comes first.
        fila = primeraFilaConEstilo(anterior + 1, fila);
        anterior = fila;
        const bool copiaAqui = hayCopia && r.filaDeCopia == fila;
        celdasDeFila(r, fila, copiaAqui);
        for (const Recorrido::Pendiente& p : r.celdas) {
            const bool conValor = p.v->isValid() && !p.v->isNull();
            const EstiloCelda estilo = estiloEn(r.delRenglon, p.col);
            if (!conValor && estilo == EstiloCelda{}) continue;
            if (!celda(fila, p.col, conValor ? *p.v : Recorrido::vacia, estilo)) return false;
        }
        if (copiaAqui && !siguienteCopiada(r, error)) return false;
    }
    return true;
}
