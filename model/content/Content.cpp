#include "content/Content.h"

#include <algorithm>
#include <cstring>

namespace vexlin::content {

namespace {

// The bytes from offset on, size of them, as far as the image holds the file.
Bytes Stretch(const DatabaseImage& image, std::uint64_t offset, std::int64_t size) noexcept {
    const std::int32_t fileSize = image.FileSize;
    const std::uint64_t held = static_cast<std::uint64_t>(std::max(fileSize, 0));
    if (offset >= held || size <= 0)
        return {static_cast<std::uint32_t>(std::min<std::uint64_t>(offset, UINT32_MAX)), {}};
    const std::uint64_t end = std::min(held, offset + static_cast<std::uint64_t>(size));
    return {static_cast<std::uint32_t>(offset),
            {ImageBytes(image) + offset, static_cast<std::size_t>(end - offset)}};
}

bool Is(const char (&field)[4], const char* text) noexcept {
    return std::memcmp(field, text, 4) == 0;
}

} // namespace

Bytes EntryBytes(const DatabaseImage& image, const Structure& structure,
                 std::size_t index) noexcept {
    if (structure.Kind == DatabaseKind::Resource) {
        if (index >= structure.Resources.size())
            return {};
        const ResourceInfo& entry = structure.Resources[index];
        return Stretch(image, static_cast<std::uint32_t>(entry.Offset), entry.Size);
    }
    if (index >= structure.Records.size())
        return {};
    const RecordInfo& entry = structure.Records[index];
    return Stretch(image, static_cast<std::uint32_t>(entry.Offset), entry.Size);
}

Bytes AppInfoBytes(const DatabaseImage& image, const Structure& structure) noexcept {
    const auto offset = static_cast<std::uint32_t>(image.Header.AppInfoArea);
    if (offset == 0)
        return {};
    return Stretch(image, offset, structure.AppInfoSize);
}

std::string_view FormatName(Format format) noexcept {
    switch (format) {
    case Format::Memo: return "memo";
    case Format::ToDo: return "todo";
    case Format::Datebook: return "datebook";
    case Format::Address: return "address";
    case Format::Mail: return "mail";
    case Format::PalmDoc: return "palmdoc";
    case Format::Mobi: return "mobi";
    case Format::Bitmaps: return "bitmaps";
    case Format::Application: return "application";
    case Format::Unknown: break;
    }
    return "unknown";
}

Format IdentifyFormat(const DatabaseImage& image, const Structure& structure) {
    const DatabaseHeader& header = image.Header;
    if (structure.Kind == DatabaseKind::Record && Is(header.DataBaseType, "DATA")) {
        if (Is(header.CreatorID, "memo")) return Format::Memo;
        if (Is(header.CreatorID, "todo")) return Format::ToDo;
        if (Is(header.CreatorID, "date")) return Format::Datebook;
        if (Is(header.CreatorID, "addr")) return Format::Address;
        if (Is(header.CreatorID, "mail")) return Format::Mail;
    }
    return Format::Unknown;
}

Content ReadContent(const DatabaseImage& image, const Structure& structure,
                    const ContentOptions& options) {
    Content content;
    TextDecoder text(options.Encoding);
    content.Encoding = text.Encoding();
    content.Kind = IdentifyFormat(image, structure);
    return content;
}

} // namespace vexlin::content
