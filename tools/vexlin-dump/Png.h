// PNG files from the model's decoded bitmaps, written by libpng.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vexlin::dump {

// Writes width x height RGBA pixels to path; false with a reason in error when it fails.
[[nodiscard]] bool WritePng(const std::string& path, std::uint32_t width, std::uint32_t height,
                            std::span<const std::uint8_t> rgba, std::string& error);

} // namespace vexlin::dump
