// Times the content modes on a memo database of 65,535 records (about 4.6 MB of memos in
// cp1252): vexlin-dump --json --content and --export, beside Perl's Palm::PDB pdbdump
// (with -nohex, its records decoded by Palm::Memo) on the same file when it is installed, and
// the floor under the export: 65,535 small files created with nothing else done; then the
// worst cases of what one file may make it do (WorstCases). Prints one figure per line.
// Arguments: the vexlin-dump program.
#include "BenchRun.h"
#include "BitmapBuilder.h"
#include "ContentSamples.h"

#include <chrono>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <unistd.h>

using namespace vexlin::bench;
using namespace vexlin::test;
namespace fs = std::filesystem;

namespace {

// The floor under a memo export: creating and writing 65,535 small files in one folder with
// nothing else done, as the file system on this machine allows.
double BareFilesMs(const fs::path& folder) {
    fs::create_directories(folder);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    const char text[] = "Memo 1\nCall back about the invoice\n";
    const auto start = std::chrono::steady_clock::now();
    for (int r = 1; r <= 65535; ++r) {
        char name[16];
        std::snprintf(name, sizeof name, "%04d.txt", r);
        const int fd = ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 || ::write(fd, text, sizeof text - 1) < 0 || ::close(fd) != 0)
            std::exit(1);
    }
    const auto end = std::chrono::steady_clock::now();
    ::close(dir);
    fs::remove_all(folder);
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// The worst cases of what a file may make vexlin-dump do: entries that share their bytes
// (a datebook event with 2,000 exceptions under 65,535 entries, a book's text record under
// 65,534), and 5 MB of distinct bitmaps of 2048 x 2048 pixels in RLE. Each is written to
// `work`, run once (they are long before the bounds), and measured.
void WorstCases(const std::string& dump, const fs::path& work) {
    const auto write = [&](const std::string& name, const Bytes& bytes) {
        const fs::path file = work / (name + ".pdb");
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        std::printf("%s_file_bytes %zu\n", name.c_str(), bytes.size());
        return file.string();
    };
    const auto measure = [&](const std::string& name, const std::vector<std::string>& argv) {
        const Sample s = RunOnce(argv, 3); // --check finds what the cases hold
        std::printf("%s_ms %.1f\n%s_peak_kb %ld\n", name.c_str(), s.Ms, name.c_str(), s.PeakKb);
    };
    Bytes event{9, 0, 10, 0, 0xC6, 0xA6, 0x0C, 0x00};
    Put16(event, 2000);
    for (int i = 0; i < 2000; ++i)
        Put16(event, 0xC6A7);
    PutText(event, "Meeting");
    const std::string datebook =
        write("shared_datebook", SharedRecords(PimBuilder("DatebookDB", "date"), event, 65535));
    measure("shared_datebook_export", {dump, "--export", (work / "dates").string(), datebook});

    PdbBuilder doc;
    doc.Type = "TEXt";
    doc.Creator = "REAd";
    Bytes header(16, 0);
    PutBE16(header, 0, 1);
    PutBE32(header, 4, 65534u * 4096);
    PutBE16(header, 8, 65534);
    PutBE16(header, 10, 4096);
    doc.Record(header);
    Bytes text;
    for (int i = 0; i < 4096; ++i)
        text.push_back(static_cast<std::uint8_t>("The quick brown fox. "[i % 21]));
    const std::string book = write("shared_book", SharedRecords(doc, text, 65534));
    measure("shared_book_json_content", {dump, "--json", "--content", book});

    TestBitmap big;
    big.Version = 2;
    big.Depth = 1;
    big.Width = big.Height = 2048;
    big.Compression = Packing::Rle;
    big.Pixels.assign(std::size_t{2048} * 2048, 1);
    PdbBuilder pictures;
    pictures.Type = "Imgs";
    const Bytes picture = big.Build();
    while ((pictures.Records.size() + 1) * (picture.size() + 8) + 1024 < 5'200'000)
        pictures.Record(picture);
    const std::string bitmaps = write("bitmaps_5mb", pictures.Build());
    measure("bitmaps_5mb_check", {dump, "--check", bitmaps});
    measure("bitmaps_5mb_export", {dump, "--export", (work / "pictures").string(), bitmaps});
}

// Record `index` of a built database (its bytes up to the next record's, or the end).
Bytes RecordOf(const Bytes& file, std::size_t index) {
    const auto offset = [&](std::size_t i) {
        const std::size_t at = 78 + 8 * i;
        return std::size_t{file[at]} << 24 | std::size_t{file[at + 1]} << 16 |
               std::size_t{file[at + 2]} << 8 | file[at + 3];
    };
    const std::size_t count = std::size_t{file[76]} << 8 | file[77];
    const std::size_t end = index + 1 < count ? offset(index + 1) : file.size();
    return Bytes(file.begin() + static_cast<long>(offset(index)), file.begin() + static_cast<long>(end));
}

// The Palm OS 5 formats against the classic ones, per record: 10,000 contacts with a photo,
// 10,000 calendar events in a time zone and 10,000 classic datebook events, each through
// --json --content and --export.
void NewPimFigures(const std::string& dump, const fs::path& work) {
    const auto run = [&](const std::string& name, PdbBuilder builder, const Bytes& record) {
        for (int r = 0; r < 10000; ++r)
            builder.Record(record);
        const fs::path file = work / (name + ".pdb");
        const Bytes bytes = builder.Build();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        const Sample json = Median({dump, "--json", "--content", file.string()}, 5);
        const fs::path out = work / (name + "-out");
        const Sample exported = RunOnce({dump, "--export", out.string(), file.string()});
        fs::remove_all(out);
        std::printf("%s_10000_json_content_ms %.1f\n%s_10000_json_content_peak_kb %ld\n",
                    name.c_str(), json.Ms, name.c_str(), json.PeakKb);
        std::printf("%s_10000_export_ms %.1f\n", name.c_str(), exported.Ms);
    };
    run("contacts", PimBuilder("ContactsDB-PAdd", "PAdd"), RecordOf(ContactsSample(), 0));
    run("calendar", PimBuilder("CalendarDB-PDat", "PDat"), RecordOf(CalendarSample(), 0));
    run("datebook", PimBuilder("DatebookDB", "date"), RecordOf(DatebookSample(), 0));
}

} // namespace

int main(int argc, char** argv) {
    const std::string dump = argc > 1 ? argv[1] : "vexlin-dump";
    const fs::path work =
        fs::temp_directory_path() / ("vexlin-content-bench-" + std::to_string(::getpid()));
    fs::create_directories(work);

    PdbBuilder memos = PimBuilder("MemoDB", "memo");
    Bytes app = CategoryBlock({"Unfiled", "Business", "Personal"});
    app.insert(app.end(), 4, 0); // reserved word, sort order, pad
    memos.App(app);
    for (int r = 0; r < 65535; ++r) {
        Bytes text;
        PutText(text, "Memo " + std::to_string(r) + "\n\x93" "Call back\x94 \x96 about the \x80" +
                          std::to_string(r % 1000) + " invoice");
        memos.Record(text);
    }
    const fs::path file = work / "MemoDB.pdb";
    const Bytes bytes = memos.Build();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));

    const Sample json = Median({dump, "--json", "--content", file.string()}, 9);
    const Sample text = Median({dump, "--content", file.string()}, 9);
    // Each export into a folder of its own: the files are new each time, as a first export's.
    std::vector<double> exports;
    for (int run = 0; run < 5; ++run) {
        const fs::path out = work / ("out" + std::to_string(run));
        exports.push_back(RunOnce({dump, "--export", out.string(), file.string()}).Ms);
        fs::remove_all(out);
    }
    std::sort(exports.begin(), exports.end());
    const Sample exported{exports[exports.size() / 2], 0};
    const double bare = BareFilesMs(work / "bare");
    std::printf("content_file_bytes %zu\n", bytes.size());
    std::printf("json_content_65535_ms %.1f\n", json.Ms);
    std::printf("json_content_65535_peak_kb %ld\n", json.PeakKb);
    std::printf("content_text_65535_ms %.1f\n", text.Ms);
    std::printf("export_65535_ms %.1f\n", exported.Ms);
    std::printf("bare_65535_files_ms %.1f\n", bare);
    const char* pdbdump = "/usr/share/doc/libpalm-perl/examples/pdbdump";
    if (fs::exists(pdbdump) && std::system("perl -MPalm::PDB -e1 2>/dev/null") == 0) {
        const Sample peer = Median({"perl", pdbdump, "-nohex", file.string()}, 3);
        std::printf("pdbdump_nohex_65535_ms %.1f\n", peer.Ms);
        std::printf("pdbdump_nohex_65535_peak_kb %ld\n", peer.PeakKb);
    } else {
        std::printf("pdbdump_nohex_65535_ms skipped: libpalm-perl is not installed\n");
    }
    WorstCases(dump, work);
    NewPimFigures(dump, work);
    fs::remove_all(work);
    return 0;
}
