// Loading a database file into its image and deriving the area extents.
#include "DatabaseImage.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The numeric header fields in the order loading reverses them: offset and width.
struct NumericField {
    std::size_t Offset;
    std::size_t Width;
};
constexpr NumericField NumericFields[] = {
    {offsetof(DatabaseHeader, Attributes), 2},       {offsetof(DatabaseHeader, Version), 2},
    {offsetof(DatabaseHeader, CreationDate), 4},     {offsetof(DatabaseHeader, ModificationDate), 4},
    {offsetof(DatabaseHeader, LastBackupDate), 4},   {offsetof(DatabaseHeader, ModificationNumber), 4},
    {offsetof(DatabaseHeader, AppInfoArea), 4},      {offsetof(DatabaseHeader, SortInfoArea), 4},
    {offsetof(DatabaseHeader, UniqueIDSeed), 4},     {offsetof(DatabaseHeader, NextRecordListID), 4},
    {offsetof(DatabaseHeader, NumberOfRecords), 2},
};

void ReverseNumericFields(std::uint8_t* header) noexcept {
    for (const NumericField& field : NumericFields) {
        ReverseBytes(header + field.Offset, field.Width);
    }
}

} // namespace

void FileOrderHeader(const DatabaseImage& image, std::uint8_t (&out)[78]) noexcept {
    std::memcpy(out, &image.Header, sizeof out);
    ReverseNumericFields(out);
}

void CopyFileBytes(const DatabaseImage& image, std::uint32_t offset, std::uint32_t count,
                   std::uint8_t* out) noexcept {
    if (count == 0) {
        return;
    }
    std::memcpy(out, ImageBytes(image) + offset, count);
    if (offset < sizeof(DatabaseHeader)) {
        std::uint8_t header[78];
        FileOrderHeader(image, header);
        const std::uint32_t inHeader = std::min<std::uint32_t>(count, 78 - offset);
        std::memcpy(out, header + offset, inHeader);
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
    ReverseNumericFields(reinterpret_cast<std::uint8_t*>(&h));
    image.AppInfoSize = 0;
    image.SortInfoSize = 0;
    image.FirstRecordOffset = 0;
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

// Zeroes the image's bytes from `from` up to `dirtyEnd`, past which it is known to be zero.
void ZeroTail(void* image, std::size_t from, std::size_t dirtyEnd) noexcept {
    if (from < dirtyEnd) {
        std::memset(static_cast<char*>(image) + from, 0, dirtyEnd - from);
    }
}

// How a file larger than the image is taken: refused, or only its first ImageCapacity bytes.
enum class Oversize { Refuse, Prefix };

// Reads the named file into image with one read. Bytes from dirtyEnd on are known to be zero
// already; the ones between the file's end and dirtyEnd are zeroed. Returns the true size.
// The file is opened without blocking and what was opened is checked: a path swapped for a
// FIFO or a device between any look and the open is refused, never waited on.
std::uint64_t LoadInto(DatabaseImage& image, const std::string& fileName, std::size_t dirtyEnd,
                       Oversize oversize) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        throw LoadError(fileName, SystemReason(errno, "cannot open"));
    }
    struct Closer {
        int Fd;
        ~Closer() { ::close(Fd); }
    } closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        throw LoadError(fileName, SystemReason(errno, "cannot determine the file size"));
    }
    if (S_ISDIR(status.st_mode)) {
        throw LoadError(fileName, "is a directory");
    }
    if (!S_ISREG(status.st_mode)) {
        throw LoadError(fileName, "not a regular file");
    }
    const auto trueSize = static_cast<std::uint64_t>(status.st_size);
    if (trueSize > static_cast<std::uint64_t>(ImageCapacity) && oversize == Oversize::Refuse) {
        throw LoadError(fileName, TooLarge(trueSize));
    }
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(trueSize, ImageCapacity));

    auto* bytes = reinterpret_cast<char*>(&image);
    ZeroTail(bytes, size, dirtyEnd);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, bytes + got, size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = n < 0 ? errno : 0;
            std::memset(bytes, 0, size);
            throw LoadError(fileName, error != 0 ? SystemReason(error, "read error")
                                                 : "short read: got " + std::to_string(got) +
                                                       " of " + std::to_string(size) + " bytes");
        }
        got += static_cast<std::size_t>(n);
    }
    FinishLoad(image, static_cast<std::int32_t>(size));
    return trueSize;
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
    LoadInto(*image, fileName, 0, Oversize::Refuse);
    return image;
}

void LoadImage(DatabaseImage& image, const std::string& fileName) {
    LoadInto(image, fileName, ImageCapacity, Oversize::Refuse);
}

ImageReader::ImageReader() : Image(NewImage()) {}

const DatabaseImage& ImageReader::Load(const std::string& fileName) {
    Loaded(LoadInto(*Image, fileName, std::exchange(Dirty, ImageCapacity),
                              Oversize::Refuse));
    return *Image;
}

const DatabaseImage& ImageReader::LoadStructure(const std::string& fileName) {
    Loaded(LoadInto(*Image, fileName, std::exchange(Dirty, ImageCapacity),
                              Oversize::Prefix));
    return *Image;
}

const DatabaseImage& ImageReader::LoadStream(std::FILE* in, const std::string& name,
                                             bool prefix) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(Image.get());
    const std::size_t dirty = std::exchange(Dirty, ImageCapacity);
    std::size_t size = 0;
    while (size < static_cast<std::size_t>(ImageCapacity)) {
        const std::size_t got = std::fread(bytes + size, 1, ImageCapacity - size, in);
        if (got == 0) {
            break;
        }
        size += got;
    }
    if (std::ferror(in)) {
        throw LoadError(name, SystemReason(errno, "read error"));
    }
    std::uint64_t trueSize = size;
    if (size == static_cast<std::size_t>(ImageCapacity) && std::fgetc(in) != EOF) {
        if (!prefix) {
            ZeroTail(bytes, 0, ImageCapacity);
            Dirty = 0;
            throw LoadError(name, "more than " + std::to_string(ImageCapacity) +
                                      " bytes, larger than the limit");
        }
        // The rest is counted, not kept.
        char discard[1 << 16];
        trueSize += 1;
        while (const std::size_t got = std::fread(discard, 1, sizeof discard, in)) {
            trueSize += got;
        }
        if (std::ferror(in)) {
            throw LoadError(name, SystemReason(errno, "read error"));
        }
    }
    ZeroTail(bytes, size, dirty);
    FinishLoad(*Image, static_cast<std::int32_t>(size));
    Loaded(trueSize);
    return *Image;
}

void ImageReader::Loaded(std::uint64_t trueSize) noexcept {
    TrueSizeValue = trueSize;
    Dirty = static_cast<std::size_t>(std::min<std::uint64_t>(trueSize, ImageCapacity));
}

namespace {

void CopyInto(DatabaseImage& image, std::span<const std::uint8_t> bytes, bool imageIsZero) {
    if (bytes.size() > static_cast<std::size_t>(ImageCapacity)) {
        throw LoadError("(memory)", TooLarge(bytes.size()));
    }
    auto* target = reinterpret_cast<std::uint8_t*>(&image);
    ZeroTail(target, bytes.size(), imageIsZero ? 0 : ImageCapacity);
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
