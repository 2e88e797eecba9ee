// Windows-1252, the 8-bit text of Latin Palm devices and desktops: one table, from which the
// text decoder converts cp1252 (and Palm's Latin encoding built on it) and the header report
// its fields. Bytes below 0x80 are ASCII and 0xA0 to 0xFF Latin-1; this is the row between.
#pragma once

#include <cstdint>

namespace vexlin::content {

// The code points of the bytes 0x80 to 0x9F; 0 for the five the code page leaves undefined
// (81 8D 8F 90 9D).
inline constexpr char16_t Cp1252Row8[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The code point of a cp1252 byte, 0 for an undefined one.
[[nodiscard]] constexpr char32_t Cp1252CodePoint(std::uint8_t byte) noexcept {
    return byte >= 0x80 && byte < 0xA0 ? Cp1252Row8[byte - 0x80] : byte;
}

} // namespace vexlin::content
