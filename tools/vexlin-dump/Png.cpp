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
    // A picture larger than any screen (a database may hold thousands, up to 2048 x 2048 each)
    // is written with the fastest filter and compression: a few times the speed for a PNG a
    // little larger. Icons and screens are written as compactly as libpng writes them.
    if (std::uint64_t{width} * height > FastPngPixels)
        image.flags |= PNG_IMAGE_FLAG_FAST;
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
