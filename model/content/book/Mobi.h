// The Mobipocket header that follows the PalmDOC header in record 0 of a BOOK/MOBI database:
// text encoding, full name, first non-book record, extra-data flags and the EXTH metadata;
// and the trailing entries those flags append to each text record.
#pragma once

#include "Structure.h"
#include "content/core/BigEndian.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlin::content {

struct ExthRecord {
    std::uint32_t Type = 0;
    std::string_view Name; // "author", "publisher", ...; empty for a type without a name
    bool Text = false;     // a text record: Value is converted with the book's text
    std::string Value;     // text in the book's bytes until converted; others as a number or hex
};

struct MobiHeader {
    std::uint32_t HeaderLength = 0;
    std::uint32_t MobiType = 0;
    std::uint32_t TextEncoding = 0; // 1252 or 65001
    std::uint32_t FileVersion = 0;
    std::uint32_t FirstNonBook = 0;
    std::uint32_t HuffRecord = 0; // HUFF/CDIC compression: the HUFF record, then CDIC records,
    std::uint32_t HuffCount = 0;  // this many in all
    std::string FullName;         // in the book's encoding until converted
    std::uint16_t ExtraFlags = 0; // trailing entries of each text record
    std::vector<ExthRecord> Exth; // text values in the book's encoding until converted
};

// Reads the Mobipocket header of record 0 (which starts at file offset `at`), when there is
// one. Damage is reported, and the fields that are sound are kept.
[[nodiscard]] std::optional<MobiHeader> ReadMobiHeader(ByteSpan record0, std::uint32_t at,
                                                       std::vector<Finding>& findings);

// The record without the trailing entries the extra-data flags append; nullopt when an
// entry claims more bytes than the record holds.
[[nodiscard]] std::optional<ByteSpan> StripTrailingEntries(ByteSpan record,
                                                           std::uint16_t flags) noexcept;

// "CP1252", "UTF-8", or "" for a value Mobipocket does not define.
[[nodiscard]] std::string_view MobiEncodingName(std::uint32_t value) noexcept;

} // namespace vexlin::content
