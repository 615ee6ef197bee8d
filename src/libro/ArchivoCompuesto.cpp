#include "libro/ArchivoCompuesto.h"

#include <QByteArray>
#include <limits>

namespace {

constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kFinDeCadena = 0xFFFFFFFE;
constexpr std::uint32_t kLibre = 0xFFFFFFFF;
constexpr std::uint32_t kSector = 512;
constexpr std::uint32_t kEntradasPorSector = kSector / 4;  // FAT entries in one sector
constexpr std::uint32_t kDifatEnCabecera = 109;
constexpr std::uint32_t kDifatPorSector = kEntradasPorSector - 1;  // the last slot chains
constexpr std::uint32_t kMinimoFlujo = 4096;                       // the mini stream cutoff

void ponerU16(QByteArray& b, qsizetype pos, std::uint16_t v) {
    b[pos] = static_cast<char>(v & 0xFF);
    b[pos + 1] = static_cast<char>(v >> 8);
}
void ponerU32(QByteArray& b, qsizetype pos, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[pos + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t difatNecesarios(std::uint32_t fat) {
    return fat <= kDifatEnCabecera
               ? 0
               : (fat - kDifatEnCabecera + kDifatPorSector - 1) / kDifatPorSector;
}

// One 128-byte directory entry.
void entradaDirectorio(QByteArray& sector, int indice, const char16_t* nombre, std::uint8_t tipo,
                       std::uint32_t hijo, std::uint32_t inicio, std::uint32_t largo) {
    const qsizetype base = static_cast<qsizetype>(indice) * 128;
    std::uint16_t bytesNombre = 0;
    if (nombre) {
        int i = 0;
        for (; nombre[i] != 0; ++i) ponerU16(sector, base + 2 * i, nombre[i]);
        bytesNombre = static_cast<std::uint16_t>(2 * (i + 1));  // the NUL counts
    }
    ponerU16(sector, base + 64, bytesNombre);
    sector[base + 66] = static_cast<char>(tipo);
    sector[base + 67] = static_cast<char>(tipo == 0 ? 0 : 1);  // black
    ponerU32(sector, base + 68, kLibre);                       // left sibling: none
    ponerU32(sector, base + 72, kLibre);                       // right sibling: none
    ponerU32(sector, base + 76, hijo);
    ponerU32(sector, base + 116, inicio);
    ponerU32(sector, base + 120, largo);
}

}  // namespace

std::optional<DisposicionCompuesta> disponerCompuesto(std::uint64_t largoFlujo) {
    const std::uint64_t declarado = std::max<std::uint64_t>(largoFlujo, kMinimoFlujo);
    if (declarado > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    DisposicionCompuesta d;
    d.largoDeclarado = static_cast<std::uint32_t>(declarado);
    d.sectoresFlujo = static_cast<std::uint32_t>((declarado + kSector - 1) / kSector);
    // The FAT also maps the DIFAT, the FAT itself and the directory: the smallest F that covers
    // all of them.
    std::uint64_t fat = 1;
    while (true) {
        const std::uint32_t difat = difatNecesarios(static_cast<std::uint32_t>(fat));
        if (std::uint64_t{d.sectoresFlujo} + difat + fat + 1 <= kEntradasPorSector * fat) {
            d.sectoresDifat = difat;
            break;
        }
        ++fat;
    }
    d.sectoresFat = static_cast<std::uint32_t>(fat);
    return d;
}

namespace {
// Where the sectors after the stream lie: the DIFAT, then the FAT, then the directory.
struct Sectores {
    std::uint32_t primerDifat, primerFat, directorio;
    explicit Sectores(const DisposicionCompuesta& d)
        : primerDifat(d.sectoresFlujo),
          primerFat(primerDifat + d.sectoresDifat),
          directorio(primerFat + d.sectoresFat) {}
};

QByteArray cabeceraCompuesta(const DisposicionCompuesta& d) {
    const Sectores s(d);
    QByteArray cabecera(kSector, '\0');
    const unsigned char firma[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (int i = 0; i < 8; ++i) cabecera[i] = static_cast<char>(firma[i]);
    ponerU16(cabecera, 0x18, 0x003E);  // minor version
    ponerU16(cabecera, 0x1A, 0x0003);  // major version 3
    ponerU16(cabecera, 0x1C, 0xFFFE);  // little-endian
    ponerU16(cabecera, 0x1E, 9);       // 512-byte sectors
    ponerU16(cabecera, 0x20, 6);       // 64-byte mini sectors
    ponerU32(cabecera, 0x2C, d.sectoresFat);
    ponerU32(cabecera, 0x30, s.directorio);
    ponerU32(cabecera, 0x38, kMinimoFlujo);
    ponerU32(cabecera, 0x3C, kFinDeCadena);  // no mini FAT
    ponerU32(cabecera, 0x44, d.sectoresDifat > 0 ? s.primerDifat : kFinDeCadena);
    ponerU32(cabecera, 0x48, d.sectoresDifat);
    for (std::uint32_t i = 0; i < kDifatEnCabecera; ++i)
        ponerU32(cabecera, 0x4C + 4 * i, i < d.sectoresFat ? s.primerFat + i : kLibre);
    return cabecera;
}

// DIFAT sector `k`: the FAT sectors past the header's 109, and the next DIFAT sector.
QByteArray sectorDifat(const DisposicionCompuesta& d, std::uint32_t k) {
    const Sectores s(d);
    QByteArray sector(kSector, '\0');
    for (std::uint32_t j = 0; j < kDifatPorSector; ++j) {
        const std::uint64_t fat = kDifatEnCabecera + std::uint64_t{k} * kDifatPorSector + j;
        ponerU32(sector, 4 * j,
                 fat < d.sectoresFat ? s.primerFat + static_cast<std::uint32_t>(fat) : kLibre);
    }
    ponerU32(sector, 4 * kDifatPorSector,
             k + 1 < d.sectoresDifat ? s.primerDifat + k + 1 : kFinDeCadena);
    return sector;
}

// FAT sector `f`: the stream's chain, the DIFAT and FAT sectors marked, the directory alone.
QByteArray sectorFat(const DisposicionCompuesta& d, std::uint32_t f) {
    const Sectores s(d);
    QByteArray sector(kSector, '\0');
    for (std::uint32_t j = 0; j < kEntradasPorSector; ++j) {
        const std::uint64_t n = std::uint64_t{f} * kEntradasPorSector + j;
        std::uint32_t entrada = kLibre;
        if (n + 1 < d.sectoresFlujo)
            entrada = static_cast<std::uint32_t>(n + 1);
        else if (n + 1 == d.sectoresFlujo || n == s.directorio)
            entrada = kFinDeCadena;
        else if (n >= s.primerDifat && n < s.primerFat)
            entrada = kDifSect;
        else if (n >= s.primerFat && n < s.directorio)
            entrada = kFatSect;
        ponerU32(sector, 4 * j, entrada);
    }
    return sector;
}

QByteArray sectorDirectorio(const DisposicionCompuesta& d) {
    QByteArray entradas(kSector, '\0');
    entradaDirectorio(entradas, 0, u"Root Entry", 5, 1, kFinDeCadena, 0);
    entradaDirectorio(entradas, 1, u"Workbook", 2, kLibre, 0, d.largoDeclarado);
    entradaDirectorio(entradas, 2, nullptr, 0, kLibre, 0, 0);
    entradaDirectorio(entradas, 3, nullptr, 0, kLibre, 0, 0);
    return entradas;
}
}  // namespace

bool escribirCompuesto(QIODevice& salida, std::uint64_t largoFlujo,
                       const std::function<bool(QIODevice&)>& volcarFlujo, QString* error) {
    auto fallar = [error](const QString& texto) {
        if (error) *error = texto;
        return false;
    };
    const std::optional<DisposicionCompuesta> disposicion = disponerCompuesto(largoFlujo);
    if (!disposicion)
        return fallar(
            QStringLiteral("el libro pasa de 4 GB, más de lo que admite el formato .xls."));
    const DisposicionCompuesta& d = *disposicion;
    auto escribir = [&salida](const QByteArray& bytes) {
        return salida.write(bytes) == bytes.size();
    };
    auto fallaEscritura = [&]() {
        return fallar(
            QStringLiteral("no se pudo escribir el archivo (%1).").arg(salida.errorString()));
    };
    if (!escribir(cabeceraCompuesta(d))) return fallaEscritura();

    const qint64 antes = salida.pos();
    if (!volcarFlujo(salida)) return false;
    if (static_cast<std::uint64_t>(salida.pos() - antes) != largoFlujo)
        return fallar(QStringLiteral("el contenido del libro no tiene el largo esperado."));
    // Zeros up to the declared size and the end of its last sector.
    const std::uint64_t relleno = std::uint64_t{d.sectoresFlujo} * kSector - largoFlujo;
    if (relleno > 0 && !escribir(QByteArray(static_cast<qsizetype>(relleno), '\0')))
        return fallaEscritura();
    for (std::uint32_t k = 0; k < d.sectoresDifat; ++k)
        if (!escribir(sectorDifat(d, k))) return fallaEscritura();
    for (std::uint32_t f = 0; f < d.sectoresFat; ++f)
        if (!escribir(sectorFat(d, f))) return fallaEscritura();
    if (!escribir(sectorDirectorio(d))) return fallaEscritura();
    return true;
}
