#pragma once
#include <QByteArray>
#include <cstdint>

// Little-endian fields appended to a byte buffer, as the workbook formats (BIFF8, zip) lay them
// out.
namespace bytes {
inline void u8(QByteArray& b, std::uint8_t v) { b.append(static_cast<char>(v)); }
inline void u16(QByteArray& b, std::uint16_t v) {
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>(v >> 8));
}
inline void u32(QByteArray& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void u64(QByteArray& b, std::uint64_t v) {
    u32(b, static_cast<std::uint32_t>(v & 0xFFFFFFFFu));
    u32(b, static_cast<std::uint32_t>(v >> 32));
}
}  // namespace bytes
