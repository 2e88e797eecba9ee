// A bounded reader over one entry's bytes for the content decoders: big-endian numbers and
// NUL-terminated text, each read checked against the entry's end, each fault reported once as
// a finding at its file offset. Nothing is read outside the span.
#pragma once

#include "Structure.h"
#include "content/core/Entries.h"
#include "content/text/TextDecoder.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexlin::content {

struct ContentOptions;

// What every decoder shares: the text encoding, the findings (appended in file order) and the
// options the content is read with.
struct Decoding {
    TextDecoder& Text;
    std::vector<Finding>& Findings;
    const ContentOptions& Options;
};

class Reader {
  public:
    // where names the entry in messages: "record 3", "app info".
    Reader(const Bytes& bytes, std::string where, Decoding& decoding)
        : Data(bytes.Data), Base(bytes.Offset), Where(std::move(where)), Context(decoding) {}

    // A number, or nothing once the entry ends inside it (reported as content-truncated).
    std::optional<std::uint8_t> U8(std::string_view what);
    std::optional<std::uint16_t> U16(std::string_view what);
    std::optional<std::uint32_t> U32(std::string_view what);
    // NUL-terminated text in UTF-8. Without a terminator the text runs to the end of the entry
    // (content-unterminated); nothing at all left is content-truncated and gives nothing.
    std::optional<std::string> Text(std::string_view what);
    // A field of `width` bytes holding text up to its first NUL (category names, labels).
    std::optional<std::string> FixedText(std::size_t width, std::string_view what);
    // Skips bytes (reserved fields); false when the entry ends first.
    bool Skip(std::size_t count, std::string_view what);
    // After the last field: bytes left that are not all zero are text the device never shows
    // ("visible\0hidden"), reported as content-hidden-text at the first of them, the message
    // quoting its start with backslashes, control characters and NULs escaped.
    void CheckHidden();

    // A finding about the byte at the reader's position (or `at` bytes into the entry).
    void Report(Severity level, std::string_view code, const std::string& message);
    void ReportAt(std::size_t at, Severity level, std::string_view code, const std::string& message);

    [[nodiscard]] std::size_t Position() const noexcept { return At; }
    [[nodiscard]] std::size_t Left() const noexcept { return Data.size() - At; }
    // True once anything in this entry was reported as an error or warning.
    bool Damaged = false;

  private:
    bool Need(std::size_t count, std::string_view what);
    std::string Decode(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view what);

    std::span<const std::uint8_t> Data;
    std::uint32_t Base;
    std::string Where;
    Decoding& Context;
    std::size_t At = 0;
    bool Truncated = false;
};

} // namespace vexlin::content
