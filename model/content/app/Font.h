// Palm OS fonts (NFNT and nfnt resources, Font records): the font header's metrics and its
// strike. Standard library only; never reads outside the font's bytes.
#pragma once

#include "Structure.h"
#include "content/core/BigEndian.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexlin::content {

// The font header: its type, character range and metrics, in pixels.
struct FontMetrics {
    bool IsResource = false;
    char Type[4] = {};
    std::uint16_t ID = 0;
    std::size_t Record = 0;
    std::uint16_t FontType = 0;
    std::int16_t FirstChar = 0, LastChar = 0, MaxWidth = 0, KernMax = 0, NDescent = 0;
    std::int16_t FRectWidth = 0, FRectHeight = 0, Ascent = 0, Descent = 0, Leading = 0;
    std::int16_t RowWords = 0;
    // The strike, every glyph side by side as the font holds them: RowWords x 16 pixels wide,
    // FRectHeight high (the rows the data holds, at most BitmapPixelsMax pixels), its bytes as
    // stored, a set bit a black pixel (DrawStrike makes its pixels).
    std::uint32_t StrikeWidth = 0;
    std::uint32_t StrikeHeight = 0;
    std::vector<std::uint8_t> Strike;
};

// A font's strike as pixels, black on white, 4 bytes (R, G, B, A) a pixel.
[[nodiscard]] std::vector<std::uint8_t> DrawStrike(const FontMetrics& font);

// Reads the font whose header starts at bytes[0] (file offset `at`; `where` names the entry in
// findings): false, with a content-font finding, when the header does not fit. Its strike
// takes no more bytes than `room`, which it takes from it.
[[nodiscard]] bool ReadFont(ByteSpan bytes, std::uint32_t at, const std::string& where,
                            FontMetrics& font, std::size_t& room, std::vector<Finding>& findings);

} // namespace vexlin::content
