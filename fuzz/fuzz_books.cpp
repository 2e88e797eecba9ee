// Arbitrary bytes as an e-book: the PalmDOC decompressor on the bytes as one record (its
// text never past the limit), the trailing entries, the HUFF/CDIC decoder on tables, phrases
// and a record cut from the bytes, and the whole book read from a database whose record 0 and
// text records are cut from the bytes.
#include "content/core/Bound.h"
#include "content/core/Content.h"
#include "content/compression/HuffCdic.h"
#include "content/book/PalmDoc.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace vexlin;
using namespace vexlin::content;

namespace {

void PutBE(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int width) {
    for (int i = 0; i < width; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * (width - 1 - i)));
}

// HUFF/CDIC: 1,280 bytes of code tables, the number of phrases and the size of their CDIC
// record's body (two bytes each), the body, and a text record (the rest). Decoded twice: the
// second time from the phrases the first expanded.
void DecodeHuffCdic(ByteSpan bytes) {
    constexpr std::size_t Tables = 1280;
    if (bytes.size() < Tables + 4)
        return;
    std::vector<std::uint8_t> huff(24, 0);
    std::memcpy(huff.data(), "HUFF", 4);
    PutBE(huff, 4, 24, 4);
    PutBE(huff, 8, 24, 4);
    PutBE(huff, 12, 24 + 1024, 4);
    huff.insert(huff.end(), bytes.begin(), bytes.begin() + Tables);
    const std::uint32_t phrases = bytes[Tables] << 8 | bytes[Tables + 1];
    const ByteSpan rest = bytes.subspan(Tables + 4);
    const std::size_t body =
        std::min<std::size_t>(rest.size(), bytes[Tables + 2] << 8 | bytes[Tables + 3]);
    std::vector<std::uint8_t> cdic(16, 0);
    std::memcpy(cdic.data(), "CDIC", 4);
    PutBE(cdic, 4, 16, 4);
    PutBE(cdic, 8, phrases, 4);
    PutBE(cdic, 12, 16, 4);
    cdic.insert(cdic.end(), rest.begin(), rest.begin() + body);
    std::vector<std::string> problems;
    HuffCdicDecoder decoder(huff, {ByteSpan(cdic)}, problems);
    if (!decoder.Usable())
        return;
    std::string text;
    for (int pass = 0; pass < 2; ++pass) {
        HuffCdicFaults faults;
        decoder.Decode(rest.subspan(body), text, PalmDocRecordMax, faults);
        if (text.size() > PalmDocRecordMax)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteSpan bytes(data, size);
    char text[PalmDocRecordMax + PalmDocSlack];
    for (const std::size_t limit : {std::size_t{16}, PalmDocRecordMax}) {
        DecompressFaults faults;
        if (DecompressPalmDoc(bytes, text, limit, faults) > limit)
            std::abort();
    }
    if (size >= 2) {
        const auto kept = StripTrailingEntries(bytes.subspan(2),
                                               static_cast<std::uint16_t>(data[0] << 8 | data[1]));
        if (kept && kept->size() > size - 2)
            std::abort();
    }
    DecodeHuffCdic(bytes);
    // A database: the first byte picks the type, record 0 takes up to 400 bytes, the rest is
    // cut into text records of up to 4,096 bytes.
    if (size < 1)
        return 0;
    const bool mobi = data[0] & 1;
    const std::size_t first = std::min<std::size_t>(size - 1, 400);
    std::vector<std::size_t> starts{1};
    for (std::size_t at = 1 + first; at < size; at += PalmDocRecordMax)
        starts.push_back(at);
    const std::size_t records = std::min<std::size_t>(starts.size(), 2000);
    const std::size_t head = 78 + 8 * records + 2;
    std::vector<std::uint8_t> file(head, 0);
    std::memcpy(file.data() + 60, mobi ? "BOOKMOBI" : "TEXtREAd", 8);
    PutBE(file, 76, static_cast<std::uint32_t>(records), 2);
    for (std::size_t r = 0; r < records; ++r)
        PutBE(file, 78 + 8 * r, static_cast<std::uint32_t>(head + starts[r] - 1), 4);
    file.insert(file.end(), data + 1, data + size);
    if (file.size() > static_cast<std::size_t>(ImageCapacity))
        return 0;
    const ImagePtr image = LoadNewImageFromBytes(file);
    const Structure structure = ReadStructure(*image);
    const Content content = ReadContent(*image, structure);
    if (const Book* book = content.As<Book>()) {
        if (book->DecodedLength > records * PalmDocRecordMax)
            std::abort();
        // However the records share their bytes, the text is bounded by the file's size.
        if (book->Text.size() > OutputBound(file.size()).Limit() / OutputBound::PerTextByte)
            std::abort();
    }
    return 0;
}
