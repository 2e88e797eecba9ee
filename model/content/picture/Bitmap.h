// Palm OS bitmaps (BitmapType versions 0 to 3) and the families they chain into: header,
// colour table, transparency, density, the three compressions, and the pixels decoded into
// RGBA. Standard library only; never reads outside the entry's bytes, and the pixels are
// capped at what the data could describe.
#pragma once

#include "Structure.h"
#include "content/core/BigEndian.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlin::content {

enum class BitmapCompression { None, Scanline, Rle, PackBits, Unknown };
// "none", "scanline", "rle", "packbits", "unknown"
[[nodiscard]] std::string_view BitmapCompressionName(BitmapCompression compression) noexcept;

// The most pixels one bitmap decodes to (a Palm screen at triple density is far smaller).
inline constexpr std::uint32_t BitmapPixelsMax = 2048 * 2048;
// The most pixels the members of one family decode to together.
inline constexpr std::uint32_t FamilyPixelsMax = 2 * BitmapPixelsMax;

struct Bitmap {
    std::uint32_t Offset = 0; // file offset of its header
    std::uint8_t Version = 0;
    std::uint16_t Width = 0; // as declared
    std::uint16_t Height = 0;
    std::uint16_t RowBytes = 0;
    std::uint16_t Flags = 0;
    std::uint8_t Depth = 1;
    BitmapCompression Compression = BitmapCompression::None;
    std::uint16_t Density = 72;
    bool OwnColorTable = false;
    bool DirectColor = false;
    std::optional<std::uint32_t> Transparent; // an index, or a colour 0xRRGGBB for 16 bits
    // The decoded pixels, 4 bytes (R, G, B, A) each, row after row: PixelWidth x PixelHeight,
    // less than declared where the data cannot hold it (and empty when nothing decoded).
    std::uint32_t PixelWidth = 0;
    std::uint32_t PixelHeight = 0;
    std::vector<std::uint8_t> Rgba;
};

// The most pixels the bitmaps of one database decode to together: this many for each byte
// of the file, and one family's worth more. The work of decoding and writing a picture
// follows its pixels, not its bytes (a byte of 1-bit RLE stands for up to 1,020 pixels):
// this keeps any file Vexlin opens to a second or two of it, whatever its entries share,
// while pictures stored plainly (at most 8 pixels a byte) are always decoded.
inline constexpr std::uint64_t FilePixelsPerByte = 8;

// Decodes the bitmap family that starts at bytes[0] (file offset `at`): every member, the
// empty marker of a high-density family skipped. `where` names the entry in findings. The
// members decode to at most `room` pixels (and FamilyPixelsMax), which they take from it; the
// members past it are described, not decoded.
[[nodiscard]] std::vector<Bitmap> ReadBitmapFamily(ByteSpan bytes, std::uint32_t at,
                                                   const std::string& where,
                                                   std::vector<Finding>& findings,
                                                   std::uint64_t& room);
[[nodiscard]] std::vector<Bitmap> ReadBitmapFamily(ByteSpan bytes, std::uint32_t at,
                                                   const std::string& where,
                                                   std::vector<Finding>& findings);

// Whether bytes start with a plausible bitmap header (for databases whose records are bitmaps).
[[nodiscard]] bool LooksLikeBitmap(ByteSpan bytes) noexcept;

// The member a family is best shown by: the densest, then the deepest.
[[nodiscard]] std::size_t BestMember(const std::vector<Bitmap>& family) noexcept;

} // namespace vexlin::content
