#pragma once
#include <QIODevice>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

// The OLE2 compound file (version 3, 512-byte sectors) that wraps a BIFF8 workbook: a header, the
// one stream "Workbook" in consecutive sectors from sector 0, the DIFAT sectors when the FAT needs
// more than the header's 109 slots, the FAT sectors and one directory sector.

// Where everything goes for a stream of a given length.
struct DisposicionCompuesta {
    std::uint32_t largoDeclarado = 0;  // the stream's size field: never under 4096 (see below)
    std::uint32_t sectoresFlujo = 0;   // sectors 0 .. N-1
    std::uint32_t sectoresDifat = 0;   // then X DIFAT sectors
    std::uint32_t sectoresFat = 0;     // then F FAT sectors, then the directory sector
    std::uint64_t largoArchivo() const {
        return 512ull * (std::uint64_t{sectoresFlujo} + sectoresDifat + sectoresFat + 2);
    }
};

// A stream shorter than 4096 bytes would be read from the mini stream, which we never write: it is
// declared as 4096 bytes and padded with zeros. nullopt when the stream does not fit the 32-bit
// size field of a version-3 file.
std::optional<DisposicionCompuesta> disponerCompuesto(std::uint64_t largoFlujo);

// Writes the whole compound file to `salida`. `volcarFlujo` writes the stream's bytes, exactly
// `largoFlujo` of them, and returns false on a fault. False with a Spanish text on any failure.
bool escribirCompuesto(QIODevice& salida, std::uint64_t largoFlujo,
                       const std::function<bool(QIODevice&)>& volcarFlujo, QString* error);
