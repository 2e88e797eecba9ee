#include "content/text/TextDecoder.h"
#include "content/text/Cp1252.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <stdexcept>
#include <strings.h>

namespace vexlin::content {

namespace {

constexpr char Replacement[] = "\xEF\xBF\xBD"; // U+FFFD

// What Palm's Latin encoding puts in place of cp1252's, as UTF-8: the card suits of its fonts
// at 0x8D to 0x90, where cp1252 has nothing but the Z caron at 0x8E (the device draws a club
// there: Palm OS never defined the Z caron). 0x81 and 0x9D (the command stroke of Palm OS 3.0,
// which Unicode does not have) stay undefined. The glyphs Palm OS 3.1 copied
// below 0x20 (the ellipsis at 0x18, ...) are drawn for the system's own labels: in text those
// bytes stay the control characters they are in ASCII.
struct Addition {
    std::uint8_t Byte;
    const char* Utf8;
};
constexpr Addition PalmLatinAdditions[] = {
    {0x8D, "\xE2\x99\xA6"}, // U+2666 black diamond suit
    {0x8E, "\xE2\x99\xA3"}, // U+2663 black club suit
    {0x8F, "\xE2\x99\xA5"}, // U+2665 black heart suit
    {0x90, "\xE2\x99\xA0"}, // U+2660 black spade suit
};

bool IsPalmLatin(const std::string& encoding) noexcept {
    return strcasecmp(encoding.c_str(), PalmLatinEncoding) == 0;
}

// cp1252 and Palm's Latin encoding convert by the built-in table, with no iconv to open.
bool FromTable(const std::string& encoding) noexcept {
    return IsPalmLatin(encoding) || strcasecmp(encoding.c_str(), "CP1252") == 0;
}

iconv_t Open(const std::string& encoding) {
    const iconv_t handle = iconv_open("UTF-8", encoding.c_str());
    if (handle == reinterpret_cast<iconv_t>(-1))
        throw std::invalid_argument("unknown text encoding '" + encoding + "'");
    return handle;
}

} // namespace

TextDecoder::TextDecoder(const std::string& encoding)
    : Name(IsPalmLatin(encoding) ? PalmLatinEncoding : encoding),
      Handle(FromTable(encoding) ? nullptr : Open(encoding)) {
    // What iconv makes of each byte alone: when every byte is a character or invalid by
    // itself (none starts a sequence), the encoding is single-byte and converts by table.
    SingleByte = true;
    for (unsigned byte = 0; byte < 256 && !Handle; ++byte) {
        if (const char32_t code = Cp1252CodePoint(static_cast<std::uint8_t>(byte)); code || !byte)
            AppendUtf8(Table[byte], code);
    }
    for (unsigned byte = 0; byte < 256 && SingleByte && Handle; ++byte) {
        const std::uint8_t one = static_cast<std::uint8_t>(byte);
        std::string converted;
        const auto handle = static_cast<iconv_t>(Handle);
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(reinterpret_cast<const char*>(&one));
        std::size_t inLeft = 1;
        char chunk[16];
        char* to = chunk;
        std::size_t toLeft = sizeof chunk;
        if (iconv(handle, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1)) {
            SingleByte = errno == EILSEQ; // EINVAL: the byte starts a longer sequence
            continue;
        }
        Table[byte].assign(chunk, static_cast<std::size_t>(to - chunk));
    }
    if (Handle)
        iconv(static_cast<iconv_t>(Handle), nullptr, nullptr, nullptr, nullptr);
    if (Name == PalmLatinEncoding) {
        for (const Addition& added : PalmLatinAdditions)
            Table[added.Byte] = added.Utf8;
    }
    AsciiCompatible = true;
    for (unsigned byte = 0x20; byte < 0x7F; ++byte) {
        AsciiCompatible = AsciiCompatible && Table[byte].size() == 1 &&
                          static_cast<unsigned char>(Table[byte][0]) == byte;
    }
}

TextDecoder::~TextDecoder() {
    if (Handle)
        iconv_close(static_cast<iconv_t>(Handle));
}

std::size_t TextDecoder::Append(std::span<const std::uint8_t> bytes, std::string& out) {
    if (SingleByte) {
        std::size_t replaced = 0;
        for (std::size_t i = 0; i < bytes.size();) {
            std::size_t run = i;
            if (AsciiCompatible) {
                // ASCII as it stands, in runs found eight bytes at a time (megabytes of a
                // book's text are mostly ASCII).
                for (std::uint64_t word; bytes.size() - run >= 8; run += 8) {
                    std::memcpy(&word, bytes.data() + run, 8);
                    if (word & 0x8080808080808080u)
                        break;
                }
                while (run < bytes.size() && bytes[run] < 0x80)
                    ++run;
                out.append(reinterpret_cast<const char*>(bytes.data()) + i, run - i);
                if (run == bytes.size())
                    break;
            }
            const std::string& converted = Table[bytes[run]];
            if (converted.empty()) {
                out += Replacement;
                ++replaced;
            } else {
                out += converted;
            }
            i = run + 1;
        }
        return replaced;
    }
    if (AsciiCompatible) {
        std::size_t ascii = 0;
        while (ascii < bytes.size() && bytes[ascii] < 0x80)
            ++ascii;
        out.append(reinterpret_cast<const char*>(bytes.data()), ascii);
        bytes = bytes.subspan(ascii);
        if (bytes.empty())
            return 0;
    }
    return Convert(bytes, out);
}

std::size_t TextDecoder::Convert(std::span<const std::uint8_t> bytes, std::string& out) {
    const auto handle = static_cast<iconv_t>(Handle);
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    std::size_t replaced = 0;
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    std::size_t inLeft = bytes.size();
    char chunk[1024];
    while (inLeft > 0) {
        char* to = chunk;
        std::size_t toLeft = sizeof chunk;
        const std::size_t result = iconv(handle, &in, &inLeft, &to, &toLeft);
        out.append(chunk, static_cast<std::size_t>(to - chunk));
        if (result != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ (invalid) or EINVAL (cut at the end): one byte replaced, then on.
        out += Replacement;
        ++replaced;
        ++in;
        --inLeft;
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
    }
    char* to = chunk;
    std::size_t toLeft = sizeof chunk;
    iconv(handle, nullptr, nullptr, &to, &toLeft); // any shift sequence to close
    out.append(chunk, static_cast<std::size_t>(to - chunk));
    return replaced;
}

std::string TextDecoder::Decode(std::span<const std::uint8_t> bytes, std::size_t* replaced) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t count = Append(bytes, out);
    if (replaced)
        *replaced = count;
    return out;
}

std::size_t Utf8SequenceAt(std::string_view text, std::size_t i) noexcept {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size() || at(i + 1) < low || at(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool ValidUtf8(std::string_view text) noexcept {
    for (std::size_t i = 0, length = 0; i < text.size(); i += length) {
        length = Utf8SequenceAt(text, i);
        if (length == 0)
            return false;
    }
    return true;
}

} // namespace vexlin::content
