// Dump line formatting, without printf-style parsing: this runs for every line of a 5 MB
// record.
#include "HexDump.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vexlin {

namespace {

constexpr char HexDigits[] = "0123456789abcdef";

// Each byte's three hex-column characters ("4a ") followed by its character-column character.
struct ByteCells {
    char Hex[4];
};

constexpr auto MakeByteTable() {
    std::array<ByteCells, 256> table{};
    for (int b = 0; b < 256; ++b) {
        table[b] = {{HexDigits[b >> 4], HexDigits[b & 0xF], ' ',
                     b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.'}};
    }
    return table;
}

constexpr std::array<ByteCells, 256> ByteTable = MakeByteTable();

// Lowercase hexadecimal, at least four digits.
char* PutHex(char* out, std::uint32_t value) {
    int digits = 4;
    while (digits < 8 && (value >> (4 * digits)) != 0) {
        ++digits;
    }
    for (int i = digits - 1; i >= 0; --i) {
        *out++ = HexDigits[(value >> (4 * i)) & 0xF];
    }
    return out;
}

char* PutDecimal(char* out, std::uint32_t value) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) {
        *out++ = digits[--n];
    }
    return out;
}

} // namespace

DumpStretch ClampToFile(const DatabaseImage& image, std::int32_t start,
                        std::int32_t size) noexcept {
    // Copied first: the derived fields of the packed image are not 4-byte aligned, so they
    // must not be bound to references (as std::clamp would).
    const std::int32_t fileSizeField = image.FileSize;
    const std::int32_t fileSize = std::clamp(fileSizeField, 0, ImageCapacity);
    if (size <= 0 || start < 0 || start >= fileSize) {
        return {};
    }
    const auto available = static_cast<std::uint32_t>(fileSize - start);
    return {static_cast<std::uint32_t>(start),
            std::min(static_cast<std::uint32_t>(size), available)};
}

std::size_t FormatDumpLine(const DatabaseImage& image, DumpStretch stretch, std::size_t line,
                           char* out) noexcept {
    const bool insideImage = std::uint64_t{stretch.Start} + stretch.Size <= ImageCapacity;
    if (!insideImage || line >= DumpLineCount(stretch)) {
        return 0;
    }
    const auto areaOffset = static_cast<std::uint32_t>(line * DumpBytesPerLine);
    const std::uint32_t count = std::min(DumpBytesPerLine, stretch.Size - areaOffset);
    const std::uint8_t* bytes = ImageBytes(image) + stretch.Start + areaOffset;
    std::uint8_t fileOrder[DumpBytesPerLine];
    if (stretch.Start + areaOffset < sizeof(DatabaseHeader)) {
        CopyFileBytes(image, stretch.Start + areaOffset, count, fileOrder);
        bytes = fileOrder;
    }

    char* p = PutHex(out, stretch.Start + areaOffset);
    *p++ = '|';
    char* hex = p;
    char* text = p + 49;
    if (count == DumpBytesPerLine) {
        // Four bytes a cell: each copy's fourth byte is overwritten by the next cell, the
        // last one by the bar after the hex column.
        for (std::uint32_t i = 0; i < DumpBytesPerLine; ++i) {
            std::memcpy(hex + 3 * i, ByteTable[bytes[i]].Hex, 4);
            text[i] = ByteTable[bytes[i]].Hex[3];
        }
    } else {
        std::fill(hex, text + 16, ' ');
        for (std::uint32_t i = 0; i < count; ++i) {
            std::memcpy(hex + 3 * i, ByteTable[bytes[i]].Hex, 3);
            text[i] = ByteTable[bytes[i]].Hex[3];
        }
    }
    hex[48] = '|';
    p = text + 16;
    *p++ = '|';
    p = PutHex(p, areaOffset);
    *p++ = '|';
    p = PutDecimal(p, areaOffset);
    return static_cast<std::size_t>(p - out);
}

std::size_t FormatDumpText(const DatabaseImage& image, DumpStretch stretch, std::size_t first,
                           std::size_t count, char* out) noexcept {
    const std::size_t end = std::min(first + count, DumpLineCount(stretch));
    char* p = out;
    for (std::size_t line = first; line < end; ++line) {
        p += FormatDumpLine(image, stretch, line, p);
        *p++ = '\n';
    }
    return static_cast<std::size_t>(p - out);
}

std::string DumpLine(const DatabaseImage& image, DumpStretch stretch, std::size_t line) {
    char buffer[DumpLineMax];
    return {buffer, FormatDumpLine(image, stretch, line, buffer)};
}

void DumpTarget::AddLines(const DatabaseImage& image, DumpStretch stretch) {
    char buffer[DumpLineMax];
    const std::size_t lines = DumpLineCount(stretch);
    for (std::size_t line = 0; line < lines; ++line) {
        Add({buffer, FormatDumpLine(image, stretch, line, buffer)});
    }
}

void HexDump(DumpTarget& target, const DatabaseImage& image, DumpStretch stretch) {
    target.Clear();
    target.AddLines(image, stretch);
}

void HexDump(DumpTarget& target, const DatabaseImage& image, std::int32_t start,
             std::int32_t size) {
    HexDump(target, image, ClampToFile(image, start, size));
}

} // namespace vexlin
