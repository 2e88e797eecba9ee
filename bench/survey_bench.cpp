// Times vexlin-dump on many files and on a long entry list: one --summary run over a folder
// tree of 3,400 databases (the real databases, a hundred copies each) against one --header run
// per file, and --check and --json on a database of 65,535 records. Prints one figure per
// line. Arguments: the vexlin-dump program, the folder of real databases.
#include "BenchRun.h"
#include "PdbBuilder.h"

#include <filesystem>
#include <fstream>

using namespace vexlin::bench;
using namespace vexlin::test;
namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// The real databases, or a few made here when the folder is not there.
std::vector<fs::path> Originals(const fs::path& corpus, const fs::path& work) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(corpus, ec)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (ext == ".pdb" || ext == ".prc") {
            files.push_back(entry.path());
        }
    }
    if (files.empty()) {
        for (int i = 0; i < 34; ++i) {
            PdbBuilder b;
            for (int r = 0; r < 10 * i; ++r) {
                b.Record(Bytes(64, static_cast<std::uint8_t>(r)));
            }
            files.push_back(work / ("made-" + std::to_string(i) + ".pdb"));
            Write(files.back(), b.Build());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    const std::string dump = argc > 1 ? argv[1] : "vexlin-dump";
    const fs::path corpus = argc > 2 ? argv[2] : "../shared/corpus";
    const fs::path work = fs::temp_directory_path() / ("vexlin-survey-bench-" + std::to_string(::getpid()));
    fs::create_directories(work);

    const std::vector<fs::path> originals = Originals(corpus, work);
    std::vector<std::string> summary = {dump, "--summary"};
    for (int copy = 0; copy < 100; ++copy) {
        const fs::path dir = work / std::to_string(copy);
        fs::create_directories(dir);
        for (const fs::path& file : originals) {
            fs::copy_file(file, dir / file.filename(), fs::copy_options::overwrite_existing);
            summary.push_back((dir / file.filename()).string());
        }
    }
    const std::size_t files = summary.size() - 2;
    const Sample one = Median(summary, 5);
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 2; i < summary.size(); ++i) {
        RunOnce({dump, "--header", summary[i]});
    }
    const double perFile =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    PdbBuilder big;
    big.Name = "65535 records";
    for (int r = 0; r < 65535; ++r) {
        big.Record(Bytes(4, static_cast<std::uint8_t>(r)));
    }
    const fs::path bigPath = work / "65535.pdb";
    Write(bigPath, big.Build());
    const Sample check = Median({dump, "--check", bigPath.string()}, 9, 3);
    const Sample json = Median({dump, "--json", bigPath.string()}, 9);
    fs::remove_all(work);

    std::printf("summary_files %zu\n", files);
    std::printf("summary_one_process_ms %.1f\n", one.Ms);
    std::printf("header_per_file_ms %.1f\n", perFile);
    std::printf("summary_speedup %.1f\n", perFile / one.Ms);
    std::printf("summary_peak_kb %ld\n", one.PeakKb);
    std::printf("check_65535_ms %.1f\n", check.Ms);
    std::printf("json_65535_ms %.1f\n", json.Ms);
    std::printf("json_65535_peak_kb %ld\n", json.PeakKb);
    return 0;
}
