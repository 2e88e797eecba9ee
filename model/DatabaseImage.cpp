// Loading a database file into its image and deriving the area extents.
#include "DatabaseImage.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vexlin {

void ReverseBytes(void* field, std::size_t width) noexcept {
    auto* bytes = static_cast<std::uint8_t*>(field);
    for (std::size_t i = 0; i < width / 2; ++i) {
        std::swap(bytes[i], bytes[width - 1 - i]);
    }
}

namespace {

// Two's complement difference, as the header arithmetic is defined on 32-bit values.
std::int32_t Minus(std::int32_t a, std::int32_t b) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

// Steps after the bytes are in place: byte order of the header, then the derived extents.
void FinishLoad(DatabaseImage& image, std::int32_t fileSize) noexcept {
    DatabaseHeader& h = image.Header;
    ReverseBytes(&h.Attributes, 2);
    ReverseBytes(&h.Version, 2);
    ReverseBytes(&h.CreationDate, 4);
    ReverseBytes(&h.ModificationDate, 4);
    ReverseBytes(&h.LastBackupDate, 4);
    ReverseBytes(&h.ModificationNumber, 4);
    ReverseBytes(&h.AppInfoArea, 4);
    ReverseBytes(&h.SortInfoArea, 4);
    ReverseBytes(&h.UniqueIDSeed, 4);
    ReverseBytes(&h.NextRecordListID, 4);
    ReverseBytes(&h.NumberOfRecords, 2);
    image.FileSize = fileSize;

    std::int32_t end = fileSize;
    if (h.NumberOfRecords != 0) {
        std::memcpy(&image.FirstRecordOffset, image.Data, 4);
        ReverseBytes(&image.FirstRecordOffset, 4);
        end = image.FirstRecordOffset;
    }
    if (h.SortInfoArea != 0) {
        image.SortInfoSize = Minus(end, h.SortInfoArea);
        end = h.SortInfoArea;
    }
    if (h.AppInfoArea != 0) {
        image.AppInfoSize = Minus(end, h.AppInfoArea);
    }
}

std::string TooLarge(std::uintmax_t size) {
    return "file is " + std::to_string(size) + " bytes, larger than the limit of " +
           std::to_string(ImageCapacity) + " bytes";
}

std::string SystemReason(int error, const char* fallback) {
    return error != 0 ? std::generic_category().message(error) : std::string(fallback);
}

// Reads the named file into image with one read. Unless the image is known to be all zero
// already, the bytes the read does not cover are zeroed.
void LoadInto(DatabaseImage& image, const std::string& fileName, bool imageIsZero) {
    namespace fs = std::filesystem;
    // Look before opening: opening a FIFO or a device for reading may block or never end.
    std::error_code ec;
    const fs::file_status status = fs::status(fileName, ec);
    if (ec) {
        throw LoadError(fileName, ec.message());
    }
    if (fs::is_directory(status)) {
        throw LoadError(fileName, "is a directory");
    }
    if (!fs::is_regular_file(status)) {
        throw LoadError(fileName, "not a regular file");
    }

    errno = 0;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        throw LoadError(fileName, SystemReason(errno, "cannot open"));
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0 || !in) {
        throw LoadError(fileName, "cannot determine the file size");
    }
    if (size > ImageCapacity) {
        throw LoadError(fileName, TooLarge(static_cast<std::uintmax_t>(size)));
    }

    auto* bytes = reinterpret_cast<char*>(&image);
    if (!imageIsZero) {
        std::memset(bytes + size, 0, sizeof image - static_cast<std::size_t>(size));
    }
    in.read(bytes, size);
    if (in.gcount() != size) {
        const auto got = in.gcount();
        std::memset(bytes, 0, static_cast<std::size_t>(size));
        throw LoadError(fileName, "short read: got " + std::to_string(got) + " of " +
                                      std::to_string(size) + " bytes");
    }
    FinishLoad(image, static_cast<std::int32_t>(size));
}

} // namespace

#if defined(__linux__)
// On Linux the image gets pages of its own from the kernel: they arrive zeroed, untouched
// ones cost nothing, and the first 4 MB may use huge pages. Faulting in 1,280 small pages
// costs more than reading the largest file.
namespace {
constexpr std::size_t HugePage = 2u << 20;
constexpr std::size_t MappedSize = (sizeof(DatabaseImage) + 4095) & ~std::size_t{4095};
} // namespace

void ImageDeleter::operator()(DatabaseImage* image) const noexcept {
    if (image != nullptr) {
        munmap(image, MappedSize);
    }
}

ImagePtr NewImage() {
    void* block = mmap(nullptr, MappedSize + HugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
        throw std::bad_alloc();
    }
    auto* start = static_cast<char*>(block);
    const std::size_t lead =
        (HugePage - reinterpret_cast<std::uintptr_t>(start) % HugePage) % HugePage;
    if (lead != 0) {
        munmap(start, lead);
    }
    munmap(start + lead + MappedSize, HugePage - lead);
    madvise(start + lead, 2 * HugePage, MADV_HUGEPAGE);
    return ImagePtr(reinterpret_cast<DatabaseImage*>(start + lead));
}
#else
void ImageDeleter::operator()(DatabaseImage* image) const noexcept {
    std::free(image);
}

ImagePtr NewImage() {
    void* memory = std::calloc(1, sizeof(DatabaseImage));
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return ImagePtr(static_cast<DatabaseImage*>(memory));
}
#endif

ImagePtr LoadNewImage(const std::string& fileName) {
    ImagePtr image = NewImage();
    LoadInto(*image, fileName, true);
    return image;
}

void LoadImage(DatabaseImage& image, const std::string& fileName) {
    LoadInto(image, fileName, false);
}

namespace {

void CopyInto(DatabaseImage& image, std::span<const std::uint8_t> bytes, bool imageIsZero) {
    if (bytes.size() > static_cast<std::size_t>(ImageCapacity)) {
        throw LoadError("(memory)", TooLarge(bytes.size()));
    }
    auto* target = reinterpret_cast<std::uint8_t*>(&image);
    if (!imageIsZero) {
        std::memset(target + bytes.size(), 0, sizeof image - bytes.size());
    }
    if (!bytes.empty()) {
        std::memcpy(target, bytes.data(), bytes.size());
    }
    FinishLoad(image, static_cast<std::int32_t>(bytes.size()));
}

} // namespace

void LoadImageFromBytes(DatabaseImage& image, std::span<const std::uint8_t> bytes) {
    CopyInto(image, bytes, false);
}

ImagePtr LoadNewImageFromBytes(std::span<const std::uint8_t> bytes) {
    ImagePtr image = NewImage();
    CopyInto(*image, bytes, true);
    return image;
}

} // namespace vexlin
