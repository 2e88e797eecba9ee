#include "content/core/Entries.h"

#include <algorithm>
#include <cstddef>

namespace vexlin::content {

namespace {

// The bytes from offset on, size of them, as far as the image holds the file. A stretch that
// starts outside the file is empty and placed at `outside` (an entry's place in the list),
// or at the end of the file when that lies beyond it too: findings about it stay in the file.
Bytes Stretch(const DatabaseImage& image, std::uint64_t offset, std::int64_t size,
              std::uint64_t outside) noexcept {
    const std::int32_t fileSize = image.FileSize;
    const std::uint64_t held = static_cast<std::uint64_t>(std::max(fileSize, 0));
    if (offset >= held)
        return {static_cast<std::uint32_t>(std::min(outside, held)), {}};
    if (size <= 0)
        return {static_cast<std::uint32_t>(offset), {}};
    const std::uint64_t end = std::min(held, offset + static_cast<std::uint64_t>(size));
    return {static_cast<std::uint32_t>(offset),
            {ImageBytes(image) + offset, static_cast<std::size_t>(end - offset)}};
}

} // namespace

Bytes EntryBytes(const DatabaseImage& image, const Structure& structure,
                 std::size_t index) noexcept {
    if (structure.Kind == DatabaseKind::Resource) {
        if (index >= structure.Resources.size())
            return {};
        const ResourceInfo& entry = structure.Resources[index];
        return Stretch(image, entry.Offset, entry.Size, entry.EntryOffset);
    }
    if (index >= structure.Records.size())
        return {};
    const RecordInfo& entry = structure.Records[index];
    return Stretch(image, entry.Offset, entry.Size, entry.EntryOffset);
}

Bytes AppInfoBytes(const DatabaseImage& image, const Structure& structure) noexcept {
    const auto offset = static_cast<std::uint32_t>(image.Header.AppInfoArea);
    if (offset == 0)
        return {};
    return Stretch(image, offset, structure.AppInfoLength, offsetof(DatabaseHeader, AppInfoArea));
}

std::string RecordName(std::size_t index) {
    return "record " + std::to_string(index + 1);
}

std::string ResourceName(const char (&type)[4], std::uint16_t id) {
    return CodeText(type) + " " + std::to_string(id);
}

} // namespace vexlin::content
