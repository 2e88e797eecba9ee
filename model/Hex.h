// Hexadecimal in messages and escapes, written one way everywhere: offsets and flags as "0x"
// and at least four lowercase digits, a byte a text cannot show as "\xHH", a code point as
// "\uXXXX", bytes as pairs of digits.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace vexlin {

// "0056", "15f90": at least `digits` lowercase digits (the offset columns).
[[nodiscard]] inline std::string HexNumber(std::uint64_t value, int digits = 4) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

// "0x0056", "0x15f90": the same after "0x" (offsets and flags in messages).
[[nodiscard]] inline std::string Hex(std::uint64_t value, int digits = 4) {
    return "0x" + HexNumber(value, digits);
}

// "\x1b": a byte as a quoted text escapes it.
inline void AppendByteEscape(std::string& out, std::uint8_t byte) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    out += escaped;
}

// "\u0085", "\u200e": a code point as JSON and the quoted texts escape it.
inline void AppendCodeEscape(std::string& out, unsigned code) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
    out += escaped;
}

// "0a1bff": each byte as two lowercase digits.
[[nodiscard]] inline std::string HexDigits(std::span<const std::uint8_t> bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * bytes.size());
    for (const std::uint8_t b : bytes) {
        hex += Digits[b >> 4];
        hex += Digits[b & 0xF];
    }
    return hex;
}

} // namespace vexlin
