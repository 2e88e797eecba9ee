// The record view: where each record lies, the record status text, the navigation rules,
// and which stretch each info area shows.
#pragma once

#include "DatabaseImage.h"
#include "HexDump.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vexlin {

// A stretch as the header and the record list give it: signed, unchecked.
struct Extent {
    std::int32_t Start = 0;
    std::int32_t Size = 0;
    friend bool operator==(const Extent&, const Extent&) = default;
};

[[nodiscard]] inline std::uint16_t RecordCount(const DatabaseImage& image) noexcept {
    return image.Header.NumberOfRecords;
}

// Extent of record index (0-based): from its entry's offset to the next entry's offset, or to
// the end of the file for the last one. scratch receives the entry, its offset in host
// order. An index outside the record list gives an empty extent.
[[nodiscard]] Extent RecordExtent(const DatabaseImage& image, std::int32_t index,
                                  RecordEntry& scratch) noexcept;
[[nodiscard]] Extent RecordExtent(const DatabaseImage& image, std::int32_t index) noexcept;

// "Record: N of M", N counted from 1.
[[nodiscard]] std::string RecordStatusText(std::int32_t index, std::uint16_t count);

// The navigation rules: the new current record index. With no records, Next and Last give
// -1; nothing is shown then.
[[nodiscard]] constexpr std::int32_t FirstRecordIndex(std::uint16_t) noexcept {
    return 0;
}
[[nodiscard]] constexpr std::int32_t PrevRecordIndex(std::int32_t current, std::uint16_t) noexcept {
    return current > 0 ? current - 1 : 0;
}
[[nodiscard]] constexpr std::int32_t NextRecordIndex(std::int32_t current,
                                                     std::uint16_t count) noexcept {
    const std::int32_t last = std::int32_t{count} - 1;
    return current < last ? current + 1 : last;
}
[[nodiscard]] constexpr std::int32_t LastRecordIndex(std::uint16_t count) noexcept {
    return std::int32_t{count} - 1;
}

inline constexpr const char* NoAppInfoText = "No App Info";
inline constexpr const char* NoSortInfoText = "No Sort Info";

// The stretch an info area shows, or nothing when its offset is 0 (the view then shows
// NoAppInfoText / NoSortInfoText instead).
[[nodiscard]] std::optional<DumpStretch> AppInfoStretch(const DatabaseImage& image) noexcept;
[[nodiscard]] std::optional<DumpStretch> SortInfoStretch(const DatabaseImage& image) noexcept;

} // namespace vexlin
