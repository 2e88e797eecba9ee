// E-books, bitmaps and applications in the content layer: the PalmDOC decompressor, the
// Mobipocket header and trailing entries, bitmaps of every version, depth and compression,
// damaged and hostile input, and the corpus side by side with peers (txt2pdbdoc, mobitool,
// palmtopnm, pnmtopalm) where they are installed.
#include "BitmapBuilder.h"
#include "ContentModes.h"
#include "JsonText.h"
#include "ContentSamples.h"
#include "FindingCodes.h"
#include "HuffCdicBuilder.h"
#include "PdbBuilder.h"
#include "content/app/Application.h"
#include "content/picture/Bitmap.h"
#include "content/core/Bound.h"
#include "content/core/Content.h"
#include "content/compression/HuffCdic.h"
#include "content/book/PalmDoc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace vexlin;
using vexlin::content::Application;
using vexlin::content::BestMember;
using vexlin::content::Bitmap;
using vexlin::content::BitmapEntry;
using vexlin::content::BitmapPixelsMax;
using vexlin::content::Book;
using vexlin::content::BookCompression;
using vexlin::content::ByteSpan;
using vexlin::content::DecompressFaults;
using vexlin::content::DecompressPalmDoc;
using vexlin::content::DrawStrike;
using vexlin::content::EntryBytes;
using vexlin::content::EntryName;
using vexlin::content::FamilyPixelsMax;
using vexlin::content::FilePixelsPerByte;
using vexlin::content::HuffCdicDecoder;
using vexlin::content::HuffCdicFaults;
using vexlin::content::PalmDocRecordMax;
using vexlin::content::ReadApplication;
using vexlin::content::ReadBitmapFamily;
using vexlin::content::ReadBitmaps;
using vexlin::content::ReadBook;
using vexlin::content::StripTrailingEntries;
using vexlin::content::TextDecoder;
using namespace vexlin::test;

namespace {

const std::filesystem::path Corpus = VEXLIN_CORPUS_DIR;

bool Have(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

#define NEED_PEER(program)                                                                         \
    do {                                                                                           \
        if (!Have(program))                                                                        \
            GTEST_SKIP() << program << " is not installed: the comparison with it did not run";    \
    } while (false)

// Standard output of a shell command.
std::string Shell(const std::string& command) {
    std::string out;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

// A portable anymap (P4, P5, P6) as 8-bit RGB.
struct Picture {
    std::uint32_t Width = 0, Height = 0;
    std::vector<std::uint8_t> Rgb;
};

std::optional<Picture> ParsePnm(const std::string& data) {
    std::istringstream in(data);
    std::string magic;
    Picture p;
    unsigned maxval = 1;
    in >> magic >> p.Width >> p.Height;
    if (magic != "P4")
        in >> maxval;
    in.get();
    if (!in || (magic != "P4" && magic != "P5" && magic != "P6") || maxval == 0)
        return std::nullopt;
    const std::string body = data.substr(static_cast<std::size_t>(in.tellg()));
    const std::size_t rowBits = (p.Width + 7) / 8;
    for (std::uint32_t y = 0; y < p.Height; ++y) {
        for (std::uint32_t x = 0; x < p.Width; ++x) {
            std::uint8_t rgb[3];
            const std::size_t i = std::size_t{y} * p.Width + x;
            if (magic == "P4") {
                const std::size_t at = y * rowBits + x / 8;
                if (at >= body.size())
                    return std::nullopt;
                const bool black = static_cast<std::uint8_t>(body[at]) & (0x80 >> (x % 8));
                rgb[0] = rgb[1] = rgb[2] = black ? 0 : 255;
            } else {
                const std::size_t channels = magic == "P5" ? 1 : 3;
                if ((i + 1) * channels > body.size())
                    return std::nullopt;
                for (std::size_t c = 0; c < 3; ++c) {
                    const auto v =
                        static_cast<std::uint8_t>(body[i * channels + (channels == 3 ? c : 0)]);
                    rgb[c] = static_cast<std::uint8_t>(v * 255 / maxval);
                }
            }
            p.Rgb.insert(p.Rgb.end(), rgb, rgb + 3);
        }
    }
    return p;
}

std::vector<Bitmap> Decode(const Bytes& bytes, std::vector<Finding>& findings) {
    return ReadBitmapFamily(bytes, 0, "bitmap", findings);
}

std::vector<Bitmap> Decode(const Bytes& bytes) {
    std::vector<Finding> findings;
    auto family = Decode(bytes, findings);
    EXPECT_TRUE(findings.empty()) << findings.front().Message;
    return family;
}

// Every pixel of `ours` against palmtopnm's rendering of the same bytes.
void ExpectAsPalmtopnm(const Bytes& bytes, const Bitmap& ours, int rendition,
                       const std::string& what) {
    TempFile file(bytes, "vexlin-bitmap");
    const auto theirs = ParsePnm(Shell("palmtopnm -rendition " + std::to_string(rendition) + " " +
                                       file.path() + " 2>/dev/null"));
    ASSERT_TRUE(theirs) << what << ": palmtopnm gave no picture";
    ASSERT_EQ(ours.PixelWidth, theirs->Width) << what;
    ASSERT_EQ(ours.PixelHeight, theirs->Height) << what;
    for (std::size_t i = 0; i < std::size_t{theirs->Width} * theirs->Height; ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            ASSERT_EQ(ours.Rgba[4 * i + c], theirs->Rgb[3 * i + c])
                << what << ": pixel " << i << " channel " << c;
        }
    }
}

struct Image {
    ImagePtr Data;
    Structure Layout;
};
Image Load(const Bytes& bytes) {
    Image image{LoadNewImageFromBytes(bytes), {}};
    image.Layout = ReadStructure(*image.Data);
    return image;
}
Image Load(const std::filesystem::path& path) {
    Image image{LoadNewImage(path.string()), {}};
    image.Layout = ReadStructure(*image.Data);
    return image;
}

bool HasCode(const std::vector<Finding>& findings, std::string_view code) {
    return std::any_of(findings.begin(), findings.end(),
                       [&](const Finding& f) { return f.Code == code; });
}

std::string Decompressed(const Bytes& in, DecompressFaults& faults,
                         std::size_t limit = PalmDocRecordMax) {
    char text[PalmDocRecordMax + vexlin::content::PalmDocSlack];
    return std::string(text, DecompressPalmDoc(in, text, limit, faults));
}

} // namespace

// Literals, literal runs, space pairs, and back-references that overlap what they copy.
TEST(PalmDocDecompress, EveryCodeKind) {
    DecompressFaults faults;
    // "Miss" + (distance 3, length 4: a copy of what it writes) + "ppi"
    const Bytes mississippi{'M', 'i', 's', 's', 0x80, (3 << 3) | (4 - 3), 'p', 'p', 'i'};
    EXPECT_EQ(Decompressed(mississippi, faults), "Mississippi");
    // A run of three literal bytes that would otherwise be codes, and space + 'A'.
    const Bytes runs{0x03, 0x00, 0x85, 0xC7, 0xC1, 'x'};
    EXPECT_EQ(Decompressed(runs, faults), std::string("\x00\x85\xC7 Ax", 6));
    EXPECT_FALSE(faults.Any());
}

TEST(PalmDocDecompress, DamageDecodedAroundAndReported) {
    DecompressFaults bad;
    // A reference before the start, then sound text.
    EXPECT_EQ(Decompressed({'a', 0x80, (5 << 3), 'b'}, bad), "ab");
    EXPECT_EQ(bad.BadReferences, 1u);
    EXPECT_EQ(bad.FirstBadAt, 1u);
    // More than the limit: cut there.
    DecompressFaults over;
    Bytes many(3000, 0xC1);
    EXPECT_EQ(Decompressed(many, over).size(), PalmDocRecordMax);
    EXPECT_TRUE(over.Overflow);
    // A literal run and a pair cut by the end.
    DecompressFaults cut;
    EXPECT_EQ(Decompressed({'a', 0x05, 'b'}, cut), "ab");
    EXPECT_TRUE(cut.Cut);
    DecompressFaults cutPair;
    EXPECT_EQ(Decompressed({'a', 0x80}, cutPair), "a");
    EXPECT_TRUE(cutPair.Cut);
}

TEST(Mobi, TrailingEntriesStripped) {
    // Flags 0b11: one size entry (3 bytes: two data + its size byte 0x83), then one byte of
    // a cut character counted in the low bits of the last byte before it.
    const Bytes record{'t', 'e', 'x', 't', 'M', 0x00, 'x', 'y', 0x83};
    const auto text = StripTrailingEntries(record, 0x3);
    ASSERT_TRUE(text);
    EXPECT_EQ(std::string(text->begin(), text->end()), "textM");
    EXPECT_FALSE(StripTrailingEntries(Bytes{0x7F}, 0x2)); // claims 127 bytes
}

namespace {

// A PalmDOC book: record 0 declares compression, text length and text records.
Bytes PalmDocBook(std::uint16_t compression, std::uint32_t length, std::uint16_t count,
                  const std::vector<Bytes>& texts) {
    PdbBuilder doc;
    doc.Type = "TEXt";
    doc.Creator = "REAd";
    Bytes r0(16, 0);
    PutBE16(r0, 0, compression);
    PutBE32(r0, 4, length);
    PutBE16(r0, 8, count);
    PutBE16(r0, 10, 4096);
    doc.Record(r0);
    for (const Bytes& t : texts)
        doc.Record(t);
    return doc.Build();
}

// A Mobipocket book: record 0 with the PalmDOC and MOBI headers and an EXTH block.
// Records in `after` follow the text: the HUFF record and its CDIC records.
Bytes MobiBook(std::uint16_t compression, std::uint32_t encoding, const std::vector<Bytes>& texts,
               std::uint16_t extraFlags, std::uint32_t textLength,
               const std::vector<Bytes>& after = {}) {
    Bytes r0(16 + 0xE8, 0);
    PutBE16(r0, 0, compression);
    PutBE32(r0, 4, textLength);
    PutBE16(r0, 8, static_cast<std::uint16_t>(texts.size()));
    PutBE16(r0, 10, 4096);
    r0[16] = 'M';
    r0[17] = 'O';
    r0[18] = 'B';
    r0[19] = 'I';
    PutBE32(r0, 20, 0xE8);
    PutBE32(r0, 24, 2);
    PutBE32(r0, 28, encoding);
    // No indexes (orthographic, inflection, names, keys, six extra), images, DRM or INDX.
    for (std::size_t at = 0x18; at <= 0x3C; at += 4)
        PutBE32(r0, 16 + at, 0xFFFFFFFF);
    PutBE32(r0, 16 + 0x5C, 0xFFFFFFFF);
    PutBE32(r0, 16 + 0x94, 0xFFFFFFFF);
    PutBE32(r0, 16 + 0xE4, 0xFFFFFFFF);
    PutBE32(r0, 16 + 0x40, static_cast<std::uint32_t>(texts.size() + 1));
    PutBE32(r0, 16 + 0x70, 0x40);
    PutBE16(r0, 16 + 0xE2, extraFlags);
    if (!after.empty()) {
        PutBE32(r0, 16 + 0x60, static_cast<std::uint32_t>(texts.size() + 1));
        PutBE32(r0, 16 + 0x64, static_cast<std::uint32_t>(after.size()));
    }
    const Bytes author = Text("Ana \xC3\xB1");
    Bytes exth = Text("EXTH");
    PutBE32(exth, 4, 12 + 8 + static_cast<std::uint32_t>(author.size()));
    PutBE32(exth, 8, 1);
    PutBE32(exth, 12, 100);
    PutBE32(exth, 16, 8 + static_cast<std::uint32_t>(author.size()));
    exth.insert(exth.end(), author.begin(), author.end());
    r0.insert(r0.end(), exth.begin(), exth.end());
    const std::uint32_t nameAt = static_cast<std::uint32_t>(r0.size());
    const Bytes name = Text("Full Name");
    r0.insert(r0.end(), name.begin(), name.end());
    PutBE32(r0, 16 + 0x44, nameAt);
    PutBE32(r0, 16 + 0x48, static_cast<std::uint32_t>(name.size()));
    PdbBuilder pdb;
    pdb.Type = "BOOK";
    pdb.Creator = "MOBI";
    pdb.Record(r0);
    for (const Bytes& t : texts)
        pdb.Record(t);
    for (const Bytes& r : after)
        pdb.Record(r);
    return pdb.Build();
}

} // namespace

// UTF-8 text split across records, trailing entries, EXTH author and full name.
TEST(Mobi, HeaderExthAndTextAcrossRecords) {
    // "é" (C3 A9) is cut by the first record's end, whose multibyte entry repeats A9 (and
    // its count byte); a size entry of 2 bytes trails each record.
    const Bytes first{'c', 'a', 'f', 0xC3, 0xA9, 0x01, 0xAA, 0x82};
    const Bytes second{0xA9, '!', 0x00, 0xBB, 0x82};
    const Image book = Load(MobiBook(1, 65001, {first, second}, 0x3, 6));
    std::vector<Finding> findings;
    const Book b = ReadBook(*book.Data, book.Layout, "CP1252", findings);
    EXPECT_TRUE(findings.empty()) << findings.front().Message;
    ASSERT_TRUE(b.Mobi);
    EXPECT_EQ(b.Encoding, "UTF-8");
    EXPECT_EQ(b.Text, "caf\xC3\xA9!");
    EXPECT_EQ(b.Mobi->FullName, "Full Name");
    ASSERT_EQ(b.Mobi->Exth.size(), 1u);
    EXPECT_EQ(b.Mobi->Exth[0].Name, "author");
    EXPECT_EQ(b.Mobi->Exth[0].Value, "Ana \xC3\xB1");
}

// Damaged books decode what is sound and say what is not.
TEST(Books, DamageReported) {
    // Record 0 declares 3 text records and 100 bytes; one is there, with a back-reference
    // before its start and trailing entries claiming more than the record.
    const Image book = Load(MobiBook(2, 1252, {{'a', 0x80, 0x50, 'b', 0x7F}}, 0x2, 100));
    std::vector<Finding> findings;
    const Book b = ReadBook(*book.Data, book.Layout, "CP1252", findings);
    EXPECT_EQ(b.Text, "");
    EXPECT_TRUE(HasCode(findings, "content-trailing-entries"));
    EXPECT_TRUE(HasCode(findings, "content-text-length"));

    const Image palm = Load(PalmDocBook(2, 2, 3, {{'a', 0x80, 0x50, 'b'}}));
    findings.clear();
    const Book p = ReadBook(*palm.Data, palm.Layout, "CP1252", findings);
    EXPECT_EQ(p.Text, "ab");
    EXPECT_TRUE(HasCode(findings, "content-back-reference"));
    EXPECT_TRUE(HasCode(findings, "content-text-records"));
    EXPECT_FALSE(HasCode(findings, "content-text-length"));
}

namespace {

// The largest bitmap decoded, 2048 x 2048 pixels of one colour in RLE: a few kilobytes.
TestBitmap Largest(int depth) {
    TestBitmap big;
    big.Version = 2;
    big.Depth = depth;
    big.Width = big.Height = 2048;
    big.Compression = Packing::Rle;
    big.Pixels.assign(std::size_t{2048} * 2048, 1);
    return big;
}

} // namespace

// The project's own writer, every version, depth and compression: read back exactly, and
// pixel for pixel as palmtopnm renders it.
TEST(Bitmaps, EveryVersionDepthAndCompression) {
    const bool peer = Have("palmtopnm");
    for (const int version : {0, 1, 2, 3}) {
        for (const int depth : {1, 2, 4, 8, 16}) {
            if ((version == 0 && depth != 1) || (version == 1 && depth == 16))
                continue;
            for (const Packing packing :
                 {Packing::None, Packing::Scanline, Packing::Rle, Packing::PackBits}) {
                if (version < 2 && (packing == Packing::Rle || packing == Packing::PackBits))
                    continue;
                TestBitmap drawn = Drawn(version, depth, packing);
                const std::string what = "v" + std::to_string(version) + " depth " +
                                         std::to_string(depth) + " packing " +
                                         std::to_string(static_cast<int>(packing));
                const auto family = Decode(drawn.Build());
                ASSERT_EQ(family.size(), 1u) << what;
                ASSERT_EQ(family[0].PixelHeight, drawn.Height) << what;
                if (peer)
                    ExpectAsPalmtopnm(drawn.Build(), family[0], 1, what);
                // With a colour table of distinct colours, each pixel is its entry's colour.
                if (depth <= 8 && version > 0) {
                    for (std::uint32_t i = 0; i < (1u << depth); ++i)
                        drawn.ColorTable.push_back(i * 0x010203 + 0x100000);
                    const auto coloured = Decode(drawn.Build());
                    ASSERT_EQ(coloured.size(), 1u) << what;
                    for (std::size_t i = 0; i < drawn.Pixels.size(); ++i) {
                        const std::uint32_t rgb = drawn.ColorTable[drawn.Pixels[i]];
                        ASSERT_EQ(coloured[0].Rgba[4 * i], rgb >> 16 & 0xFF) << what << " " << i;
                        ASSERT_EQ(coloured[0].Rgba[4 * i + 2], rgb & 0xFF) << what << " " << i;
                    }
                }
            }
        }
    }
    if (!peer)
        GTEST_SKIP() << "palmtopnm is not installed: read back only, not compared";
}

// Transparency by index and by colour, density and the high-density family with its marker.
TEST(Bitmaps, TransparencyDensityAndFamilies) {
    TestBitmap low = Drawn(2, 8, Packing::None);
    low.Transparent = low.Pixels[0];
    TestBitmap high = Drawn(3, 16, Packing::PackBits);
    high.Density = 144;
    high.Transparent = high.Pixels[3];
    Bytes first = low.Build();
    first.resize((first.size() + 3) / 4 * 4);
    PutBE16(first, 10, static_cast<std::uint16_t>(first.size() / 4));
    // The marker: a version 1 header of depth 255 whose next offset leads to the v3 member.
    Bytes marker(16, 0);
    marker[8] = 255;
    marker[9] = 1;
    PutBE16(marker, 10, 4);
    Bytes family = first;
    family.insert(family.end(), marker.begin(), marker.end());
    const Bytes second = high.Build();
    family.insert(family.end(), second.begin(), second.end());
    const auto members = Decode(family);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].Rgba[3], 0);
    EXPECT_EQ(members[0].Rgba[7], low.Pixels[1] == low.Pixels[0] ? 0 : 255);
    EXPECT_EQ(members[1].Density, 144);
    EXPECT_EQ(members[1].Rgba[3 * 4 + 3], 0);
    EXPECT_EQ(BestMember(members), 1u);
}

// Hostile headers: the pixels stay within what the bytes describe and each fault is named.
TEST(Bitmaps, HostileInputBounded) {
    const auto findingsOf = [](const Bytes& bytes, std::vector<Bitmap>& family) {
        std::vector<Finding> findings;
        family = ReadBitmapFamily(bytes, 0, "bitmap", findings);
        return findings;
    };
    std::vector<Bitmap> family;
    // 65535 x 65535 at 1 bit with 16 bytes of data.
    Bytes huge(32, 0);
    PutBE16(huge, 0, 0xFFFF);
    PutBE16(huge, 2, 0xFFFF);
    PutBE16(huge, 4, 0x2000);
    huge[8] = 1;
    huge[9] = 1;
    auto f = findingsOf(huge, family);
    ASSERT_EQ(family.size(), 1u);
    EXPECT_LE(family[0].Rgba.size(), std::size_t{BitmapPixelsMax} * 4);
    EXPECT_EQ(family[0].PixelHeight, 1u);
    EXPECT_TRUE(HasCode(f, "content-bitmap-data"));
    // Row bytes too few for the width.
    TestBitmap narrow = Drawn(2, 8, Packing::None);
    Bytes n = narrow.Build();
    PutBE16(n, 4, 4);
    f = findingsOf(n, family);
    EXPECT_EQ(family[0].PixelWidth, 4u);
    EXPECT_TRUE(HasCode(f, "content-bitmap-rowbytes"));
    // A compressed size that claims more than the record holds.
    Bytes lying = Drawn(2, 8, Packing::Rle).Build();
    PutBE16(lying, 16, 0xFFFF);
    f = findingsOf(lying, family);
    EXPECT_TRUE(HasCode(f, "content-bitmap-data"));
    EXPECT_EQ(family[0].PixelHeight, 5u);
    // A family whose next offset points back to itself, and one past the end.
    Bytes loop = Drawn(2, 1, Packing::None).Build();
    PutBE16(loop, 10, 2);
    f = findingsOf(loop, family);
    EXPECT_EQ(family.size(), 1u);
    EXPECT_TRUE(HasCode(f, "content-bitmap-family"));
    // Unknown version, cut header, colour table past the end.
    Bytes bad = Drawn(2, 8, Packing::None).Build();
    bad[9] = 9;
    EXPECT_TRUE(HasCode(findingsOf(bad, family), "content-bitmap-header"));
    EXPECT_TRUE(HasCode(findingsOf(Bytes(10, 1), family), "content-bitmap-header"));
    Bytes table(16, 0);
    PutBE16(table, 0, 4);
    PutBE16(table, 2, 4);
    PutBE16(table, 4, 4);
    PutBE16(table, 6, 0x4000);
    table[8] = 8;
    table[9] = 2;
    PutBE16(table, 16, 200);
    EXPECT_TRUE(HasCode(findingsOf(table, family), "content-bitmap-colortable"));
    // Three members of 2048 x 2048 pixels in a few kilobytes each: two decode, the third is
    // only described.
    const Bytes member = Largest(8).Build();
    Bytes three;
    for (int i = 0; i < 3; ++i) {
        const std::size_t at = three.size();
        three.insert(three.end(), member.begin(), member.end());
        three.resize((three.size() + 3) / 4 * 4);
        if (i < 2)
            PutBE16(three, at + 10, static_cast<std::uint16_t>((three.size() - at) / 4));
    }
    f = findingsOf(three, family);
    ASSERT_EQ(family.size(), 3u);
    EXPECT_EQ(family[1].PixelHeight, 2048u);
    EXPECT_TRUE(family[2].Rgba.empty());
    EXPECT_TRUE(HasCode(f, "content-bitmap-size"));
}

// A reader given a sink hands each entry on with its pixels and keeps only its headers and
// decoded sizes.
TEST(Bitmaps, HandedOnOneEntryAtATime) {
    PdbBuilder pictures;
    pictures.Type = "Imgs";
    pictures.Record(Drawn(2, 8, Packing::Rle).Build()).Record(Drawn(1, 4, Packing::None).Build());
    const Image db = Load(pictures.Build());
    std::vector<Finding> findings;
    std::size_t handed = 0;
    const auto entries = ReadBitmaps(*db.Data, db.Layout, findings, [&](const BitmapEntry& e) {
        EXPECT_EQ(e.Members.at(0).Rgba.size(), 13u * 5 * 4);
        ++handed;
    });
    EXPECT_EQ(handed, 2u);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[1].Members.at(0).Rgba.empty());
    EXPECT_EQ(entries[1].Members.at(0).PixelHeight, 5u);

    // Records that share one bitmap of 2048 x 2048 pixels (at A, the end, A, ...): together
    // they decode to no more pixels than the file's bytes could stand for.
    PdbBuilder shared;
    shared.Type = "Imgs";
    shared.Record(Largest(1).Build());
    for (int i = 1; i < 64; ++i)
        shared.Record({});
    Bytes file = shared.Build();
    const std::uint32_t first = static_cast<std::uint32_t>(78 + 8 * 64 + 2);
    for (std::size_t r = 0; r < 64; ++r)
        PutBE32(file, 78 + 8 * r, r % 2 ? static_cast<std::uint32_t>(file.size()) : first);
    const Image many = Load(file);
    findings.clear();
    std::size_t decoded = 0;
    const auto all = ReadBitmaps(*many.Data, many.Layout, findings, [&](const BitmapEntry& e) {
        decoded += e.Members.at(0).PixelHeight == 2048;
    });
    EXPECT_EQ(all.size(), 32u);
    EXPECT_LE(decoded * 2048 * 2048, FilePixelsPerByte * file.size() + FamilyPixelsMax);
    EXPECT_GE(decoded, 1u);
    EXPECT_TRUE(HasCode(findings, "content-bitmap-size"));
}

// netpbm's writer: every depth, a colour map, the three compressions, density 144 and a
// transparent colour; read as palmtopnm reads them.
TEST(Bitmaps, WrittenByPnmtopalm) {
    NEED_PEER("pnmtopalm");
    NEED_PEER("palmtopnm");
    // A 21 x 9 picture of 256 distinct greys and colours in three forms.
    std::string ppm = "P6\n21 9\n255\n", pgm = "P5\n21 9\n15\n", pbm = "P1\n21 9\n";
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 21; ++x) {
            const int v = (x * 13 + y * 29) % 256;
            ppm += static_cast<char>(x < 4 ? 0xFF : v);
            ppm += static_cast<char>(x < 4 ? 0x33 : (v * 7) % 256);
            ppm += static_cast<char>(x < 4 ? 0x66 : (v * 3) % 256);
            pgm += static_cast<char>(x < 6 ? 3 : v % 16);
            pbm += (x + y) % 3 ? "0 " : "1 ";
        }
    }
    const auto write = [](const std::string& text) {
        return std::make_unique<TempFile>(Bytes(text.begin(), text.end()), "vexlin-pnm");
    };
    const auto colour = write(ppm), grey = write(pgm), mono = write(pbm);
    struct Case {
        std::string Options;
        const TempFile* Input;
    };
    const std::vector<Case> cases{
        {"-depth 1", mono.get()},
        {"-depth 2", grey.get()},
        {"-depth 4", grey.get()},
        {"-depth 8 -colormap", colour.get()},
        {"-depth 16", colour.get()},
        {"-depth 4 -scanline_compression", grey.get()},
        {"-depth 8 -colormap -rle_compression", colour.get()},
        {"-depth 16 -density 144 -transparent rgb:ff/33/66", colour.get()},
        {"-depth 8 -colormap -packbits_compression -density 144", colour.get()},
        {"-depth 8 -colormap -scanline_compression -density 144 -transparent rgb:ff/33/66",
         colour.get()},
        {"-depth 2 -rle_compression -density 108", grey.get()},
    };
    for (const Case& c : cases) {
        const std::string out =
            Shell("pnmtopalm " + c.Options + " " + c.Input->path() + " 2>/dev/null");
        ASSERT_FALSE(out.empty()) << c.Options;
        const Bytes bytes(out.begin(), out.end());
        std::vector<Finding> findings;
        const auto family = Decode(bytes, findings);
        ASSERT_EQ(family.size(), 1u) << c.Options;
        EXPECT_TRUE(findings.empty()) << c.Options << ": " << findings.front().Message;
        ExpectAsPalmtopnm(bytes, family[0], 1, c.Options);
        if (c.Options.find("-transparent") != std::string::npos) {
            EXPECT_EQ(family[0].Rgba[3], 0) << c.Options;
        }
        // A family of high-density members only, as Palm OS 5 icon sets hold them: the marker
        // first (a bare version 1 header of depth 255, its next-member field 0), the member at
        // 16 bytes.
        if (c.Options.find("-density") != std::string::npos) {
            Bytes marked(16, 0);
            marked[8] = 0xFF;
            marked[9] = 1;
            marked.insert(marked.end(), bytes.begin(), bytes.end());
            std::vector<Finding> markedFindings;
            const auto high = Decode(marked, markedFindings);
            ASSERT_EQ(high.size(), 1u) << c.Options;
            EXPECT_TRUE(markedFindings.empty()) << c.Options;
            EXPECT_TRUE(vexlin::content::LooksLikeBitmap(marked)) << c.Options;
            ExpectAsPalmtopnm(marked, high[0], 1, "marker, " + c.Options);
        }
    }
}

// The corpus's bitmaps (an application's icons, i-mode icons as records, a lone Tbmp), every
// member of every family, pixel for pixel as palmtopnm renders them.
TEST(Bitmaps, CorpusAsPalmtopnm) {
    if (!std::filesystem::exists(Corpus / "plucker_imodeicons.pdb"))
        GTEST_SKIP() << "corpus not found";
    NEED_PEER("palmtopnm");
    std::size_t compared = 0;
    for (const char* name :
         {"palmpdb_OnBoard_app.prc", "plucker_imodeicons.pdb", "nsbasic_mazewars_Tbmp-only.prc"}) {
        const Image db = Load(Corpus / name);
        std::vector<Finding> findings;
        const auto entries = ReadBitmaps(*db.Data, db.Layout, findings);
        EXPECT_TRUE(findings.empty()) << name;
        for (const BitmapEntry& entry : entries) {
            const std::size_t index = entry.IsResource ? 0 : entry.Record;
            std::size_t i = index;
            if (entry.IsResource) {
                while (i < db.Layout.Resources.size() &&
                       (std::memcmp(db.Layout.Resources[i].Type, entry.Type, 4) != 0 ||
                        db.Layout.Resources[i].ID != entry.ID))
                    ++i;
            }
            const Bytes bytes = [&] {
                const auto span = EntryBytes(*db.Data, db.Layout, i).Data;
                return Bytes(span.begin(), span.end());
            }();
            for (std::size_t m = 0; m < entry.Members.size(); ++m, ++compared)
                ExpectAsPalmtopnm(bytes, entry.Members[m], static_cast<int>(m + 1),
                                  std::string(name) + " " + EntryName(entry));
        }
    }
    EXPECT_EQ(compared, 227u);
}

// The corpus's books: text byte for byte as mobitool and txt2pdbdoc decode it, after the
// same conversion to UTF-8.
TEST(Books, CorpusAsPeers) {
    if (!std::filesystem::exists(Corpus / "yadr_funky_tiny-PalmDOC.pdb"))
        GTEST_SKIP() << "corpus not found";
    NEED_PEER("mobitool");
    const auto dir =
        std::filesystem::temp_directory_path() / ("vexlin-books-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const bool txt2pdbdoc = Have("txt2pdbdoc");
    for (const char* name : {"libmobi_dict-fileversion4_BOOKMOBI.pdb",
                             "mobipocket_Taylor_StateOfTheUnion_TEXtREAd.prc",
                             "txt2pdbdoc_ISO_8859-1_PalmDOC.pdb", "yadr_funky_tiny-PalmDOC.pdb"}) {
        const Image db = Load(Corpus / name);
        std::vector<Finding> findings;
        const Book book = ReadBook(*db.Data, db.Layout, "CP1252", findings);
        const std::string stem = std::filesystem::path(name).stem().string();
        Shell("mobitool -d -o " + dir.string() + " " + (Corpus / name).string() +
              " >/dev/null 2>&1");
        const std::string theirs =
            Shell("iconv -f " + book.Encoding + " -t UTF-8 " + (dir / (stem + ".rawml")).string());
        EXPECT_EQ(book.Text.size(), theirs.size()) << name;
        EXPECT_TRUE(book.Text == theirs) << name << " differs from mobitool";
        // txt2pdbdoc 1.4.4 dies on the 5 MB dictionary (malloc: corrupted top size); it decodes the
        // PalmDOC books.
        if (txt2pdbdoc && !book.Mobi) {
            const auto out = dir / (stem + ".txt");
            Shell("txt2pdbdoc -d -D " + (Corpus / name).string() + " " + out.string());
            EXPECT_TRUE(book.Text == Shell("iconv -f CP1252 -t UTF-8 " + out.string()))
                << name << " differs from txt2pdbdoc";
        }
    }
    // The declared length of the ISO 8859-1 book is longer than its text: reported, not cut.
    const Image iso = Load(Corpus / "txt2pdbdoc_ISO_8859-1_PalmDOC.pdb");
    std::vector<Finding> findings;
    const Book book = ReadBook(*iso.Data, iso.Layout, "CP1252", findings);
    EXPECT_EQ(book.TextLength, 3540u);
    EXPECT_EQ(book.DecodedLength, 3447u);
    EXPECT_TRUE(HasCode(findings, "content-text-length"));
    std::filesystem::remove_all(dir);
    if (!txt2pdbdoc)
        GTEST_SKIP() << "txt2pdbdoc is not installed: compared with mobitool only";
}

namespace {

// Phrases picked through the whole code, cut into records of at most 4,096 bytes of text.
std::vector<std::vector<std::size_t>> Pieces(const TestHuffCdic& h, std::size_t picks) {
    std::vector<std::vector<std::size_t>> records(1);
    std::size_t size = 0;
    for (std::size_t i = 0, p = 7; i < picks;
         ++i, p = (p * 131 + 17) % (TestHuffCdic::Short + TestHuffCdic::Long)) {
        const std::size_t length = h.Text({p}).size();
        if (size + length > 4096) {
            records.emplace_back();
            size = 0;
        }
        records.back().push_back(p);
        size += length;
    }
    return records;
}

std::string Decoded(HuffCdicDecoder& decoder, const Bytes& record, HuffCdicFaults& faults) {
    std::string text;
    decoder.Decode(record, text, PalmDocRecordMax, faults);
    return text;
}

} // namespace

// A Mobipocket book in HUFF/CDIC compression, every short and long code, literal and coded
// phrases, decoded to the text written; and by mobitool the same, where it is installed.
TEST(HuffCdic, DecodedAsWritten) {
    const TestHuffCdic h = TestHuffCdic::Words();
    std::vector<Bytes> texts;
    std::string expected;
    for (const auto& record : Pieces(h, 12000)) {
        texts.push_back(TestHuffCdic::Codes(record));
        expected += h.Text(record);
    }
    std::vector<Bytes> tables{TestHuffCdic::Huff()};
    for (Bytes& cdic : h.Cdics(8))
        tables.push_back(std::move(cdic));
    ASSERT_EQ(tables.size(), 3u);
    const Bytes file =
        MobiBook(17480, 1252, texts, 0, static_cast<std::uint32_t>(expected.size()), tables);
    const Image book = Load(file);
    std::vector<Finding> findings;
    const Book b = ReadBook(*book.Data, book.Layout, "CP1252", findings);
    EXPECT_TRUE(findings.empty()) << findings.front().Message;
    EXPECT_EQ(b.Compression, BookCompression::HuffCdic);
    EXPECT_EQ(b.DecodedLength, expected.size());
    EXPECT_TRUE(b.Text ==
                TextDecoder("CP1252").Decode(
                    {reinterpret_cast<const std::uint8_t*>(expected.data()), expected.size()}));

    // vexlin-dump exports the same text.
    const TempFile saved(file, "Huff");
    const std::string stem = std::filesystem::path(saved.path()).stem().string();
    const auto dir =
        std::filesystem::temp_directory_path() / ("vexlin-huff-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string dump = VEXLIN_DUMP;
    EXPECT_TRUE(Shell(dump + " --export " + dir.string() + " " + saved.path() + " && cat " +
                      (dir / (stem + ".txt")).string()) == b.Text);

    if (!Have("mobitool")) {
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "mobitool is not installed: not compared with it";
    }
    Shell("mobitool -d -o " + dir.string() + " " + saved.path() + " >/dev/null 2>&1");
    const std::string theirs = Shell("cat " + (dir / (stem + ".rawml")).string());
    std::filesystem::remove_all(dir);
    EXPECT_EQ(theirs.size(), expected.size());
    EXPECT_TRUE(theirs == expected) << "mobitool decodes otherwise";
}

// Tables and phrases that lie: a phrase holding itself, nesting past the limit, phrases that
// double at each level, a phrase number past those held, a record past 4,096 bytes, tables
// outside the HUFF record. Each is bounded and reported; what is sound is decoded.
TEST(HuffCdic, HostileTablesBounded) {
    std::vector<std::string> problems;
    TestHuffCdic h = TestHuffCdic::Words();
    h.Coded(283, {0, 283, 1});              // holds itself
    for (std::size_t p = 100; p < 140; ++p) // 40 deep
        h.Coded(p, {p + 1});
    for (std::size_t p = 160; p < 190; ++p) // 2^30 characters if expanded whole
        h.Coded(p, {p + 1, p + 1});
    const auto huff = TestHuffCdic::Huff();
    const auto cdics = h.Cdics(8);
    const std::vector<ByteSpan> spans(cdics.begin(), cdics.end());
    HuffCdicDecoder decoder(huff, spans, problems);
    ASSERT_TRUE(decoder.Usable());
    EXPECT_TRUE(problems.empty());

    HuffCdicFaults loop;
    EXPECT_EQ(Decoded(decoder, TestHuffCdic::Codes({283, 2}), loop), std::string(" !\"", 3));
    EXPECT_EQ(loop.Loops, 1u);
    HuffCdicFaults deep;
    EXPECT_EQ(Decoded(decoder, TestHuffCdic::Codes({100}), deep), "");
    EXPECT_GE(deep.Loops, 1u);
    HuffCdicFaults doubling;
    EXPECT_EQ(Decoded(decoder, TestHuffCdic::Codes({160}), doubling).size(), PalmDocRecordMax);
    EXPECT_TRUE(doubling.Overflow);
    HuffCdicFaults overflow;
    EXPECT_EQ(Decoded(decoder, TestHuffCdic::Codes(std::vector<std::size_t>(5000, 2)), overflow),
              std::string(4096, '"'));
    EXPECT_TRUE(overflow.Overflow && !overflow.BadCode);

    // Phrases that share one long string of codes (each code an empty phrase): their
    // expansions read no more codes than the phrases' bytes can hold, then stop.
    TestHuffCdic shared;
    shared.Literal(0, "");
    shared.Coded(1, std::vector<std::size_t>(20000, 0));
    Bytes sharing = shared.Cdics(16).front();
    for (std::size_t p = 2; p < TestHuffCdic::Short + TestHuffCdic::Long; ++p)
        PutBE16(sharing, 16 + 2 * p, static_cast<std::uint16_t>(sharing[18] << 8 | sharing[19]));
    HuffCdicDecoder repeated(huff, {ByteSpan(sharing)}, problems);
    std::vector<std::size_t> all;
    for (std::size_t p = 1; p < TestHuffCdic::Short; ++p)
        all.push_back(p);
    HuffCdicFaults budget;
    EXPECT_EQ(Decoded(repeated, TestHuffCdic::Codes(all), budget), "");
    EXPECT_TRUE(budget.OverBudget);

    // The CDIC records declare 260 phrases: phrase 270's code is bad, what came before stays.
    auto few = cdics;
    PutBE32(few[0], 8, 260);
    PutBE32(few[1], 8, 260);
    const std::vector<ByteSpan> fewSpans(few.begin(), few.end());
    HuffCdicDecoder short_(huff, fewSpans, problems);
    HuffCdicFaults bad;
    EXPECT_EQ(Decoded(short_, TestHuffCdic::Codes({2, 270, 2}), bad), "\"");
    EXPECT_TRUE(bad.BadCode);
    // A bad code inside a phrase cuts that phrase only.
    h.Coded(260, {2, 275, 2});
    auto cut = h.Cdics(8);
    PutBE32(cut[0], 8, 270);
    PutBE32(cut[1], 8, 270);
    const std::vector<ByteSpan> cutSpans(cut.begin(), cut.end());
    HuffCdicDecoder inner(huff, cutSpans, problems);
    HuffCdicFaults phrase;
    EXPECT_EQ(Decoded(inner, TestHuffCdic::Codes({260, 3}), phrase), "\"#");
    EXPECT_FALSE(phrase.BadCode);
    EXPECT_EQ(phrase.BadPhrases, 1u);

    // Tables outside the HUFF record: the book's text is not decoded, and said so.
    Bytes broken = huff;
    PutBE32(broken, 12, 5000);
    const Image book =
        Load(MobiBook(17480, 1252, {TestHuffCdic::Codes({2})}, 0, 1, {broken, cdics[0]}));
    std::vector<Finding> findings;
    const Book b = ReadBook(*book.Data, book.Layout, "CP1252", findings);
    EXPECT_FALSE(b.TextRead);
    EXPECT_TRUE(HasCode(findings, "content-huffcdic"));
}

// Books txt2pdbdoc writes, compressed and not (in 1.4.4 -c means do not compress), read back
// to the text given, control bytes kept (-b).
TEST(Books, WrittenByTxt2pdbdoc) {
    NEED_PEER("txt2pdbdoc");
    std::string text;
    for (int i = 0; i < 900; ++i)
        text += "Mississippi " + std::to_string(i * i) + (i % 7 ? " caf\xE9 \x01\t" : "\n");
    const TempFile input(Bytes(text.begin(), text.end()), "vexlin-text");
    for (const std::string options : {"-b", "-b -c"}) {
        const auto pdb = std::filesystem::temp_directory_path() /
                         ("vexlin-t2p-" + std::to_string(getpid()) + ".pdb");
        Shell("txt2pdbdoc " + options + " Test " + input.path() + " " + pdb.string());
        const Image db = Load(pdb);
        std::vector<Finding> findings;
        const Book book = ReadBook(*db.Data, db.Layout, "CP1252", findings);
        std::filesystem::remove(pdb);
        EXPECT_EQ(book.Compression,
                  options == "-b" ? BookCompression::PalmDoc : BookCompression::None);
        EXPECT_TRUE(findings.empty()) << options << ": " << findings.front().Message;
        EXPECT_TRUE(book.Text == Shell("iconv -f CP1252 -t UTF-8 " + input.path())) << options;
    }
}

// An application named and listed; a font database's metrics.
TEST(Applications, CorpusNamedAndListed) {
    if (!std::filesystem::exists(Corpus / "palmpdb_OnBoard_app.prc"))
        GTEST_SKIP() << "corpus not found";
    const Image app = Load(Corpus / "palmpdb_OnBoard_app.prc");
    std::vector<Finding> findings;
    const Application a = ReadApplication(*app.Data, app.Layout, "CP1252", findings);
    EXPECT_EQ(a.Name, "OnBoard Asm");
    EXPECT_EQ(a.Version, "2.5.1");
    EXPECT_EQ(a.Code.size(), 4u);
    EXPECT_EQ(a.Bitmaps.size(), 12u);
    const Image font = Load(Corpus / "monobit_Alpha-2B_font.pdb");
    const Application f = ReadApplication(*font.Data, font.Layout, "CP1252", findings);
    ASSERT_EQ(f.Fonts.size(), 1u);
    EXPECT_EQ(f.Fonts[0].FirstChar, 9);
    EXPECT_EQ(f.Fonts[0].LastChar, 255);
    EXPECT_EQ(f.Fonts[0].FRectHeight, 15);
    EXPECT_EQ(f.Fonts[0].Ascent, 12);
    EXPECT_EQ(f.Fonts[0].StrikeHeight, 15u);
    EXPECT_TRUE(findings.empty());
}

// A font's strike drawn bit for bit, as far as its data goes, and exported one PNG a font.
TEST(Applications, FontStrikeDrawn) {
    const auto font = [](std::int16_t height, const Bytes& strike) {
        Bytes f(26, 0);
        const std::int16_t fields[13] = {-28672, 32, 33, 8, 0, 0, 8, height, 0, 2, 0, 0, 1};
        for (int i = 0; i < 13; ++i)
            PutBE16(f, 2 * i, static_cast<std::uint16_t>(fields[i]));
        f.insert(f.end(), strike.begin(), strike.end());
        return f;
    };
    PdbBuilder fonts;
    fonts.Type = "Font";
    fonts.Record(font(2, {0x80, 0x01, 0xFF, 0x00})).Record(font(3, {0x00, 0x02, 0x40}));
    const TempFile file(fonts.Build(), "Fonts");
    const Image image = Load(std::filesystem::path(file.path()));
    std::vector<Finding> findings;
    const Application a = ReadApplication(*image.Data, image.Layout, "CP1252", findings);
    ASSERT_EQ(a.Fonts.size(), 2u);
    std::string drawn;
    const auto pixels = DrawStrike(a.Fonts[0]);
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        drawn += pixels[i] == 0 ? '#' : '.';
    EXPECT_EQ(drawn, "#..............#########........");
    EXPECT_EQ(a.Fonts[1].StrikeHeight, 1u); // 3 rows declared, one held whole
    EXPECT_EQ(findings.size(), 1u);
    EXPECT_TRUE(HasCode(findings, "content-font"));

    // Two records over the same font: its strike is kept once (the strikes keep no more
    // bytes than the file holds), the other is said not drawn.
    PdbBuilder same;
    same.Type = "Font";
    same.Record(font(200, Bytes(400, 0x55))).Record({}).Record({});
    Bytes overlapping = same.Build(); // records at A, the end, A again
    PutBE32(overlapping, 78 + 16, static_cast<std::uint32_t>(overlapping.size() - 426));
    const Image twice = Load(overlapping);
    std::vector<Finding> noted;
    const Application t = ReadApplication(*twice.Data, twice.Layout, "CP1252", noted);
    ASSERT_EQ(t.Fonts.size(), 2u);
    EXPECT_EQ(t.Fonts[0].StrikeHeight, 200u);
    EXPECT_TRUE(t.Fonts[1].Strike.empty());
    EXPECT_TRUE(std::any_of(noted.begin(), noted.end(), [](const Finding& n) {
        return n.Message.find("strike is not drawn") != std::string::npos;
    }));

    const auto dir =
        std::filesystem::temp_directory_path() / ("vexlin-fonts-" + std::to_string(getpid()));
    ASSERT_EQ(std::system((std::string(VEXLIN_DUMP) + " --export " + dir.string() + " " +
                           file.path() + " 2>/dev/null")
                              .c_str()),
              0);
    const auto folder = dir / std::filesystem::path(file.path()).stem();
    EXPECT_TRUE(std::filesystem::exists(folder / "0001.png"));
    EXPECT_TRUE(std::filesystem::exists(folder / "0002.png"));
    // Two NFNT 9000 resources: the second is not refused as a file of this same run.
    Bytes resources(78, 0);
    PutBE16(resources, 32, 0x0001);
    PutBE16(resources, 76, 2);
    const Bytes one = font(2, {0x80, 0x01, 0xFF, 0x00});
    for (std::uint32_t i = 0; i < 2; ++i) {
        const Bytes entry{'N', 'F', 'N', 'T', 0x23, 0x28, 0, 0, 0, 0};
        resources.insert(resources.end(), entry.begin(), entry.end());
        PutBE32(resources, 78 + 10 * i + 6, 78 + 20 + 2 + 30 * i);
    }
    resources.resize(100, 0);
    resources.insert(resources.end(), one.begin(), one.end());
    resources.insert(resources.end(), one.begin(), one.end());
    const TempFile twin(resources, "Twin");
    ASSERT_EQ(
        std::system(
            (std::string(VEXLIN_DUMP) + " --export " + dir.string() + " " + twin.path()).c_str()),
        0);
    const auto twins = dir / std::filesystem::path(twin.path()).stem();
    EXPECT_TRUE(std::filesystem::exists(twins / "NFNT-9000.png"));
    EXPECT_TRUE(std::filesystem::exists(twins / "NFNT-9000-2.png"));
    std::filesystem::remove_all(dir);
}

// vexlin-dump's modes on a book and a database of bitmaps: the text exported as UTF-8 and
// shown with its control characters escaped, one PNG per member named as the manual says
// and holding the decoded pixels, the JSON keys of both.
TEST(BooksAndBitmapsDump, ExportJsonAndText) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vexlin-books-dump-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    const TempFile book(PalmDocBook(1, 9, 1, {Text("caf\xE9\x1B[2J\n")}), "Book");

    TestBitmap low = Drawn(2, 8, Packing::Rle);
    TestBitmap high = Drawn(3, 16, Packing::None);
    high.Density = 144;
    Bytes family = low.Build();
    family.resize((family.size() + 3) / 4 * 4);
    PutBE16(family, 10, static_cast<std::uint16_t>(family.size() / 4));
    const Bytes second = high.Build();
    family.insert(family.end(), second.begin(), second.end());
    PdbBuilder pictures;
    pictures.Type = "Imgs";
    pictures.Record(family).Record(Drawn(1, 4, Packing::Scanline).Build());
    const TempFile bitmaps(pictures.Build(), "Pictures");

    const std::string dump = VEXLIN_DUMP;
    ASSERT_EQ(
        std::system((dump + " --export " + dir.string() + " " + book.path() + " " + bitmaps.path())
                        .c_str()),
        0);
    const std::string bookStem = std::filesystem::path(book.path()).stem().string();
    const std::string picStem = std::filesystem::path(bitmaps.path()).stem().string();
    EXPECT_EQ(Shell("cat " + (dir / (bookStem + ".txt")).string()), "caf\xC3\xA9\x1B[2J\n");
    std::set<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(dir / picStem))
        names.insert(f.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"0001.png", "0001.8bpp.png", "0002.png"}));
    if (Have("pngtopam")) {
        std::vector<Finding> findings;
        const auto members = Decode(family, findings);
        const auto png = ParsePnm(Shell("pngtopam " + (dir / picStem / "0001.png").string()));
        ASSERT_TRUE(png);
        ASSERT_EQ(png->Width * png->Height * 3, png->Rgb.size());
        for (std::size_t i = 0; i < png->Width * png->Height * 3; ++i)
            ASSERT_EQ(png->Rgb[i], members[1].Rgba[i / 3 * 4 + i % 3]) << i;
    }

    const std::string text = Shell(dump + " --content " + book.path());
    EXPECT_NE(text.find("Format: palmdoc"), std::string::npos);
    EXPECT_NE(text.find("    caf\xC3\xA9\\x1b[2J"), std::string::npos) << text;
    EXPECT_EQ(text.find('\x1B'), std::string::npos);
    const std::string json =
        Shell(dump + " --json --content " + book.path() + " " + bitmaps.path());
    EXPECT_NE(json.find("\"Format\":\"palmdoc\""), std::string::npos);
    EXPECT_NE(json.find("\"Compression\":\"none\",\"CompressionValue\":1,\"TextLength\":9"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("{\"Record\":1,\"Member\":2,\"Width\":13,\"Height\":5,\"Depth\":16,"
                        "\"Version\":3,\"Compression\":\"none\",\"Density\":144"),
              std::string::npos)
        << json;
    std::filesystem::remove_all(dir);
}

// A book's export is written while it is decoded, in pieces, unless --content prints its text
// too: both ways give the text the reader keeps, Mobipocket's markup twice; an existing file
// is left as it was without --force.
TEST(BooksAndBitmapsDump, ExportWrittenAsDecoded) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vexlin-books-piece-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::vector<Bytes> records;
    for (int i = 0; i < 40; ++i) {
        Bytes record(4096, static_cast<std::uint8_t>('a' + i % 26));
        record[i * 97 % 4096] = 0xE9;
        record[4095] = 0x80;
        records.push_back(record);
    }
    const TempFile palm(PalmDocBook(1, 40 * 4096, 40, records), "Palm");
    const TempFile mobi(MobiBook(1, 1252, records, 0, 40 * 4096), "Mobi");
    const std::string dump = VEXLIN_DUMP;
    const auto read = [](const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (const TempFile* book : {&palm, &mobi}) {
        const std::string stem = std::filesystem::path(book->path()).stem().string();
        const Image image = Load(std::filesystem::path(book->path()));
        std::vector<Finding> findings;
        const std::string text = ReadBook(*image.Data, image.Layout, "CP1252", findings).Text;
        ASSERT_EQ(text.size(), 40u * (4094 + 2 + 3)); // é and € take two and three bytes
        for (const std::string mode : {"", " --content"}) {
            ASSERT_EQ(std::system((dump + " --force --export " + dir.string() + mode + " " +
                                   book->path() + " >/dev/null")
                                      .c_str()),
                      0);
            EXPECT_TRUE(read(dir / (stem + ".txt")) == text) << stem << mode;
            EXPECT_EQ(std::filesystem::exists(dir / (stem + ".html")), book == &mobi);
            if (book == &mobi) {
                EXPECT_TRUE(read(dir / (stem + ".html")) == text) << stem << mode;
            }
        }
    }
    const std::string stem = std::filesystem::path(palm.path()).stem().string();
    std::filesystem::resize_file(dir / (stem + ".txt"), 3);
    const std::string refused =
        Shell(dump + " --export " + dir.string() + " " + palm.path() + " 2>&1");
    EXPECT_NE(refused.find(stem + ".txt: exists (--force overwrites it)"), std::string::npos)
        << refused;
    EXPECT_EQ(std::filesystem::file_size(dir / (stem + ".txt")), 3u);
    // A Mobipocket book whose .html exists: its .txt is still written whole, only the .html
    // is refused, and -v names only the file written.
    const std::string mobiStem = std::filesystem::path(mobi.path()).stem().string();
    const std::string whole = read(dir / (mobiStem + ".txt"));
    std::filesystem::remove(dir / (mobiStem + ".txt"));
    const std::string said =
        Shell(dump + " -v --export " + dir.string() + " " + mobi.path() + " 2>&1");
    EXPECT_NE(said.find(mobiStem + ".html: exists"), std::string::npos) << said;
    EXPECT_NE(said.find("wrote " + (dir / (mobiStem + ".txt")).string()), std::string::npos);
    EXPECT_EQ(said.find("wrote " + (dir / (mobiStem + ".html")).string()), std::string::npos);
    EXPECT_TRUE(read(dir / (mobiStem + ".txt")) == whole);
    std::filesystem::remove_all(dir);
}

// A resource database of icons made only of high-density families, each led by the marker:
// every family has its member, and each is exported.
TEST(HighDensityIcons, MarkerLedFamiliesReadAndExported) {
    TestBitmap icon = Drawn(3, 8, Packing::Rle);
    icon.Density = 144;
    Bytes family(16, 0);
    family[8] = 0xFF;
    family[9] = 1;
    const Bytes member = icon.Build();
    family.insert(family.end(), member.begin(), member.end());
    Bytes db(78, 0);
    PutBE16(db, 32, 0x0001);
    std::memcpy(db.data() + 60, "Icon", 4);
    PutBE16(db, 76, 2);
    for (std::uint16_t i = 0; i < 2; ++i) {
        const Bytes entry{'T', 'b', 'm', 'p', 0x03, static_cast<std::uint8_t>(0xE8 + i),
                          0,   0,   0,   0};
        db.insert(db.end(), entry.begin(), entry.end());
        PutBE32(db, 78 + 10 * i + 6, static_cast<std::uint32_t>(100 + family.size() * i));
    }
    db.resize(100, 0);
    db.insert(db.end(), family.begin(), family.end());
    db.insert(db.end(), family.begin(), family.end());
    const TempFile file(db, "HiRes");
    const Image image = Load(std::filesystem::path(file.path()));
    std::vector<Finding> findings;
    const auto entries = ReadBitmaps(*image.Data, image.Layout, findings);
    EXPECT_TRUE(findings.empty());
    ASSERT_EQ(entries.size(), 2u);
    for (const BitmapEntry& e : entries) {
        ASSERT_EQ(e.Members.size(), 1u) << EntryName(e);
        EXPECT_EQ(e.Members[0].Density, 144);
        EXPECT_EQ(e.Members[0].PixelHeight, icon.Height);
    }
    const auto dir =
        std::filesystem::temp_directory_path() / ("vexlin-hires-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    ASSERT_EQ(std::system((std::string(VEXLIN_DUMP) + " --export " + dir.string() + " " +
                           file.path() + " 2>/dev/null")
                              .c_str()),
              0);
    const auto folder = dir / std::filesystem::path(file.path()).stem();
    EXPECT_TRUE(std::filesystem::exists(folder / "Tbmp-1000.png"));
    EXPECT_TRUE(std::filesystem::exists(folder / "Tbmp-1001.png"));
    std::filesystem::remove_all(dir);
}

// Books with DRM: the encryption field of record 0 named, the text neither decrypted nor
// decoded (no garbage, no findings about it) and nothing exported for it; the MOBI header is
// still read. A PalmDOC book's reading position, which lies where the field does, is not
// taken for it.
TEST(DrmBooks, EncryptionNamedTextNotDecoded) {
    // Record 0 of a book of two records starts after the header, the list and its gap.
    constexpr std::size_t Record0 = 78 + 2 * 8 + 2;
    const Bytes garbage{0x80, 0x50, 0x07, 'a', 0xC3, 0x99, 0x80, 0x01};
    PdbBuilder old;
    old.Type = "TEXt";
    old.Creator = "REAd";
    Bytes r0(30, 0xA5); // the header, then the key from byte 14
    PutBE16(r0, 0, 2);
    PutBE32(r0, 4, 100);
    PutBE16(r0, 8, 1);
    PutBE16(r0, 10, 4096);
    PutBE16(r0, 12, 1);
    old.Record(r0).Record(garbage);
    Bytes mobi = MobiBook(2, 1252, {garbage}, 0, 100);
    PutBE16(mobi, Record0 + 12, 2);
    const TempFile v1(old.Build(), "OldDrm"), v2(mobi, "MobiDrm");
    using vexlin::content::BookEncryption;
    const struct {
        const TempFile* File;
        BookEncryption Encryption;
        std::string Scheme;
        int Value;
    } cases[] = {{&v1, BookEncryption::OldMobipocket, "old-mobipocket", 1},
                 {&v2, BookEncryption::Mobipocket, "mobipocket", 2}};
    const auto dir =
        std::filesystem::temp_directory_path() / ("vexlin-drm-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    const std::string dump = VEXLIN_DUMP;
    for (const auto& c : cases) {
        const Image image = Load(std::filesystem::path(c.File->path()));
        std::vector<Finding> findings;
        const Book b = ReadBook(*image.Data, image.Layout, "CP1252", findings);
        EXPECT_EQ(b.Encryption, c.Encryption) << c.Scheme;
        EXPECT_FALSE(b.TextRead) << c.Scheme;
        EXPECT_EQ(b.Text, "") << c.Scheme;
        EXPECT_EQ(b.Mobi.has_value(), c.Value == 2) << c.Scheme;
        if (b.Mobi) {
            EXPECT_EQ(b.Mobi->FullName, "Full Name");
        }
        ASSERT_EQ(findings.size(), 1u) << c.Scheme << ": " << findings.back().Message;
        EXPECT_EQ(findings[0].Code, "content-encrypted") << c.Scheme;
        const std::string value = std::to_string(c.Value);
        const std::string text = Shell(dump + " --content " + c.File->path());
        EXPECT_NE(text.find("  Encryption: " + c.Scheme + " (" + value + "): encrypted"),
                  std::string::npos)
            << text;
        const std::string json = Shell(dump + " --json --content " + c.File->path());
        EXPECT_NE(json.find("\"Encryption\":\"" + c.Scheme + "\",\"EncryptionValue\":" + value),
                  std::string::npos)
            << json;
        Shell(dump + " --export " + dir.string() + " " + c.File->path() + " 2>/dev/null");
        const std::string stem = std::filesystem::path(c.File->path()).stem().string();
        EXPECT_FALSE(std::filesystem::exists(dir / (stem + ".txt"))) << c.Scheme;
        EXPECT_FALSE(std::filesystem::exists(dir / (stem + ".html"))) << c.Scheme;
    }
    // PalmDOC books whose reading position 0x00010004 reads as 1 where the encryption lies:
    // the usual 16-byte header, and a header padded with zeros where a key would be.
    Bytes positioned = PalmDocBook(1, 2, 1, {Text("ok")});
    PutBE32(positioned, Record0 + 12, 0x00010004);
    PdbBuilder padded;
    padded.Type = "TEXt";
    padded.Creator = "REAd";
    Bytes p0(32, 0);
    PutBE16(p0, 0, 1);
    PutBE32(p0, 4, 2);
    PutBE16(p0, 8, 1);
    PutBE16(p0, 10, 4096);
    PutBE32(p0, 12, 0x00010004);
    padded.Record(p0).Record(Text("ok"));
    for (const Bytes& plain : {positioned, padded.Build()}) {
        const Image read = Load(plain);
        std::vector<Finding> findings;
        const Book b = ReadBook(*read.Data, read.Layout, "CP1252", findings);
        EXPECT_EQ(b.Encryption, BookEncryption::None);
        EXPECT_EQ(b.Text, "ok");
        EXPECT_TRUE(findings.empty());
    }
    std::filesystem::remove_all(dir);
}

namespace {

// A resource database of the given type and creator: each resource's type, ID and bytes, laid
// out after the 10-byte entries and the 2-byte gap.
struct TestResource {
    std::string Type;
    std::uint16_t ID;
    Bytes Data;
};
Bytes ResourceDatabase(const std::string& type, const std::string& creator,
                       const std::vector<TestResource>& resources) {
    Bytes db(78, 0);
    PutBE16(db, 32, 0x0001);
    std::memcpy(db.data() + 60, type.data(), 4);
    std::memcpy(db.data() + 64, creator.data(), 4);
    PutBE16(db, 76, static_cast<std::uint16_t>(resources.size()));
    std::size_t at = 78 + 10 * resources.size() + 2;
    for (const TestResource& r : resources) {
        Bytes entry(r.Type.begin(), r.Type.end());
        PutBE16(entry, 4, r.ID);
        PutBE32(entry, 6, static_cast<std::uint32_t>(at));
        db.insert(db.end(), entry.begin(), entry.end());
        at += r.Data.size();
    }
    db.resize(78 + 10 * resources.size() + 2, 0);
    for (const TestResource& r : resources)
        db.insert(db.end(), r.Data.begin(), r.Data.end());
    return db;
}

} // namespace

// Programs other than applications (a shared library, a panel) read as applications: name,
// version (tver 1 before tver 1000, else any tver), their code and icons. The preferences
// databases list each preference by the creator it belongs to and its ID.
TEST(ExecutableResources, LibrariesPanelsAndPreferences) {
    const Bytes icon = Drawn(2, 8, Packing::None).Build();
    const Image library = Load(ResourceDatabase("libr", "MyLb",
                                                {{"libr", 0, Bytes(40, 0x4E)},
                                                 {"tAIN", 1000, Text("My Library")},
                                                 {"tver", 1000, Text("9.9")},
                                                 {"tver", 1, Text("1.2")},
                                                 {"tAIB", 1000, icon}}));
    EXPECT_EQ(vexlin::content::Identify({*library.Data, library.Layout}).Name, "application");
    std::vector<Finding> findings;
    const Application lib = ReadApplication(*library.Data, library.Layout, "CP1252", findings);
    EXPECT_EQ(lib.Name, "My Library");
    EXPECT_EQ(lib.Version, "1.2");
    ASSERT_EQ(lib.Code.size(), 1u);
    EXPECT_EQ(std::string(lib.Code[0].Type, 4), "libr");
    EXPECT_EQ(lib.Code[0].Size, 40u);
    ASSERT_EQ(lib.Bitmaps.size(), 1u);
    EXPECT_EQ(lib.Bitmaps[0].Members.size(), 1u);
    EXPECT_TRUE(findings.empty());
    // A panel with neither tver 1 nor 1000: its only tver.
    const Image panel =
        Load(ResourceDatabase("panl", "MyPn", {{"tver", 2000, Text("3.0")}, {"tFRM", 1000, {}}}));
    EXPECT_EQ(vexlin::content::Identify({*panel.Data, panel.Layout}).Name, "application");
    EXPECT_EQ(ReadApplication(*panel.Data, panel.Layout, "CP1252", findings).Version, "3.0");

    const Bytes unsaved = ResourceDatabase(
        "pref", "psys", {{"memo", 1, Bytes(6, 1)}, {"addr", 3, Bytes(9, 2)}, {"code", 0, {}}});
    const Image prefs = Load(unsaved);
    ASSERT_EQ(vexlin::content::Identify({*prefs.Data, prefs.Layout}).Name, "preferences");
    const auto list = vexlin::content::ReadPreferences(prefs.Layout).Entries;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(std::string(list[1].Type, 4), "addr");
    EXPECT_EQ(list[1].ID, 3);
    EXPECT_EQ(list[1].Size, 9u);
    const TempFile file(unsaved, "Unsaved");
    const std::string dump = VEXLIN_DUMP;
    const std::string text = Shell(dump + " --content " + file.path());
    EXPECT_NE(text.find("Format: preferences\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  Preference addr 3: 9 bytes\n"), std::string::npos) << text;
    const std::string json = Shell(dump + " --json --content " + file.path());
    EXPECT_NE(json.find("\"Items\":[{\"Creator\":\"memo\",\"ID\":1,\"Size\":6},"),
              std::string::npos)
        << json;
    const std::string exported =
        Shell(dump + " --export " + std::filesystem::temp_directory_path().string() + " " +
              file.path() + " 2>&1");
    EXPECT_NE(exported.find("nothing to export (format preferences)"), std::string::npos)
        << exported;

    if (std::filesystem::exists(Corpus / "nsbasic_Saved_Preferences.PRC")) {
        const Image saved = Load(Corpus / "nsbasic_Saved_Preferences.PRC");
        EXPECT_EQ(vexlin::content::Identify({*saved.Data, saved.Layout}).Name, "preferences");
        const auto entries = vexlin::content::ReadPreferences(saved.Layout).Entries;
        ASSERT_EQ(entries.size(), 47u);
        EXPECT_EQ(std::string(entries[3].Type, 4), "abtp");
        EXPECT_EQ(entries[3].Size, 264u);
    }
}

// Text records that share their bytes: the text stops at what the file may yield, streamed or
// held, in a one-byte encoding or another, with one finding.
TEST(BooksBound, SharedTextRecordsCutAtTheBound) {
    // 2,001 text entries, 1,001 of them on one record of 4,096 bytes: 4 MB of text from 20 KB.
    PdbBuilder doc;
    doc.Type = "TEXt";
    doc.Creator = "REAd";
    Bytes r0(16, 0);
    PutBE16(r0, 0, 1);
    PutBE32(r0, 4, 2001 * 4096);
    PutBE16(r0, 8, 2001);
    PutBE16(r0, 10, 4096);
    doc.Record(r0).Record(Bytes(4096, 't'));
    for (int i = 1; i < 2001; ++i)
        doc.Record({});
    Bytes file = doc.Build();
    for (std::size_t r = 3; r <= 2001; r += 2)
        std::copy_n(file.begin() + 78 + 8, 4,
                    file.begin() + static_cast<std::ptrdiff_t>(78 + 8 * r));
    const Image book = Load(file);
    const std::uint64_t most = vexlin::content::OutputBound(file.size()).Limit() /
                               vexlin::content::OutputBound::PerTextByte;
    std::vector<Finding> findings;
    std::string streamed;
    const Book read = ReadBook(*book.Data, book.Layout, "CP1252", findings,
                               [&](const Book&, std::string_view piece) { streamed += piece; });
    EXPECT_TRUE(read.Text.empty());
    EXPECT_LE(streamed.size(), most);
    EXPECT_GT(streamed.size(), most - 4096); // cut at the bound, not before
    EXPECT_EQ(std::count_if(findings.begin(), findings.end(),
                            [](const Finding& f) { return f.Code == "content-output-bound"; }),
              1);
    findings.clear();
    EXPECT_EQ(ReadBook(*book.Data, book.Layout, "CP1252", findings).Text, streamed);
    findings.clear();
    const std::string japanese = ReadBook(*book.Data, book.Layout, "CP932", findings).Text;
    EXPECT_LE(japanese.size(), most);
    EXPECT_TRUE(HasCode(findings, "content-output-bound"));
}

// Bitmap entries that share their bytes: the entries read span no more bytes than the file
// holds (and 64 KiB), their pixels no more than FilePixelsPerByte a byte; those past it are
// listed without members, with one finding.
TEST(BitmapsBound, SharedEntriesReadAsFarAsTheFileGoes) {
    const Bytes picture = Largest(1).Build();
    PdbBuilder shared;
    shared.Type = "Imgs";
    shared.Record(picture);
    for (int i = 1; i < 2001; ++i)
        shared.Record({});
    Bytes file = shared.Build();
    for (std::size_t r = 2; r < 2001; r += 2)
        std::copy_n(file.begin() + 78, 4, file.begin() + static_cast<std::ptrdiff_t>(78 + 8 * r));
    const Image many = Load(file);
    std::vector<Finding> findings;
    std::uint64_t pixels = 0;
    const auto all = ReadBitmaps(*many.Data, many.Layout, findings, [&](const BitmapEntry& e) {
        for (const Bitmap& b : e.Members)
            pixels += std::uint64_t{b.PixelWidth} * b.PixelHeight;
    });
    EXPECT_EQ(all.size(), 1001u);
    const auto read = static_cast<std::size_t>(std::count_if(
        all.begin(), all.end(), [](const BitmapEntry& e) { return !e.Members.empty(); }));
    EXPECT_LE(read * picture.size(), file.size() + 65536);
    EXPECT_GE(read, 1u);
    EXPECT_LE(pixels, FilePixelsPerByte * file.size() + FamilyPixelsMax);
    EXPECT_EQ(std::count_if(findings.begin(), findings.end(),
                            [](const Finding& f) { return f.Code == "content-output-bound"; }),
              1);
}

namespace {

// What vexlin-dump prints of a database's content: the [Content] section and the JSON object.
std::string Printed(const content::Content& c) {
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* memory = open_memstream(&text, &length);
    {
        dump::StreamTarget out(memory);
        dump::PrintContent(out, c);
        dump::WriteWithContent(out, "{\"File\":\"cut\"}", c);
    }
    std::fclose(memory);
    std::string printed(text, length);
    std::free(text);
    return printed;
}

const FindingCode* Listed(std::string_view code) {
    for (const FindingCode* listed : FindingCodes)
        if (listed->Code == code)
            return listed;
    return nullptr;
}

// A picture database of two DBLK slices.
Bytes PictureSample() {
    PdbBuilder picture;
    picture.Type = picture.Creator = "Foto";
    for (const Bytes& part : {Bytes{0xFF, 0xD8, 0xFF, 0xE0}, Bytes{0x00, 0x10, 0xFF, 0xD9}}) {
        Bytes slice = Text("DBLK");
        slice.resize(8);
        PutBE32(slice, 4, static_cast<std::uint32_t>(part.size()));
        slice.insert(slice.end(), part.begin(), part.end());
        picture.Record(slice);
    }
    return picture.Build();
}

// A thumbnail database: a photo "Lake" of 640 x 480 and a photo deleted on the device.
Bytes ThumbnailSample() {
    PdbBuilder thumbnails;
    thumbnails.Type = thumbnails.Creator = "Foto";
    Bytes thumbnail(40, 0);
    PutBE16(thumbnail, 4, 640);
    PutBE16(thumbnail, 6, 480);
    PutBE32(thumbnail, 8, 0xBD000000u);
    PutBE32(thumbnail, 12, 43312);
    PutBE16(thumbnail, 21, 4);
    PutBE32(thumbnail, 28, 0xBC000000u);
    PutBE32(thumbnail, 36, 4);
    thumbnail.insert(thumbnail.end(), {0xFF, 0xD8, 0xFF, 0xD9, 'L', 'a', 'k', 'e'});
    thumbnails.Record(thumbnail).Record(Bytes(8, 0));
    return thumbnails.Build();
}

// One small database of each format the registry knows.
std::vector<Bytes> FormatSamples() {
    std::vector<Bytes> samples;
    for (const auto& [name, bytes] : PimSamples())
        samples.push_back(bytes);
    samples.push_back(PalmDocBook(1, 11, 2, {Text("Call me "), Text("Ish")}));
    samples.push_back(MobiBook(1, 65001, {Text("caf\xC3\xA9")}, 0, 5));
    PdbBuilder pictures;
    pictures.Record(Drawn(2, 4, Packing::Rle).Build()).Record(Drawn(3, 8, Packing::None).Build());
    samples.push_back(pictures.Build());
    Bytes strike(26, 0);
    const std::int16_t fields[13] = {-28672, 32, 33, 8, 0, 0, 8, 2, 0, 2, 0, 0, 1};
    for (int i = 0; i < 13; ++i)
        PutBE16(strike, 2 * i, static_cast<std::uint16_t>(fields[i]));
    strike.insert(strike.end(), {0x80, 0x01, 0xFF, 0x00});
    samples.push_back(ResourceDatabase("Font", "Test", {{"NFNT", 9000, strike}}));
    samples.push_back(ResourceDatabase("appl", "Test",
                                       {{"tAIN", 1000, Text("Cut")},
                                        {"tver", 1000, Text("1.0")},
                                        {"code", 0, Bytes(24, 0x4E)},
                                        {"tAIB", 1000, Drawn(1, 1, Packing::None).Build()}}));
    samples.push_back(ResourceDatabase("sprf", "psys", {{"Test", 0, Text("on")}}));
    samples.push_back(ExpenseSample());
    samples.push_back(CalendarSample());
    samples.push_back(ContactsSample());
    samples.push_back(NotePadSample());
    samples.push_back(PictureSample());
    samples.push_back(ThumbnailSample());
    // Palm OS 5's Tasks, as a device wrote them.
    std::ifstream tasks(std::filesystem::path(VEXLIN_CORPUS_DIR) / "psd_TasksDB-PTod.pdb",
                        std::ios::binary);
    samples.emplace_back(std::istreambuf_iterator<char>(tasks), std::istreambuf_iterator<char>());
    return samples;
}

} // namespace

// The registry's contract, over one small database of every format: cut at every length, it is
// decoded without a read past the file's end (poisoning the bytes after it changes nothing),
// its [Content] section and JSON are valid UTF-8, and every finding lies inside the file, in
// order, with a code the table lists at the severity the table gives it.
TEST(Registry, EveryFormatCutAtEveryLength) {
    std::set<std::string_view> formats, sampled;
    for (const content::FormatDescriptor* format : content::Formats())
        formats.insert(format->Name);
    for (const Bytes& sample : FormatSamples()) {
        const Image whole = Load(sample);
        const std::string_view name = content::Identify({*whole.Data, whole.Layout}).Name;
        sampled.insert(name);
        for (std::size_t cut = 78; cut <= sample.size(); ++cut) {
            const Bytes bytes(sample.begin(), sample.begin() + static_cast<long>(cut));
            const Image image = Load(bytes);
            const content::Content before = content::ReadContent(*image.Data, image.Layout);
            const std::string printed = Printed(before);
            auto* raw = reinterpret_cast<std::uint8_t*>(image.Data.get());
            std::fill(raw + cut, raw + std::min<std::size_t>(cut + 4096, ImageCapacity), 0xA5);
            ASSERT_EQ(Printed(content::ReadContent(*image.Data, image.Layout)), printed)
                << name << " cut at " << cut << " reads past the end of the file";
            ASSERT_TRUE(content::ValidUtf8(printed)) << name << " cut at " << cut;
            std::vector<Finding> findings = image.Layout.Findings;
            findings.insert(findings.end(), before.Findings.begin(), before.Findings.end());
            // Each list in file order: the structure's, then the content's.
            const std::size_t structural = image.Layout.Findings.size();
            for (std::size_t i = 0; i < findings.size(); ++i) {
                const Finding& f = findings[i];
                const FindingCode* listed = Listed(f.Code);
                ASSERT_NE(listed, nullptr) << f.Code << " is not in the table";
                const std::string_view severity = SeverityName(f.Level);
                EXPECT_TRUE(listed->Severity == severity ||
                            (listed->Severity == "warning or note" && severity != "error"))
                    << f.Code << " reported as " << severity;
                EXPECT_LE(f.Offset, cut) << name << " cut at " << cut << ": " << f.Code;
                if (i > 0 && i != structural) {
                    EXPECT_LE(findings[i - 1].Offset, f.Offset) << name << " cut at " << cut;
                }
            }
        }
    }
    EXPECT_EQ(sampled, formats);
}

// Photos: the corpus's real picture database joined exactly from its slices (as a reader
// of the bytes would join them) and exported as that JPEG; a thumbnail database's fields as
// Perl's Palm::ZirePhoto reads them.
TEST(Photos, PicturesJoinedAndThumbnailsAsThePeerReadsThem) {
    const Image lake = Load(Corpus / "nsbasic_Lake_jpg_filestream.PDB");
    const content::Content c = content::ReadContent(*lake.Data, lake.Layout);
    ASSERT_NE(c.As<content::Photos>(), nullptr);
    const content::Photos& photo = *c.As<content::Photos>();
    Bytes joined;
    for (std::size_t i = 0; i < lake.Layout.Records.size(); ++i) {
        const auto record = EntryBytes(*lake.Data, lake.Layout, i).Data;
        joined.insert(joined.end(), record.begin() + 8, record.end());
    }
    EXPECT_TRUE(photo.Picture);
    EXPECT_EQ(photo.Slices, 11u);
    EXPECT_EQ(photo.Jpeg, joined);
    EXPECT_TRUE(c.Findings.empty());
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "vexlin-photos";
    std::filesystem::remove_all(out);
    Shell(std::string(VEXLIN_DUMP) + " --export " + out.string() + " " +
          (Corpus / "nsbasic_Lake_jpg_filestream.PDB").string());
    std::ifstream jpeg(out / "nsbasic_Lake_jpg_filestream.jpg", std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(jpeg), std::istreambuf_iterator<char>()), joined);
    std::filesystem::remove_all(out);

    const TempFile sample(ThumbnailSample(), "Thumbnails");
    const Image thumbnails = Load(std::filesystem::path(sample.path()));
    const content::Content t = content::ReadContent(*thumbnails.Data, thumbnails.Layout);
    ASSERT_NE(t.As<content::Photos>(), nullptr);
    const auto& items = t.As<content::Photos>()->Items;
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[1].Name.empty() && items[1].Thumbnail.empty()); // deleted on the device
    const auto& p = items[0];
    const std::string ours = std::to_string(p.Width) + " " + std::to_string(p.Height) + " " +
                             std::to_string(p.Size) + " " + std::to_string(p.Modified) + " " +
                             std::to_string(p.Created) + " " + std::to_string(p.Thumbnail.size()) +
                             " " + p.Name + "\n";
    EXPECT_EQ(ours, "640 480 43312 3170893824 3154116608 4 Lake\n");
    if (Shell("perl -MPalm::ZirePhoto -e1 2>&1 && echo ok") != "ok\n")
        GTEST_SKIP() << "Perl's Palm::ZirePhoto (libpalm-perl) is not installed: not compared";
    EXPECT_EQ(Shell("perl -MPalm::PDB -MPalm::ZirePhoto -e '$p = Palm::PDB->new; $p->Load($ARGV[0]); "
                    "$r = $p->{records}[0]; print join(\" \", @$r{qw(width height size time1_secs "
                    "time2_secs thumbSize name)}), \"\\n\"' " +
                    sample.path()),
              ours);
}

// An expense database's B.csv, as a spreadsheet or a CSV library reads it: a header row, every
// field quoted, a quote doubled, a comma and a line break kept in their fields, CRLF rows.
TEST(Expense, ExportedAsRfc4180Csv) {
    const TempFile sample(ExpenseSample(), "Expenses");
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "vexlin-expense";
    std::filesystem::remove_all(out);
    Shell(std::string(VEXLIN_DUMP) + " --export " + out.string() + " " + sample.path());
    const std::string stem = std::filesystem::path(sample.path()).stem().string();
    std::ifstream in(out / (stem + ".csv"), std::ios::binary);
    const std::string csv((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(csv,
              "\"Date\",\"Category\",\"Type\",\"Payment\",\"Currency\",\"Amount\",\"Vendor\","
              "\"City\",\"Attendees\",\"Note\",\"Private\"\r\n"
              "\"2004-03-01\",\"\",\"Lunch\",\"Cash\",\"United States\",\"12.50\","
              "\"Caf\u00e9 Rouge\",\"Paris\",\"\",\"\",\"no\"\r\n"
              "\"2004-03-02\",\"Trip\",\"Taxi\",\"VISA\",\"Peso\",\"300\","
              "\"Taxi \"\"R\u00e1pido\"\", Inc.\",\"Lima\",\"Ana, Bo\",\"to the\nairport\",\"yes\"\r\n");
    std::filesystem::remove_all(out);
}

// A Calendar's B.ics: LOCATION, a timed event in its zone (TZID) with the zone's VTIMEZONE built
// from its rules before the events, UNTIL in UTC; an untimed event a floating day.
TEST(Calendar, ExportedWithLocationsAndZones) {
    const TempFile sample(CalendarSample(), "Calendar");
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "vexlin-calendar";
    std::filesystem::remove_all(out);
    Shell(std::string(VEXLIN_DUMP) + " --export " + out.string() + " " + sample.path());
    const std::string stem = std::filesystem::path(sample.path()).stem().string();
    std::ifstream in(out / (stem + ".ics"), std::ios::binary);
    const std::string ics((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(out);
    const auto at = [&](const char* text) { return ics.find(text); };
    for (const char* line :
         {"BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\n"
          "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\n",
          "BEGIN:DAYLIGHT\r\nDTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\n",
          "DTSTART;TZID=Europe/Berlin:20240329T090000\r\n",
          "DTEND;TZID=Europe/Berlin:20240329T103000\r\n",
          "RRULE:FREQ=WEEKLY;UNTIL=20241231T225959Z;BYDAY=FR\r\n", "LOCATION:Room 4\r\n",
          "DTSTART;VALUE=DATE:20240401\r\n", "LOCATION:Home\r\n"})
        EXPECT_NE(at(line), std::string::npos) << line << " not in\n" << ics;
    EXPECT_LT(at("END:VTIMEZONE"), at("BEGIN:VEVENT"));
}

// A contact's card in B.vcf: each phone by its label (the shown one PREF), the messaging name
// as IMPP and as its service's X- property, the web site, two addresses by their labels, the
// birthday, the photo as base64 JPEG.
TEST(Contacts, ExportedAsVcard) {
    const TempFile sample(ContactsSample(), "Contacts");
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "vexlin-contacts";
    std::filesystem::remove_all(out);
    Shell(std::string(VEXLIN_DUMP) + " --export " + out.string() + " " + sample.path());
    const std::string stem = std::filesystem::path(sample.path()).stem().string();
    std::ifstream in(out / (stem + ".vcf"), std::ios::binary);
    const std::string vcf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(out);
    for (const char* line :
         {"N:Lima;Ana;;;\r\n", "FN:Ana Lima\r\n", "ORG:Acme\r\n",
          "TEL;TYPE=WORK,VOICE:555-1234\r\n", "TEL;TYPE=CELL,PREF:555-9876\r\n",
          "EMAIL;TYPE=INTERNET:ana@example.com\r\n", "IMPP:aim:analima\r\n", "X-AIM:analima\r\n",
          "URL:http://example.com\r\n", "ADR;TYPE=HOME:;;1 Main St;Springfield;;;USA\r\n",
          "ADR;TYPE=WORK:;;;Shelbyville;;;\r\n", "BDAY:1980-05-17\r\n",
          "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgD/2Q==\r\n", "NOTE:Likes tea\r\n"})
        EXPECT_NE(vcf.find(line), std::string::npos) << line << " not in\n" << vcf;
}

// The Note Pad: a run-length drawing and a cut 1-bit one decoded to their pixels (8 more than
// the record's width), a PNG drawing kept as it is; B/NNNN.png the PNG's bytes exactly, and
// the decoded drawing as pngtopnm reads it back.
TEST(NotePad, DrawingsDecodedAndExported) {
    const Image image = Load(NotePadSample());
    const content::Content c = content::ReadContent(*image.Data, image.Layout);
    ASSERT_NE(c.As<content::NotePad>(), nullptr);
    const auto& notes = c.As<content::NotePad>()->Items;
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].Title, "Sketch");
    EXPECT_EQ(notes[0].Created.Iso(), "2004-05-06T07:08:09");
    EXPECT_EQ(notes[0].Width, 16u);
    std::string ink;
    for (const std::uint8_t pixel : notes[0].Ink)
        ink += pixel ? '#' : '.';
    EXPECT_EQ(ink, "####....####........####....####");
    EXPECT_EQ(notes[1].Alarm->Iso(), "2004-07-02T09:00:00");
    EXPECT_EQ(notes[1].Png.size(), 11u);
    EXPECT_EQ(notes[2].Ink.size(), 24u);
    EXPECT_TRUE(notes[2].Damaged);
    EXPECT_TRUE(HasCode(c.Findings, "content-bitmap-data"));

    const TempFile sample(NotePadSample(), "NotePad");
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "vexlin-notepad";
    std::filesystem::remove_all(out);
    Shell(std::string(VEXLIN_DUMP) + " --export " + out.string() + " " + sample.path());
    const std::filesystem::path folder = out / std::filesystem::path(sample.path()).stem();
    std::ifstream png(folder / "0002.png", std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(png), std::istreambuf_iterator<char>()),
              notes[1].Png);
    if (Have("pngtopnm")) {
        const auto picture = ParsePnm(Shell("pngtopnm " + (folder / "0001.png").string()));
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->Width, 16u);
        EXPECT_EQ(picture->Height, 2u);
        std::string read;
        for (std::size_t i = 0; i < picture->Rgb.size(); i += 3)
            read += picture->Rgb[i] == 0 ? '#' : '.';
        EXPECT_EQ(read, ink);
    }
    std::filesystem::remove_all(out);
}

// The streamed arrays' writer: controls and C1 escaped as the library would never do alone,
// and a text of bad bytes (a finding's message) made valid as the library's dump makes it.
TEST(JsonText, ControlsEscapedAndBadBytesReplaced) {
    using vexlin::dump::Json;
    std::string out;
    vexlin::dump::AppendJson(out, Json{{"M", "x\x01\"\xC2\x9D"}, {"N", 7}});
    EXPECT_EQ(out, R"({"M":"x\u0001\"\u009d","N":7})");
    EXPECT_EQ(vexlin::dump::ValidJsonText("a\xFF" "b\xE3\x81"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(vexlin::dump::ValidJsonText("plain"), "plain");
}
