// Arbitrary bytes as a database: everything the model does with a file, with the streamed
// dump and the line-by-line dump checked against each other.
#include "DatabaseImage.h"
#include "HeaderReport.h"
#include "HexDump.h"
#include "RecordView.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

using namespace vexlin;

namespace {

// Counts the lines and bytes of a streamed dump, checking each against the formatter.
class CheckingTarget final : public DumpTarget {
  public:
    CheckingTarget(const DatabaseImage& image, DumpStretch stretch)
        : Image(image), Stretch(stretch) {}
    void Clear() override { Lines = 0; }
    void Add(std::string_view line) override {
        char expected[DumpLineMax];
        const std::size_t length = FormatDumpLine(Image, Stretch, Lines++, expected);
        if (line.size() != length || std::memcmp(line.data(), expected, length) != 0 ||
            length > DumpLineMax) {
            std::abort();
        }
    }
    std::size_t Lines = 0;

  private:
    const DatabaseImage& Image;
    DumpStretch Stretch;
};

// The streamed dump, the line-by-line formatter and the block formatter vexlin-dump uses
// must agree, and a stretch must never leave the file.
void CheckStretch(const DatabaseImage& image, DumpStretch stretch, std::int32_t start,
                  std::int32_t size) {
    if (std::uint64_t{stretch.Start} + stretch.Size > static_cast<std::uint64_t>(image.FileSize)) {
        std::abort();
    }
    CheckingTarget target(image, stretch);
    HexDump(target, image, start, size);
    const std::size_t lines = DumpLineCount(stretch);
    if (target.Lines != lines) {
        std::abort();
    }
    static std::vector<char> block;
    static std::vector<char> joined;
    block.resize(lines * (DumpLineMax + 1));
    joined.clear();
    char line[DumpLineMax];
    for (std::size_t i = 0; i < lines; ++i) {
        joined.insert(joined.end(), line, line + FormatDumpLine(image, stretch, i, line));
        joined.push_back('\n');
    }
    const std::size_t first = lines / 3; // two calls, as vexlin-dump fills its buffer
    std::size_t used = FormatDumpText(image, stretch, 0, first, block.data());
    used += FormatDumpText(image, stretch, first, lines, block.data() + used);
    if (used != joined.size() ||
        (used != 0 && std::memcmp(block.data(), joined.data(), used) != 0)) {
        std::abort();
    }
}

void CheckDump(const DatabaseImage& image, std::int32_t start, std::int32_t size) {
    CheckStretch(image, ClampToFile(image, start, size), start, size);
}

// An area with an offset shows the dump of its clamped stretch; without one, no stretch.
void CheckArea(const DatabaseImage& image, const std::optional<DumpStretch>& stretch,
               std::int32_t offset, std::int32_t size) {
    if (stretch.has_value() != (offset != 0)) {
        std::abort();
    }
    if (stretch) {
        if (*stretch != ClampToFile(image, offset, size)) {
            std::abort();
        }
        CheckStretch(image, *stretch, offset, size);
    }
}

// The four rules from every position, including one step outside the records on either
// side: with records, every result is a record. Pure arithmetic on the count, so it is left
// out of the coverage feedback, which would only slow each run.
__attribute__((no_sanitize("coverage"))) void CheckNavigation(std::uint16_t count) {
    if (count == 0) {
        return;
    }
    for (std::int32_t current = -1; current <= count; ++current) {
        for (const std::int32_t next : {FirstRecordIndex(count), PrevRecordIndex(current, count),
                                        NextRecordIndex(current, count), LastRecordIndex(count)}) {
            if (next < 0 || next >= count) {
                std::abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(ImageCapacity)) {
        return -1;
    }
    // A fresh image each time: its pages come zeroed and only those the input touches cost.
    const ImagePtr loaded = LoadNewImageFromBytes({data, size});
    const DatabaseImage& image = *loaded;
    for (const std::string& line : HeaderReport(image)) {
        if (line.size() < 21) {
            std::abort();
        }
    }
    CheckArea(image, AppInfoStretch(image), image.Header.AppInfoArea, image.AppInfoSize);
    CheckArea(image, SortInfoStretch(image), image.Header.SortInfoArea, image.SortInfoSize);
    const std::uint16_t count = RecordCount(image);
    RecordEntry scratch;
    for (std::int32_t i = 0; i < count; ++i) {
        const Extent e = RecordExtent(image, i, scratch);
        CheckDump(image, e.Start, e.Size);
    }
    if (count > 0) {
        (void)RecordStatusText(0, count);
        (void)RecordStatusText(count - 1, count);
    }
    CheckNavigation(count);
    return 0;
}
