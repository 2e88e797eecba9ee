// The structure of a database as its file states it: the entry list read as record or
// resource entries, the attributes and dates decoded, and every structural fault found, in
// file order. Standard library only; reads nothing outside the image.
#pragma once

#include "DatabaseImage.h"
#include "Finding.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexlin {

inline constexpr std::uint16_t ResourceDatabaseAttribute = 0x0001;
inline constexpr std::uint32_t RecordEntryWidth = 8;
inline constexpr std::uint32_t ResourceEntryWidth = 10;

enum class DatabaseKind { Record, Resource };

[[nodiscard]] DatabaseKind KindOf(const DatabaseImage& image) noexcept;
[[nodiscard]] std::string_view KindName(DatabaseKind kind) noexcept; // "record" / "resource"

// The names of the database attribute flags that are set ("resource", "read-only", ...), and
// of the record attribute flags ("delete", "dirty", "busy", "secret").
[[nodiscard]] std::vector<std::string_view> DatabaseAttributeNames(std::uint16_t attributes);
[[nodiscard]] std::vector<std::string_view> RecordAttributeNames(std::uint8_t attributes);

// A header date: under a day (0, 28800) is never; with the top bit set, seconds since
// 1904-01-01 UTC (Palm OS); otherwise seconds since 1970-01-01 UTC, as some desktop tools
// wrote them.
enum class DateEpoch { Never, PalmOS1904, Unix1970 };

struct DecodedDate {
    DateEpoch Epoch = DateEpoch::Never;
    std::int64_t UnixSeconds = 0;
    // "2003-05-06 12:34:56" (UTC), or "never".
    [[nodiscard]] std::string Text() const;
    // "2003-05-06T12:34:56Z", or "" when never.
    [[nodiscard]] std::string Iso() const;
};

[[nodiscard]] DecodedDate DecodeDate(std::int32_t raw) noexcept;

// A four-byte code (a resource type, a database type or creator) as text: all four bytes,
// printable ASCII as it stands, a backslash as "\\", any other byte as "\xHH".
[[nodiscard]] std::string CodeText(const char (&code)[4]);
[[nodiscard]] std::string_view EpochName(DateEpoch epoch) noexcept; // "never", "1904", "1970"

// Entry offsets are unsigned 32-bit, as the format defines them; a size is the exact
// difference to the next entry's offset (the last one's to the end of the file), negative
// when the entries are out of order.
struct RecordInfo {
    std::uint32_t EntryOffset = 0; // where the entry lies in the file
    std::uint32_t Offset = 0;      // of the record's data
    std::int64_t Size = 0;
    std::uint8_t Attributes = 0;
    std::uint32_t UniqueID = 0; // 24 bits
    [[nodiscard]] std::uint8_t Category() const noexcept { return Attributes & 0x0F; }
};

struct ResourceInfo {
    std::uint32_t EntryOffset = 0;
    char Type[4] = {};
    std::uint16_t ID = 0;
    std::uint32_t Offset = 0;
    std::int64_t Size = 0;
};

struct Structure {
    std::uint64_t FileSize = 0; // the true size, also for a file larger than the image
    DatabaseKind Kind = DatabaseKind::Record;
    std::uint32_t EntryWidth = RecordEntryWidth;
    std::uint32_t ListEnd = 0; // first byte after the entry list
    // The info areas' sizes as the header report derives them (its signed arithmetic, and the
    // first 8-byte record entry even in a resource database), measured to the true end of the
    // file when it is larger than the image.
    std::int64_t AppInfoSize = 0;
    std::int64_t SortInfoSize = 0;
    // The same sizes from the unsigned offsets and the entry list as this structure reads it:
    // to the next area, else to the first entry's data, else to the end of the file.
    std::int64_t AppInfoLength = 0;
    std::int64_t SortInfoLength = 0;
    std::vector<RecordInfo> Records;     // a record database
    std::vector<ResourceInfo> Resources; // a resource database
    std::vector<Finding> Findings;       // in file order
    std::size_t Errors = 0;
    std::size_t Warnings = 0;
    std::size_t Notes = 0;
};

// Reads the structure of the loaded image. fileSize is the file's true size (at least the
// image's FileSize); fileName only decides the extension note ("" for none).
[[nodiscard]] Structure ReadStructure(const DatabaseImage& image, std::uint64_t fileSize,
                                      std::string_view fileName);
// The same for a file that the image holds whole.
[[nodiscard]] inline Structure ReadStructure(const DatabaseImage& image,
                                             std::string_view fileName = {}) {
    const std::int32_t size = image.FileSize; // copied: the packed field must not be bound
    return ReadStructure(image, static_cast<std::uint64_t>(std::max(size, 0)), fileName);
}

} // namespace vexlin
