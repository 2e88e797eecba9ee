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
// Filled with junk once; after that each image holds the previous input's bytes, which a
// load must clear as thoroughly as the junk.
ImagePtr Junk(int value) {
    ImagePtr image = NewImage();
    std::memset(image.get(), value, sizeof(DatabaseImage));
    return image;
}
ImagePtr FromDisk = Junk(0xA5);
ImagePtr FromMemory = Junk(0x5A);
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
    LoadImage(*FromDisk, Path);
    LoadImageFromBytes(*FromMemory, {data, size});
    if (std::memcmp(FromDisk.get(), FromMemory.get(), sizeof(DatabaseImage)) != 0) {
        std::abort();
    }
    return 0;
}
