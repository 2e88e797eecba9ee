// Builds Palm bitmaps byte by byte for the tests: versions 0 to 3, any depth, the three
// compressions, colour tables, transparency and density, from a grid of pixel values.
#pragma once

#include "PdbBuilder.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace vexlin::test {

enum class Packing { None = -1, Scanline = 0, Rle = 1, PackBits = 2 };

struct TestBitmap {
    int Version = 2;
    int Depth = 8;
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::vector<std::uint32_t> Pixels; // row after row: indices, or RGB565 at depth 16
    Packing Compression = Packing::None;
    std::vector<std::uint32_t> ColorTable;    // 0xRRGGBB entries, when not empty
    std::optional<std::uint32_t> Transparent; // index, or the RGB565 value at depth 16
    std::uint16_t Density = 72;               // version 3
    std::uint32_t Next = 0;                   // bytes to the next member (0: none)

    [[nodiscard]] std::size_t RowBytes() const {
        return (std::size_t{Width} * Depth + 15) / 16 * 2;
    }

    [[nodiscard]] Bytes Rows() const {
        Bytes rows(RowBytes() * Height, 0);
        for (std::size_t y = 0; y < Height; ++y) {
            for (std::size_t x = 0; x < Width; ++x) {
                const std::uint32_t v = Pixels[y * Width + x];
                std::uint8_t* row = rows.data() + y * RowBytes();
                if (Depth == 16) {
                    row[2 * x] = static_cast<std::uint8_t>(v >> 8);
                    row[2 * x + 1] = static_cast<std::uint8_t>(v);
                } else {
                    const std::size_t bit = x * Depth;
                    row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - Depth - bit % 8));
                }
            }
        }
        return rows;
    }

    [[nodiscard]] Bytes Packed() const {
        const Bytes rows = Rows();
        const std::size_t rb = RowBytes();
        Bytes out;
        for (std::size_t y = 0; y < Height; ++y) {
            const std::uint8_t* row = rows.data() + y * rb;
            if (Compression == Packing::None) {
                out.insert(out.end(), row, row + rb);
            } else if (Compression == Packing::Scanline) {
                for (std::size_t g = 0; g < rb; g += 8) {
                    std::uint8_t flags = 0;
                    Bytes changed;
                    for (std::size_t k = g; k < rb && k < g + 8; ++k) {
                        if (y == 0 || row[k] != rows[(y - 1) * rb + k]) {
                            flags |= static_cast<std::uint8_t>(0x80 >> (k - g));
                            changed.push_back(row[k]);
                        }
                    }
                    out.push_back(flags);
                    out.insert(out.end(), changed.begin(), changed.end());
                }
            } else if (Compression == Packing::Rle) {
                for (std::size_t k = 0; k < rb;) {
                    std::size_t n = 1;
                    while (k + n < rb && n < 255 && row[k + n] == row[k])
                        ++n;
                    out.push_back(static_cast<std::uint8_t>(n));
                    out.push_back(row[k]);
                    k += n;
                }
            } else { // PackBits over bytes, or 16-bit units at depth 16
                const std::size_t unit = Depth == 16 ? 2 : 1;
                const std::size_t units = rb / unit;
                const auto same = [&](std::size_t a, std::size_t b) {
                    return std::equal(row + a * unit, row + (a + 1) * unit, row + b * unit);
                };
                for (std::size_t k = 0; k < units;) {
                    std::size_t n = 1;
                    while (k + n < units && n < 128 && same(k, k + n))
                        ++n;
                    if (n > 1) {
                        out.push_back(static_cast<std::uint8_t>(1 - static_cast<int>(n)));
                        out.insert(out.end(), row + k * unit, row + (k + 1) * unit);
                    } else {
                        while (k + n < units && n < 128 && !same(k + n - 1, k + n))
                            ++n;
                        out.push_back(static_cast<std::uint8_t>(n - 1));
                        out.insert(out.end(), row + k * unit, row + (k + n) * unit);
                    }
                    k += n;
                }
            }
        }
        return out;
    }

    [[nodiscard]] Bytes Build() const {
        const bool compressed = Compression != Packing::None;
        const bool direct = Depth == 16;
        std::uint16_t flags = 0;
        if (compressed)
            flags |= 0x8000;
        if (!ColorTable.empty())
            flags |= 0x4000;
        if (Transparent)
            flags |= 0x2000;
        if (direct && Version == 2)
            flags |= 0x0400;
        const std::size_t header = Version == 3 ? 24 : 16;
        Bytes b(header, 0);
        PutBE16(b, 0, Width);
        PutBE16(b, 2, Height);
        PutBE16(b, 4, static_cast<std::uint16_t>(RowBytes()));
        PutBE16(b, 6, flags);
        b[8] = Version == 0 ? 0 : static_cast<std::uint8_t>(Depth); // reserved in version 0
        b[9] = static_cast<std::uint8_t>(Version);
        if (Version == 3) {
            b[10] = 24;
            b[11] = direct ? 1 : 0;
            b[13] = compressed ? static_cast<std::uint8_t>(Compression) : 0xFF;
            PutBE16(b, 14, Density);
            const std::uint32_t t = Transparent.value_or(0);
            PutBE32(b, 16,
                    direct ? (t >> 11 & 0x1F) << 19 | (t >> 5 & 0x3F) << 10 | (t & 0x1F) << 3 : t);
            PutBE32(b, 20, Next);
        } else {
            PutBE16(b, 10, static_cast<std::uint16_t>(Next / 4));
            b[12] = static_cast<std::uint8_t>(Transparent.value_or(0));
            b[13] = compressed ? static_cast<std::uint8_t>(Compression) : 0xFF;
        }
        if (!ColorTable.empty()) {
            const std::size_t at = b.size();
            PutBE16(b, at, static_cast<std::uint16_t>(ColorTable.size()));
            for (std::size_t i = 0; i < ColorTable.size(); ++i)
                PutBE32(b, at + 2 + 4 * i, static_cast<std::uint32_t>(i) << 24 | ColorTable[i]);
        }
        if (direct && Version == 2) {
            const std::uint32_t t = Transparent.value_or(0);
            const Bytes info{5,
                             6,
                             5,
                             0,
                             0,
                             static_cast<std::uint8_t>((t >> 11 & 0x1F) << 3),
                             static_cast<std::uint8_t>((t >> 5 & 0x3F) << 2),
                             static_cast<std::uint8_t>((t & 0x1F) << 3)};
            b.insert(b.end(), info.begin(), info.end());
        }
        const Bytes data = Packed();
        if (compressed) {
            const std::size_t field = Version == 3 ? 4 : 2;
            const std::size_t at = b.size();
            PutBE(b, at, static_cast<std::uint32_t>(data.size() + field), static_cast<int>(field));
        }
        b.insert(b.end(), data.begin(), data.end());
        return b;
    }
};

// A 13 x 5 test picture: values cycling through the depth's range, with a run of equal
// pixels in each row so that every compression has runs and literals to write.
inline TestBitmap Drawn(int version, int depth, Packing packing) {
    TestBitmap s;
    s.Version = version;
    s.Depth = depth;
    s.Width = 13;
    s.Height = 5;
    s.Compression = packing;
    const std::uint32_t range = depth == 16 ? 0x10000 : (depth == 8 ? 231 : 1u << depth);
    for (std::uint32_t y = 0; y < s.Height; ++y)
        for (std::uint32_t x = 0; x < s.Width; ++x)
            s.Pixels.push_back(x < 5 ? (y * 7) % range
                                     : ((x * 37 + y * 11) * 2654435761u >> 8) % range);
    return s;
}

} // namespace vexlin::test
