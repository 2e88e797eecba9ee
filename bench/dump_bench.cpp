// Times vexlin-dump against xxd on the largest database Vexlin opens: a 5,242,958-byte file
// whose one record spans nearly all of it. Whole-process wall time, median of several runs
// each; peak memory of vexlin-dump from the kernel's rusage. Prints one figure per line.
#include "BenchRun.h"
#include "DatabaseImage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace vexlin::bench;

int main(int argc, char** argv) {
    const std::string dump = argc > 1 ? argv[1] : "vexlin-dump";
    const int runs = argc > 2 ? std::atoi(argv[2]) : 9;
    const auto path = std::filesystem::temp_directory_path() / "vexlin-bench-5m.pdb";

    std::vector<unsigned char> bytes(vexlin::ImageCapacity);
    std::mt19937 random(42);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<unsigned char>(random()); });
    std::fill(bytes.begin(), bytes.begin() + 88, 0);
    std::copy_n("Bench", 5, bytes.begin());
    bytes[77] = 1;  // one record
    bytes[81] = 88; // at offset 88, running to the end of the file
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));

    const Sample ours = Median({dump, "--records", path.string()}, runs);
    const Sample xxd = Median({"xxd", path.string()}, runs);
    std::filesystem::remove(path);
    std::printf("file_bytes %d\n", vexlin::ImageCapacity);
    std::printf("runs %d\n", runs);
    std::printf("vexlin_dump_ms %.1f\n", ours.Ms);
    std::printf("xxd_ms %.1f\n", xxd.Ms);
    std::printf("speedup %.1f\n", xxd.Ms / ours.Ms);
    std::printf("vexlin_dump_peak_kb %ld\n", ours.PeakKb);
    return 0;
}
