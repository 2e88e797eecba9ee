#include "Png.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace vexlin::dump {

bool WritePng(const std::string& path, std::uint32_t width, std::uint32_t height,
              std::span<const std::uint8_t> rgba, std::string& error) {
    if (rgba.size() < std::size_t{width} * height * 4) {
        error = "fewer pixels than the picture's size";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    const bool written = png_image_write_to_stdio(&image, file, 0, rgba.data(), 0, nullptr) != 0;
    if (!written)
        error = image.message;
    png_image_free(&image);
    if (std::fclose(file) != 0 && written) {
        error = std::strerror(errno);
        return false;
    }
    return written;
}

} // namespace vexlin::dump
