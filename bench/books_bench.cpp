// Times vexlin-dump's exports against the peers on the corpus, in the same run: the 5 MB
// text of a Mobipocket dictionary decoded and written (against mobitool -d), and 206 i-mode
// icons written as PNG files (against palmtopnm | pnmtopng once per record). Whole-process
// wall time, median of several runs; peak memory of vexlin-dump from the kernel's rusage.
// Prints one figure per line; a comparison whose peer or file is missing says so.
#include "BenchRun.h"
#include "Structure.h"
#include "content/core/Content.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace vexlin::bench;
namespace fs = std::filesystem;

namespace {

bool Have(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Each record of the database as a file of its own, for a peer that reads one bitmap.
std::size_t SplitRecords(const fs::path& database, const fs::path& folder) {
    const vexlin::ImagePtr image = vexlin::LoadNewImage(database.string());
    const vexlin::Structure structure = vexlin::ReadStructure(*image);
    fs::create_directories(folder);
    char name[32];
    for (std::size_t i = 0; i < structure.Records.size(); ++i) {
        const auto bytes = vexlin::content::EntryBytes(*image, structure, i).Data;
        std::snprintf(name, sizeof name, "%04zu.bin", i + 1);
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    return structure.Records.size();
}

} // namespace

int main(int argc, char** argv) {
    const std::string dump = argc > 1 ? argv[1] : "vexlin-dump";
    const fs::path corpus = argc > 2 ? argv[2] : "../shared/corpus";
    const int runs = argc > 3 ? std::atoi(argv[3]) : 9;
    // In memory where the system has it: rewriting a file on a disk may wait for the disk
    // (ext4 flushes a truncated file on close), which would measure the disk, not the tools.
    const fs::path work =
        (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
        "vexlin-bench-books";
    fs::remove_all(work);
    fs::create_directories(work / "mobitool");
    std::printf("runs %d\n", runs);

    const fs::path dictionary = corpus / "libmobi_dict-fileversion4_BOOKMOBI.pdb";
    if (!fs::exists(dictionary)) {
        std::printf("dictionary: not found in %s, not measured\n", corpus.c_str());
    } else {
        const Sample ours = Median(
            {dump, "--export", (work / "vexlin").string(), "--force", dictionary.string()}, runs);
        std::printf("dictionary_text_bytes %ju\n",
                    static_cast<std::uintmax_t>(
                        fs::file_size(work / "vexlin" / "libmobi_dict-fileversion4_BOOKMOBI.txt")));
        std::printf("dictionary_vexlin_export_ms %.1f\n", ours.Ms);
        std::printf("dictionary_vexlin_peak_kb %ld\n", ours.PeakKb);
        if (Have("mobitool")) {
            const Sample peer = Median(
                {"mobitool", "-d", "-o", (work / "mobitool").string(), dictionary.string()}, runs);
            std::printf("dictionary_mobitool_ms %.1f\n", peer.Ms);
            std::printf("dictionary_speedup %.1f\n", peer.Ms / ours.Ms);
        } else {
            std::printf("dictionary_mobitool: not installed, not compared\n");
        }
    }

    const fs::path icons = corpus / "plucker_imodeicons.pdb";
    if (!fs::exists(icons)) {
        std::printf("icons: not found in %s, not measured\n", corpus.c_str());
    } else {
        const Sample ours =
            Median({dump, "--export", (work / "vexlin").string(), "--force", icons.string()}, runs);
        std::printf("icons %zu\n", SplitRecords(icons, work / "records"));
        std::printf("icons_vexlin_export_ms %.1f\n", ours.Ms);
        if (Have("palmtopnm") && Have("pnmtopng")) {
            const std::string loop =
                "for f in '" + (work / "records").string() +
                "'/*.bin; do palmtopnm \"$f\" | pnmtopng > \"${f%.bin}.png\"; done";
            const Sample peer = Median({"sh", "-c", loop}, std::max(1, runs / 3));
            std::printf("icons_palmtopnm_pnmtopng_ms %.1f\n", peer.Ms);
            std::printf("icons_speedup %.1f\n", peer.Ms / ours.Ms);
        } else {
            std::printf("icons_palmtopnm: not installed, not compared\n");
        }
    }
    fs::remove_all(work);
    return 0;
}
