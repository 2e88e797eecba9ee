// Writes the synthetic edge cases, the personal information databases and bitmaps of every
// version, depth and compression from the tests into a folder, as fuzz seeds.
#include "BitmapBuilder.h"
#include "ContentSamples.h"
#include "MalformedCases.h"

#include <cstdio>
#include <fstream>

namespace {

void Save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
    using namespace vexlin::test;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const auto& [name, bytes] : MalformedCases())
        Save(folder / (name + ".pdb"), bytes);
    // The personal information databases, led by fuzz_content's two choice bytes (a whole
    // file, cp1252).
    for (const auto& [name, bytes] : PimSamples()) {
        std::vector<std::uint8_t> led = {7, 0};
        led.insert(led.end(), bytes.begin(), bytes.end());
        Save(folder / ("content-" + name + ".pdb"), led);
    }
    for (const int version : {1, 2, 3}) {
        for (const int depth : {1, 2, 4, 8, 16}) {
            for (const Packing packing :
                 {Packing::None, Packing::Scanline, Packing::Rle, Packing::PackBits}) {
                TestBitmap drawn;
                drawn.Version = version;
                drawn.Depth = depth;
                drawn.Width = 11;
                drawn.Height = 3;
                drawn.Compression = packing;
                drawn.Transparent = 1;
                for (std::uint32_t i = 0; i < 33; ++i)
                    drawn.Pixels.push_back((i * i) % (depth == 16 ? 65536 : 1u << depth));
                if (depth == 4)
                    drawn.ColorTable = {0xFF0000, 0x00FF00, 0x0000FF};
                Save(folder / ("bitmap-v" + std::to_string(version) + "-" + std::to_string(depth) +
                               "-" + std::to_string(static_cast<int>(packing)) + ".bin"),
                     drawn.Build());
            }
        }
    }
    return 0;
}
