// vexlin-dump: prints the four views of a Palm database (header report, app info, sort info,
// records) as text on standard output.
#include "DatabaseImage.h"
#include "HeaderReport.h"
#include "HexDump.h"
#include "RecordView.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

using namespace vexlin;

namespace {

constexpr const char* Usage =
    "Usage: vexlin-dump [--header] [--app-info] [--sort-info] [--records | --record N] FILE\n"
    "Prints the views of a Palm database file. Without a selector, all four sections.\n"
    "  --header      the header report\n"
    "  --app-info    a hex dump of the app info area\n"
    "  --sort-info   a hex dump of the sort info area\n"
    "  --records     every record: its status line, then its hex dump\n"
    "  --record N    only record N (counted from 1)\n"
    "  --help        this text\n";

// Streams lines to a C stream through a buffer of its own: a dump is never held in memory
// whole, and the stream is not locked once per line.
class StreamTarget final : public DumpTarget {
  public:
    explicit StreamTarget(std::FILE* out) : Out(out) {}
    ~StreamTarget() override { Flush(); }
    StreamTarget(const StreamTarget&) = delete;
    StreamTarget& operator=(const StreamTarget&) = delete;

    void Clear() override {}
    void Add(std::string_view line) override {
        if (Used + line.size() + 1 > sizeof Buffer) {
            Flush();
        }
        std::memcpy(Buffer + Used, line.data(), line.size()); // report lines are short
        Used += line.size();
        Buffer[Used++] = '\n';
    }
    void AddLines(const DatabaseImage& image, DumpStretch stretch) override {
        const std::size_t lines = DumpLineCount(stretch);
        for (std::size_t line = 0; line < lines;) {
            std::size_t room = (sizeof Buffer - Used) / (DumpLineMax + 1);
            if (room == 0) {
                Flush();
                room = sizeof Buffer / (DumpLineMax + 1);
            }
            const std::size_t count = std::min(room, lines - line);
            Used += FormatDumpText(image, stretch, line, count, Buffer + Used);
            line += count;
        }
    }
    void Flush() {
        std::fwrite(Buffer, 1, Used, Out);
        Used = 0;
    }

  private:
    std::FILE* Out;
    std::size_t Used = 0;
    char Buffer[1 << 16];
};

struct Options {
    bool Header = false;
    bool AppInfo = false;
    bool SortInfo = false;
    bool Records = false;
    std::optional<long> Record; // counted from 1
    std::string File;
};

struct UsageError {
    std::string Message;
};

std::optional<long> ParseNumber(std::string_view text) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

Options Parse(int argc, char** argv) {
    Options o;
    bool haveFile = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--header") {
            o.Header = true;
        } else if (!optionsEnded && arg == "--app-info") {
            o.AppInfo = true;
        } else if (!optionsEnded && arg == "--sort-info") {
            o.SortInfo = true;
        } else if (!optionsEnded && arg == "--records") {
            o.Records = true;
        } else if (!optionsEnded && arg == "--record") {
            if (i + 1 >= argc) {
                throw UsageError{"--record needs a record number"};
            }
            o.Record = ParseNumber(argv[++i]);
            if (!o.Record) {
                throw UsageError{"--record needs a record number, not '" + std::string(argv[i]) +
                                 "'"};
            }
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            throw UsageError{"unknown option '" + std::string(arg) + "'"};
        } else if (haveFile) {
            throw UsageError{"only one FILE may be given"};
        } else {
            o.File = arg;
            haveFile = true;
        }
    }
    if (!haveFile) {
        throw UsageError{"no FILE given"};
    }
    if (o.Records && o.Record) {
        throw UsageError{"--records and --record cannot be used together"};
    }
    if (!o.Header && !o.AppInfo && !o.SortInfo && !o.Records && !o.Record) {
        o.Header = o.AppInfo = o.SortInfo = o.Records = true;
    }
    return o;
}

void PrintArea(StreamTarget& out, const DatabaseImage& image,
               const std::optional<DumpStretch>& stretch, const char* absentText) {
    if (stretch) {
        HexDump(out, image, *stretch);
    } else {
        out.Add(absentText);
    }
}

void PrintRecord(StreamTarget& out, const DatabaseImage& image, std::int32_t index) {
    const Extent extent = RecordExtent(image, index);
    out.Add(RecordStatusText(index, RecordCount(image)));
    HexDump(out, image, extent.Start, extent.Size);
}

int UsageFailure(const std::string& message) {
    std::fprintf(stderr, "vexlin-dump: %s\n%s", message.c_str(), Usage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::string_view(argv[i]) == "--") {
            break;
        }
    }
    Options options;
    try {
        options = Parse(argc, argv);
    } catch (const UsageError& e) {
        return UsageFailure(e.Message);
    }

    ImagePtr image;
    try {
        image = LoadNewImage(options.File);
    } catch (const LoadError& e) {
        std::fprintf(stderr, "vexlin-dump: %s\n", e.what());
        return 1;
    }
    const std::uint16_t count = RecordCount(*image);
    if (options.Record && (*options.Record < 1 || *options.Record > count)) {
        return UsageFailure("record " + std::to_string(*options.Record) + " is outside 1.." +
                            std::to_string(count));
    }

    auto out = std::make_unique<StreamTarget>(stdout);
    if (options.Header) {
        out->Add("[Header]");
        for (const std::string& line : HeaderReport(*image)) {
            out->Add(line);
        }
    }
    if (options.AppInfo) {
        out->Add("[App Info]");
        PrintArea(*out, *image, AppInfoStretch(*image), NoAppInfoText);
    }
    if (options.SortInfo) {
        out->Add("[Sort Info]");
        PrintArea(*out, *image, SortInfoStretch(*image), NoSortInfoText);
    }
    if (options.Records || options.Record) {
        out->Add("[Records]");
        if (options.Record) {
            PrintRecord(*out, *image, static_cast<std::int32_t>(*options.Record - 1));
        } else {
            for (std::int32_t i = 0; i < count; ++i) {
                PrintRecord(*out, *image, i);
            }
        }
    }
    out->Flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "vexlin-dump: error writing standard output\n");
        return 1;
    }
    return 0;
}
