// Arbitrary bytes as a bitmap family: every member's pixels exactly as large as it says and
// never above the cap, and the first member's PNG made by libpng as the export makes it.
#include "Png.h"
#include "content/picture/Bitmap.h"

#include <cstdlib>

using namespace vexlin;
using namespace vexlin::content;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<Finding> findings;
    const auto family = ReadBitmapFamily(ByteSpan(data, size), 0, "bitmap", findings);
    for (const Bitmap& b : family) {
        const std::size_t pixels = std::size_t{b.PixelWidth} * b.PixelHeight;
        if (b.Rgba.size() != pixels * 4 || pixels > BitmapPixelsMax || b.PixelWidth > b.Width ||
            b.PixelHeight > b.Height)
            std::abort();
    }
    if (!family.empty() && !family[0].Rgba.empty() && family[0].Rgba.size() <= 4 * 65536)
        (void)dump::EncodePng(family[0].PixelWidth, family[0].PixelHeight, family[0].Rgba);
    (void)BestMember(family);
    return 0;
}
