#include "content/app/Font.h"
#include "FindingCodes.h"

#include "content/core/Report.h"
#include "content/picture/Bitmap.h"

#include <algorithm>

namespace vexlin::content {

namespace {

constexpr std::size_t FontHeader = 26;

// The strike after the font header: FRectHeight rows of RowWords 16-bit words. Only the rows
// the bytes hold are kept, at most BitmapPixelsMax pixels, and no more bytes than `room`.
void ReadStrike(ByteSpan bytes, std::uint32_t at, const std::string& where, FontMetrics& font,
                std::size_t& room, std::vector<Finding>& findings) {
    if (font.RowWords <= 0 || font.FRectHeight <= 0)
        return;
    const std::size_t rowBytes = 2 * static_cast<std::size_t>(font.RowWords);
    const std::size_t rows = static_cast<std::size_t>(font.FRectHeight);
    const ByteSpan strike = Sub(bytes, FontHeader);
    std::size_t held = std::min(rows, strike.size() / rowBytes);
    const auto warn = [&](const std::string& message) {
        Report(findings, at + static_cast<std::uint32_t>(FontHeader), Severity::Warning,
               codes::ContentFont.Code, where + ": " + message);
    };
    if (held < rows)
        warn("its strike needs " + std::to_string(rowBytes * rows) + " bytes, " +
             std::to_string(strike.size()) + " are there; " + std::to_string(held) + " of its " +
             std::to_string(rows) + " rows are drawn");
    if (held > BitmapPixelsMax / (rowBytes * 8)) {
        held = BitmapPixelsMax / (rowBytes * 8);
        warn("its strike is wider and higher than a bitmap holds; " + std::to_string(held) +
             " rows are drawn");
    }
    if (held * rowBytes > room) {
        // Only fonts whose records overlap one another hold more strikes than the file.
        warn("the strikes of the fonts before it take all the bytes the file holds; "
             "its strike is not drawn");
        return;
    }
    if (held == 0)
        return;
    room -= held * rowBytes;
    font.StrikeWidth = static_cast<std::uint32_t>(rowBytes * 8);
    font.StrikeHeight = static_cast<std::uint32_t>(held);
    font.Strike.assign(strike.begin(),
                       strike.begin() + static_cast<std::ptrdiff_t>(held * rowBytes));
}

} // namespace

bool ReadFont(ByteSpan bytes, std::uint32_t at, const std::string& where, FontMetrics& font,
              std::size_t& room, std::vector<Finding>& findings) {
    if (bytes.size() < FontHeader) {
        Report(findings, at, Severity::Warning, codes::ContentFont.Code,
               where + ": a font header needs 26 bytes, " + std::to_string(bytes.size()) +
                   " are there");
        return false;
    }
    const auto field = [&](std::size_t i) {
        return static_cast<std::int16_t>(*Be16(bytes, 2 * i));
    };
    font.FontType = *Be16(bytes, 0);
    font.FirstChar = field(1);
    font.LastChar = field(2);
    font.MaxWidth = field(3);
    font.KernMax = field(4);
    font.NDescent = field(5);
    font.FRectWidth = field(6);
    font.FRectHeight = field(7);
    font.Ascent = field(9);
    font.Descent = field(10);
    font.Leading = field(11);
    font.RowWords = field(12);
    ReadStrike(bytes, at, where, font, room, findings);
    return true;
}

std::vector<std::uint8_t> DrawStrike(const FontMetrics& font) {
    std::vector<std::uint8_t> rgba(font.Strike.size() * 8 * 4, 0xFF);
    std::uint8_t* pixel = rgba.data();
    for (const std::uint8_t byte : font.Strike) {
        for (int bit = 7; bit >= 0; --bit, pixel += 4) {
            if (byte >> bit & 1)
                pixel[0] = pixel[1] = pixel[2] = 0;
        }
    }
    return rgba;
}

} // namespace vexlin::content
