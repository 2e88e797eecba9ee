// The header report's labels and value formats.
#include "HeaderReport.h"

#include <cstdio>
#include <cstring>

namespace vexlin {

namespace {

// Code points of the bytes 0x80 to 0x9F; the undefined ones map to themselves.
constexpr char16_t C1Row[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

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
        const auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? C1Row[b - 0x80] : b);
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
