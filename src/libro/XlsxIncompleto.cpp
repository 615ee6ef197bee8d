#include "libro/XlsxIncompleto.h"

#include <zlib.h>

#include <QFile>
#include <vector>

namespace {

quint32 leer32(const QByteArray& b, qsizetype i) {
    return static_cast<quint32>(static_cast<quint8>(b[i])) |
           static_cast<quint32>(static_cast<quint8>(b[i + 1])) << 8 |
           static_cast<quint32>(static_cast<quint8>(b[i + 2])) << 16 |
           static_cast<quint32>(static_cast<quint8>(b[i + 3])) << 24;
}

qint64 leer64(const QByteArray& b, qsizetype i) {
    return static_cast<qint64>(leer32(b, i)) | static_cast<qint64>(leer32(b, i + 4)) << 32;
}

quint16 leer16(const QByteArray& b, qsizetype i) {
    return static_cast<quint16>(static_cast<quint8>(b[i]) | static_cast<quint8>(b[i + 1]) << 8);
}

// Whether the sheet stored at `local` in the zip `f` inflates whole and ends with the sheet's
// closing tag. It is inflated in pieces; only its last bytes are kept.
bool hojaEntera(QFile& f, qint64 local, qint64 comprimido, quint16 metodo) {
    if (local < 0 || !f.seek(local)) return false;
    const QByteArray cabecera = f.read(30);
    if (cabecera.size() < 30 || !cabecera.startsWith(QByteArrayLiteral("PK\x03\x04")) ||
        !f.seek(local + 30 + leer16(cabecera, 26) + leer16(cabecera, 28)))
        return false;
    z_stream z{};
    if (metodo != Z_DEFLATED || inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    QByteArray ultimos;
    int estado = Z_OK;
    qint64 restante = comprimido;
    QByteArray entrada, salida(1 << 16, '\0');
    while (estado == Z_OK && restante > 0) {
        entrada = f.read(qMin<qint64>(restante, 1 << 16));
        if (entrada.isEmpty()) break;
        restante -= entrada.size();
        z.next_in = reinterpret_cast<Bytef*>(entrada.data());
        z.avail_in = static_cast<uInt>(entrada.size());
        while (estado == Z_OK && z.avail_in > 0) {
            z.next_out = reinterpret_cast<Bytef*>(salida.data());
            z.avail_out = static_cast<uInt>(salida.size());
            estado = inflate(&z, Z_NO_FLUSH);
            ultimos = (ultimos + salida.left(salida.size() - static_cast<qsizetype>(z.avail_out)))
                          .right(64);
        }
    }
    inflateEnd(&z);
    return estado == Z_STREAM_END && ultimos.trimmed().endsWith(QByteArrayLiteral("</worksheet>"));
}

}  // namespace

// The zip library does not report every failed write (a full disk, a file-size limit): its
// working files and the zip itself may be cut short without an error. A whole workbook ends in a
// zip directory that lies where its record says, and each of its sheets, inflated, ends with the
// sheet's closing tag.
QString LibroXlsxIncompleto(const QString& ruta) {
    const QString cortado =
        QStringLiteral("el archivo quedó incompleto; puede que el disco esté lleno.");
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return f.errorString();
    const qint64 tamano = f.size();
    constexpr qint64 registro = 22;  // end-of-central-directory record without its comment
    if (tamano < registro) return cortado;
    const qint64 desde = qMax<qint64>(0, tamano - registro - 65535);
    if (!f.seek(desde)) return cortado;
    const QByteArray cola = f.readAll();
    const qsizetype fin = cola.lastIndexOf(QByteArrayLiteral("PK\x05\x06"));
    if (fin < 0 || cola.size() - fin < registro) return cortado;
    qint64 largoDirectorio = leer32(cola, fin + 12);
    qint64 inicioDirectorio = leer32(cola, fin + 16);
    qint64 finDirectorio = desde + fin;
    if (inicioDirectorio == 0xFFFFFFFF && fin >= 20 &&
        cola.mid(fin - 20, 4) == QByteArrayLiteral("PK\x06\x07")) {
        // A package past 4 GiB: the ZIP64 end record, which the locator points at, holds them.
        const qint64 registro64 = leer64(cola, fin - 12);
        if (!f.seek(registro64)) return cortado;
        const QByteArray r = f.read(56);
        if (r.size() < 56 || !r.startsWith(QByteArrayLiteral("PK\x06\x06"))) return cortado;
        largoDirectorio = leer64(r, 40);
        inicioDirectorio = leer64(r, 48);
        finDirectorio = registro64;
    }
    if (inicioDirectorio + largoDirectorio != finDirectorio) return cortado;
    if (!f.seek(inicioDirectorio)) return cortado;
    const QByteArray directorio = f.read(largoDirectorio);

    // Every sheet's entry in the directory: method, compressed size, local header offset.
    struct Entrada {
        qint64 local = -1, comprimido = 0;
        quint16 metodo = 0;
    };
    std::vector<Entrada> hojas;
    qsizetype i = 0;
    while (i + 46 <= directorio.size() && directorio.mid(i, 4) == QByteArrayLiteral("PK\x01\x02")) {
        const quint16 largoNombre = leer16(directorio, i + 28);
        const qsizetype siguiente =
            i + 46 + largoNombre + leer16(directorio, i + 30) + leer16(directorio, i + 32);
        const QByteArray nombre = directorio.mid(i + 46, largoNombre);
        qint64 local = leer32(directorio, i + 42);
        if (local == 0xFFFFFFFF && leer16(directorio, i + 30) >= 12 &&
            leer16(directorio, i + 46 + largoNombre) == 0x0001)
            local = leer64(directorio, i + 46 + largoNombre + 4);  // its ZIP64 extra field
        if (nombre.startsWith("xl/worksheets/sheet") && nombre.endsWith(".xml"))
            hojas.push_back({local, leer32(directorio, i + 20), leer16(directorio, i + 10)});
        i = siguiente;
    }
    if (hojas.empty()) return cortado;
    for (const Entrada& h : hojas)
        if (!hojaEntera(f, h.local, h.comprimido, h.metodo)) return cortado;
    return QString();
}
