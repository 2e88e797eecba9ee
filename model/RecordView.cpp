// Record extents, the record status text and the navigation rules.
#include "RecordView.h"

#include <algorithm>
#include <cstring>

namespace vexlin {

namespace {

std::int32_t EntryOffset(const DatabaseImage& image, std::int32_t index, RecordEntry& scratch) {
    // index < 65535, so the entry lies well inside the image.
    std::memcpy(&scratch, ImageBytes(image) + RecordListOffset + 8 * index, sizeof scratch);
    ReverseBytes(scratch.Offset, 4);
    std::int32_t offset;
    std::memcpy(&offset, scratch.Offset, 4);
    return offset;
}

} // namespace

Extent RecordExtent(const DatabaseImage& image, std::int32_t index, RecordEntry& scratch) noexcept {
    const std::int32_t count = RecordCount(image);
    if (index < 0 || index >= count) {
        return {};
    }
    std::int32_t end = image.FileSize;
    if (index < count - 1) {
        RecordEntry next;
        end = EntryOffset(image, index + 1, next);
    }
    const std::int32_t start = EntryOffset(image, index, scratch);
    const auto size = static_cast<std::int32_t>(static_cast<std::uint32_t>(end) -
                                                static_cast<std::uint32_t>(start));
    return {start, size};
}

Extent RecordExtent(const DatabaseImage& image, std::int32_t index) noexcept {
    RecordEntry scratch;
    return RecordExtent(image, index, scratch);
}

std::string RecordStatusText(std::int32_t index, std::uint16_t count) {
    return "Record: " + std::to_string(std::int64_t{index} + 1) + " of " + std::to_string(count);
}

std::optional<DumpStretch> AppInfoStretch(const DatabaseImage& image) noexcept {
    if (image.Header.AppInfoArea == 0) {
        return std::nullopt;
    }
    return ClampToFile(image, image.Header.AppInfoArea, image.AppInfoSize);
}

std::optional<DumpStretch> SortInfoStretch(const DatabaseImage& image) noexcept {
    if (image.Header.SortInfoArea == 0) {
        return std::nullopt;
    }
    return ClampToFile(image, image.Header.SortInfoArea, image.SortInfoSize);
}

} // namespace vexlin
