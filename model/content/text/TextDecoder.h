// Device text to UTF-8: the 8-bit encodings Palm devices wrote (Palm's Latin encoding on
// Latin devices, Shift-JIS as cp932 on Japanese ones) converted through iconv (cp1252 by its
// own table, Cp1252.h), with invalid or cut sequences replaced by U+FFFD and counted, never
// dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vexlin::content {

// Palm's Latin encoding: Windows-1252 with the card suits of Palm's fonts at 0x8D to 0x90.
// Not an iconv name: the decoder builds it on cp1252.
inline constexpr const char* PalmLatinEncoding = "palm-latin";
inline constexpr const char* DefaultEncoding = PalmLatinEncoding;
inline constexpr const char* JapaneseEncoding = "CP932";

class TextDecoder {
  public:
    // Throws std::invalid_argument when iconv has no conversion from `encoding` to UTF-8.
    explicit TextDecoder(const std::string& encoding = DefaultEncoding);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    [[nodiscard]] const std::string& Encoding() const noexcept { return Name; }
    // Whether every byte is a character of its own (text may then be converted in pieces).
    [[nodiscard]] bool SingleByteEncoding() const noexcept { return SingleByte; }

    // Appends the UTF-8 form of bytes to out; returns how many replacements it made.
    std::size_t Append(std::span<const std::uint8_t> bytes, std::string& out);
    // The same for a fresh string.
    [[nodiscard]] std::string Decode(std::span<const std::uint8_t> bytes,
                                     std::size_t* replaced = nullptr);

  private:
    std::size_t Convert(std::span<const std::uint8_t> bytes, std::string& out);

    std::string Name;
    void* Handle; // iconv_t
    bool AsciiCompatible = false;
    // A single-byte encoding (cp1252, ISO-8859-x) keeps what iconv makes of each of its 256
    // bytes, "" for a byte it rejects: text then converts by table, not call by call.
    bool SingleByte = false;
    std::string Table[256];
};

// The length of the well-formed UTF-8 sequence at text[i] (no overlong form, no surrogate,
// nothing above U+10FFFF), or 0.
[[nodiscard]] std::size_t Utf8SequenceAt(std::string_view text, std::size_t i) noexcept;

// Appends a code point (below U+10000) as UTF-8.
void AppendUtf8(std::string& out, char32_t code);

// Whether text is well-formed UTF-8 (what every decoder gives; the tests and fuzz targets
// check it).
[[nodiscard]] bool ValidUtf8(std::string_view text) noexcept;

} // namespace vexlin::content
