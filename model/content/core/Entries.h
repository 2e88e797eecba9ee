// The stretches of the file the content decoders read: a record's or resource's bytes, the
// app info area, each cut at the end of what the file holds, and the names findings give
// them. Standard library only.
#pragma once

#include "Structure.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vexlin::content {

// A stretch of the file as far as the file holds it: its file offset and its bytes.
struct Bytes {
    std::uint32_t Offset = 0;
    std::span<const std::uint8_t> Data;
};

// The bytes of record or resource `index` as the structure places them, cut at the end of
// what the image holds; empty when the entry lies outside the file.
[[nodiscard]] Bytes EntryBytes(const DatabaseImage& image, const Structure& structure,
                               std::size_t index) noexcept;
// The app info area's bytes (empty when there is none).
[[nodiscard]] Bytes AppInfoBytes(const DatabaseImage& image, const Structure& structure) noexcept;

// "record 3" for the record at index 2, as findings and listings name it.
[[nodiscard]] std::string RecordName(std::size_t index);
// "Tbmp 1000" for a resource (its type as CodeText writes it).
[[nodiscard]] std::string ResourceName(const char (&type)[4], std::uint16_t id);

} // namespace vexlin::content
