// The structure of a database: entry lists, decoded dates and names, every finding code on
// the smallest file that shows it, header bytes in file order, and one image reused.
#include "DatabaseImage.h"
#include "HexDump.h"
#include "PdbBuilder.h"
#include "Structure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace vexlin;
using namespace vexlin::test;

namespace {

ImagePtr Load(const Bytes& bytes) {
    return LoadNewImageFromBytes(bytes);
}

std::vector<std::string> Codes(const Structure& s) {
    std::vector<std::string> codes;
    for (const Finding& f : s.Findings) {
        codes.emplace_back(f.Code);
    }
    return codes;
}

Bytes TwoRecords() {
    return PdbBuilder{}.Record(Text("first")).Record(Text("second")).Build();
}

} // namespace

TEST(FileOrder, DumpsListHeaderBytesAsTheFileHoldsThem) {
    Bytes b = PdbBuilder{}.Record(Text("x")).Build();
    b[32] = 0x00; // Attributes 0x0009 in file order
    b[33] = 0x09;
    PutBE32(b, 68, 0x01020304); // UniqueIDSeed
    PutBE32(b, 78, 0);          // a record at offset 0 covers the header
    const ImagePtr image = Load(b);
    ASSERT_EQ(image->Header.Attributes, 9); // the image keeps host order
    const DumpStretch whole{0, static_cast<std::uint32_t>(b.size())};
    EXPECT_EQ(DumpLine(*image, whole, 2).substr(0, 13), "0020|00 09 00");
    EXPECT_EQ(DumpLine(*image, whole, 4).substr(0, 29), "0040|74 65 73 74 01 02 03 04 ");
    std::vector<std::uint8_t> copy(b.size());
    CopyFileBytes(*image, 0, static_cast<std::uint32_t>(b.size()), copy.data());
    EXPECT_EQ(copy, b);
    std::uint8_t part[5];
    CopyFileBytes(*image, 75, 5, part); // across the header's end
    EXPECT_TRUE(std::equal(part, part + 5, b.begin() + 75));
}

TEST(Structure, RecordEntriesAndDecodedHeader) {
    Bytes b = PdbBuilder{}.Record(Text("aaaa")).Record(Text("bb")).Build();
    b[78 + 4] = 0x5A; // dirty | secret, category 10
    PutBE32(b, 86 + 4, 0x00ABCDEF);
    const ImagePtr image = Load(b);
    const Structure s = ReadStructure(*image, "memo.pdb");
    ASSERT_EQ(s.Records.size(), 2u);
    EXPECT_EQ(s.Kind, DatabaseKind::Record);
    EXPECT_EQ(s.ListEnd, 78u + 16);
    EXPECT_EQ(s.Records[0].Offset, 96);
    EXPECT_EQ(s.Records[0].Size, 4);
    EXPECT_EQ(s.Records[0].Attributes, 0x5A);
    EXPECT_EQ(s.Records[0].Category(), 10);
    EXPECT_EQ(s.Records[0].UniqueID, 1u);
    EXPECT_EQ(s.Records[1].UniqueID, 0xABCDEFu);
    EXPECT_EQ(s.Records[1].Size, 2);
    EXPECT_EQ(RecordAttributeNames(0x5A), (std::vector<std::string_view>{"dirty", "secret"}));
    EXPECT_EQ(DatabaseAttributeNames(0x8209),
              (std::vector<std::string_view>{"resource", "backup", "launchable data", "open"}));
    EXPECT_TRUE(s.Findings.empty()) << s.Findings.front().Message;
}

TEST(Structure, ResourceEntries) {
    Bytes b(78 + 20 + 2, 0);
    PutBE16(b, 32, 0x0001);
    PutBE16(b, 76, 2);
    std::memcpy(&b[78], "tAIB", 4);
    PutBE16(b, 82, 1000);
    PutBE32(b, 84, 100);
    std::memcpy(&b[88], "code", 4);
    PutBE16(b, 92, 1);
    PutBE32(b, 94, 103);
    b.resize(110, 0x11);
    const ImagePtr image = Load(b);
    const Structure s = ReadStructure(*image, "app.prc");
    ASSERT_EQ(s.Resources.size(), 2u);
    EXPECT_EQ(std::string(s.Resources[0].Type, 4), "tAIB");
    EXPECT_EQ(s.Resources[0].ID, 1000);
    EXPECT_EQ(s.Resources[0].Size, 3);
    EXPECT_EQ(s.Resources[1].Size, 7);
    EXPECT_EQ(Codes(s), std::vector<std::string>{"resource-database"});
    EXPECT_EQ(s.Findings[0].Level, Severity::Note);
}

TEST(Structure, Dates) {
    EXPECT_EQ(DecodeDate(0).Text(), "never");
    EXPECT_EQ(DecodeDate(0).Iso(), "");
    // A desktop at UTC-8 wrote its midnight of 1970-01-01 for "never"; a day on is a date.
    EXPECT_EQ(DecodeDate(28800).Epoch, DateEpoch::Never);
    EXPECT_EQ(DecodeDate(86400).Iso(), "1970-01-02T00:00:00Z");
    // 0xB73C8B80 seconds from 1904: 2001-06-01 00:00:00 UTC.
    const DecodedDate palm = DecodeDate(static_cast<std::int32_t>(0xB73C8B80));
    EXPECT_EQ(palm.Epoch, DateEpoch::PalmOS1904);
    EXPECT_EQ(palm.Text(), "2001-06-01 00:00:00");
    const DecodedDate unix = DecodeDate(1000000000);
    EXPECT_EQ(unix.Epoch, DateEpoch::Unix1970);
    EXPECT_EQ(unix.Iso(), "2001-09-09T01:46:40Z");
    EXPECT_EQ(DecodeDate(-1).Text(), "2040-02-06 06:28:15");
}

// Each finding code on the smallest file that shows it.
TEST(Structure, EachFindingCode) {
    struct Case {
        const char* Code;
        Severity Level;
        Bytes File;
        const char* Name = "x.pdb";
        std::uint64_t TrueSize = 0;
    };
    std::vector<Case> cases;
    cases.push_back({"header-short", Severity::Error, Bytes(40, 0)});
    {
        Bytes b = PdbBuilder{}.Build();
        std::fill(b.begin(), b.begin() + 32, 'N');
        cases.push_back({"name-unterminated", Severity::Warning, b});
    }
    {
        Bytes b = PdbBuilder{}.Build();
        PutBE16(b, 76, 3);
        b.resize(78 + 8);
        cases.push_back({"list-past-end", Severity::Error, b});
    }
    {
        Bytes b = TwoRecords();
        PutBE32(b, 78, 40);
        cases.push_back({"record-in-header", Severity::Error, b});
    }
    {
        Bytes b = TwoRecords();
        PutBE32(b, 86, 9000);
        cases.push_back({"record-past-end", Severity::Error, b});
    }
    {
        Bytes b = PdbBuilder{}.Record(Text("aaaa")).Record(Text("bb")).Record(Text("c")).Build();
        PutBE32(b, 94, 100); // record 3 below record 2
        cases.push_back({"record-out-of-order", Severity::Error, b});
    }
    cases.push_back({"record-empty", Severity::Note,
                     PdbBuilder{}.Record({}).Record(Text("b")).Build()});
    {
        Bytes b = TwoRecords();
        PutBE32(b, 52, 10);
        cases.push_back({"area-in-header", Severity::Error, b});
    }
    {
        Bytes b = TwoRecords();
        PutBE32(b, 56, 7000);
        cases.push_back({"area-past-end", Severity::Error, b});
    }
    {
        Bytes b = PdbBuilder{}.App(Text("app")).Sort(Text("sort")).Build();
        PutBE32(b, 52, 83); // app info after sort info
        PutBE32(b, 56, 80);
        cases.push_back({"area-out-of-order", Severity::Warning, b});
    }
    {
        Bytes b = PdbBuilder{}.Build();
        PutBE32(b, 72, 1);
        cases.push_back({"next-list", Severity::Warning, b});
    }
    {
        Bytes b = TwoRecords();
        PutBE32(b, 90, 1);
        cases.push_back({"duplicate-unique-id", Severity::Warning, b});
    }
    {
        Bytes b = PdbBuilder{}.Build();
        PutBE16(b, 32, 1);
        cases.push_back({"resource-database", Severity::Note, b, "x.rsrc"});
    }
    cases.push_back({"extension-mismatch", Severity::Note, PdbBuilder{}.Build(), "dir.pdb/App.PRC"});
    {
        Bytes b = PdbBuilder{}.App(Text("app")).Build();
        PutBE32(b, 52, 90); // 10 bytes after the list's pad that nothing points to
        b.resize(100, 0);
        cases.push_back({"gap", Severity::Note, b});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Code);
        const ImagePtr image = Load(c.File);
        const Structure s = ReadStructure(*image, c.TrueSize ? c.TrueSize : c.File.size(), c.Name);
        const auto found = std::find_if(s.Findings.begin(), s.Findings.end(),
                                        [&](const Finding& f) { return f.Code == c.Code; });
        ASSERT_NE(found, s.Findings.end()) << testing::PrintToString(Codes(s));
        EXPECT_EQ(found->Level, c.Level);
        EXPECT_FALSE(found->Message.empty());
        EXPECT_TRUE(std::is_sorted(s.Findings.begin(), s.Findings.end(),
                                   [](const Finding& a, const Finding& b) { return a.Offset < b.Offset; }));
        EXPECT_EQ(s.Errors + s.Warnings + s.Notes, s.Findings.size());
    }
}

TEST(Structure, CleanFilesHaveNoFindingsAndTheListPadIsNoGap) {
    for (const Bytes& b : {PdbBuilder{}.Build(), TwoRecords(),
                           PdbBuilder{}.App(Text("a")).Sort(Text("s")).Record(Text("r")).Build()}) {
        const ImagePtr image = Load(b);
        EXPECT_EQ(Codes(ReadStructure(*image, "a.pdb")), std::vector<std::string>{});
    }
}

TEST(Structure, FindsEverythingWrongNotJustTheFirst) {
    Bytes b = PdbBuilder{}.Record(Text("aaaa")).Record(Text("bb")).Record(Text("c")).Build();
    PutBE32(b, 72, 5);      // next-list
    PutBE32(b, 78, 20);     // record 1 in the header
    PutBE32(b, 94, 99999);  // record 3 past the end
    PutBE32(b, 90, 3);      // record 2's unique ID repeats record 3's
    const ImagePtr image = Load(b);
    const Structure s = ReadStructure(*image, "");
    EXPECT_EQ(Codes(s), (std::vector<std::string>{"next-list", "record-in-header",
                                                   "record-past-end", "duplicate-unique-id"}));
    EXPECT_EQ(s.Findings[3].Offset, 94u);
}

TEST(Structure, TrueSizeOfAFileLargerThanTheImage) {
    const Bytes b = TwoRecords();
    const ImagePtr image = Load(b);
    const std::uint64_t big = 6u << 20;
    const Structure s = ReadStructure(*image, big, "");
    EXPECT_EQ(s.FileSize, big);
    EXPECT_EQ(s.Records[1].Size, static_cast<std::int64_t>(big) - s.Records[1].Offset);
}

TEST(ImageReader, EachLoadLeavesNothingOfTheLastOne) {
    TempFile large(PdbBuilder{}.Record(Bytes(300000, 0xEE)).App(Bytes(100, 0xAA)).Build());
    TempFile small(PdbBuilder{}.Record(Text("s")).Build());
    ImageReader reader;
    reader.Load(large.path());
    const DatabaseImage& image = reader.Load(small.path());
    const ImagePtr fresh = LoadNewImage(small.path());
    EXPECT_EQ(std::memcmp(&image, fresh.get(), sizeof(DatabaseImage)), 0);
    EXPECT_EQ(reader.TrueSize(), static_cast<std::uint64_t>(fresh->FileSize));
}
