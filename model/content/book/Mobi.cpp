#include "content/book/Mobi.h"
#include "Hex.h"
#include "FindingCodes.h"
#include "content/core/Report.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vexlin::content {

namespace {

// Offsets within record 0: the PalmDOC header takes 16 bytes, the Mobipocket header follows.
constexpr std::size_t MobiAt = 16;
constexpr std::size_t ExtraFlagsAt = MobiAt + 0xE2;
constexpr std::uint32_t ExthPresent = 0x40;

struct ExthKind {
    std::uint32_t Type;
    std::string_view Name;
    bool Text;
};
constexpr std::array ExthKinds{
    ExthKind{100, "author", true},         ExthKind{101, "publisher", true},
    ExthKind{102, "imprint", true},        ExthKind{103, "description", true},
    ExthKind{104, "isbn", true},           ExthKind{105, "subject", true},
    ExthKind{106, "publishingdate", true}, ExthKind{107, "review", true},
    ExthKind{108, "contributor", true},    ExthKind{109, "rights", true},
    ExthKind{110, "subjectcode", true},    ExthKind{111, "type", true},
    ExthKind{112, "source", true},         ExthKind{113, "asin", true},
    ExthKind{116, "startreading", false},  ExthKind{201, "coveroffset", false},
    ExthKind{202, "thumboffset", false},   ExthKind{204, "creatorsoftware", false},
    ExthKind{205, "creatormajor", false},  ExthKind{206, "creatorminor", false},
    ExthKind{207, "creatorbuild", false},  ExthKind{503, "title", true},
    ExthKind{524, "language", true},
};

std::string NumberOrHex(ByteSpan value) {
    if (value.size() <= 4) {
        std::uint32_t n = 0;
        for (const std::uint8_t b : value)
            n = n << 8 | b;
        return std::to_string(n);
    }
    return HexDigits(value);
}

void ReadExth(ByteSpan record0, std::size_t at, std::uint32_t fileAt, MobiHeader& mobi,
              std::vector<Finding>& findings) {
    const ByteSpan exth = Sub(record0, at);
    const auto length = Be32(exth, 4);
    const auto count = Be32(exth, 8);
    if (exth.size() < 12 || exth[0] != 'E' || exth[1] != 'X' || exth[2] != 'T' || exth[3] != 'H' ||
        !length || !count) {
        // Where the header would start, or the end of record 0 when that is short of it.
        Report(findings, fileAt + static_cast<std::uint32_t>(std::min(at, record0.size())),
               Severity::Warning, codes::ContentExth.Code,
               "the EXTH flag is set but no EXTH header follows the MOBI header");
        return;
    }
    std::size_t pos = 12;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto type = Be32(exth, pos);
        const auto size = Be32(exth, pos + 4);
        if (!type || !size || *size < 8 || !Holds(exth, pos, *size)) {
            Report(findings, fileAt + static_cast<std::uint32_t>(at + pos), Severity::Warning,
                   codes::ContentExth.Code,
                   "EXTH record " + std::to_string(i + 1) + " of " + std::to_string(*count) +
                       " runs past record 0");
            return;
        }
        const ByteSpan value = exth.subspan(pos + 8, *size - 8);
        ExthRecord record{*type, {}, false, {}};
        for (const ExthKind& kind : ExthKinds) {
            if (kind.Type == *type) {
                record.Name = kind.Name;
                record.Text = kind.Text;
            }
        }
        record.Value = record.Text ? std::string(value.begin(), value.end()) : NumberOrHex(value);
        mobi.Exth.push_back(std::move(record));
        pos += *size;
    }
}

} // namespace

std::string_view MobiEncodingName(std::uint32_t value) noexcept {
    switch (value) {
    case 1252:
        return "CP1252";
    case 65001:
        return "UTF-8";
    default:
        return "";
    }
}

std::optional<MobiHeader> ReadMobiHeader(ByteSpan record0, std::uint32_t at,
                                         std::vector<Finding>& findings) {
    if (!Holds(record0, MobiAt, 8) || record0[MobiAt] != 'M' || record0[MobiAt + 1] != 'O' ||
        record0[MobiAt + 2] != 'B' || record0[MobiAt + 3] != 'I')
        return std::nullopt;
    MobiHeader mobi;
    mobi.HeaderLength = *Be32(record0, MobiAt + 4);
    const ByteSpan header = Sub(record0, MobiAt, mobi.HeaderLength);
    if (header.size() < mobi.HeaderLength || mobi.HeaderLength < 0x74)
        Report(findings, at + MobiAt, Severity::Warning, codes::ContentMobiHeader.Code,
               "MOBI header of " + std::to_string(mobi.HeaderLength) + " bytes, record 0 holds " +
                   std::to_string(header.size()) + " of it");
    mobi.MobiType = Be32(header, 8).value_or(0);
    mobi.TextEncoding = Be32(header, 12).value_or(0);
    mobi.FileVersion = Be32(header, 20).value_or(0);
    mobi.FirstNonBook = Be32(header, 0x40).value_or(0);
    mobi.HuffRecord = Be32(header, 0x60).value_or(0);
    mobi.HuffCount = Be32(header, 0x64).value_or(0);
    const auto nameAt = Be32(header, 0x44);
    const auto nameLength = Be32(header, 0x48);
    if (nameAt && nameLength) {
        if (Holds(record0, *nameAt, *nameLength)) {
            const ByteSpan name = record0.subspan(*nameAt, *nameLength);
            mobi.FullName.assign(name.begin(), name.end());
        } else {
            Report(findings, at + MobiAt + 0x44, Severity::Warning, codes::ContentMobiHeader.Code,
                   "the full name lies outside record 0");
        }
    }
    if (mobi.HeaderLength >= 0xE4 && header.size() >= 0xE4)
        mobi.ExtraFlags = Be16(record0, ExtraFlagsAt).value_or(0);
    const auto exthFlags = Be32(header, 0x70);
    if (exthFlags && (*exthFlags & ExthPresent))
        ReadExth(record0, MobiAt + mobi.HeaderLength, at, mobi, findings);
    return mobi;
}

std::optional<ByteSpan> StripTrailingEntries(ByteSpan record, std::uint16_t flags) noexcept {
    std::size_t size = record.size();
    // Each flag above the lowest adds an entry whose size (itself included) ends the record,
    // written in 7-bit groups whose first byte carries the high bit.
    for (std::uint16_t bits = flags >> 1; bits != 0; bits >>= 1) {
        if ((bits & 1) == 0)
            continue;
        std::size_t entry = 0;
        for (std::size_t i = size >= 4 ? size - 4 : 0; i < size; ++i) {
            if (record[i] & 0x80)
                entry = 0;
            entry = entry << 7 | (record[i] & 0x7F);
        }
        if (entry > size)
            return std::nullopt;
        size -= entry;
    }
    // The lowest flag: the bytes of a character cut by the record's end, counted in its last byte.
    if (flags & 1) {
        if (size == 0)
            return std::nullopt;
        const std::size_t entry = (record[size - 1] & 0x03) + 1;
        if (entry > size)
            return std::nullopt;
        size -= entry;
    }
    return record.first(size);
}

} // namespace vexlin::content
