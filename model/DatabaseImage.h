// The in-memory image of one Palm OS database file: the whole file in a fixed-capacity,
// zero-filled block (file offset N is image byte N), the numeric header fields in host
// order, and the extents derived from the header. Standard library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

namespace vexlin {

#pragma pack(push, 1)

// The 78-byte database header at file offset 0. After loading, the numeric fields are in
// host order; Name, DataBaseType and CreatorID stay as the file has them.
struct DatabaseHeader {
    char Name[32];
    std::uint16_t Attributes;
    std::int16_t Version;
    std::int32_t CreationDate;
    std::int32_t ModificationDate;
    std::int32_t LastBackupDate;
    std::int32_t ModificationNumber;
    std::int32_t AppInfoArea;
    std::int32_t SortInfoArea;
    char DataBaseType[4];
    char CreatorID[4];
    std::int32_t UniqueIDSeed;
    std::int32_t NextRecordListID;
    std::uint16_t NumberOfRecords;
};

// One entry of the record list at file offset 78, kept in file (big-endian) order.
struct RecordEntry {
    std::uint8_t Offset[4];
    std::uint8_t Unused[4]; // attribute byte and unique ID, never interpreted
};

inline constexpr std::int32_t DataCapacity = 5 * 1048576;

struct DatabaseImage {
    DatabaseHeader Header;
    std::uint8_t Data[DataCapacity];
    std::int32_t AppInfoSize;
    std::int32_t SortInfoSize;
    std::int32_t FirstRecordOffset;
    std::int32_t FileSize;
};

#pragma pack(pop)

static_assert(sizeof(DatabaseHeader) == 78);
static_assert(sizeof(RecordEntry) == 8);
static_assert(offsetof(DatabaseHeader, NumberOfRecords) == 76);
static_assert(offsetof(DatabaseImage, Data) == 78);
static_assert(offsetof(DatabaseImage, AppInfoSize) == 78 + DataCapacity);
static_assert(sizeof(DatabaseImage) == 78 + DataCapacity + 4 * 4);

// The largest file an image holds: the header and the data block together.
inline constexpr std::int32_t ImageCapacity = 78 + DataCapacity;
inline constexpr std::int32_t RecordListOffset = 78;

// A file that cannot be loaded. what() reads "FILE: reason".
class LoadError : public std::runtime_error {
  public:
    LoadError(const std::string& fileName, const std::string& reason)
        : std::runtime_error(fileName + ": " + reason), FileName(fileName), Reason(reason) {}
    [[nodiscard]] const std::string& file() const noexcept { return FileName; }
    [[nodiscard]] const std::string& reason() const noexcept { return Reason; }

  private:
    std::string FileName;
    std::string Reason;
};

// Reverses the width bytes at field in place (width 2 or 4).
void ReverseBytes(void* field, std::size_t width) noexcept;

// Frees an image made by NewImage.
struct ImageDeleter {
    void operator()(DatabaseImage* image) const noexcept;
};
using ImagePtr = std::unique_ptr<DatabaseImage, ImageDeleter>;

// A new, all-zero image. Its memory is taken from the system already zeroed, so the pages
// that a small file never reaches cost nothing until something reads them.
[[nodiscard]] ImagePtr NewImage();

// A new image loaded from the named file, as LoadImage would fill it; throws LoadError.
[[nodiscard]] ImagePtr LoadNewImage(const std::string& fileName);

// Fills image from the named file with a single read. Throws LoadError when the file is
// missing, not a regular file, larger than ImageCapacity, or cannot be read whole; opening
// never blocks on a FIFO or device.
void LoadImage(DatabaseImage& image, const std::string& fileName);

// A new image loaded from bytes in memory, as LoadImageFromBytes would fill it.
[[nodiscard]] ImagePtr LoadNewImageFromBytes(std::span<const std::uint8_t> bytes);

// The same as LoadImage for bytes already in memory (bytes.size() <= ImageCapacity).
void LoadImageFromBytes(DatabaseImage& image, std::span<const std::uint8_t> bytes);

// Loads one file after another into the same image, zeroing only what the previous file
// left: taking stock of thousands of files costs one image and no clearing of 5 MB each.
// Each load throws LoadError as LoadImage does; the image is then all zero.
class ImageReader {
  public:
    ImageReader();
    // The whole file, as LoadImage.
    const DatabaseImage& Load(const std::string& fileName);
    // Enough for the structure: files larger than the image give their first ImageCapacity
    // bytes (the header and the entry list always lie within them); TrueSize() tells the rest.
    const DatabaseImage& LoadStructure(const std::string& fileName);
    // A stream (a pipe) read to its end; beyond ImageCapacity bytes refused, or with prefix
    // only the first ImageCapacity bytes kept and the rest counted (as LoadStructure).
    const DatabaseImage& LoadStream(std::FILE* in, const std::string& name, bool prefix = false);

    [[nodiscard]] const DatabaseImage& image() const noexcept { return *Image; }
    // The size of the file last loaded, also when only part of it is in the image.
    [[nodiscard]] std::uint64_t TrueSize() const noexcept { return TrueSizeValue; }

  private:
    void Loaded(std::uint64_t trueSize) noexcept;
    ImagePtr Image;
    std::size_t Dirty = 0; // bytes from here on are zero
    std::uint64_t TrueSizeValue = 0;
};

// The image as one run of bytes: file offset N is element N (ImageCapacity elements). The
// numeric header fields (bytes 32 to 59 and 68 to 77) are in host order here.
[[nodiscard]] inline const std::uint8_t* ImageBytes(const DatabaseImage& image) noexcept {
    return reinterpret_cast<const std::uint8_t*>(&image);
}

// The 78 header bytes as the file holds them: the numeric fields turned back to file order.
void FileOrderHeader(const DatabaseImage& image, std::uint8_t (&out)[78]) noexcept;

// Copies count bytes from file offset `offset` on as the file holds them (header bytes in
// file order). offset + count must not pass ImageCapacity.
void CopyFileBytes(const DatabaseImage& image, std::uint32_t offset, std::uint32_t count,
                   std::uint8_t* out) noexcept;

} // namespace vexlin
