// vexlin-dump: prints the views of Palm databases (header report, app info, sort info,
// records) as text, and inspects them: decoded header, entry list, structure check, JSON,
// one-line summaries. Many files in one run share one image.
#include "DatabaseImage.h"
#include "Modes.h"
#include "Options.h"
#include "RecordView.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

using namespace vexlin;
using namespace vexlin::dump;

namespace {

int UsageFailure(const std::string& message) {
    std::fprintf(stderr, "vexlin-dump: %s\n%s", message.c_str(), UsageText);
    return 2;
}

// What the run has seen so far, for the exit status.
struct Outcome {
    bool Unreadable = false;
    bool Usage = false;
    bool Findings = false;
};

const DatabaseImage& Load(ImageReader& reader, const std::string& file, bool whole) {
    if (file == "-") {
        return reader.LoadStream(stdin, "-");
    }
    return whole ? reader.Load(file) : reader.LoadStructure(file);
}

// --raw: the bytes the chosen stretch's dump lists, as the file holds them.
void WriteRaw(const Options& o, const DatabaseImage& image) {
    std::optional<DumpStretch> stretch;
    if (o.Record) {
        const Extent e = RecordExtent(image, static_cast<std::int32_t>(*o.Record - 1));
        stretch = ClampToFile(image, e.Start, e.Size);
    } else {
        stretch = o.AppInfo ? AppInfoStretch(image) : SortInfoStretch(image);
    }
    if (!stretch || stretch->Size == 0) {
        return;
    }
    std::vector<std::uint8_t> bytes(stretch->Size);
    CopyFileBytes(image, stretch->Start, stretch->Size, bytes.data());
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void Process(const Options& o, const std::string& file, ImageReader& reader, StreamTarget& out,
             Outcome& outcome) {
    const bool several = o.Files.size() > 1;
    const DatabaseImage* loaded = nullptr;
    try {
        loaded = &Load(reader, file, o.NeedsWholeFile());
    } catch (const LoadError& e) {
        out.Flush();
        std::fflush(stdout);
        std::fprintf(stderr, "vexlin-dump: %s\n", e.what());
        outcome.Unreadable = true;
        return;
    }
    const DatabaseImage& image = *loaded;
    const std::uint16_t count = RecordCount(image);
    if (o.Record && (*o.Record < 1 || *o.Record > count)) {
        out.Flush();
        std::fflush(stdout);
        const std::string message = "record " + std::to_string(*o.Record) + " is outside 1.." +
                                    std::to_string(count);
        if (several) {
            std::fprintf(stderr, "vexlin-dump: %s: %s\n", file.c_str(), message.c_str());
        } else {
            UsageFailure(message);
        }
        outcome.Usage = true;
        return;
    }
    if (o.Raw) {
        WriteRaw(o, image);
        return;
    }

    const bool inspects = o.Info || o.List || o.Check || o.Json || o.Summary;
    const Structure structure =
        inspects ? ReadStructure(image, reader.TrueSize(), file == "-" ? "" : file) : Structure{};
    if (o.Check && structure.Errors + structure.Warnings > 0) {
        outcome.Findings = true;
    }
    if (o.Json) {
        out.Add(JsonObject(file, image, structure));
        return;
    }
    if (o.Summary) {
        PrintSummaryRow(out, file, image, structure);
        return;
    }
    if (several) {
        out.Add("==> " + file + " <==");
    }
    DumpSections sections{o.Header, o.AppInfo, o.SortInfo, o.Records, std::nullopt};
    if (o.Record) {
        sections.Record = static_cast<std::int32_t>(*o.Record - 1);
    }
    if (o.Header) {
        PrintHeaderSection(out, image);
    }
    if (o.Info) {
        PrintInfo(out, image, structure);
    }
    PrintAreaSections(out, image, sections);
    if (o.List) {
        PrintList(out, structure);
    }
    PrintRecordsSection(out, image, sections);
    if (o.Check) {
        PrintCheck(out, structure);
    }
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help") {
            std::fputs(UsageText, stdout);
            return 0;
        }
        if (std::string_view(argv[i]) == "--") {
            break;
        }
    }
    Options options;
    try {
        options = ParseOptions(argc, argv);
    } catch (const UsageError& e) {
        return UsageFailure(e.Message);
    }
    if (options.Raw && ::isatty(STDOUT_FILENO)) {
        return UsageFailure("--raw writes bytes, not text: redirect standard output to a file "
                            "or a pipe");
    }

    ImageReader reader;
    Outcome outcome;
    auto out = std::make_unique<StreamTarget>(stdout);
    if (options.Summary) {
        PrintSummaryTitles(*out);
    }
    for (const std::string& file : options.Files) {
        Process(options, file, reader, *out, outcome);
    }
    out->Flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "vexlin-dump: error writing standard output\n");
        return 1;
    }
    if (outcome.Usage) {
        return 2;
    }
    if (outcome.Unreadable) {
        return 1;
    }
    return outcome.Findings ? 3 : 0;
}
