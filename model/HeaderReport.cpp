// The header report's labels and value formats.
#include "HeaderReport.h"
#include "content/text/Cp1252.h"
#include "content/text/TextDecoder.h"

#include <cstdio>
#include <cstring>

namespace vexlin {

namespace {

std::string Signed(std::int32_t value) {
    return std::to_string(value);
}

std::string Area(std::int32_t offset, std::int32_t size) {
    return Signed(offset) + "(Size=" + Signed(size) + ")";
}

} // namespace

std::string Cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        // The five bytes cp1252 leaves undefined stay the C1 controls they are in Latin-1.
        const auto b = static_cast<unsigned char>(c);
        const char32_t code = content::Cp1252CodePoint(b);
        content::AppendUtf8(out, code || !b ? code : b);
    }
    return out;
}

std::string_view FieldText(const char* field, std::size_t width) noexcept {
    const void* zero = std::memchr(field, 0, width);
    return {field, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : width};
}

std::string FieldUtf8(const char* field, std::size_t width) {
    return Cp1252ToUtf8(FieldText(field, width));
}

std::string AttributesHex(std::uint16_t attributes) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(attributes));
    return text;
}

std::array<std::string, HeaderReportLines> HeaderReport(const DatabaseImage& image) {
    const DatabaseHeader& h = image.Header;
    return {
        " Name:               " + FieldUtf8(h.Name, sizeof h.Name),
        " Attributes:         " + AttributesHex(h.Attributes),
        " Version:            " + Signed(h.Version),
        " Creation Datel:     " + Signed(h.CreationDate),
        " ModificationDate:   " + Signed(h.ModificationDate),
        " LastBackupDate:     " + Signed(h.LastBackupDate),
        " ModificationNumber: " + Signed(h.ModificationNumber),
        " AppInfoArea:        " + Area(h.AppInfoArea, image.AppInfoSize),
        " SortInfoArea:       " + Area(h.SortInfoArea, image.SortInfoSize),
        " DataBaseType:       " + FieldUtf8(h.DataBaseType, sizeof h.DataBaseType),
        " CreatorID:          " + FieldUtf8(h.CreatorID, sizeof h.CreatorID),
        " UniqueIDSeed:       " + Signed(h.UniqueIDSeed),
        " NextRecordListID:   " + Signed(h.NextRecordListID),
        " NumberOfRecord:     " + std::to_string(h.NumberOfRecords),
    };
}

} // namespace vexlin
