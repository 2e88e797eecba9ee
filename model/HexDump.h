// The hex dump: the one listing format for raw bytes, 16 bytes a line, as
// "%04x|%s|%-16s|%04x|%d". Lines can be streamed into a target or formatted one at a time.
#pragma once

#include "DatabaseImage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexlin {

struct DumpStretch;

// Receives a dump: cleared first, then one line at a time (no line end).
class DumpTarget {
  public:
    virtual ~DumpTarget() = default;
    virtual void Clear() = 0;
    virtual void Add(std::string_view line) = 0;
    // Adds every line of a stretch. A target with a buffer of its own may override this to
    // format the lines straight into it.
    virtual void AddLines(const DatabaseImage& image, DumpStretch stretch);
};

// A target that keeps the lines.
class LinesTarget final : public DumpTarget {
  public:
    void Clear() override { Lines.clear(); }
    void Add(std::string_view line) override { Lines.emplace_back(line); }
    std::vector<std::string> Lines;
};

// A stretch of bytes that the file holds: Start + Size never passes FileSize.
struct DumpStretch {
    std::uint32_t Start = 0;
    std::uint32_t Size = 0;
    friend bool operator==(const DumpStretch&, const DumpStretch&) = default;
};

inline constexpr std::size_t DumpLineMax = 94;
inline constexpr std::uint32_t DumpBytesPerLine = 16;

// The part of the stretch at start (a file offset) of size bytes that lies inside the file.
// A negative start or size, or a start at or past the end of the file, gives no bytes.
[[nodiscard]] DumpStretch ClampToFile(const DatabaseImage& image, std::int32_t start,
                                      std::int32_t size) noexcept;

[[nodiscard]] constexpr std::size_t DumpLineCount(DumpStretch stretch) noexcept {
    return (static_cast<std::size_t>(stretch.Size) + DumpBytesPerLine - 1) / DumpBytesPerLine;
}

// Writes line `line` of the stretch into out (room for DumpLineMax chars, no terminator) and
// returns its length; 0 when the stretch has no such line.
std::size_t FormatDumpLine(const DatabaseImage& image, DumpStretch stretch, std::size_t line,
                           char* out) noexcept;

// Writes `count` lines of the stretch from line `first` on, each followed by '\n', into out
// (room for count * (DumpLineMax + 1) chars) and returns the length written.
std::size_t FormatDumpText(const DatabaseImage& image, DumpStretch stretch, std::size_t first,
                           std::size_t count, char* out) noexcept;

[[nodiscard]] std::string DumpLine(const DatabaseImage& image, DumpStretch stretch,
                                   std::size_t line);

// Clears target, then adds every line of the stretch.
void HexDump(DumpTarget& target, const DatabaseImage& image, DumpStretch stretch);
void HexDump(DumpTarget& target, const DatabaseImage& image, std::int32_t start, std::int32_t size);

} // namespace vexlin
