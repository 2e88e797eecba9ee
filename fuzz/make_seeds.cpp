// Writes the synthetic edge cases of the tests into a folder, as fuzz seeds.
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
    return 0;
}
