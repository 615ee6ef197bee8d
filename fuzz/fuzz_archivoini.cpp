// Fuzz target of the settings-file reader and writer (ArchivoIni).
//
// One input is a section, a key and a value, each ended by a backslash and one other character
// (a doubled backslash stands for one), followed by the bytes of the settings file. The target
// writes the file, reads every key it can see in it, stores the value under the key and checks:
//   - whatever the bytes, nothing crashes and nothing is read out of bounds;
//   - a write that succeeds reads back exactly the value given, and leaves every other key as
//     it was; a second key written afterwards does not disturb the first;
//   - a write that fails leaves the file byte for byte as it was;
//   - the written file keeps every other line byte for byte: only the key's own line changes, or
//     up to three lines (a blank line, a section header, the key) are inserted in one place;
//   - storing the same value again gives the very same file.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "anfitrion/ArchivoIni.h"

namespace {

void fallo(const char* que, const QString& detalle = QString()) {
    std::fprintf(stderr, "fuzz_archivoini: %s %s\n", que, qUtf8Printable(detalle));
    std::abort();
}

QByteArray leerBytes(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool guardarBytes(const QString& ruta, const QByteArray& bytes) {
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString carpetaDeTrabajo() {
    static const QString carpeta = [] {
        const QString base = qEnvironmentVariable("VARELMO_FUZZ_TMP", QDir::tempPath());
        const QString c = QDir(base).filePath(QStringLiteral("fuzz-archivoini-%1").arg(getpid()));
        QDir().mkpath(c);
        return c;
    }();
    return carpeta;
}

struct Par {
    QString seccion, clave;
};

bool esBlanco(char c) { return c == ' ' || c == '\t'; }

QByteArray recortar(QByteArray t) {
    qsizetype i = 0, f = t.size();
    while (i < f && esBlanco(t[i])) ++i;
    while (f > i && esBlanco(t[f - 1])) --f;
    return t.mid(i, f - i);
}

bool esAscii(const QByteArray& b) {
    for (const char c : b)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Lines without their line end; a last line end does not open an empty line.
QList<QByteArray> lineas(QByteArray datos) {
    if (datos.startsWith("\xEF\xBB\xBF")) datos.remove(0, 3);
    QList<QByteArray> salida = datos.split('\n');
    if (!salida.isEmpty() && salida.back().isEmpty()) salida.removeLast();
    for (QByteArray& l : salida)
        if (l.endsWith('\r')) l.chop(1);
    return salida;
}

// The section and key names that a simple, separate reading of the bytes finds: "[name]" lines
// and "key=value" lines. Only ASCII names are kept, so that their decoding cannot differ.
QList<Par> paresVisibles(const QByteArray& datos) {
    QList<Par> pares;
    QByteArray seccion;
    bool haySeccion = false;
    for (const QByteArray& cruda : lineas(datos)) {
        const QByteArray l = recortar(cruda);
        if (l.isEmpty() || l[0] == ';' || l[0] == '#') continue;
        if (l[0] == '[') {
            const qsizetype cierre = l.indexOf(']');
            if (cierre > 0) {
                seccion = l.mid(1, cierre - 1);
                haySeccion = true;
            }
            continue;
        }
        const qsizetype igual = l.indexOf('=');
        if (!haySeccion || igual <= 0 || !esAscii(seccion) || !esAscii(l.left(igual))) continue;
        pares.append({QString::fromLatin1(seccion), QString::fromLatin1(l.left(igual))});
        if (pares.size() >= 64) break;
    }
    return pares;
}

bool esUtf8Valido(const QByteArray& b) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString texto = utf8.decode(b);  // decode() is lazy: the conversion runs here
    return !utf8.hasError();
}

QString plegar(const QString& t) {
    qsizetype i = 0, f = t.size();
    while (i < f && (t[i] == u' ' || t[i] == u'\t')) ++i;
    while (f > i && (t[f - 1] == u' ' || t[f - 1] == u'\t')) --f;
    return t.mid(i, f - i).toCaseFolded();
}

bool mismoPar(const Par& a, const QString& seccion, const QString& clave) {
    return plegar(a.seccion) == plegar(seccion) && plegar(a.clave) == plegar(clave);
}

// Every line of `antes` is kept in `despues`: one replaced, or one to three inserted in one place.
bool lineasConservadas(const QByteArray& antes, const QByteArray& despues) {
    const QList<QByteArray> a = lineas(antes), d = lineas(despues);
    qsizetype prefijo = 0;
    while (prefijo < a.size() && prefijo < d.size() && a[prefijo] == d[prefijo]) ++prefijo;
    qsizetype sufijo = 0;
    while (sufijo < a.size() - prefijo && sufijo < d.size() - prefijo &&
           a[a.size() - 1 - sufijo] == d[d.size() - 1 - sufijo])
        ++sufijo;
    const qsizetype iguales = prefijo + sufijo;
    if (d.size() == a.size()) return iguales >= a.size() - 1;
    const qsizetype nuevas = d.size() - a.size();
    return nuevas >= 1 && nuevas <= 3 && iguales == a.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    FuzzedDataProvider entrada(datos, tamano);
    const std::string s = entrada.ConsumeRandomLengthString(64);
    const std::string k = entrada.ConsumeRandomLengthString(64);
    const std::string v = entrada.ConsumeRandomLengthString(256);
    const std::vector<char> resto = entrada.ConsumeRemainingBytes<char>();
    const QByteArray contenido(resto.data(), static_cast<qsizetype>(resto.size()));
    const QString seccion = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    const QString clave = QString::fromUtf8(k.data(), static_cast<qsizetype>(k.size()));
    const QString valor = QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));

    // A new name each time: the reader keeps parsed files by size and modification time.
    static quint64 vuelta = 0;
    const QString ruta = QDir(carpetaDeTrabajo()).filePath(QStringLiteral("a%1.ini").arg(++vuelta));
    if (!guardarBytes(ruta, contenido)) fallo("no se pudo preparar", ruta);

    const QList<Par> pares = paresVisibles(contenido);
    QList<QString> previos;
    for (const Par& p : pares) previos.append(ArchivoIni::leer(ruta, p.seccion, p.clave));
    (void)ArchivoIni::leer(ruta, seccion, clave);

    QString error;
    if (!ArchivoIni::escribir(ruta, seccion, clave, valor, &error)) {
        if (error.isEmpty()) fallo("escritura rechazada sin motivo");
        if (leerBytes(ruta) != contenido) fallo("una escritura rechazada cambió el archivo", error);
        QFile::remove(ruta);
        QFile::remove(ruta + QStringLiteral(".lock"));
        return 0;
    }
    const QByteArray escrito = leerBytes(ruta);
    if (ArchivoIni::leer(ruta, seccion, clave) != valor) fallo("el valor no se lee igual", valor);
    // The encoding is told from the bytes: a Windows-1252 file whose only byte that is not
    // UTF-8 was in the value just replaced reads as UTF-8 from then on, and its other values
    // decode differently while their bytes stay the same (the line check below proves that).
    const bool mismaCodificacion = esUtf8Valido(contenido) == esUtf8Valido(escrito);
    for (qsizetype i = 0; mismaCodificacion && i < pares.size(); ++i) {
        const QString esperado = mismoPar(pares[i], seccion, clave) ? valor : previos[i];
        if (ArchivoIni::leer(ruta, pares[i].seccion, pares[i].clave) != esperado)
            fallo("otra clave cambió", pares[i].seccion + u'/' + pares[i].clave);
    }
    // Lines are compared byte for byte unless the file changed encoding, which happens only
    // when a Windows-1252 file receives a character that code page lacks.
    const bool ascii = esAscii(QByteArray::fromStdString(s)) &&
                       esAscii(QByteArray::fromStdString(k)) &&
                       esAscii(QByteArray::fromStdString(v));
    if ((ascii || esAscii(contenido)) && !lineasConservadas(contenido, escrito))
        fallo("se perdieron o cambiaron líneas");

    if (!ArchivoIni::escribir(ruta, seccion, clave, valor) || leerBytes(ruta) != escrito)
        fallo("escribir el mismo valor otra vez cambió el archivo");

    const QString otra = clave.trimmed() + QStringLiteral(" 2");
    if (ArchivoIni::escribir(ruta, seccion, otra, valor + u'x')) {
        if (ArchivoIni::leer(ruta, seccion, otra) != valor + u'x')
            fallo("la segunda clave no se lee");
        if (ArchivoIni::leer(ruta, seccion, clave) != valor)
            fallo("la segunda clave borró la primera");
    }
    // The lock file the writes leave beside it goes too.
    QFile::remove(ruta);
    QFile::remove(ruta + QStringLiteral(".lock"));
    return 0;
}
