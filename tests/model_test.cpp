// The model: loading, the header report, the hex dump and the record view.
#include "DatabaseImage.h"
#include "HeaderReport.h"
#include "HexDump.h"
#include "PdbBuilder.h"
#include "RecordView.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include <sys/stat.h>

using namespace vexlin;
using namespace vexlin::test;

namespace {

std::unique_ptr<DatabaseImage> Load(const Bytes& bytes) {
    auto image = std::make_unique<DatabaseImage>();
    LoadImageFromBytes(*image, bytes);
    return image;
}

std::vector<std::string> Dump(const DatabaseImage& image, std::int32_t start, std::int32_t size) {
    LinesTarget target;
    target.Lines = {"left over"};
    HexDump(target, image, start, size);
    return target.Lines;
}

Bytes Recipes() {
    PdbBuilder b;
    b.Name = "Recipes";
    b.Attributes = 8;
    b.Version = 1;
    b.CreationDate = 0xB73C8B80;
    b.ModificationDate = 0xB73C9990;
    b.ModificationNumber = 5;
    b.Type = "DATA";
    b.Creator = "Rcpe";
    b.UniqueIDSeed = 4096;
    b.App(Bytes(64, 0xAA)).Record(Text("first")).Record(Text("second one"));
    return b.Build();
}


} // namespace

TEST(HeaderReport, RecipesExample) {
    const auto image = Load(Recipes());
    EXPECT_EQ(std::int32_t{image->AppInfoSize}, 64);
    EXPECT_EQ(std::int32_t{image->FirstRecordOffset}, 160);
    const std::array<std::string, 14> expected = {
        " Name:               Recipes",      " Attributes:         0x0008",
        " Version:            1",            " Creation Datel:     -1220768896",
        " ModificationDate:   -1220765296",  " LastBackupDate:     0",
        " ModificationNumber: 5",            " AppInfoArea:        96(Size=64)",
        " SortInfoArea:       0(Size=0)",    " DataBaseType:       DATA",
        " CreatorID:          Rcpe",         " UniqueIDSeed:       4096",
        " NextRecordListID:   0",            " NumberOfRecord:     2"};
    EXPECT_EQ(HeaderReport(*image), expected);
}

TEST(HeaderReport, NumbersKeepTheirSignAndWidth) {
    Bytes b = PdbBuilder{}.Build();
    PutBE16(b, 32, 0x8001);     // attributes: four upper-case digits
    PutBE16(b, 34, 0xFFFF);     // version -1
    PutBE32(b, 36, 0xFFFFFFFF); // creation date -1
    PutBE32(b, 40, 0x80000000); // modification date: most negative
    PutBE32(b, 72, 0x7FFFFFFF);
    auto report = HeaderReport(*Load(b));
    EXPECT_EQ(report[1], " Attributes:         0x8001");
    EXPECT_EQ(report[2], " Version:            -1");
    EXPECT_EQ(report[3], " Creation Datel:     -1");
    EXPECT_EQ(report[4], " ModificationDate:   -2147483648");
    EXPECT_EQ(report[12], " NextRecordListID:   2147483647");

    PutBE16(b, 34, 0x8000);
    PutBE16(b, 76, 0xFFFF);
    report = HeaderReport(*Load(b));
    EXPECT_EQ(report[2], " Version:            -32768");
    EXPECT_EQ(report[13], " NumberOfRecord:     65535");
}

TEST(HeaderReport, TextFieldsStopAtZeroAndAtTheirWidth) {
    Bytes b = PdbBuilder{}.Build();
    std::memset(b.data(), 'N', 32); // a name with no zero byte
    PutBE16(b, 32, 0x4142);         // would read on as "BA" if the name ran on
    b[60] = 'T';
    b[61] = 0;
    b[62] = 'X';
    std::memset(b.data() + 64, 0, 4);
    const auto report = HeaderReport(*Load(b));
    EXPECT_EQ(report[0], " Name:               " + std::string(32, 'N'));
    EXPECT_EQ(report[9], " DataBaseType:       T");
    EXPECT_EQ(report[10], " CreatorID:          ");
}

TEST(HeaderReport, EightBitTextIsWindows1252) {
    EXPECT_EQ(Cp1252ToUtf8("Ma\xF1" "ana"), "Ma\xC3\xB1" "ana");
    EXPECT_EQ(Cp1252ToUtf8("\x80\x99\x9F"), "\xE2\x82\xAC\xE2\x84\xA2\xC5\xB8");
    for (const char undefined : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'}) {
        const auto b = static_cast<unsigned char>(undefined);
        EXPECT_EQ(Cp1252ToUtf8(std::string(1, undefined)),
                  std::string({'\xC2', static_cast<char>(b)}));
    }
    EXPECT_EQ(Cp1252ToUtf8(std::string("a\x01\xFF", 3)), "a\x01\xC3\xBF");
}

TEST(HeaderReport, AllZeroImage) {
    const auto report = HeaderReport(*Load({}));
    EXPECT_EQ(report[0], " Name:               ");
    EXPECT_EQ(report[1], " Attributes:         0x0000");
    EXPECT_EQ(report[7], " AppInfoArea:        0(Size=0)");
    EXPECT_EQ(report[13], " NumberOfRecord:     0");
}

TEST(LoadImage, HeaderIsReversedTextIsNot) {
    Bytes b = PdbBuilder{}.Build();
    b[76] = 0x00;
    b[77] = 0x0A;
    std::memcpy(b.data() + 60, "abcd", 4);
    const auto image = Load(b);
    EXPECT_EQ(image->Header.NumberOfRecords, 10);
    EXPECT_EQ(std::string(image->Header.DataBaseType, 4), "abcd");
    EXPECT_EQ(std::int32_t{image->FileSize}, static_cast<std::int32_t>(b.size()));
}

struct ExtentCase {
    std::uint32_t App, Sort;
    std::uint16_t Records;
    std::uint32_t FirstOffset;
    std::size_t FileSize;
    std::int32_t AppSize, SortSize, FirstRecord;
};

class DerivedExtents : public testing::TestWithParam<ExtentCase> {};

TEST_P(DerivedExtents, FollowTheAreaOrder) {
    const ExtentCase c = GetParam();
    Bytes b(c.FileSize, 0);
    PutBE32(b, 52, c.App);
    PutBE32(b, 56, c.Sort);
    PutBE16(b, 76, c.Records);
    if (c.Records != 0) {
        PutBE32(b, 78, c.FirstOffset);
    }
    b.resize(c.FileSize);
    const auto image = Load(b);
    EXPECT_EQ(std::int32_t{image->AppInfoSize}, c.AppSize);
    EXPECT_EQ(std::int32_t{image->SortInfoSize}, c.SortSize);
    EXPECT_EQ(std::int32_t{image->FirstRecordOffset}, c.FirstRecord);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DerivedExtents,
    testing::Values(ExtentCase{0, 0, 2, 164, 300, 0, 0, 164},
                    ExtentCase{100, 0, 2, 164, 300, 64, 0, 164},
                    ExtentCase{100, 0, 0, 0, 300, 200, 0, 0},
                    ExtentCase{0, 120, 2, 164, 300, 0, 44, 164},
                    ExtentCase{0, 120, 0, 0, 300, 0, 180, 0},
                    ExtentCase{100, 150, 0, 0, 200, 50, 50, 0},
                    ExtentCase{100, 150, 1, 170, 200, 50, 20, 170},
                    // sort info after the first record: negative, app info up to sort info
                    ExtentCase{100, 200, 1, 170, 300, 100, -30, 170},
                    // sort info before app info
                    ExtentCase{150, 100, 0, 0, 300, -50, 200, 0},
                    // record list cut by the end of the file reads zeros
                    ExtentCase{0, 0, 3, 0, 78, 0, 0, 0},
                    // offsets with the sign bit set wrap, never overflow
                    ExtentCase{0x80000000u, 0, 0, 0, 100, -2147483548, 0, 0},
                    ExtentCase{0x7FFFFFFFu, 0x80000000u, 1, 0x7FFFFFFF, 100, 1, -1,
                               0x7FFFFFFF}));

TEST(LoadImage, BytesFromMemoryAndFromDiskGiveTheSameImage) {
    const Bytes bytes = Recipes();
    TempFile file(bytes);
    auto fromDisk = std::make_unique<DatabaseImage>();
    LoadImage(*fromDisk, file.path());
    EXPECT_EQ(std::memcmp(fromDisk.get(), Load(bytes).get(), sizeof(DatabaseImage)), 0);
    EXPECT_EQ(std::memcmp(fromDisk.get(), LoadNewImage(file.path()).get(), sizeof(DatabaseImage)), 0);
    EXPECT_EQ(std::memcmp(fromDisk.get(), LoadNewImageFromBytes(bytes).get(), sizeof(DatabaseImage)),
              0);
}

TEST(LoadImage, ShortHeaderReadsAsZeroPadded) {
    const auto image = Load(Bytes(72, 0xFF));
    EXPECT_EQ(std::int32_t{image->FileSize}, 72);
    EXPECT_EQ(image->Header.UniqueIDSeed, -1);
    EXPECT_EQ(image->Header.NextRecordListID, 0);
    EXPECT_EQ(image->Header.NumberOfRecords, 0);
    EXPECT_EQ(ImageBytes(*image)[72], 0);
}

TEST(LoadImage, FileErrorsNameTheFileAndTheReason) {
    auto image = std::make_unique<DatabaseImage>();
    const std::string missing = "/nonexistent/vexlin/none.pdb";
    try {
        LoadImage(*image, missing);
        FAIL() << "a missing file loaded";
    } catch (const LoadError& e) {
        EXPECT_EQ(e.file(), missing);
        EXPECT_EQ(std::string(e.what()), missing + ": No such file or directory");
    }
    EXPECT_THROW(LoadImage(*image, "/tmp"), LoadError);
    EXPECT_THROW(LoadImage(*image, "/dev/null"), LoadError);
}

TEST(LoadImage, SizeLimit) {
    Bytes bytes(ImageCapacity, 0x5A);
    auto image = std::make_unique<DatabaseImage>();
    {
        TempFile atLimit(bytes);
        LoadImage(*image, atLimit.path());
        EXPECT_EQ(std::int32_t{image->FileSize}, ImageCapacity);
        EXPECT_EQ(image->Data[DataCapacity - 1], 0x5A);
    }
    bytes.push_back(0);
    TempFile overLimit(bytes);
    try {
        LoadImage(*image, overLimit.path());
        FAIL() << "an oversized file loaded";
    } catch (const LoadError& e) {
        EXPECT_EQ(e.reason(), "file is 5242959 bytes, larger than the limit of 5242958 bytes");
    }
}

TEST(HexDump, TwentyLettersAtOffset0x100) {
    Bytes b(0x100 + 20, 0);
    for (int i = 0; i < 20; ++i) {
        b[0x100 + i] = static_cast<std::uint8_t>('A' + i);
    }
    const std::vector<std::string> expected = {
        "0100|41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 |ABCDEFGHIJKLMNOP|0000|0",
        "0110|51 52 53 54                                     |QRST            |0010|16"};
    EXPECT_EQ(Dump(*Load(b), 0x100, 20), expected);
}

TEST(HexDump, UnprintableBytesAndFormatCharacters) {
    Bytes b(0x60, 0);
    const Bytes tail = {0x41, 0x00, 0x7F, 0x1F, 0x80, 0xFF, 0x20, '|', '%', 'd'};
    b.insert(b.end(), tail.begin(), tail.end());
    const auto image = Load(b);
    EXPECT_EQ(Dump(*image, 0x60, 3),
              std::vector<std::string>{
                  "0060|41 00 7f                                        |A..             |0000|0"});
    EXPECT_EQ(Dump(*image, 0x60, 10),
              std::vector<std::string>{
                  "0060|41 00 7f 1f 80 ff 20 7c 25 64                   |A..... |%d      |0000|0"});
}

TEST(HexDump, LineCountsAndShapes) {
    const auto image = Load(Bytes(100, 0x31));
    EXPECT_TRUE(Dump(*image, 10, 0).empty());
    EXPECT_TRUE(Dump(*image, 10, -5).empty());

    const auto one = Dump(*image, 10, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], "000a|31" + std::string(46, ' ') + "|1" + std::string(15, ' ') + "|0000|0");
    EXPECT_EQ(one[0].size(), 77u);

    const auto sixteen = Dump(*image, 0, 16);
    ASSERT_EQ(sixteen.size(), 1u);
    EXPECT_EQ(sixteen[0], "0000|31 31 31 31 31 31 31 31 31 31 31 31 31 31 31 31 |1111111111111111|0000|0");

    const auto seventeen = Dump(*image, 0, 17);
    ASSERT_EQ(seventeen.size(), 2u);
    EXPECT_EQ(seventeen[1].substr(0, 8), "0010|31 ");
    EXPECT_TRUE(seventeen[1].ends_with("|0010|16"));
}

TEST(HexDump, OffsetsAbove0xFFFFWidenTheirFields) {
    const auto image = Load(Bytes(0x12345 + 0x20000, 0));
    const auto lines = Dump(*image, 0x12345, 0x10011);
    ASSERT_EQ(lines.size(), 0x1002u);
    EXPECT_EQ(lines.front().substr(0, 6), "12345|");
    EXPECT_EQ(lines.back(), "22355|00" + std::string(46, ' ') + "|." + std::string(15, ' ') +
                                "|10010|65552");
}

TEST(HexDump, ListsOnlyBytesTheFileHolds) {
    const auto image = Load(Bytes(40, 0x41));
    EXPECT_EQ(Dump(*image, 30, 100).size(), 1u);                 // cut at the end: 10 bytes
    EXPECT_EQ(Dump(*image, 30, 100)[0].substr(5 + 30, 3), "   "); // byte 11 is not shown
    EXPECT_TRUE(Dump(*image, 40, 16).empty());                   // starts at the end
    EXPECT_TRUE(Dump(*image, -16, 32).empty());                  // negative start
    EXPECT_TRUE(Dump(*image, INT32_MIN, INT32_MAX).empty());
    EXPECT_TRUE(Dump(*image, ImageCapacity, 16).empty());
    EXPECT_EQ(ClampToFile(*image, 0, INT32_MAX), (DumpStretch{0, 40}));
    // A stretch that was not clamped is refused rather than read past the image.
    char line[DumpLineMax];
    EXPECT_EQ(FormatDumpLine(*image, DumpStretch{ImageCapacity - 8, 16}, 0, line), 0u);
}

TEST(HexDump, LongestLineFitsTheBuffer) {
    auto image = Load(Bytes(ImageCapacity, 0xEE));
    const DumpStretch stretch = ClampToFile(*image, 1, INT32_MAX);
    const std::string last = DumpLine(*image, stretch, DumpLineCount(stretch) - 1);
    EXPECT_EQ(last, "500041|ee ee ee ee ee ee ee ee ee ee ee ee ee          |.............   "
                    "|500040|5242944");
    EXPECT_EQ(DumpLine(*image, stretch, DumpLineCount(stretch)), "");
}

TEST(RecordView, ExtentsRunToTheNextEntryOrTheEndOfTheFile) {
    const auto image = Load(Recipes());
    EXPECT_EQ(RecordExtent(*image, 0), (Extent{160, 5}));
    EXPECT_EQ(RecordExtent(*image, 1), (Extent{165, 10}));
    EXPECT_EQ(RecordExtent(*image, 2), Extent{});
    EXPECT_EQ(RecordExtent(*image, -1), Extent{});
    RecordEntry scratch;
    (void)RecordExtent(*image, 1, scratch);
    EXPECT_EQ(scratch.Offset[0], 165); // host order, low byte first
    EXPECT_EQ(scratch.Unused[3], 2);   // the unique ID travels with the copy
    // The record list itself is untouched: the same record gives the same extent again.
    EXPECT_EQ(RecordExtent(*image, 1), (Extent{165, 10}));
}

TEST(RecordView, MalformedRecordListsGiveEmptyOrCutDumps) {
    Bytes b = PdbBuilder{}.Record(Text("aaaa")).Record(Text("b")).Record(Text("c")).Record({}).Build();
    PutBE32(b, 78, 50);              // record 0 ends where record 1 starts, before it
    PutBE32(b, 78 + 8, 10);          // record 1 runs up to record 2, far past the file
    PutBE32(b, 78 + 16, 0x7FFFFFF0); // record 2 starts past the file
    PutBE32(b, 78 + 24, 0xFFFFFFF0); // record 3 starts at a negative offset
    const auto image = Load(b);
    const Extent descending = RecordExtent(*image, 0);
    EXPECT_EQ(descending, (Extent{50, -40}));
    EXPECT_TRUE(Dump(*image, descending.Start, descending.Size).empty());
    const Extent longer = RecordExtent(*image, 1);
    EXPECT_EQ(longer, (Extent{10, 0x7FFFFFE6}));
    EXPECT_EQ(Dump(*image, longer.Start, longer.Size).size(), (b.size() - 10 + 15) / 16);
    const Extent past = RecordExtent(*image, 2);
    EXPECT_EQ(past.Start, 0x7FFFFFF0);
    EXPECT_TRUE(Dump(*image, past.Start, past.Size).empty());
    const Extent negative = RecordExtent(*image, 3);
    EXPECT_EQ(negative, (Extent{-16, static_cast<std::int32_t>(b.size()) + 16}));
    EXPECT_TRUE(Dump(*image, negative.Start, negative.Size).empty());
}

TEST(RecordView, StatusText) {
    EXPECT_EQ(RecordStatusText(0, 1), "Record: 1 of 1");
    EXPECT_EQ(RecordStatusText(2, 12), "Record: 3 of 12");
    EXPECT_EQ(RecordStatusText(40000, 65535), "Record: 40001 of 65535");
}

TEST(RecordView, NavigationStaysWithinTheRecords) {
    EXPECT_EQ(FirstRecordIndex(12), 0);
    EXPECT_EQ(LastRecordIndex(12), 11);
    EXPECT_EQ(NextRecordIndex(3, 12), 4);
    EXPECT_EQ(NextRecordIndex(11, 12), 11);
    EXPECT_EQ(PrevRecordIndex(3, 12), 2);
    EXPECT_EQ(PrevRecordIndex(0, 12), 0);
    EXPECT_EQ(LastRecordIndex(65535), 65534);
    EXPECT_EQ(NextRecordIndex(65534, 65535), 65534);
    // No records: the index goes to -1 or 0, and nothing is shown either way.
    EXPECT_EQ(NextRecordIndex(0, 0), -1);
    EXPECT_EQ(LastRecordIndex(0), -1);
    EXPECT_EQ(PrevRecordIndex(-1, 0), 0);
}

TEST(RecordView, InfoAreaStretches) {
    const auto image = Load(PdbBuilder{}.Sort(Text("sort")).Build());
    EXPECT_FALSE(AppInfoStretch(*image).has_value());
    ASSERT_TRUE(SortInfoStretch(*image).has_value());
    EXPECT_EQ(SortInfoStretch(*image)->Size, 4u);

    Bytes b = PdbBuilder{}.Build();
    PutBE32(b, 52, 500); // past the end of the file: present, but no lines
    const auto outside = Load(b);
    ASSERT_TRUE(AppInfoStretch(*outside).has_value());
    EXPECT_EQ(DumpLineCount(*AppInfoStretch(*outside)), 0u);
}

// Files that are not databases at all: each refused with its reason, never blocking.
TEST(LoadImage, BadInputMatrix) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("vexlin-bad-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path fifo = dir / "pipe.pdb";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path loop = dir / "loop.pdb";
    fs::create_symlink(loop, loop);
    auto image = NewImage();
    const auto reason = [&](const std::string& path) {
        try {
            LoadImage(*image, path);
            return std::string("loaded");
        } catch (const LoadError& e) {
            EXPECT_EQ(e.file(), path);
            return e.reason();
        }
    };
    EXPECT_EQ(reason(fifo.string()), "not a regular file");
    EXPECT_EQ(reason("/dev/zero"), "not a regular file");
    EXPECT_EQ(reason(loop.string()), "Too many levels of symbolic links");
    EXPECT_EQ(reason(dir.string()), "is a directory");
    fs::remove_all(dir);

    TempFile empty(Bytes{});
    std::memset(image.get(), 0x77, sizeof(DatabaseImage));
    EXPECT_EQ(reason(empty.path()), "loaded");
    const auto zero = std::make_unique<DatabaseImage>();
    EXPECT_EQ(std::memcmp(image.get(), zero.get(), sizeof(DatabaseImage)), 0);
}

// A file that delivers fewer bytes than its size said: sysfs files claim 4096 bytes.
TEST(LoadImage, ShortReadIsAnError) {
    const std::string shrinking = "/sys/kernel/mm/transparent_hugepage/enabled";
    if (!std::filesystem::is_regular_file(shrinking)) {
        GTEST_SKIP() << "no sysfs file to read short";
    }
    auto image = NewImage();
    try {
        LoadImage(*image, shrinking);
        FAIL() << "a short read was taken for the whole file";
    } catch (const LoadError& e) {
        EXPECT_EQ(e.reason().rfind("short read: got ", 0), 0u) << e.reason();
        EXPECT_NE(e.reason().find(" of 4096 bytes"), std::string::npos) << e.reason();
    }
    EXPECT_EQ(image->Header.Name[0], 0); // nothing of the partial read is left
}
