// Writes the built personal information databases into a folder (for the Python read-back
// and peer tests): MemoSample.pdb, ToDoSample.pdb, DatebookSample.pdb, AddressSample.pdb,
// MailSample.pdb.
#include "ContentSamples.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_content_samples FOLDER\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    for (const auto& [name, bytes] : vexlin::test::PimSamples()) {
        std::ofstream(std::filesystem::path(argv[1]) / (name + ".pdb"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    return 0;
}
