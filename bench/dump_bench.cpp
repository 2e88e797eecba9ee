// Times vexlin-dump against xxd on the largest database Vexlin opens: a 5,242,958-byte file
// whose one record spans nearly all of it. Whole-process wall time, median of several runs
// each; peak memory of vexlin-dump from the kernel's rusage. Prints one figure per line.
#include "DatabaseImage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Sample {
    double Ms;
    long PeakKb;
};

// Runs argv with standard output to /dev/null.
Sample RunOnce(const std::vector<std::string>& argv) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0].c_str());
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(end - start).count(), usage.ru_maxrss};
}

Sample Median(const std::vector<std::string>& argv, int runs) {
    std::vector<Sample> samples;
    for (int i = 0; i < runs; ++i) {
        samples.push_back(RunOnce(argv));
    }
    std::sort(samples.begin(), samples.end(), [](auto& a, auto& b) { return a.Ms < b.Ms; });
    Sample m = samples[samples.size() / 2];
    for (const auto& s : samples) {
        m.PeakKb = std::max(m.PeakKb, s.PeakKb);
    }
    return m;
}

} // namespace

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
