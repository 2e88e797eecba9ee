// PNG files from the model's decoded bitmaps, made by libpng's simplified API.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace vexlin::dump {

// Pictures of more pixels than this (a 640 x 480 screen) are written fast rather than small.
inline constexpr std::uint64_t FastPngPixels = 640 * 480;

// The PNG file of width x height RGBA pixels. Throws std::runtime_error when libpng fails.
[[nodiscard]] std::string EncodePng(std::uint32_t width, std::uint32_t height,
                                    std::span<const std::uint8_t> rgba);

} // namespace vexlin::dump
