#include "libro/ZipXlsx.h"

#include <zlib.h>

#include <QFileDevice>
#include <cerrno>
#include <thread>

#include "archivos/ErrorSistema.h"
#include "libro/Bytes.h"

namespace {
constexpr std::uint32_t Limite32 = 0xFFFFFFFFu;
constexpr std::uint16_t Fecha1980 = (1 << 5) | 1;  // 1980-01-01, in the DOS form

using bytes::u16;
using bytes::u32;
using bytes::u64;
std::uint32_t hasta32(std::uint64_t v) {
    return v >= Limite32 ? Limite32 : static_cast<std::uint32_t>(v);
}

std::uint32_t crcDe(const QByteArray& bytes) {
    return static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0),
                                            reinterpret_cast<const Bytef*>(bytes.constData()),
                                            static_cast<uInt>(bytes.size())));
}

// Raw DEFLATE of `texto`, ended on a byte boundary (`ultimo`: with the stream's final block).
QByteArray desinflado(const QByteArray& texto, int nivel, bool ultimo, bool* bien) {
    z_stream z{};
    QByteArray salida;
    *bien = deflateInit2(&z, nivel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!*bien) return salida;
    salida.resize(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(texto.size()))) + 64);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(texto.constData()));
    z.avail_in = static_cast<uInt>(texto.size());
    z.next_out = reinterpret_cast<Bytef*>(salida.data());
    z.avail_out = static_cast<uInt>(salida.size());
    const int estado = deflate(&z, ultimo ? Z_FINISH : Z_FULL_FLUSH);
    *bien = ultimo ? estado == Z_STREAM_END : (estado == Z_OK && z.avail_in == 0);
    salida.resize(salida.size() - static_cast<qsizetype>(z.avail_out));
    deflateEnd(&z);
    return salida;
}
}  // namespace

ZipXlsx::ZipXlsx(QFileDevice& salida, int hilos)
    : salida_(salida),
      hilos_(hilos > 0 ? static_cast<std::size_t>(hilos)
                       : std::max(1u, std::thread::hardware_concurrency())) {}

ZipXlsx::~ZipXlsx() {
    // A part left open (a failed write): its chunks still being deflated end before the file goes.
    for (std::future<Trozo>& t : enCurso_) t.wait();
}

bool ZipXlsx::fallar(const QString& motivo) {
    if (error_.isEmpty()) error_ = motivo;
    return false;
}

bool ZipXlsx::escribirBytes(const QByteArray& bytes) {
    if (salida_.write(bytes) != bytes.size()) {
        const int numero = errno;
        return fallar(QStringLiteral("no se pudo escribir el archivo (%1).")
                          .arg(MotivoEscritura(salida_, numero)));
    }
    posicion_ += static_cast<std::uint64_t>(bytes.size());
    return true;
}

bool ZipXlsx::cabeceraLocal(const Entrada& e) {
    QByteArray b;
    u32(b, 0x04034B50);
    u16(b, 20);  // version needed: deflate
    u16(b, 0);   // no flags: the sizes are in this header, not after the data
    u16(b, 8);   // deflate
    u16(b, 0);   // 00:00
    u16(b, Fecha1980);
    u32(b, e.crc);
    u32(b, static_cast<std::uint32_t>(e.comprimido));
    u32(b, static_cast<std::uint32_t>(e.original));
    u16(b, static_cast<std::uint16_t>(e.nombre.size()));
    u16(b, 0);
    b.append(e.nombre);
    return escribirBytes(b);
}

bool ZipXlsx::agregar(const QString& nombre, const QByteArray& datos) {
    bool bien = false;
    const QByteArray comprimido = desinflado(datos, Nivel, true, &bien);
    if (!bien) return fallar(QStringLiteral("no se pudo comprimir una parte del libro."));
    Entrada e{nombre.toUtf8(), posicion_, crcDe(datos),
              static_cast<std::uint64_t>(comprimido.size()),
              static_cast<std::uint64_t>(datos.size())};
    if (!cabeceraLocal(e) || !escribirBytes(comprimido)) return false;
    entradas_.push_back(e);
    return true;
}

bool ZipXlsx::empezar(const QString& nombre, const QByteArray& inicio) {
    Entrada e{nombre.toUtf8(), posicion_, 0, 0, 0};
    if (inicio.size() > 0xFFFF || !cabeceraLocal(e))
        return fallar(QStringLiteral("no se pudo empezar una parte del libro."));
    entradas_.push_back(e);
    abierta_ = true;
    crcResto_ = crcDe(QByteArray());
    originalResto_ = 0;
    comprimidoParte_ = 0;
    inicio_ = inicio;
    if (inicio.isEmpty()) return true;
    // A stored block, not the last one: the bytes as they are, which may be changed later.
    QByteArray bloque;
    bloque.append('\0');
    u16(bloque, static_cast<std::uint16_t>(inicio.size()));
    u16(bloque, static_cast<std::uint16_t>(~inicio.size() & 0xFFFF));
    posInicio_ = static_cast<qint64>(posicion_) + bloque.size();
    bloque.append(inicio);
    comprimidoParte_ = static_cast<std::uint64_t>(bloque.size());
    return escribirBytes(bloque);
}

void ZipXlsx::cambiarInicio(const QByteArray& inicio) {
    if (inicio.size() == inicio_.size()) inicio_ = inicio;
}

bool ZipXlsx::escribir(const QByteArray& texto) {
    pendiente_ += texto;
    return pendiente_.size() < BytesPorTrozo || lanzar(false);
}

bool ZipXlsx::lanzar(bool ultimo) {
    if (enCurso_.size() >= hilos_ && !recoger()) return false;
    enCurso_.push_back(std::async(std::launch::async, [texto = std::move(pendiente_), ultimo] {
        Trozo t;
        t.comprimido = desinflado(texto, Nivel, ultimo, &t.bien);
        t.crc = crcDe(texto);
        t.original = static_cast<std::uint64_t>(texto.size());
        return t;
    }));
    pendiente_ = QByteArray();
    pendiente_.reserve(BytesPorTrozo + (1 << 16));
    return true;
}

bool ZipXlsx::recoger() {
    Trozo t = enCurso_.front().get();
    enCurso_.pop_front();
    if (!t.bien) return fallar(QStringLiteral("no se pudo comprimir la hoja del libro."));
    crcResto_ = static_cast<std::uint32_t>(
        crc32_combine(crcResto_, t.crc, static_cast<z_off_t>(t.original)));
    originalResto_ += t.original;
    comprimidoParte_ += static_cast<std::uint64_t>(t.comprimido.size());
    return escribirBytes(t.comprimido);
}

bool ZipXlsx::terminar() {
    if (!abierta_) return fallar(QStringLiteral("no hay una parte del libro abierta."));
    abierta_ = false;
    if (!lanzar(true)) return false;
    while (!enCurso_.empty())
        if (!recoger()) return false;
    Entrada& e = entradas_.back();
    e.original = static_cast<std::uint64_t>(inicio_.size()) + originalResto_;
    e.comprimido = comprimidoParte_;
    e.crc = static_cast<std::uint32_t>(
        crc32_combine(crcDe(inicio_), crcResto_, static_cast<z_off_t>(originalResto_)));
    if (e.original >= Limite32 || e.comprimido >= Limite32)
        return fallar(QStringLiteral("una hoja del libro pasa de 4 GB."));
    // The start as it stands now, then the CRC-32 and sizes into the local header.
    QByteArray tamanos;
    u32(tamanos, e.crc);
    u32(tamanos, static_cast<std::uint32_t>(e.comprimido));
    u32(tamanos, static_cast<std::uint32_t>(e.original));
    const qint64 fin = static_cast<qint64>(posicion_);
    const bool bien = (inicio_.isEmpty() ||
                       (salida_.seek(posInicio_) && salida_.write(inicio_) == inicio_.size())) &&
                      salida_.seek(static_cast<qint64>(e.local) + 14) &&
                      salida_.write(tamanos) == tamanos.size() && salida_.seek(fin);
    const int numero = errno;
    return bien || fallar(QStringLiteral("no se pudo escribir el archivo (%1).")
                              .arg(MotivoEscritura(salida_, numero)));
}

bool ZipXlsx::cerrar() {
    const std::uint64_t inicioDirectorio = posicion_;
    QByteArray d;
    for (const Entrada& e : entradas_) {
        const bool lejos = e.local >= Limite32;
        u32(d, 0x02014B50);
        u16(d, lejos ? 45 : 20);  // made by
        u16(d, lejos ? 45 : 20);  // needed
        u16(d, 0);
        u16(d, 8);
        u16(d, 0);
        u16(d, Fecha1980);
        u32(d, e.crc);
        u32(d, static_cast<std::uint32_t>(e.comprimido));
        u32(d, static_cast<std::uint32_t>(e.original));
        u16(d, static_cast<std::uint16_t>(e.nombre.size()));
        u16(d, lejos ? 12 : 0);  // extra: the ZIP64 offset
        u16(d, 0);               // comment
        u16(d, 0);               // disk
        u16(d, 0);               // internal attributes
        u32(d, 0);               // external attributes
        u32(d, hasta32(e.local));
        d.append(e.nombre);
        if (lejos) {
            u16(d, 0x0001);
            u16(d, 8);
            u64(d, e.local);
        }
    }
    if (!escribirBytes(d)) return false;
    const std::uint64_t largoDirectorio = static_cast<std::uint64_t>(d.size());
    const std::uint64_t n = entradas_.size();
    QByteArray fin;
    if (inicioDirectorio >= Limite32 || n >= 0xFFFF) {
        const std::uint64_t registro64 = posicion_;
        u32(fin, 0x06064B50);
        u64(fin, 44);
        u16(fin, 45);
        u16(fin, 45);
        u32(fin, 0);
        u32(fin, 0);
        u64(fin, n);
        u64(fin, n);
        u64(fin, largoDirectorio);
        u64(fin, inicioDirectorio);
        u32(fin, 0x07064B50);
        u32(fin, 0);
        u64(fin, registro64);
        u32(fin, 1);
    }
    u32(fin, 0x06054B50);
    u16(fin, 0);
    u16(fin, 0);
    u16(fin, static_cast<std::uint16_t>(std::min<std::uint64_t>(n, 0xFFFF)));
    u16(fin, static_cast<std::uint16_t>(std::min<std::uint64_t>(n, 0xFFFF)));
    u32(fin, hasta32(largoDirectorio));
    u32(fin, hasta32(inicioDirectorio));
    u16(fin, 0);
    return escribirBytes(fin);
}
