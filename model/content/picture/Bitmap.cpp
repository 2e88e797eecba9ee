#include "content/picture/Bitmap.h"
#include "FindingCodes.h"

#include "content/core/Report.h"

#include <algorithm>
#include <array>

namespace vexlin::content {

namespace {

constexpr std::uint16_t FlagCompressed = 0x8000;
constexpr std::uint16_t FlagColorTable = 0x4000;
constexpr std::uint16_t FlagTransparent = 0x2000;
constexpr std::uint16_t FlagDirectColor = 0x0400;
constexpr std::uint8_t FamilyMarkerDepth = 255; // the empty member before high-density ones

using Rgb = std::uint32_t; // 0xRRGGBB

// The Palm OS 8-bit system palette: a 6x6x6 colour cube without black, ten greys, five
// named colours, black for the rest.
const std::array<Rgb, 256>& SystemPalette() {
    static const std::array<Rgb, 256> palette = [] {
        std::array<Rgb, 256> p{};
        constexpr std::uint32_t levels[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
        std::size_t n = 0;
        for (int half = 0; half < 2; ++half)
            for (const std::uint32_t r : levels)
                for (int b = 0; b < 3; ++b)
                    for (const std::uint32_t g : levels)
                        if (n < 215)
                            p[n++] = r << 16 | g << 8 | levels[half * 3 + b];
        for (const std::uint32_t grey :
             {0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE})
            p[n++] = grey * 0x010101;
        for (const Rgb named : {0xC0C0C0, 0x800000, 0x800080, 0x008000, 0x008080})
            p[n++] = named;
        return p;
    }();
    return palette;
}

// Colour of value in the default palette of a depth: greys from white for 1, 2 and 4 bits.
Rgb DefaultColour(std::uint8_t depth, std::uint32_t value) {
    if (depth == 8)
        return SystemPalette()[value & 0xFF];
    const std::uint32_t top = (1u << depth) - 1;
    return (255 - value * 255 / top) * 0x010101;
}

Rgb FromRgb565(std::uint32_t v) {
    const std::uint32_t r = (v >> 11 & 0x1F) * 255 / 31;
    const std::uint32_t g = (v >> 5 & 0x3F) * 255 / 63;
    const std::uint32_t b = (v & 0x1F) * 255 / 31;
    return r << 16 | g << 8 | b;
}

// A colour in 16 bits, its channels cut (as Palm OS compares them) or rounded (as writers
// that scale their pictures store them).
std::uint32_t To565(Rgb c, bool rounded) {
    const auto channel = [&](int shift, std::uint32_t top) {
        const std::uint32_t v = c >> shift & 0xFF;
        return rounded ? (v * top + 127) / 255 : v * (top + 1) / 256;
    };
    return channel(16, 31) << 11 | channel(8, 63) << 5 | channel(0, 31);
}

BitmapCompression CompressionOf(std::uint8_t type) {
    switch (type) {
    case 0:
        return BitmapCompression::Scanline;
    case 1:
        return BitmapCompression::Rle;
    case 2:
        return BitmapCompression::PackBits;
    case 0xFF:
        return BitmapCompression::None;
    default:
        return BitmapCompression::Unknown;
    }
}

bool ValidDepth(std::uint8_t depth) {
    return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
}

// The rows of a bitmap's pixel data one after the other, uncompressed. A run may reach from
// one row into the next; a row the data cannot finish is completed with zeros.
class RowSource {
  public:
    RowSource(ByteSpan data, BitmapCompression kind, std::size_t rowBytes, std::size_t unit)
        : Data(data), Kind(kind), RowBytes(rowBytes), Unit(unit), Previous(rowBytes, 0) {}

    [[nodiscard]] bool Exhausted() const noexcept { return Pos >= Data.size() && RunLeft == 0; }

    // Fills row (RowBytes bytes); false when the data ended first.
    bool Next(std::uint8_t* row) {
        std::size_t filled = 0;
        bool whole = true;
        switch (Kind) {
        case BitmapCompression::None: {
            filled = std::min(RowBytes, Data.size() - std::min(Pos, Data.size()));
            std::copy_n(Data.begin() + static_cast<std::ptrdiff_t>(Pos), filled, row);
            Pos += filled;
            whole = filled == RowBytes;
            break;
        }
        case BitmapCompression::Scanline:
            whole = Scanline(row, filled);
            break;
        case BitmapCompression::Rle:
        case BitmapCompression::PackBits:
            whole = Runs(row, filled);
            break;
        case BitmapCompression::Unknown:
            whole = false;
            break;
        }
        std::fill(row + filled, row + RowBytes, 0);
        return whole;
    }

  private:
    // Each group of eight bytes is led by a byte whose bits, high first, say which bytes
    // follow; the others repeat the row above.
    bool Scanline(std::uint8_t* row, std::size_t& filled) {
        while (filled < RowBytes) {
            if (Pos >= Data.size())
                return false;
            const std::uint8_t changed = Data[Pos++];
            for (int bit = 0; bit < 8 && filled < RowBytes; ++bit, ++filled) {
                if (changed & (0x80 >> bit)) {
                    if (Pos >= Data.size())
                        return false;
                    row[filled] = Data[Pos++];
                } else {
                    row[filled] = Previous[filled];
                }
            }
        }
        std::copy_n(row, RowBytes, Previous.begin());
        return true;
    }

    // RLE: (count, byte) pairs. PackBits: a signed count, then count + 1 units as they are
    // (0 to 127) or one unit repeated 1 - count times (-1 to -127); units are bytes, or
    // 16-bit pixels at depth 16.
    bool Runs(std::uint8_t* row, std::size_t& filled) {
        while (filled < RowBytes) {
            if (RunLeft == 0 && !StartRun())
                return false;
            const std::size_t take = std::min(RunLeft, RowBytes - filled);
            for (std::size_t k = 0; k < take; ++k, ++filled, ++RunPhase) {
                if (Literal) {
                    if (Pos >= Data.size()) {
                        RunLeft = 0;
                        return false;
                    }
                    row[filled] = Data[Pos++];
                } else {
                    row[filled] = Repeated[RunPhase % Unit];
                }
            }
            RunLeft -= take;
        }
        return true;
    }

    bool StartRun() {
        RunPhase = 0;
        if (Kind == BitmapCompression::Rle) {
            if (Pos + 2 > Data.size())
                return false;
            RunLeft = Data[Pos];
            Repeated[0] = Data[Pos + 1];
            Literal = false;
            Pos += 2;
            return true;
        }
        if (Pos >= Data.size())
            return false;
        const auto count = static_cast<std::int8_t>(Data[Pos++]);
        if (count == -128)
            return true;
        if (count >= 0) {
            Literal = true;
            RunLeft = (static_cast<std::size_t>(count) + 1) * Unit;
            return true;
        }
        if (Pos + Unit > Data.size())
            return false;
        Literal = false;
        std::copy_n(Data.begin() + static_cast<std::ptrdiff_t>(Pos), Unit, Repeated);
        Pos += Unit;
        RunLeft = static_cast<std::size_t>(1 - count) * Unit;
        return true;
    }

    ByteSpan Data;
    BitmapCompression Kind;
    std::size_t RowBytes;
    std::size_t Unit;
    std::vector<std::uint8_t> Previous;
    std::size_t Pos = 0;
    std::size_t RunLeft = 0;
    std::size_t RunPhase = 0;
    bool Literal = false;
    std::uint8_t Repeated[2] = {};
};

// What one member's header says beyond the Bitmap fields.
struct Layout {
    std::size_t HeaderSize = 16;
    std::size_t SizeField = 2; // width of the compressed-size field
    std::size_t Next = 0;      // bytes from this member's start to the next; 0 ends the family
    std::uint8_t PixelFormat =
        0; // v3: 0 indexed, 1 RGB565, 2 RGB565 little-endian, 3 indexed low bits first
    std::uint8_t TransparentIndex = 0;
    bool Marker = false;
};

class MemberDecoder {
  public:
    MemberDecoder(ByteSpan entry, std::uint32_t at, const std::string& where,
                  std::vector<Finding>& findings)
        : Entry(entry), At(at), Where(where), Findings(findings) {}

    // Reads the member at pos; false when its header cannot be read.
    bool Read(std::size_t pos, Bitmap& bitmap, Layout& layout) {
        const ByteSpan h = Sub(Entry, pos);
        bitmap.Offset = At + static_cast<std::uint32_t>(pos);
        if (h.size() < 16) {
            Warn(bitmap.Offset, codes::ContentBitmapHeader.Code,
                 "a bitmap header needs 16 bytes, " + std::to_string(h.size()) + " are left");
            return false;
        }
        bitmap.Width = *Be16(h, 0);
        bitmap.Height = *Be16(h, 2);
        bitmap.RowBytes = *Be16(h, 4);
        bitmap.Flags = *Be16(h, 6);
        bitmap.Version = h[9];
        bitmap.OwnColorTable = bitmap.Flags & FlagColorTable;
        const bool compressed = bitmap.Flags & FlagCompressed;
        switch (bitmap.Version) {
        case 0:
            bitmap.Depth = 1;
            bitmap.Compression = compressed ? BitmapCompression::Scanline : BitmapCompression::None;
            break;
        case 1:
        case 2:
            bitmap.Depth = h[8] == 0 ? 1 : h[8];
            layout.Next = std::size_t{*Be16(h, 10)} * 4;
            layout.TransparentIndex = h[12];
            bitmap.Compression = !compressed           ? BitmapCompression::None
                                 : bitmap.Version == 1 ? BitmapCompression::Scanline
                                                       : CompressionOf(h[13]);
            bitmap.DirectColor = bitmap.Flags & FlagDirectColor;
            break;
        case 3:
            if (h.size() < 24) {
                Warn(bitmap.Offset, codes::ContentBitmapHeader.Code,
                     "a version 3 bitmap header needs 24 bytes, " + std::to_string(h.size()) +
                         " are left");
                return false;
            }
            bitmap.Depth = h[8];
            layout.HeaderSize = std::max<std::size_t>(h[10], 24);
            layout.PixelFormat = h[11];
            bitmap.Compression = compressed ? CompressionOf(h[13]) : BitmapCompression::None;
            bitmap.Density = *Be16(h, 14);
            layout.SizeField = 4;
            layout.Next = *Be32(h, 20);
            // The transparent index, or for direct colour the colour as 0x00RRGGBB.
            if (bitmap.Flags & FlagTransparent)
                bitmap.Transparent = *Be32(h, 16) & (bitmap.Depth == 16 ? 0xFFFFFF : 0xFF);
            break;
        default:
            Warn(bitmap.Offset, codes::ContentBitmapHeader.Code,
                 "bitmap version " + std::to_string(bitmap.Version) + " is unknown");
            return false;
        }
        layout.Marker = bitmap.Version == 1 && h[8] == FamilyMarkerDepth;
        // The marker is a bare header, and the high-density members follow it at once: what
        // its next-member field holds (0 on Palm OS 5 devices, which would end the family) is
        // not used.
        if (layout.Marker)
            layout.Next = 16;
        if (!layout.Marker && !ValidDepth(bitmap.Depth)) {
            Warn(bitmap.Offset, codes::ContentBitmapHeader.Code,
                 "depth " + std::to_string(bitmap.Depth) + " is not 1, 2, 4, 8 or 16");
            return false;
        }
        if (bitmap.Version == 2 && (bitmap.Flags & FlagTransparent) && !bitmap.DirectColor)
            bitmap.Transparent = layout.TransparentIndex;
        return true;
    }

    void Decode(std::size_t pos, Bitmap& bitmap, const Layout& layout) {
        std::size_t data = pos + layout.HeaderSize;
        std::array<Rgb, 256> palette{};
        if (bitmap.Depth <= 8) {
            for (std::size_t i = 0; i < (std::size_t{1} << bitmap.Depth); ++i)
                palette[i] = DefaultColour(bitmap.Depth, static_cast<std::uint32_t>(i));
        }
        if (bitmap.OwnColorTable && !ReadColourTable(bitmap, data, palette))
            return;
        if (bitmap.DirectColor) {
            // Bits per channel, then the transparent colour as index, red, green, blue.
            if (!Holds(Entry, data, 8)) {
                Warn(At + static_cast<std::uint32_t>(data), codes::ContentBitmapData.Code,
                     Where + ": its direct colour information lies past the end");
                return;
            }
            if (bitmap.Flags & FlagTransparent)
                bitmap.Transparent = std::uint32_t{Entry[data + 5]} << 16 |
                                     std::uint32_t{Entry[data + 6]} << 8 | Entry[data + 7];
            data += 8;
        }
        ByteSpan pixels = Sub(Entry, data);
        if (bitmap.Compression != BitmapCompression::None) {
            std::optional<std::uint32_t> declared = Be32(Entry, data);
            if (layout.SizeField == 2)
                declared = Be16(Entry, data);
            if (!declared) {
                Warn(At + static_cast<std::uint32_t>(data), codes::ContentBitmapData.Code,
                     Where + ": its compressed size lies past the end");
                return;
            }
            // The size counts its own field.
            const std::size_t size =
                *declared > layout.SizeField ? *declared - layout.SizeField : 0;
            pixels = Sub(Entry, data + layout.SizeField, size);
            if (pixels.size() < size)
                Warn(At + static_cast<std::uint32_t>(data), codes::ContentBitmapData.Code,
                     Where + ": compressed size " + std::to_string(*declared) +
                         " runs past the end; " + std::to_string(pixels.size()) +
                         " bytes are there");
        }
        if (bitmap.Compression == BitmapCompression::Unknown) {
            Warn(bitmap.Offset, codes::ContentBitmapCompression.Code,
                 Where + ": compression type is unknown; pixels not decoded");
            return;
        }
        DecodePixels(bitmap, layout, pixels, palette);
    }

  private:
    bool ReadColourTable(const Bitmap& bitmap, std::size_t& data, std::array<Rgb, 256>& palette) {
        const auto count = Be16(Entry, data);
        if (!count || !Holds(Entry, data + 2, std::size_t{*count} * 4)) {
            Warn(At + static_cast<std::uint32_t>(data), codes::ContentBitmapColortable.Code,
                 Where + ": its colour table lies past the end");
            return false;
        }
        if (*count > 256)
            Warn(At + static_cast<std::uint32_t>(data), codes::ContentBitmapColortable.Code,
                 Where + ": a colour table of " + std::to_string(*count) +
                     " entries; the first 256 are used");
        if (bitmap.Depth <= 8) {
            // The table replaces the default palette; values beyond it are black.
            palette.fill(0);
            for (std::size_t i = 0; i < std::min<std::size_t>(*count, 256); ++i) {
                const std::size_t e = data + 2 + 4 * i;
                palette[i] = Rgb{Entry[e + 1]} << 16 | Rgb{Entry[e + 2]} << 8 | Entry[e + 3];
            }
        }
        data += 2 + std::size_t{*count} * 4;
        return true;
    }

    void DecodePixels(Bitmap& bitmap, const Layout& layout, ByteSpan pixels,
                      const std::array<Rgb, 256>& palette) {
        const std::size_t depth = bitmap.Depth;
        const std::size_t needed = (std::size_t{bitmap.Width} * depth + 7) / 8;
        std::size_t width = bitmap.Width;
        if (bitmap.RowBytes < needed) {
            width = std::size_t{bitmap.RowBytes} * 8 / depth;
            Warn(bitmap.Offset, codes::ContentBitmapRowbytes.Code,
                 Where + ": " + std::to_string(bitmap.RowBytes) + " row bytes hold " +
                     std::to_string(width) + " of its " + std::to_string(bitmap.Width) +
                     " columns");
        }
        if (width == 0 || bitmap.Height == 0)
            return;
        std::size_t height = bitmap.Height;
        if (width * height > BitmapPixelsMax) {
            height = BitmapPixelsMax / width;
            Warn(bitmap.Offset, codes::ContentBitmapSize.Code,
                 Where + ": " + std::to_string(width) + " x " + std::to_string(bitmap.Height) +
                     " pixels are more than a bitmap holds; " + std::to_string(height) +
                     " rows decoded");
            if (height == 0)
                return;
        }
        const bool lowFirst = layout.PixelFormat == 3;
        const bool littleEndian = layout.PixelFormat == 2;
        // A transparent colour matches a pixel stored either way.
        std::optional<std::uint32_t> clear = bitmap.Transparent, clearRounded = bitmap.Transparent;
        if (depth == 16 && clear) {
            clear = To565(*bitmap.Transparent, false);
            clearRounded = To565(*bitmap.Transparent, true);
        }
        RowSource rows(pixels, bitmap.Compression, bitmap.RowBytes, depth == 16 ? 2 : 1);
        std::vector<std::uint8_t> row(bitmap.RowBytes);
        bitmap.PixelWidth = static_cast<std::uint32_t>(width);
        for (std::size_t y = 0; y < height; ++y) {
            if (rows.Exhausted())
                break;
            const bool whole = rows.Next(row.data());
            bitmap.Rgba.resize((y + 1) * width * 4);
            std::uint8_t* out = bitmap.Rgba.data() + y * width * 4;
            for (std::size_t x = 0; x < width; ++x, out += 4) {
                std::uint32_t value;
                Rgb colour;
                if (depth == 16) {
                    value = littleEndian ? row[2 * x + 1] << 8 | row[2 * x]
                                         : row[2 * x] << 8 | row[2 * x + 1];
                    colour = FromRgb565(value);
                } else {
                    const std::size_t bit = x * depth;
                    const std::size_t shift = lowFirst ? bit % 8 : 8 - depth - bit % 8;
                    value = row[bit / 8] >> shift & ((1u << depth) - 1);
                    colour = palette[value];
                }
                out[0] = static_cast<std::uint8_t>(colour >> 16);
                out[1] = static_cast<std::uint8_t>(colour >> 8);
                out[2] = static_cast<std::uint8_t>(colour);
                out[3] = clear && (*clear == value || *clearRounded == value) ? 0 : 255;
            }
            bitmap.PixelHeight = static_cast<std::uint32_t>(y + 1);
            if (!whole)
                break;
        }
        if (bitmap.PixelHeight < height)
            Warn(bitmap.Offset, codes::ContentBitmapData.Code,
                 Where + ": its data ends after " + std::to_string(bitmap.PixelHeight) + " of " +
                     std::to_string(bitmap.Height) + " rows");
    }

    void Warn(std::uint32_t offset, std::string_view code, std::string message) {
        Report(Findings, offset, Severity::Warning, code, std::move(message));
    }

    ByteSpan Entry;
    std::uint32_t At;
    const std::string& Where;
    std::vector<Finding>& Findings;
};

} // namespace

std::string_view BitmapCompressionName(BitmapCompression compression) noexcept {
    switch (compression) {
    case BitmapCompression::None:
        return "none";
    case BitmapCompression::Scanline:
        return "scanline";
    case BitmapCompression::Rle:
        return "rle";
    case BitmapCompression::PackBits:
        return "packbits";
    case BitmapCompression::Unknown:
        break;
    }
    return "unknown";
}

std::vector<Bitmap> ReadBitmapFamily(ByteSpan bytes, std::uint32_t at, const std::string& where,
                                     std::vector<Finding>& findings) {
    std::uint64_t room = FamilyPixelsMax;
    return ReadBitmapFamily(bytes, at, where, findings, room);
}

std::vector<Bitmap> ReadBitmapFamily(ByteSpan bytes, std::uint32_t at, const std::string& where,
                                     std::vector<Finding>& findings, std::uint64_t& databaseRoom) {
    std::vector<Bitmap> family;
    MemberDecoder decoder(bytes, at, where, findings);
    std::size_t pos = 0;
    // A family's members together decode to at most this many pixels (compressed members of a
    // few bytes each may declare millions).
    std::uint64_t room = std::min<std::uint64_t>(FamilyPixelsMax, databaseRoom);
    while (true) {
        Bitmap bitmap;
        Layout layout;
        if (!decoder.Read(pos, bitmap, layout))
            break;
        if (!layout.Marker) {
            const std::size_t declared =
                std::min<std::size_t>(std::size_t{bitmap.Width} * bitmap.Height, BitmapPixelsMax);
            if (declared <= room) {
                decoder.Decode(pos, bitmap, layout);
                const std::uint64_t decoded = std::uint64_t{bitmap.PixelWidth} * bitmap.PixelHeight;
                room -= std::min(room, decoded);
                databaseRoom -= std::min(databaseRoom, decoded);
            } else {
                Report(findings, bitmap.Offset, Severity::Warning, codes::ContentBitmapSize.Code,
                       where + ": the bitmaps before it take the pixels a family (" +
                           std::to_string(FamilyPixelsMax) +
                           ") or the file may decode to; this one is described, not decoded");
            }
            family.push_back(std::move(bitmap));
        }
        if (layout.Next == 0)
            break;
        // Members follow one another: an offset that does not move on would loop.
        if (layout.Next < 16 || layout.Next >= bytes.size() - pos) {
            Report(findings, at + static_cast<std::uint32_t>(pos), Severity::Warning,
                   codes::ContentBitmapFamily.Code,
                   where + ": the next member's offset " + std::to_string(layout.Next) + " leads " +
                       (layout.Next < 16 ? "back into this one" : "past the end"));
            break;
        }
        pos += layout.Next;
    }
    return family;
}

bool LooksLikeBitmap(ByteSpan bytes) noexcept {
    if (bytes.size() < 16)
        return false;
    const std::uint16_t width = *Be16(bytes, 0);
    const std::uint16_t height = *Be16(bytes, 2);
    const std::uint16_t rowBytes = *Be16(bytes, 4);
    const std::uint16_t flags = *Be16(bytes, 6);
    const std::uint8_t version = bytes[9];
    const std::uint8_t depth = version == 0 ? 1 : bytes[8] == 0 ? 1 : bytes[8];
    // A family that starts with the high-density marker (its size fields say nothing): what
    // follows it must be a version 3 bitmap.
    if (version == 1 && bytes[8] == FamilyMarkerDepth)
        return bytes.size() > 16 + 9 && bytes[16 + 9] == 3 && LooksLikeBitmap(bytes.subspan(16));
    if (version > 3 || width == 0 || height == 0 || width > 4096 || height > 4096)
        return false;
    if (!ValidDepth(depth))
        return false;
    const std::size_t needed = (std::size_t{width} * depth + 7) / 8;
    if (rowBytes < needed || rowBytes > needed + 8)
        return false;
    const std::size_t header = version == 3 ? bytes[10] : 16;
    return (flags & FlagCompressed) || (flags & FlagColorTable) ||
           header + std::size_t{rowBytes} * height <= bytes.size();
}

std::size_t BestMember(const std::vector<Bitmap>& family) noexcept {
    std::size_t best = 0;
    for (std::size_t i = 1; i < family.size(); ++i) {
        const Bitmap& a = family[i];
        const Bitmap& b = family[best];
        if (a.Density > b.Density || (a.Density == b.Density && a.Depth > b.Depth))
            best = i;
    }
    return best;
}

} // namespace vexlin::content
