// Writes the synthetic edge cases, the personal information databases, bitmaps of every
// version, depth and compression, and HUFF/CDIC text from the tests into a folder, as fuzz
// seeds.
#include "BitmapBuilder.h"
#include "ContentSamples.h"
#include "HuffCdicBuilder.h"
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
                TestBitmap drawn = Drawn(version, depth, packing);
                drawn.Transparent = 1;
                if (depth == 4)
                    drawn.ColorTable = {0xFF0000, 0x00FF00, 0x0000FF};
                Save(folder / ("bitmap-v" + std::to_string(version) + "-" + std::to_string(depth) +
                               "-" + std::to_string(static_cast<int>(packing)) + ".bin"),
                     drawn.Build());
            }
        }
    }
    // HUFF/CDIC laid out as fuzz_books reads it: tables, phrase count, body size, the CDIC
    // body, a text record.
    const TestHuffCdic words = TestHuffCdic::Words();
    const Bytes huff = TestHuffCdic::Huff();
    const Bytes cdic = words.Cdics(16).front();
    Bytes seed(huff.begin() + 24, huff.begin() + 24 + 1280);
    seed.resize(seed.size() + 4);
    PutBE16(seed, 1280, static_cast<std::uint16_t>(words.Phrases.size()));
    PutBE16(seed, 1282, static_cast<std::uint16_t>(cdic.size() - 16));
    seed.insert(seed.end(), cdic.begin() + 16, cdic.end());
    const Bytes text = TestHuffCdic::Codes({281, 7, 254, 280, 285, 0, 99, 281});
    seed.insert(seed.end(), text.begin(), text.end());
    Save(folder / "huffcdic.bin", seed);
    return 0;
}
