// PNG files from the model's decoded bitmaps, made by libpng's simplified API.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace vexlin::dump {

// The PNG file of width x height RGBA pixels. Throws std::runtime_error when libpng fails.
[[nodiscard]] std::string EncodePng(std::uint32_t width, std::uint32_t height,
                                    std::span<const std::uint8_t> rgba);

} // namespace vexlin::dump
