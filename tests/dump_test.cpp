// vexlin-dump as a user runs it: whole outputs, exit codes and messages, and every file of
// the corpus dumped completely.
#include "DatabaseImage.h"
#include "HexDump.h"
#include "PdbBuilder.h"
#include "RecordView.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <sys/wait.h>

using namespace vexlin;
using namespace vexlin::test;

namespace {

struct DumpRun {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Quote(const std::string& arg) {
    std::string q = "'";
    for (const char c : arg) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

DumpRun Dump(const std::vector<std::string>& args) {
    const auto dir = std::filesystem::temp_directory_path();
    const auto out = dir / ("vexlin-dump-out-" + std::to_string(::getpid()));
    const auto err = dir / ("vexlin-dump-err-" + std::to_string(::getpid()));
    std::string command = Quote(VEXLIN_DUMP);
    for (const auto& a : args) {
        command += " " + Quote(a);
    }
    command += " >" + Quote(out.string()) + " 2>" + Quote(err.string()) + " </dev/null";
    const int status = std::system(command.c_str());
    DumpRun r;
    r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.Out = Slurp(out);
    r.Err = Slurp(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}

Bytes Small() {
    PdbBuilder b;
    b.Name = "Small";
    b.Attributes = 0x8008;
    b.Version = 3;
    b.CreationDate = 0xFFFFFFFF;
    b.Creator = "Vx\x81n";
    b.App(Text("ABCDEFGHIJKLMNOPQRST"));
    b.Record(Text("rec|0%s\n")).Record({}).Record(Text("last"));
    return b.Build(); // record list 78..101, gap, app info at 104, records at 124, 132, 132
}

const char* SmallHeader = "[Header]\n"
                          " Name:               Small\n"
                          " Attributes:         0x8008\n"
                          " Version:            3\n"
                          " Creation Datel:     -1\n"
                          " ModificationDate:   0\n"
                          " LastBackupDate:     0\n"
                          " ModificationNumber: 0\n"
                          " AppInfoArea:        104(Size=20)\n"
                          " SortInfoArea:       0(Size=0)\n"
                          " DataBaseType:       DATA\n"
                          " CreatorID:          Vx\xC2\x81n\n"
                          " UniqueIDSeed:       0\n"
                          " NextRecordListID:   0\n"
                          " NumberOfRecord:     3\n";

const char* SmallRecords =
    "[Records]\n"
    "Record: 1 of 3\n"
    "007c|72 65 63 7c 30 25 73 0a                         |rec|0%s.        |0000|0\n"
    "Record: 2 of 3\n"
    "Record: 3 of 3\n"
    "0084|6c 61 73 74                                     |last            |0000|0\n";

} // namespace

TEST(VexlinDump, AllFourSections) {
    TempFile file(Small());
    const DumpRun r = Dump({file.path()});
    EXPECT_EQ(r.Exit, 0);
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(r.Out, std::string(SmallHeader) +
                         "[App Info]\n"
                         "0068|41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 "
                         "|ABCDEFGHIJKLMNOP|0000|0\n"
                         "0078|51 52 53 54                                     "
                         "|QRST            |0010|16\n"
                         "[Sort Info]\n"
                         "No Sort Info\n" +
                         SmallRecords);
}

TEST(VexlinDump, SelectorsPrintInFixedOrder) {
    TempFile file(Small());
    const DumpRun r = Dump({"--records", "--sort-info", file.path(), "--header"});
    EXPECT_EQ(r.Exit, 0);
    EXPECT_EQ(r.Out, std::string(SmallHeader) + "[Sort Info]\nNo Sort Info\n" + SmallRecords);

    const DumpRun one = Dump({"--record", "3", file.path()});
    EXPECT_EQ(one.Exit, 0);
    EXPECT_EQ(one.Out, "[Records]\nRecord: 3 of 3\n"
                       "0084|6c 61 73 74                                     |last            "
                       "|0000|0\n");
}

TEST(VexlinDump, AreasWithoutLinesAndFilesWithoutRecords) {
    Bytes b = PdbBuilder{}.Build();
    PutBE32(b, 52, 5000); // app info past the end: present, no lines
    TempFile file(b);
    const DumpRun r = Dump({"--app-info", "--sort-info", "--records", file.path()});
    EXPECT_EQ(r.Exit, 0);
    EXPECT_EQ(r.Out, "[App Info]\n[Sort Info]\nNo Sort Info\n[Records]\n");
}

TEST(VexlinDump, FileErrorsExitOneWithNothingOnStandardOutput) {
    const DumpRun missing = Dump({"/nonexistent/x.pdb"});
    EXPECT_EQ(missing.Exit, 1);
    EXPECT_EQ(missing.Out, "");
    EXPECT_EQ(missing.Err, "vexlin-dump: /nonexistent/x.pdb: No such file or directory\n");

    const DumpRun directory = Dump({"--header", "/"});
    EXPECT_EQ(directory.Exit, 1);
    EXPECT_EQ(directory.Err, "vexlin-dump: /: is a directory\n");
}

TEST(VexlinDump, FilesThatAreNotDatabasesExitOne) {
    const auto dir = std::filesystem::temp_directory_path() / ("vexlin-dump-bad-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto fifo = dir / "pipe.pdb";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto loop = dir / "loop.pdb";
    std::filesystem::create_symlink(loop, loop);
    TempFile large(Bytes(ImageCapacity + 1, 0));
    for (const std::string& path : {fifo.string(), loop.string(), std::string("/dev/zero"), large.path()}) {
        const DumpRun r = Dump({path});
        EXPECT_EQ(r.Exit, 1) << path;
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(r.Err.rfind("vexlin-dump: " + path + ": ", 0), 0u) << r.Err;
    }
    std::filesystem::remove_all(dir);
    TempFile empty(Bytes{});
    const DumpRun r = Dump({"--app-info", "--records", empty.path()});
    EXPECT_EQ(r.Exit, 0);
    EXPECT_EQ(r.Out, "[App Info]\nNo App Info\n[Records]\n");
}

TEST(VexlinDump, UsageErrorsExitTwo) {
    TempFile file(Small());
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"--bogus", file.path()},
             {"--json", "--list", file.path()},
             {"--raw", "--header", file.path()},
             {"--records", "--record", "1", file.path()},
             {"--record", "x", file.path()},
             {"--record", file.path()},
             {"--record", "0", file.path()},
             {"--record", "4", file.path()},
             {"--record", "-1", file.path()}}) {
        const DumpRun r = Dump(args);
        EXPECT_EQ(r.Exit, 2) << testing::PrintToString(args);
        EXPECT_EQ(r.Out, "");
        EXPECT_NE(r.Err.find("Usage: vexlin-dump"), std::string::npos);
    }
    const DumpRun help = Dump({"--help"});
    EXPECT_EQ(help.Exit, 0);
    EXPECT_EQ(help.Out.rfind("Usage: vexlin-dump", 0), 0u);
}

// Every real file dumps completely: one status line and the right number of dump lines per
// record, and the header agrees with the corpus manifest.
TEST(VexlinDump, EveryCorpusFileDumpsCompletely) {
    const std::filesystem::path corpus = VEXLIN_CORPUS_DIR;
    std::ifstream manifest(corpus / "MANIFEST.tsv");
    if (!manifest) {
        GTEST_SKIP() << "no corpus at " << corpus;
    }
    std::string row;
    std::getline(manifest, row); // column names
    int files = 0;
    auto image = std::make_unique<DatabaseImage>();
    while (std::getline(manifest, row)) {
        std::vector<std::string> cols;
        std::stringstream fields(row);
        for (std::string col; std::getline(fields, col, '\t');) {
            cols.push_back(col);
        }
        ASSERT_GE(cols.size(), 12u) << row;
        const std::string path = (corpus / cols[0]).string();
        SCOPED_TRACE(cols[0]);
        const DumpRun r = Dump({path});
        ASSERT_EQ(r.Exit, 0) << r.Err;

        LoadImage(*image, path);
        EXPECT_EQ(std::to_string(image->FileSize), cols[4]);
        if (!cols[9].empty()) {
            EXPECT_EQ(std::to_string(RecordCount(*image)), cols[9]);
            EXPECT_EQ(std::to_string(image->Header.AppInfoArea), cols[10]);
        }
        // [Header] and its 14 lines; each area's heading and its dump or absence line; then
        // [Records] and, per record, its status line and its dump.
        std::size_t expectedLines = 1 + 14;
        for (const auto& area : {AppInfoStretch(*image), SortInfoStretch(*image)}) {
            expectedLines += 1 + (area ? DumpLineCount(*area) : 1);
        }
        expectedLines += 1;
        for (std::int32_t i = 0; i < RecordCount(*image); ++i) {
            const Extent e = RecordExtent(*image, i);
            expectedLines += 1 + DumpLineCount(ClampToFile(*image, e.Start, e.Size));
        }
        EXPECT_EQ(static_cast<std::size_t>(std::count(r.Out.begin(), r.Out.end(), '\n')),
                  expectedLines);
        EXPECT_TRUE(r.Out.ends_with("\n"));
        ++files;
    }
    EXPECT_GE(files, 30);
}
