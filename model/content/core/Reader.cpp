#include "content/core/Reader.h"
#include "Hex.h"
#include "FindingCodes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vexlin::content {

void Reader::ReportAt(std::size_t at, Severity level, std::string_view code,
                      const std::string& message) {
    if (level != Severity::Note)
        Damaged = true;
    const std::size_t clamped = std::min(at, Data.size());
    Context.Findings.push_back(
        {static_cast<std::uint32_t>(Base + clamped), level, code, Where + ": " + message});
}

void Reader::Report(Severity level, std::string_view code, const std::string& message) {
    ReportAt(At, level, code, message);
}

bool Reader::Need(std::size_t count, std::string_view what) {
    if (Truncated)
        return false;
    if (Left() >= count)
        return true;
    Truncated = true;
    Report(Severity::Error, codes::ContentTruncated.Code,
           "ends inside the " + std::string(what) + " (" + std::to_string(Left()) + " of " +
               std::to_string(count) + " bytes)");
    At = Data.size();
    return false;
}

std::optional<std::uint8_t> Reader::U8(std::string_view what) {
    if (!Need(1, what))
        return std::nullopt;
    return Data[At++];
}

std::optional<std::uint16_t> Reader::U16(std::string_view what) {
    if (!Need(2, what))
        return std::nullopt;
    const auto value = static_cast<std::uint16_t>(Data[At] << 8 | Data[At + 1]);
    At += 2;
    return value;
}

std::optional<std::uint32_t> Reader::U32(std::string_view what) {
    if (!Need(4, what))
        return std::nullopt;
    const std::uint32_t value = std::uint32_t{Data[At]} << 24 | std::uint32_t{Data[At + 1]} << 16 |
                                std::uint32_t{Data[At + 2]} << 8 | Data[At + 3];
    At += 4;
    return value;
}

bool Reader::Skip(std::size_t count, std::string_view what) {
    if (!Need(count, what))
        return false;
    At += count;
    return true;
}

std::string Reader::Decode(std::span<const std::uint8_t> bytes, std::size_t at,
                           std::string_view what) {
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 2 + 8); // room for some 3-byte characters
    if (const std::size_t replaced = Context.Text.Append(bytes, text); replaced > 0) {
        ReportAt(at, Severity::Warning, codes::ContentEncoding.Code,
                 std::string(what) + ": " + std::to_string(replaced) +
                     (replaced == 1 ? " byte is" : " bytes are") + " not " +
                     Context.Text.Encoding() + " text (shown as U+FFFD)");
    }
    return text;
}

std::optional<std::string> Reader::Text(std::string_view what) {
    if (Truncated)
        return std::nullopt;
    if (Left() == 0) {
        Need(1, what);
        return std::nullopt;
    }
    const std::uint8_t* start = Data.data() + At;
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(start, 0, Left()));
    const std::size_t length = end ? static_cast<std::size_t>(end - start) : Left();
    const std::size_t at = At;
    std::string text = Decode({start, length}, at, what);
    At += length;
    if (end) {
        ++At;
    } else {
        Report(Severity::Warning, codes::ContentUnterminated.Code,
               "the " + std::string(what) + " has no terminating NUL");
    }
    return text;
}

void Reader::CheckHidden() {
    if (Truncated)
        return;
    const auto* begin = Data.data() + At;
    const auto* end = Data.data() + Data.size();
    const auto* first = std::find_if(begin, end, [](std::uint8_t b) { return b != 0; });
    if (first == end)
        return;
    // The quote: its first bytes as text, then every byte that could pass for an escape or
    // move a terminal escaped as the dump's text modes escape them.
    constexpr std::size_t QuoteBytes = 48;
    const std::size_t count = static_cast<std::size_t>(end - first);
    std::string text;
    Context.Text.Append({first, std::min(count, QuoteBytes)}, text);
    std::string quote;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\\') {
            quote += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendByteEscape(quote, byte);
        } else if (byte == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            AppendCodeEscape(quote, static_cast<unsigned char>(text[++i]));
        } else {
            quote += text[i];
        }
    }
    // Bytes that show nothing (a line end or a control byte left after the NUL, as real
    // memos and mail have them) are padding worth a note; anything that reads as text is
    // text the device keeps but never shows, a warning.
    const bool readable =
        std::any_of(first, end, [](std::uint8_t b) { return b > 0x20 && b != 0x7F; });
    ReportAt(static_cast<std::size_t>(first - Data.data()),
             readable ? Severity::Warning : Severity::Note,
             codes::ContentHiddenText.Code,
             std::to_string(count) + (count == 1 ? " byte" : " bytes") +
                 " after the last field's NUL, which the device does not show: \"" + quote +
                 (count > QuoteBytes ? "\"..." : "\""));
}

std::optional<std::string> Reader::FixedText(std::size_t width, std::string_view what) {
    if (!Need(width, what))
        return std::nullopt;
    const std::uint8_t* start = Data.data() + At;
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(start, 0, width));
    const std::size_t length = end ? static_cast<std::size_t>(end - start) : width;
    std::string text = Decode({start, length}, At, what);
    At += width;
    return text;
}

} // namespace vexlin::content
