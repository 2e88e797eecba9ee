// Writes the synthetic edge cases and the personal information databases of the tests into a
// folder, as fuzz seeds.
#include "ContentSamples.h"
#include "MalformedCases.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    for (const auto& [name, bytes] : vexlin::test::MalformedCases()) {
        std::ofstream(std::filesystem::path(argv[1]) / (name + ".pdb"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    // The personal information databases, led by fuzz_content's two choice bytes (a whole
    // file, cp1252).
    for (const auto& [name, bytes] : vexlin::test::PimSamples()) {
        std::vector<std::uint8_t> led = {7, 0};
        led.insert(led.end(), bytes.begin(), bytes.end());
        std::ofstream(std::filesystem::path(argv[1]) / ("content-" + name + ".pdb"), std::ios::binary)
            .write(reinterpret_cast<const char*>(led.data()), static_cast<long>(led.size()));
    }
    return 0;
}
