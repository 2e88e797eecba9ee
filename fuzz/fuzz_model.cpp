// Arbitrary bytes as a database: everything the model does with a file, with the streamed
// dump and the line-by-line dump checked against each other.
#include "DatabaseImage.h"
#include "HeaderReport.h"
#include "HexDump.h"
#include "RecordView.h"

#include <cstdlib>
#include <cstring>

using namespace vexlin;

namespace {

// Counts the lines and bytes of a streamed dump, checking each against the formatter.
class CheckingTarget final : public DumpTarget {
  public:
    CheckingTarget(const DatabaseImage& image, DumpStretch stretch) : Image(image), Stretch(stretch) {}
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

void CheckDump(const DatabaseImage& image, std::int32_t start, std::int32_t size) {
    const DumpStretch stretch = ClampToFile(image, start, size);
    if (std::uint64_t{stretch.Start} + stretch.Size > static_cast<std::uint64_t>(image.FileSize)) {
        std::abort();
    }
    CheckingTarget target(image, stretch);
    HexDump(target, image, start, size);
    if (target.Lines != DumpLineCount(stretch)) {
        std::abort();
    }
}

ImagePtr Shared = NewImage();

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(ImageCapacity)) {
        return -1;
    }
    DatabaseImage& image = *Shared;
    LoadImageFromBytes(image, {data, size});
    for (const std::string& line : HeaderReport(image)) {
        if (line.size() < 21) {
            std::abort();
        }
    }
    CheckDump(image, image.Header.AppInfoArea, image.AppInfoSize);
    CheckDump(image, image.Header.SortInfoArea, image.SortInfoSize);
    const std::uint16_t count = RecordCount(image);
    RecordEntry scratch;
    for (std::int32_t i = 0; i < count; ++i) {
        const Extent e = RecordExtent(image, i, scratch);
        CheckDump(image, e.Start, e.Size);
        (void)RecordStatusText(i, count);
    }
    for (std::int32_t current = -1; current <= count; ++current) {
        for (const std::int32_t next :
             {FirstRecordIndex(count), PrevRecordIndex(current, count),
              NextRecordIndex(current, count), LastRecordIndex(count)}) {
            if (count > 0 && (next < 0 || next >= count)) {
                std::abort();
            }
        }
    }
    return 0;
}
