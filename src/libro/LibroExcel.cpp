#include "libro/LibroExcel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "archivos/CarpetaTrabajo.h"
#include "archivos/Disco.h"
#include "archivos/ErrorSistema.h"
#include "libro/EscritorCsv.h"
#include "libro/EscritorXls.h"
#include "libro/EscritorXlsx.h"
#include "libro/EscritorXlsxReferencia.h"

// ---------------------------------------------------------------------------------------------
// Rango

QByteArray LetrasColumna(int columna) {
    // Bijective base 26: each step takes the last letter, with Z standing for a remainder of 0.
    QByteArray letras;
    for (; columna > 0; columna = (columna - 1) / 26)
        letras.prepend(static_cast<char>('A' + (columna - 1) % 26));
    return letras;
}

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

// ---------------------------------------------------------------------------------------------
// LibroExcel

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

double anchoAlmacenado(double ancho) {
    const double pixeles =
        ancho < 1 ? std::floor(ancho * 12 + 0.5) : std::floor(ancho * 7 + 0.5) + 5;
    return std::floor(pixeles * 256 / 7) / 256;
}

bool cabeEnXls(int filas, int columnas) {
    return filas <= kMaxFilasXls && columnas <= kMaxColumnasXls;
}

namespace {

// The mode a new file gets: 0666 less the process's umask, read without changing it (setting
// the mask to read it back would affect every thread of the process meanwhile).
mode_t permisosNuevos() {
    mode_t mascara = 022;
    QFile estado(QStringLiteral("/proc/self/status"));
    if (estado.open(QIODevice::ReadOnly)) {
        for (const QByteArray& linea : estado.readAll().split('\n')) {
            if (!linea.startsWith("Umask:")) continue;
            bool bien = false;
            const uint valor = linea.mid(6).trimmed().toUInt(&bien, 8);
            if (bien) mascara = static_cast<mode_t>(valor & 0777);
            break;
        }
    }
    return static_cast<mode_t>(0666 & ~mascara);
}

// Gives the finished working file at `ruta` its mode and flushes it to disk, through one
// descriptor opened without following a link, so that the rename never exposes a workbook still
// in the cache. The errno of the failure, or 0.
int asentar(const QString& ruta, mode_t modo) {
    const int fd = ::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno;
    struct stat datos {};
    int numero = 0;
    if (::fstat(fd, &datos) != 0)
        numero = errno;
    else if (!S_ISREG(datos.st_mode))
        numero = EINVAL;
    else if (::fchmod(fd, modo) != 0 || !sincronizar(fd))
        numero = errno;
    if (::close(fd) != 0 && numero == 0) numero = errno;
    return numero;
}

}  // namespace

LibroExcel::LibroExcel() = default;
LibroExcel::~LibroExcel() = default;

bool LibroExcel::guardarComo(const QString& ruta, QString* error) {
    return preparar(ruta, error) && reemplazar(error);
}

bool LibroExcel::preparar(const QString& ruta, QString* error) {
    preparado_.reset();
    auto fallar = [error](const QString& texto) {
        if (error) *error = TraducirErroresSistema(texto);
        return false;
    };
    // The caller keeps the copied rows' source alive only until this returns.
    struct SoltarCopia {
        HojaExcel& hoja;
        ~SoltarCopia() { hoja.descartarCopia(); }
    } soltarCopia{hoja_};
    if (const QString pendiente = hoja_.errorPendiente(); !pendiente.isEmpty())
        return fallar(QStringLiteral("No se guardó el libro '%1': %2").arg(ruta, pendiente));
    if (ruta.isEmpty())
        return fallar(QStringLiteral("No se guardó el libro: falta el nombre del archivo."));

    const QFileInfo destino(ruta);
    if (destino.isDir())
        return fallar(
            QStringLiteral("No se guardó el libro: '%1' es una carpeta, no un archivo.").arg(ruta));
    const QString carpeta = destino.absolutePath();
    if (!QFileInfo(carpeta).isDir())
        return fallar(QStringLiteral("No se guardó el libro '%1': no existe la carpeta '%2'.")
                          .arg(ruta, QDir::toNativeSeparators(carpeta)));

    // A file made read-only while the rows were merged keeps its bytes.
    bool elArchivo = false;
    if (const int numero = ImpedimentoEscritura(ruta, &elArchivo); numero != 0 && elArchivo)
        return fallar(QStringLiteral("No se guardó el libro '%1': %2.")
                          .arg(ruta, numero == EACCES || numero == EPERM
                                         ? QStringLiteral("el archivo es de solo lectura")
                                         : TextoErrorSistema(numero)));

    // The workbook and the writers' working files are written in a folder of the process's own
    // (mode 0700) beside the target, on the same file system: nobody else who can write the
    // target's folder can put a link in their place meanwhile. The finished workbook is then
    // renamed over the target, which replaces a link there instead of following it. Folders that
    // runs which died left here go first.
    CarpetaTrabajo::limpiarAbandonadas(carpeta, QStringLiteral(".varelmo-"));
    auto privada = std::make_unique<CarpetaTrabajo>(carpeta, QStringLiteral(".varelmo-"));
    if (!privada->valida())
        return fallar(
            QStringLiteral("No se guardó el libro '%1': no se pudo crear una carpeta de trabajo en "
                           "'%2' (%3).")
                .arg(ruta, QDir::toNativeSeparators(carpeta), privada->error()));
    const QString rutaTemporal = privada->archivo(QStringLiteral("libro"));

    QString detalle;
    const std::unique_ptr<EscritorLibro> escritor = escritorParaRuta(ruta, ooxml_);
    if (!escritor->escribir(hoja_, rutaTemporal, privada->ruta(), &detalle))
        return fallar(QStringLiteral("No se guardó el libro '%1': %2").arg(ruta, detalle));

    // Keep the permissions of the regular file being replaced; a new file gets the usual ones.
    struct stat anterior {};
    const mode_t modo =
        ::lstat(QFile::encodeName(ruta).constData(), &anterior) == 0 && S_ISREG(anterior.st_mode)
            ? static_cast<mode_t>(anterior.st_mode & 07777)
            : permisosNuevos();
    if (const int numero = asentar(rutaTemporal, modo); numero != 0)
        return fallar(
            QStringLiteral(
                "No se guardó el libro '%1': no se pudo asentar el archivo en disco (%2).")
                .arg(ruta, TextoErrorSistema(numero)));
    preparado_ = std::move(privada);
    ruta_ = ruta;
    return true;
}

void LibroExcel::descartar() { preparado_.reset(); }

bool LibroExcel::reemplazar(QString* error) {
    if (!preparado_) {
        if (error) *error = QStringLiteral("No se guardó el libro: no hay un libro preparado.");
        return false;
    }
    const std::unique_ptr<CarpetaTrabajo> privada = std::move(preparado_);
    if (std::rename(QFile::encodeName(privada->archivo(QStringLiteral("libro"))).constData(),
                    QFile::encodeName(ruta_).constData()) != 0) {
        if (error)
            *error = QStringLiteral("No se pudo reemplazar el archivo '%1': %2")
                         .arg(ruta_, TextoErrorSistema(errno));
        return false;
    }
    // The rename itself reaches the disk too, so that a power cut cannot bring the earlier file
    // back after the user was told the new one is there.
    sincronizarCarpeta(ruta_);
    return true;
}

// ---------------------------------------------------------------------------------------------
// AplicacionExcel

std::unique_ptr<AplicacionExcel> AplicacionExcel::crear(const QString& clase, QString* error) {
    if (clase.compare(QLatin1String("Excel.Application"), Qt::CaseInsensitive) != 0) {
        if (error)
            *error = QStringLiteral(
                         "No se pudo crear el objeto de automatización '%1': la clase no está "
                         "registrada.")
                         .arg(clase);
        return nullptr;
    }
    return std::unique_ptr<AplicacionExcel>(new AplicacionExcel());
}

std::unique_ptr<LibroExcel> AplicacionExcel::agregarLibro() {
    return std::make_unique<LibroExcel>();
}

std::optional<double> numeroDeCelda(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Float:
        case QMetaType::Double:
            return v.toDouble();
        default:
            return std::nullopt;
    }
}
