#include "anfitrion/ArchivoIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QStringDecoder>
#include <QVarLengthArray>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "archivos/ErrorSistema.h"
#include "plataforma/Archivo.h"

namespace {

// A settings file larger than this is refused rather than read into memory, and a write that
// would make it larger is refused too, so that every file the program writes reads back. A real
// one takes about 20 bytes a company (2 MB for 100,000 companies, so this holds some 800,000);
// a hostile one, all line ends, parses into 16 bytes a line, some 256 MiB at this size, not the
// gigabytes a larger limit would let it take.
constexpr qint64 kTamanoMaximo = qint64{16} * 1024 * 1024;
// How long a write waits for another process that is writing the same file.
constexpr int kEsperaCerrojoMs = 10000;
// Files whose parsed content is kept between calls.
constexpr qsizetype kEntradasCache = 8;

enum class Codificacion { Utf8, Windows1252 };

// Windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves undefined stand for the
// control character of the same number, so that every byte decodes and encodes back unchanged.
constexpr char16_t kAlto1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

QString desde1252(const char* bytes, qsizetype n) {
    QString texto(n, Qt::Uninitialized);
    QChar* destino = texto.data();
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        destino[i] = (b >= 0x80 && b < 0xA0) ? QChar(kAlto1252[b - 0x80]) : QChar(char16_t{b});
    }
    return texto;
}

// The Windows-1252 byte of `c`, or -1 when the code page has none.
int byte1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i) {
        if (kAlto1252[i] == c) return 0x80 + i;
    }
    return -1;
}

bool representable1252(QStringView texto) {
    for (const QChar c : texto) {
        if (byte1252(c.unicode()) < 0) return false;
    }
    return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool esUtf8(const QByteArray& datos) {
    const auto* p = reinterpret_cast<const unsigned char*>(datos.constData());
    const qsizetype n = datos.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int seguidos = 0;
        unsigned char bajo = 0x80, alto = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            seguidos = 1;
        } else if (c == 0xE0) {
            seguidos = 2, bajo = 0xA0;
        } else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) {
            seguidos = 2;
        } else if (c == 0xED) {
            seguidos = 2, alto = 0x9F;
        } else if (c == 0xF0) {
            seguidos = 3, bajo = 0x90;
        } else if (c >= 0xF1 && c <= 0xF3) {
            seguidos = 3;
        } else if (c == 0xF4) {
            seguidos = 3, alto = 0x8F;
        } else {
            return false;
        }
        if (n - i <= seguidos) return false;
        if (p[i + 1] < bajo || p[i + 1] > alto) return false;
        for (int k = 2; k <= seguidos; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
        }
        i += seguidos + 1;
    }
    return true;
}

bool esBlanco(char c) { return c == ' ' || c == '\t'; }

QStringView recortar(QStringView texto) {
    qsizetype ini = 0, fin = texto.size();
    while (ini < fin && (texto[ini] == u' ' || texto[ini] == u'\t')) ++ini;
    while (fin > ini && (texto[fin - 1] == u' ' || texto[fin - 1] == u'\t')) --fin;
    return texto.sliced(ini, fin - ini);
}

// The form under which section names and keys are compared.
QString plegar(QStringView nombre) { return recortar(nombre).toString().toCaseFolded(); }

// Offsets are 32-bit: files above kTamanoMaximo are never parsed.
struct Linea {
    qint32 ini;       // first byte of the line
    qint32 finTexto;  // end of the text, before the line end
    qint32 igual;     // the "=" of a key line; -1 on any other line
    quint8 largoFin;  // bytes of the line end: 0 (last line without one), 1 (LF, or the lone CR
                      // that ends a file) or 2 (CR LF)
    bool blanca;      // nothing but spaces and tabs
    qsizetype fin() const { return qsizetype{finTexto} + largoFin; }
};

// A key line of a section, by the hash of its folded key.
struct ClaveIndexada {
    size_t hash;
    qint32 linea;
    bool operator<(const ClaveIndexada& o) const {
        return hash != o.hash ? hash < o.hash : linea < o.linea;
    }
};

struct Seccion {
    qsizetype cabecera;  // line of the header
    qsizetype fin;       // line after the last line of the section
    // Every key line of the section, sorted by hash and then by line, so that a lookup among many
    // thousands of keys takes constant time and still finds the first of a duplicated key.
    std::vector<ClaveIndexada> claves;
};

char minuscula(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

size_t hashPlegado(QStringView plegada) { return qHash(plegada, size_t{0}); }

struct Documento {
    QByteArray datos;
    Codificacion codificacion = Codificacion::Utf8;
    qsizetype bom = 0;  // length of the UTF-8 byte order mark that opens the file
    // Lines end with CR LF: as the first line ends, or as the system's text files do in a new file.
    bool crlf = LineasConCrLf();
    std::vector<Linea> lineas;
    std::vector<Seccion> secciones;
    QHash<QString, qsizetype> indice;  // folded section name -> its first section

    QString texto(qsizetype ini, qsizetype fin) const {
        const char* p = datos.constData() + ini;
        if (codificacion != Codificacion::Utf8) return desde1252(p, fin - ini);
        // A value may itself begin with U+FEFF: it is kept, not taken for a byte order mark
        // (the file's own mark is already left out).
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        return utf8.decode(QByteArrayView(p, fin - ini));
    }
    // The folded name held in the bytes [ini, fin), blanks around it left out.
    QString nombre(qsizetype ini, qsizetype fin) const {
        const char* d = datos.constData();
        while (ini < fin && esBlanco(d[ini])) ++ini;
        while (fin > ini && esBlanco(d[fin - 1])) --fin;
        return texto(ini, fin).toCaseFolded();
    }
    // Whether the key of line `l` is `plegada` (a folded, trimmed key). Keys are compared in place,
    // without building a string, while they are ASCII: that is nearly always, and it keeps a
    // lookup in a section of many thousands of keys quick.
    bool esClave(const Linea& l, const QString& plegada) const {
        const char* d = datos.constData();
        qsizetype ini = l.ini, fin = l.igual;
        while (ini < fin && esBlanco(d[ini])) ++ini;
        while (fin > ini && esBlanco(d[fin - 1])) --fin;
        const qsizetype largo = fin - ini;
        for (qsizetype j = 0; j < largo; ++j) {
            const char c = d[ini + j];
            if (static_cast<unsigned char>(c) >= 0x80) return nombre(ini, fin) == plegada;
            // Folding keeps an ASCII prefix as it is, so a difference there is final.
            if (j >= plegada.size() || plegada[j] != QLatin1Char(minuscula(c))) return false;
        }
        return largo == plegada.size();
    }
    // The hash of the folded key of line `l`, as hashPlegado gives it for the folded key: ASCII
    // keys are folded in place, others through a string.
    size_t hashClave(const Linea& l) const {
        const char* d = datos.constData();
        qsizetype ini = l.ini, fin = l.igual;
        while (ini < fin && esBlanco(d[ini])) ++ini;
        while (fin > ini && esBlanco(d[fin - 1])) --fin;
        QVarLengthArray<char16_t, 64> plegada(fin - ini);
        for (qsizetype j = 0; j < fin - ini; ++j) {
            const char c = d[ini + j];
            if (static_cast<unsigned char>(c) >= 0x80) return hashPlegado(nombre(ini, fin));
            plegada[j] = char16_t(minuscula(c));
        }
        return hashPlegado(QStringView(plegada.constData(), plegada.size()));
    }
    // The line of the first key `plegada` in section `sec`; -1 when it has none.
    qsizetype buscarClave(const Seccion& sec, const QString& plegada) const {
        const ClaveIndexada desde{hashPlegado(plegada), -1};
        for (auto it = std::lower_bound(sec.claves.begin(), sec.claves.end(), desde);
             it != sec.claves.end() && it->hash == desde.hash; ++it) {
            if (esClave(lineas[size_t(it->linea)], plegada)) return it->linea;
        }
        return -1;
    }
    const Seccion* buscarSeccion(const QString& plegada) const {
        const auto s = indice.constFind(plegada);
        return s == indice.cend() ? nullptr : &secciones[size_t(*s)];
    }
};

std::shared_ptr<const Documento> analizar(QByteArray datos) {
    auto doc = std::make_shared<Documento>();
    doc->datos = std::move(datos);
    const char* d = doc->datos.constData();
    const qsizetype n = doc->datos.size();
    doc->codificacion = esUtf8(doc->datos) ? Codificacion::Utf8 : Codificacion::Windows1252;
    if (doc->codificacion == Codificacion::Utf8 && n >= 3 && std::memcmp(d, "\xEF\xBB\xBF", 3) == 0)
        doc->bom = 3;

    // One allocation of the exact size: growing by doubling would, for a file of many short lines,
    // hold up to twice the memory at once.
    doc->lineas.reserve(size_t(std::count(d, d + n, '\n')) + 1);
    qsizetype pos = doc->bom;
    while (pos < n) {
        const auto* nl = static_cast<const char*>(std::memchr(d + pos, '\n', size_t(n - pos)));
        qsizetype finTexto = n;
        quint8 largoFin = 0;
        if (nl) {
            finTexto = nl - d;
            largoFin = 1;
            if (finTexto > pos && d[finTexto - 1] == '\r') --finTexto, largoFin = 2;
            if (doc->lineas.empty()) doc->crlf = largoFin == 2;
        } else if (finTexto > pos && d[finTexto - 1] == '\r') {
            // A file that ends in a lone CR: the CR ends the last line, as the CR of a CRLF would.
            --finTexto, largoFin = 1;
        }
        Linea linea{qint32(pos), qint32(finTexto), -1, largoFin, false};
        const qsizetype numero = qsizetype(doc->lineas.size());
        qsizetype p = pos;
        while (p < finTexto && esBlanco(d[p])) ++p;
        if (p == finTexto) {
            linea.blanca = true;
        } else if (d[p] == '[') {
            const auto* cierre =
                static_cast<const char*>(std::memchr(d + p + 1, ']', size_t(finTexto - p - 1)));
            if (cierre) {
                if (!doc->secciones.empty()) doc->secciones.back().fin = numero;
                const QString nombre = doc->nombre(p + 1, cierre - d);
                if (!doc->indice.contains(nombre))
                    doc->indice.insert(nombre, qsizetype(doc->secciones.size()));
                doc->secciones.push_back(Seccion{numero, numero + 1, {}});
            }
        } else if (d[p] != ';' && d[p] != '#') {
            const auto* igual =
                static_cast<const char*>(std::memchr(d + p, '=', size_t(finTexto - p)));
            qsizetype finClave = igual ? igual - d : p;
            while (finClave > p && esBlanco(d[finClave - 1])) --finClave;
            if (finClave > p) linea.igual = qint32(igual - d);
            if (finClave > p && !doc->secciones.empty())
                doc->secciones.back().claves.push_back({doc->hashClave(linea), qint32(numero)});
        }
        doc->lineas.push_back(linea);
        pos = linea.fin();
    }
    if (!doc->secciones.empty()) doc->secciones.back().fin = qsizetype(doc->lineas.size());
    for (Seccion& sec : doc->secciones) std::sort(sec.claves.begin(), sec.claves.end());
    return doc;
}

// ---- Cache of parsed files ------------------------------------------------------------------

using Firma = FirmaArchivo;

struct EntradaCache {
    Firma firma;
    std::shared_ptr<const Documento> doc;
    quint64 uso = 0;
};

struct Cache {
    QMutex mutex;
    QHash<QString, EntradaCache> entradas;
    quint64 reloj = 0;
};

Cache& cache() {
    static Cache instancia;
    return instancia;
}

void olvidar(const QString& ruta) {
    Cache& c = cache();
    const QMutexLocker bloqueo(&c.mutex);
    c.entradas.remove(ruta);
}

enum class Estado { Ausente, Cargado, Fallo };

struct Carga {
    Estado estado = Estado::Ausente;
    std::shared_ptr<const Documento> doc;
    QString motivo;  // why the file could not be read (Estado::Fallo)
};

QString demasiadoGrande() {
    return QStringLiteral(
        "el archivo pasa de 16 MiB, más de lo que ocupa un archivo de configuración");
}

// Why a file of this kind and size is not read; "" when it is.
QString motivoPorTipo(const DatosArchivo& info) {
    if (info.tipo == TipoArchivo::Carpeta) return QStringLiteral("es una carpeta");
    // Pipes and devices could block or never end; only ordinary files are settings files.
    if (info.tipo != TipoArchivo::Comun) return QStringLiteral("no es un archivo común");
    if (info.tamano > kTamanoMaximo) return demasiadoGrande();
    return {};
}

std::shared_ptr<const Documento> enCache(const QString& clave, const Firma& firma) {
    Cache& c = cache();
    const QMutexLocker bloqueo(&c.mutex);
    const auto it = c.entradas.find(clave);
    if (it == c.entradas.end() || !(it->firma == firma)) return nullptr;
    it->uso = ++c.reloj;
    return it->doc;
}

void guardarEnCache(const QString& clave, const Firma& firma,
                    std::shared_ptr<const Documento> doc) {
    Cache& c = cache();
    const QMutexLocker bloqueo(&c.mutex);
    if (c.entradas.size() >= kEntradasCache && !c.entradas.contains(clave)) {
        auto viejo = c.entradas.begin();
        for (auto it = c.entradas.begin(); it != c.entradas.end(); ++it) {
            if (it->uso < viejo->uso) viejo = it;
        }
        c.entradas.erase(viejo);
    }
    c.entradas.insert(clave, EntradaCache{firma, std::move(doc), ++c.reloj});
}

Carga fallo(const QString& motivo) { return {Estado::Fallo, nullptr, motivo}; }

// Reads and parses the file; `usarCache` lets a parse of the same version of the file (see
// Firma) stand in for reading it again.
Carga cargar(const QString& archivo, bool usarCache) {
    std::optional<DatosArchivo> info = DatosDeArchivo(archivo);
    if (!info) return {};
    if (const QString motivo = motivoPorTipo(*info); !motivo.isEmpty()) return fallo(motivo);
    const QString clave = QFileInfo(archivo).absoluteFilePath();
    if (usarCache)
        if (auto doc = enCache(clave, info->firma)) return {Estado::Cargado, doc, {}};

    // Opened without blocking, in case a pipe took the file's place since it was seen.
    LecturaArchivo lectura(archivo);
    if (lectura.error() != 0) return fallo(TextoErrorLectura(lectura.error()));
    QByteArray datos;
    // The version is taken before reading: a change in between makes the next call read again.
    info = lectura.datos();
    QString motivo = info ? motivoPorTipo(*info) : TextoErrorLectura(errno);
    if (motivo.isEmpty() && !lectura.leerTodo(info->tamano, kTamanoMaximo, &datos))
        motivo = TextoErrorLectura(errno);
    if (motivo.isEmpty() && datos.size() > kTamanoMaximo) motivo = demasiadoGrande();
    if (!motivo.isEmpty()) return fallo(motivo);
    auto doc = analizar(std::move(datos));
    if (usarCache) guardarEnCache(clave, info->firma, doc);
    return {Estado::Cargado, doc, {}};
}

// ---- Writing ----------------------------------------------------------------------------------

// Builds the new content of the file, line by line, in the encoding `destino`.
class Escritura {
public:
    Escritura(const Documento& doc, Codificacion destino)
        : doc_(doc), destino_(destino), fin_(doc.crlf ? "\r\n" : "\n") {
        salida_.reserve(doc.datos.size() + 256);
        if (doc.bom > 0 && destino == doc.codificacion) salida_.append(doc.datos.first(doc.bom));
    }

    void bytes(qsizetype ini, qsizetype fin) {
        const char* p = doc_.datos.constData() + ini;
        if (destino_ == doc_.codificacion)
            salida_.append(p, fin - ini);
        else
            salida_.append(desde1252(p, fin - ini).toUtf8());
    }
    // The line as it was; `terminada` adds a line end to a last line that lacks one.
    void linea(qsizetype i, bool terminada) {
        const Linea& l = doc_.lineas[size_t(i)];
        bytes(l.ini, l.fin());
        if (!terminada) return;
        if (l.largoFin == 0)
            salida_.append(fin_);
        else if (l.largoFin == 1 && doc_.datos[l.finTexto] == '\r')
            salida_.append('\n');  // the lone CR at the end of the file becomes a whole CRLF
    }
    void texto(QStringView t) {
        if (destino_ == Codificacion::Utf8) {
            salida_.append(t.toUtf8());
            return;
        }
        for (const QChar c : t) salida_.append(char(byte1252(c.unicode())));
    }
    void finDeLinea() { salida_.append(fin_); }
    QByteArray resultado() { return std::move(salida_); }

private:
    const Documento& doc_;
    Codificacion destino_;
    const char* fin_;
    QByteArray salida_;
};

// A Windows-1252 file stays so unless something written (a new section's name, changed values,
// new lines) has no byte there; then the whole file becomes UTF-8 rather than lose a character.
Codificacion codificacionDestino(Codificacion actual, const QString& seccionNueva,
                                 const QHash<qsizetype, QString>& valores,
                                 const QStringList& lineas) {
    if (actual != Codificacion::Windows1252) return actual;
    bool cabe = representable1252(seccionNueva);
    for (const QString& v : valores) cabe = cabe && representable1252(v);
    for (const QString& l : lineas) cabe = cabe && representable1252(l);
    return cabe ? actual : Codificacion::Utf8;
}

// The new content of the file with every pair of `valores` stored in `seccion`, as storing them
// one by one would leave it: a key already there changes its value where it is; new keys go, in
// order, after the last line of the section that is not blank, or into the section added at the
// end of the file.
QByteArray modificar(const Documento& doc, const QString& seccion,
                     const QList<std::pair<QString, QString>>& valores) {
    const qsizetype total = qsizetype(doc.lineas.size());
    const Seccion* sec = doc.buscarSeccion(plegar(seccion));
    const QString nuevaSeccion = recortar(seccion).toString();
    QHash<qsizetype, QString> enSuLinea;  // line of an existing key -> its new value
    QStringList nuevas;                   // "key=value" lines to add
    QHash<QString, qsizetype> yaNuevas;   // a key added earlier in the list
    for (const auto& [clave, valor] : valores) {
        const qsizetype linea = sec ? doc.buscarClave(*sec, plegar(clave)) : -1;
        if (linea >= 0) {
            enSuLinea.insert(linea, valor);
        } else if (const auto it = yaNuevas.constFind(plegar(clave)); it != yaNuevas.cend()) {
            nuevas[*it] = nuevas[*it].left(nuevas[*it].indexOf(u'=') + 1) + valor;
        } else {
            yaNuevas.insert(plegar(clave), nuevas.size());
            nuevas << recortar(clave).toString() + u'=' + valor;
        }
    }

    Escritura e(doc, codificacionDestino(doc.codificacion, sec ? QString() : nuevaSeccion,
                                         enSuLinea, nuevas));
    qsizetype despues = -1;  // the line after which new keys go
    if (sec && !nuevas.isEmpty()) {
        despues = sec->fin - 1;
        while (despues > sec->cabecera && doc.lineas[size_t(despues)].blanca) --despues;
    }
    for (qsizetype i = 0; i < total; ++i) {
        if (const auto it = enSuLinea.constFind(i); it != enSuLinea.cend()) {
            // Only the value changes: the key keeps its spelling and blanks, the line its line end.
            const Linea& l = doc.lineas[size_t(i)];
            e.bytes(l.ini, l.igual + 1);
            e.texto(*it);
            e.bytes(l.finTexto, l.fin());
        } else {
            const bool ultimaAntes = i == despues || (!sec && !nuevas.isEmpty() && i == total - 1);
            e.linea(i, ultimaAntes);
        }
        if (i == despues)
            for (const QString& l : std::as_const(nuevas)) {
                e.texto(l);
                e.finDeLinea();
            }
    }
    if (!sec && !nuevas.isEmpty()) {
        if (total > 0 && !doc.lineas.back().blanca) e.finDeLinea();
        e.texto(u'[' + nuevaSeccion + u']');
        e.finDeLinea();
        for (const QString& l : std::as_const(nuevas)) {
            e.texto(l);
            e.finDeLinea();
        }
    }
    return e.resultado();
}

// Why the section, key or value cannot be stored so that it reads back as given; "" when it can.
QString motivoRechazo(const QString& seccion, const QString& clave, const QString& valor) {
    const auto saltos = [](const QString& t) { return t.contains(u'\n') || t.contains(u'\r'); };
    if (saltos(seccion) || saltos(clave) || saltos(valor))
        return QStringLiteral("la sección, la clave o el valor contiene un salto de línea");
    if (recortar(seccion).isEmpty()) return QStringLiteral("el nombre de la sección está vacío");
    if (seccion.contains(u']')) return QStringLiteral("el nombre de la sección contiene «]»");
    const QStringView nombre = recortar(clave);
    if (nombre.isEmpty()) return QStringLiteral("el nombre de la clave está vacío");
    if (clave.contains(u'=')) return QStringLiteral("el nombre de la clave contiene «=»");
    if (nombre.front() == u';' || nombre.front() == u'#' || nombre.front() == u'[')
        return QStringLiteral("el nombre de la clave empieza con «;», «#» o «[»");
    return {};
}

bool fallar(QString* error, const QString& texto) {
    if (error) *error = texto;
    return false;
}

// The permissions of the file that replaces `archivo`: its own, group included, when it exists,
// else those that `nuevo` asks for.
PermisosArchivo permisosPara(const QString& archivo, ArchivoIni::Acceso nuevo) {
    if (const std::optional<DatosArchivo> info = DatosDeArchivo(archivo))
        return {info->permisos, true, true, info->grupo};
    if (nuevo == ArchivoIni::Acceso::SoloDueno) return SoloParaElDueno();
    return {0666, false};
}

// Why the existing `archivo` is not a file to write (a folder, a device); "" when it is or when it
// does not exist. Told before the lock is taken, so that no lock file is left beside a folder.
QString motivoPrevio(const QString& archivo) {
    const std::optional<DatosArchivo> info = DatosDeArchivo(archivo);
    return info ? motivoPorTipo(*info) : QString();
}

std::function<void()>& pausaAntesDeReemplazar() {
    static std::function<void()> pausa;
    return pausa;
}

QString textoSinModificar(const QString& nombre, const QString& motivo) {
    return QStringLiteral("No se puede modificar el archivo de configuración «%1»: %2.")
        .arg(nombre, motivo);
}

QString textoSinEscribir(const QString& nombre, const QString& motivo) {
    return QStringLiteral("No se pudo escribir el archivo de configuración «%1»: %2.")
        .arg(nombre, motivo);
}

// Reads `archivo`, stores `valores` and replaces the file `destino` it leads to, with the lock
// held by the caller.
bool reescribir(const QString& archivo, const QString& destino, PermisosArchivo permisos,
                const QString& seccion, const QList<std::pair<QString, QString>>& valores,
                QString* error) {
    const QString nombre = QDir::toNativeSeparators(archivo);
    const Carga carga = cargar(archivo, false);
    if (carga.estado == Estado::Fallo)
        return fallar(error, textoSinModificar(nombre, carga.motivo));
    if (const int numero = ImpedimentoDeEscribir(destino);
        carga.estado == Estado::Cargado && numero != 0)
        return fallar(error, textoSinModificar(nombre, TextoErrorSistema(numero)));
    const Documento vacio;
    const QByteArray contenido = modificar(carga.doc ? *carga.doc : vacio, seccion, valores);
    if (contenido.size() > kTamanoMaximo)
        return fallar(
            error, textoSinModificar(nombre, QStringLiteral("con lo guardado pasaría de 16 MiB")));
    if (pausaAntesDeReemplazar()) pausaAntesDeReemplazar()();
    int numero = 0;
    return ReemplazarArchivo(destino, contenido, permisos, &numero) ||
           fallar(error, textoSinEscribir(nombre, TextoErrorSistema(numero)));
}

// The path a write goes to: a symbolic link is followed to the file it names, so that the link
// stays a link.
QString destinoReal(const QString& archivo) {
    QFileInfo info(archivo);
    for (int vuelta = 0; vuelta < 40 && info.isSymLink(); ++vuelta)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? archivo : info.filePath();
}

// Takes the lock of `destino`, waiting a while for another program that holds it; "" once taken,
// else why not.
QString tomarCerrojo(CerrojoDeArchivo& cerrojo, const QString& destino, PermisosArchivo permisos) {
    int numero = 0;
    switch (cerrojo.tomar(destino, permisos, kEsperaCerrojoMs, &numero)) {
        case CerrojoDeArchivo::Toma::Tomado:
            return QString();
        case CerrojoDeArchivo::Toma::Ocupado:
            return QStringLiteral("otro programa lo está modificando y no terminó en %1 segundos")
                .arg(kEsperaCerrojoMs / 1000);
        case CerrojoDeArchivo::Toma::Fallo:
            break;
    }
    return TextoErrorSistema(numero);
}

QMutex& mutexEscritura() {
    static QMutex m;
    return m;
}

}  // namespace

QString ArchivoIni::leer(const QString& archivo, const QString& seccion, const QString& clave) {
    try {
        const Carga carga = cargar(archivo, true);
        if (carga.estado != Estado::Cargado) return {};
        const Documento& doc = *carga.doc;
        const Seccion* sec = doc.buscarSeccion(plegar(seccion));
        const qsizetype linea = sec ? doc.buscarClave(*sec, plegar(clave)) : -1;
        if (linea < 0) return {};
        const Linea& l = doc.lineas[size_t(linea)];
        return doc.texto(qsizetype{l.igual} + 1, l.finTexto);
    } catch (...) {
        return {};
    }
}

QString ArchivoIni::motivoIlegible(const QString& archivo) {
    try {
        const Carga carga = cargar(archivo, true);
        return carga.estado == Estado::Fallo ? carga.motivo : QString();
    } catch (...) {
        return QStringLiteral("no hay memoria para leerlo");
    }
}

bool ArchivoIni::escribir(const QString& archivo, const QString& seccion, const QString& clave,
                          const QString& valor, QString* error, Acceso nuevo) {
    return escribirVarias(archivo, seccion, {{clave, valor}}, error, nuevo);
}

void ArchivoIni::ponerPausaAntesDeReemplazar(std::function<void()> pausa) {
    pausaAntesDeReemplazar() = std::move(pausa);
}

bool ArchivoIni::escribirVarias(const QString& archivo, const QString& seccion,
                                const QList<std::pair<QString, QString>>& valores, QString* error,
                                Acceso nuevo) {
    const QString nombre = QDir::toNativeSeparators(archivo);
    try {
        for (const auto& [clave, valor] : valores)
            if (const QString motivo = motivoRechazo(seccion, clave, valor); !motivo.isEmpty()) {
                return fallar(error,
                              QStringLiteral("No se puede guardar la clave «%1» de la sección «%2» "
                                             "en el archivo de configuración «%3»: %4.")
                                  .arg(clave, seccion, nombre, motivo));
            }
        if (valores.isEmpty()) return true;
        const QString destino = destinoReal(archivo);
        if (const QString motivo = motivoPrevio(destino); !motivo.isEmpty())
            return fallar(error, textoSinModificar(nombre, motivo));
        const PermisosArchivo permisos = permisosPara(destino, nuevo);
        // Reading, changing and replacing the file is one step: for the threads of this process
        // through the mutex, for other processes through the lock file.
        const QMutexLocker bloqueo(&mutexEscritura());
        CerrojoDeArchivo cerrojo;
        if (const QString motivo = tomarCerrojo(cerrojo, destino, permisos); !motivo.isEmpty())
            return fallar(error, textoSinEscribir(nombre, motivo));
        const bool escrito = reescribir(archivo, destino, permisos, seccion, valores, error);
        olvidar(QFileInfo(archivo).absoluteFilePath());
        return escrito;
    } catch (...) {
        return fallar(
            error,
            QStringLiteral("No se pudo escribir el archivo de configuración «%1».").arg(nombre));
    }
}

double obVal(const QString& texto) {
    const qsizetype n = texto.size();
    qsizetype i = 0;
    while (i < n && (texto[i] == u' ' || texto[i] == u'\t')) ++i;
    bool negativo = false;
    if (i < n && (texto[i] == u'+' || texto[i] == u'-')) {
        negativo = texto[i] == u'-';
        ++i;
    }
    std::string numero;
    bool hayDigito = false, hayPunto = false, enteroNoCero = false;
    for (; i < n; ++i) {
        const char16_t c = texto[i].unicode();
        if (c >= u'0' && c <= u'9') {
            hayDigito = true;
            if (!hayPunto && c != u'0') enteroNoCero = true;
            numero.push_back(static_cast<char>(c));
        } else if (c == u'.' && !hayPunto) {
            hayPunto = true;
            numero.push_back('.');
        } else {
            break;
        }
    }
    if (!hayDigito) return 0.0;
    double valor = 0.0;
    const auto [resto, ec] = std::from_chars(numero.data(), numero.data() + numero.size(), valor,
                                             std::chars_format::fixed);
    (void)resto;
    if (ec == std::errc::result_out_of_range)
        valor = enteroNoCero ? std::numeric_limits<double>::infinity() : 0.0;
    else if (ec != std::errc())
        return 0.0;
    if (valor == 0.0) return 0.0;
    return negativo ? -valor : valor;
}

QString DesdeWindows1252(const QByteArray& bytes) {
    return desde1252(bytes.constData(), bytes.size());
}
