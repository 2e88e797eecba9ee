// Arbitrary bytes written to a file and loaded from disk give the same image as the same
// bytes loaded from memory.
#include "DatabaseImage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

using namespace vexlin;

namespace {
const std::string Path = "/tmp/vexlin-fuzz-load-" + std::to_string(getpid()) + ".pdb";
ImagePtr FromDisk = NewImage();
ImagePtr FromMemory = NewImage();
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(ImageCapacity)) {
        return -1;
    }
    std::FILE* file = std::fopen(Path.c_str(), "wb");
    if (file == nullptr) {
        std::abort();
    }
    if (size != 0) {
        std::fwrite(data, 1, size, file);
    }
    std::fclose(file);
    // Fill both with junk first: loading must leave nothing of it behind.
    std::memset(FromDisk.get(), 0xA5, sizeof(DatabaseImage));
    std::memset(FromMemory.get(), 0x5A, sizeof(DatabaseImage));
    LoadImage(*FromDisk, Path);
    LoadImageFromBytes(*FromMemory, {data, size});
    if (std::memcmp(FromDisk.get(), FromMemory.get(), sizeof(DatabaseImage)) != 0) {
        std::abort();
    }
    return 0;
}
