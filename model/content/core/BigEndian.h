// Big-endian fields read from a span of record bytes, each read checked against the span: a
// field that lies outside it reads as absent, never past the bytes the file holds.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vexlin::content {

using ByteSpan = std::span<const std::uint8_t>;

[[nodiscard]] inline bool Holds(ByteSpan bytes, std::size_t offset, std::size_t width) noexcept {
    return offset <= bytes.size() && width <= bytes.size() - offset;
}

[[nodiscard]] inline std::optional<std::uint16_t> Be16(ByteSpan bytes,
                                                       std::size_t offset) noexcept {
    if (!Holds(bytes, offset, 2))
        return std::nullopt;
    return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

[[nodiscard]] inline std::optional<std::uint32_t> Be32(ByteSpan bytes,
                                                       std::size_t offset) noexcept {
    if (!Holds(bytes, offset, 4))
        return std::nullopt;
    return static_cast<std::uint32_t>(bytes[offset]) << 24 |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
}

// The stretch [offset, offset + size) of bytes, cut at their end.
[[nodiscard]] inline ByteSpan Sub(ByteSpan bytes, std::size_t offset,
                                  std::size_t size = SIZE_MAX) noexcept {
    if (offset >= bytes.size())
        return {};
    return bytes.subspan(offset, std::min(size, bytes.size() - offset));
}

} // namespace vexlin::content
