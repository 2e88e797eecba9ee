#include "Png.h"

#include <png.h>

namespace vexlin::dump {

std::string EncodePng(std::uint32_t width, std::uint32_t height,
                      std::span<const std::uint8_t> rgba) {
    if (rgba.size() < std::size_t{width} * height * 4)
        throw std::runtime_error("fewer pixels than the picture's size");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    // The first call measures, the second writes.
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr))
        throw std::runtime_error(std::string("PNG: ") + image.message);
    std::string png(size, '\0');
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, rgba.data(), 0, nullptr))
        throw std::runtime_error(std::string("PNG: ") + image.message);
    png.resize(size);
    return png;
}

} // namespace vexlin::dump
