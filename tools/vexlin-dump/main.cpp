// vexlin-dump: prints the views of Palm databases (header report, app info, sort info,
// records) as text, and inspects them: decoded header, entry list, structure check, JSON,
// one-line summaries. Many files in one run share one image.
#include "ContentModes.h"
#include "Hex.h"
#include "DatabaseImage.h"
#include "Escape.h"
#include "Modes.h"
#include "Options.h"
#include "RecordView.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/stat.h>
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
    bool Failed = false; // a file could not be read, or lacks what was asked for
    bool Findings = false;
    // The base names --export has given files so far, and the FILE of each: a second
    // database of the same base name would mix its files with the first's.
    std::map<std::string, std::string> Exported;
};

// A file name as messages show it: escaped as --summary shows it, so that no control
// character from a name reaches standard error.
std::string Shown(const std::string& file) {
    return file.empty() ? "''" : Escaped(file);
}

// A message about one file on standard error, after what standard output holds so far.
void Complain(StreamTarget& out, const std::string& file, const std::string& message) {
    out.Flush();
    std::fflush(stdout);
    std::fprintf(stderr, "vexlin-dump: %s: %s\n", Shown(file).c_str(),
                 ControlsEscaped(message).c_str()); // a path in it, from the name
}

const DatabaseImage& Load(ImageReader& reader, const std::string& file, bool whole) {
    if (file.empty()) {
        throw LoadError(file, "no such file");
    }
    if (file == "-") {
        return reader.LoadStream(stdin, "-", !whole);
    }
    return whole ? reader.Load(file) : reader.LoadStructure(file);
}


// --raw: the bytes the chosen stretch's dump lists, as the file holds them; for --record of a
// resource database, the resource's bytes as its 10-byte entry places them (the dump views
// read every entry list as 8-byte record entries). Returns what is wrong when the stretch
// does not exist; an empty stretch writes nothing.
std::optional<std::string> WriteRaw(const Options& o, const DatabaseImage& image,
                                    const Structure& structure) {
    const std::int32_t fileSize = image.FileSize;
    std::string what;
    std::int64_t start = 0;
    std::int64_t size = 0;
    if (o.Record && structure.Kind == DatabaseKind::Resource) {
        // Counted from 1 and within the header's count (checked before).
        const auto index = static_cast<std::size_t>(*o.Record - 1);
        if (index >= structure.Resources.size())
            return "resource " + std::to_string(*o.Record) + "'s entry lies past the end of the file";
        const ResourceInfo& r = structure.Resources[index];
        what = "resource " + std::to_string(*o.Record) + " (" + CodeText(r.Type) + " " +
               std::to_string(r.ID) + ")";
        start = r.Offset;
        size = r.Size;
    } else if (o.Record) {
        const Extent e = RecordExtent(image, static_cast<std::int32_t>(*o.Record - 1));
        what = "record " + std::to_string(*o.Record);
        start = e.Start;
        size = e.Size;
    } else {
        const bool app = o.AppInfo;
        const std::int32_t offset = app ? image.Header.AppInfoArea : image.Header.SortInfoArea;
        what = app ? "the app info area" : "the sort info area";
        if (offset == 0) {
            return "the database has no " + what.substr(4);
        }
        start = offset;
        size = app ? image.AppInfoSize : image.SortInfoSize;
    }
    if (start < 0 || start > fileSize || (start == fileSize && size > 0)) {
        return what + " starts at " + Hex(static_cast<std::uint32_t>(start)) + ", outside the file of " +
               std::to_string(fileSize) + " bytes";
    }
    if (size < 0) {
        return what + " has a negative size (" + std::to_string(size) +
               "): the offsets after it are out of order";
    }
    const DumpStretch stretch =
        ClampToFile(image, static_cast<std::int32_t>(start),
                    static_cast<std::int32_t>(std::min<std::int64_t>(size, fileSize - start)));
    if (stretch.Size == 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(stretch.Size);
    CopyFileBytes(image, stretch.Start, stretch.Size, bytes.data());
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return std::nullopt;
}

// The content when a mode asks for it: --content and --export always, --check for a known
// format whose file the image holds whole. A book's text goes straight to the files of an
// export unless --content prints it as well; bitmaps go to theirs as each is decoded.
std::optional<content::Content> ReadContentFor(const Options& o, const DatabaseImage& image,
                                               const ImageReader& reader,
                                               const Structure& structure, ExportTarget* target) {
    const bool whole = reader.TrueSize() == structure.FileSize &&
                       structure.FileSize <= static_cast<std::uint64_t>(ImageCapacity);
    const bool checks = o.Check && whole &&
                        &content::Identify({image, structure}) != &content::UnknownFormat;
    if (!o.Content && !o.ExportDir && !checks) {
        return std::nullopt;
    }
    const content::ContentOptions options = ExportContentOptions(o.Encoding, target, o.Content);
    return content::ReadContent(image, structure, options);
}

// --export: the database's files; false when one could not be written, or there is nothing
// to export (a format without an export, or no item to write).
bool ExportFile(ExportTarget& target, const std::string& file, const content::Content& c,
                StreamTarget& out) {
    try {
        if (!Export(target, c)) {
            Complain(out, file,
                     "nothing to export (format " + std::string(c.Format->Name) + ")");
            return false;
        }
        return true;
    } catch (const ExportError& e) {
        Complain(out, file, e.what());
        return false;
    }
}

void Process(const Options& o, const std::string& file, ImageReader& reader, StreamTarget& out,
             Outcome& outcome) {
    const bool several = o.Files.size() > 1;
    const DatabaseImage* loaded = nullptr;
    try {
        loaded = &Load(reader, file, o.NeedsWholeFile());
    } catch (const LoadError& e) {
        std::string reason = e.reason();
        struct stat status {};
        if (::stat(file.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) {
            reason += " but a pipe: give - to read a pipe from standard input";
        }
        Complain(out, file, reason);
        if (o.Json) {
            out.Add(JsonError(file, reason));
        } else if (o.Summary) {
            PrintSummaryError(out, file, reason);
        }
        outcome.Failed = true;
        return;
    }
    const DatabaseImage& image = *loaded;
    const std::uint16_t count = RecordCount(image);
    if (o.Record && (*o.Record < 1 || *o.Record > count)) {
        Complain(out, file,
                 "record " + std::to_string(*o.Record) + " asked for, but the database has " +
                     (count == 0 ? std::string("no records")
                                 : std::to_string(count) + (count == 1 ? " record" : " records")));
        outcome.Failed = true;
        return;
    }
    if (o.Raw) {
        const Structure entries =
            o.Record ? ReadStructure(image, reader.TrueSize(), "") : Structure{};
        if (const auto missing = WriteRaw(o, image, entries)) {
            Complain(out, file, *missing);
            outcome.Failed = true;
        }
        return;
    }

    const bool readsContent = o.Content || o.ExportDir;
    const bool inspects = o.Info || o.List || o.Check || o.Json || o.Summary || readsContent;
    Structure structure =
        inspects ? ReadStructure(image, reader.TrueSize(), file == "-" ? "" : file) : Structure{};
    std::optional<ExportTarget> target;
    if (o.ExportDir) {
        std::string base = ExportBaseName(file);
        const auto [earlier, fresh] = outcome.Exported.emplace(base, file);
        if (fresh) {
            target.emplace(ExportOptions{*o.ExportDir, o.Force, o.Verbose}, std::move(base),
                           file == "-" ? std::string("stdin")
                                       : std::filesystem::path(file).stem().string());
        } else {
            Complain(out, file,
                     "not exported: its base name " + base + " is taken in this run by " +
                         Shown(earlier->second) + " (export it on its own or under another name)");
            outcome.Failed = true;
        }
    }
    const std::optional<content::Content> content =
        ReadContentFor(o, image, reader, structure, target ? &*target : nullptr);
    if (content && (o.Check || o.Json)) {
        content::MergeFindings(structure, content->Findings);
    }
    // --export alone prints nothing else: what the export leaves out or cuts (the findings
    // --check would list) is said on standard error, so that nothing is lost unseen.
    if (target && content && !o.Content && !o.Check && !o.Json) {
        for (const Finding& finding : content->Findings) {
            Complain(out, file, FindingLine(finding));
        }
    }
    if (o.Check && structure.Errors + structure.Warnings > 0) {
        outcome.Findings = true;
    }
    if (target && !ExportFile(*target, file, *content, out)) {
        outcome.Failed = true;
    }
    // The base name stays taken only by an export that wrote a file: one with nothing to
    // export leaves nothing a later database could mix with. (A run of this file cut short,
    // out of memory, keeps it taken.)
    if (target && target->Written() == 0) {
        outcome.Exported.erase(target->BaseName());
    }
    if (o.Json) {
        // Straight to the output, not held whole: the arrays may run to megabytes.
        const JsonWriter write = [&](std::string_view piece) { out.Write(piece); };
        WriteJsonObject(write, file, image, structure, o.Content);
        if (o.Content) {
            WriteContentKey(out, *content);
        } else {
            out.Write("\n");
        }
        return;
    }
    if (o.Summary) {
        PrintSummaryRow(out, file, image, structure);
        return;
    }
    const bool text = o.Header || o.Info || o.AppInfo || o.SortInfo || o.List || o.Records ||
                      o.Record || o.Content || o.Check;
    if (!text) {
        return; // --export alone
    }
    if (several) {
        out.Add("==> " + file + " <==");
    }
    DumpSections sections{o.Header, o.AppInfo, o.SortInfo, o.Records, std::nullopt};
    if (o.Record) {
        sections.Record = static_cast<std::int32_t>(*o.Record - 1);
    }
    if (o.Header) {
        PrintHeaderSection(out, image, ::isatty(STDOUT_FILENO) != 0);
    }
    if (o.Info) {
        PrintInfo(out, image, structure);
    }
    PrintAreaSections(out, image, sections);
    if (o.List) {
        PrintList(out, structure);
    }
    PrintRecordsSection(out, image, sections);
    if (o.Content) {
        PrintContent(out, *content);
    }
    if (o.Check) {
        PrintCheck(out, structure);
    }
}

} // namespace

// Out of memory outside any one file (the image, before the first): a message, never a signal.
int main(int argc, char** argv) try {
#if defined(__GLIBC__)
    // Bitmaps are exported one entry at a time, each entry's pixels freed before the next is
    // decoded: with the default threshold the C library would hand the top of the heap back
    // to the kernel after each entry and ask for it again (206 icons: 34 ms instead of 15).
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
#endif
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help") {
            std::fputs(UsageText, stdout);
            return 0;
        }
        if (std::string_view(argv[i]) == "--version") {
            std::fputs(VersionText, stdout);
            return 0;
        }
        if (std::string_view(argv[i]) == "--") {
            break;
        }
    }
    Options options;
    try {
        options = ParseOptions(argc, argv);
        if (!options.Encoding.empty()) {
            const content::TextDecoder known(options.Encoding);
        }
    } catch (const UsageError& e) {
        return UsageFailure(e.Message);
    } catch (const std::invalid_argument& e) {
        return UsageFailure(std::string("--encoding: ") + e.what());
    }
    if (options.Raw && ::isatty(STDOUT_FILENO)) {
        return UsageFailure("--raw writes bytes, not text: redirect standard output to a file "
                            "or a pipe");
    }
    if (std::find(options.Files.begin(), options.Files.end(), "-") != options.Files.end() &&
        ::isatty(STDIN_FILENO)) {
        return UsageFailure("- reads standard input, which is a terminal: redirect a file or a "
                            "pipe into it");
    }

    if (options.ExportDir) {
        // A file size limit (ulimit -f) then fails the write with EFBIG, as a full disk does,
        // instead of killing the run with a temporary file left behind.
        std::signal(SIGXFSZ, SIG_IGN);
        // Ctrl-C or a kill while a file is written leaves no temporary behind.
        RemoveTemporariesOnSignals();
    }
    ImageReader reader;
    Outcome outcome;
    auto out = std::make_unique<StreamTarget>(stdout);
    if (options.Summary) {
        PrintSummaryTitles(*out);
    }
    // A failed write ends the run: the files after it are not read.
    const auto writeError = [&]() -> int {
        if (const int error = out->WriteError()) {
            return error;
        }
        return std::ferror(stdout) ? (errno != 0 ? errno : EIO) : 0;
    };
    int error = 0;
    for (const std::string& file : options.Files) {
        // Content is bounded by the file's size, but a memory limit (ulimit -v) may still be
        // lower than what a large file needs: the file fails with a message, never a signal.
        try {
            Process(options, file, reader, *out, outcome);
        } catch (const std::bad_alloc&) {
            Complain(*out, file, "out of memory (the content of this file needs more than the "
                                 "process may take)");
            outcome.Failed = true;
        }
        if ((error = writeError()) != 0) {
            break;
        }
    }
    if (error == 0) {
        out->Flush();
        errno = 0;
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            error = errno != 0 ? errno : EIO;
        }
        error = error != 0 ? error : out->WriteError();
    }
    if (error != 0) {
        std::fprintf(stderr, "vexlin-dump: error writing standard output: %s\n",
                     std::strerror(error));
        return 1;
    }
    if (outcome.Failed) {
        return 1;
    }
    return outcome.Findings ? 3 : 0;
} catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fputs("vexlin-dump: out of memory\n", stderr);
    return 1;
}
