// The standard category block at the start of an app info area, as the built-in applications
// and many others keep it: a word of renamed bits, 16 names of 16 bytes, 16 IDs and the last
// ID given (276 bytes with the pad byte).
#pragma once

#include "content/core/Reader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vexlin::content {

inline constexpr std::size_t CategoryCount = 16;
inline constexpr std::size_t CategoryNameWidth = 16;
inline constexpr std::size_t CategoryBlockSize = 2 + CategoryCount * CategoryNameWidth + CategoryCount + 2;

struct Category {
    std::string Name; // UTF-8; "" for an unused slot
    std::uint8_t ID = 0;
    bool Renamed = false;
};

struct CategoryInfo {
    std::array<Category, CategoryCount> Items;
    std::uint8_t LastID = 0;
};

// Reads the block from the app info's start; for a database whose format keeps one, a short
// block is decoded as far as it goes and reported.
[[nodiscard]] std::optional<CategoryInfo> DecodeCategories(const Bytes& appInfo, Decoding& decoding);

// Whether an app info of an unknown format plausibly starts with the block: long enough, each
// name NUL-terminated without control characters, at least one named, and each named
// category with an ID of its own.
[[nodiscard]] bool PlausibleCategories(std::span<const std::uint8_t> appInfo) noexcept;

} // namespace vexlin::content
