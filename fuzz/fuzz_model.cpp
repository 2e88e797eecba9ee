// Arbitrary bytes as a database: everything the model does with a file, with the streamed
// dump and the line-by-line dump checked against each other.
#include "DatabaseImage.h"
#include "Escape.h"
#include "HeaderReport.h"
#include "HexDump.h"
#include "Modes.h"
#include "RecordView.h"
#include "Structure.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
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

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define VEXLIN_POISON(from, size) ASAN_POISON_MEMORY_REGION(from, size)
#define VEXLIN_UNPOISON(from, size) ASAN_UNPOISON_MEMORY_REGION(from, size)
#endif
#endif
#ifndef VEXLIN_POISON
#define VEXLIN_POISON(from, size) ((void)(from), (void)(size))
#define VEXLIN_UNPOISON(from, size) ((void)(from), (void)(size))
#endif

// The structure, the check and every output of vexlin-dump's inspection modes. Under
// AddressSanitizer the image past the end of the file (as far as an entry list can reach) is
// poisoned meanwhile: none of them may read a byte the file does not hold.
// What one of vexlin-dump's outputs writes, caught in memory.
template <typename Print>
std::string Written(Print print) {
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* memory = open_memstream(&text, &length);
    {
        dump::StreamTarget out(memory);
        print(out);
    }
    std::fclose(memory);
    std::string result(text, length);
    std::free(text);
    return result;
}

void CheckStructure(const DatabaseImage& image, std::size_t size) {
    constexpr std::size_t ListReach = 78 + 10 * 65535 + 16;
    const std::size_t from = std::max<std::size_t>(size, sizeof(DatabaseHeader));
    auto* poisoned = const_cast<std::uint8_t*>(ImageBytes(image)) + from;
    const std::size_t poisonedSize = from < ListReach ? ListReach - from : 0;
    VEXLIN_POISON(poisoned, poisonedSize);
    const Structure s = ReadStructure(image, size, "fuzz.pdb");
    // Entries past the end of the file all read alike: the outputs are run on lists that
    // the input can hold (a 4 KB input holds about 500 entries), which keeps each run short.
    const bool writeAll = RecordCount(image) <= size / 8 + 1;
    std::string json;
    std::string text;
    std::string summary;
    if (writeAll) {
        json = dump::JsonObject("fuzz.pdb", image, s);
        text = Written([&](dump::StreamTarget& out) {
            dump::PrintInfo(out, image, s);
            dump::PrintList(out, s);
            dump::PrintCheck(out, s);
        });
        summary = Written([&](dump::StreamTarget& out) { dump::PrintSummaryRow(out, "fuzz.pdb", image, s); });
    }
    VEXLIN_UNPOISON(poisoned, poisonedSize);
    // No control character from the file reaches an inspection output: only the line ends
    // (and the summary's field separators) are the outputs' own.
    if (dump::HasControl(json) || dump::HasControl(text, "\n") || dump::HasControl(summary, "\n\t") ||
        std::count(summary.begin(), summary.end(), '\t') != (writeAll ? 10 : 0)) {
        std::abort();
    }

    if (s.Errors + s.Warnings + s.Notes != s.Findings.size() ||
        s.Records.size() + s.Resources.size() != RecordCount(image)) {
        std::abort();
    }
    for (std::size_t i = 1; i < s.Findings.size(); ++i) {
        if (s.Findings[i].Offset < s.Findings[i - 1].Offset) {
            std::abort();
        }
    }
    if (writeAll) {
        // parse() throws on anything but valid JSON in valid UTF-8.
        const auto back = nlohmann::json::parse(json);
        if (back["Findings"].size() != s.Findings.size() || back["FileSize"] != size) {
            std::abort();
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
    CheckStructure(image, size);
    return 0;
}
