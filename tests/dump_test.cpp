// vexlin-dump as a user runs it: whole outputs, exit codes and messages, and every file of
// the corpus dumped completely.
#include "DatabaseImage.h"
#include "HexDump.h"
#include "ContentSamples.h"
#include "PdbBuilder.h"
#include "RecordView.h"
#include "Structure.h"
#include "FindingCodes.h"
#include "content/core/Content.h"
#include "../tools/vexlin-dump/OptionTable.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Runs a shell command line; standard output and error together, and the exit status.
DumpRun Shell(const std::string& command) {
    DumpRun r;
    const auto out = std::filesystem::temp_directory_path() / ("vexlin-sh-" + std::to_string(::getpid()));
    const int status = std::system((command + " >" + Quote(out.string()) + " 2>&1").c_str());
    r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.Out = Slurp(out);
    std::filesystem::remove(out);
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
             {"--check=0", file.path()},
             {"--raw=0", "--app-info", file.path()},
             {"--check", "-", "-"}}) {
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

// The inspection modes on the small file: decoded header, record list, a clean check.
TEST(VexlinDump, InfoListAndCheck) {
    TempFile file(Small());
    const DumpRun r = Dump({"--check", "--list", "--info", file.path()});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    const std::string info = r.Out.substr(0, r.Out.find("[List]"));
    EXPECT_EQ(info.rfind("[Info]\n Name:                 Small\n", 0), 0u) << info;
    for (const char* line : {" Kind:                 record database\n",
                             " Attributes:           0x8008 backup, open\n",
                             " Created:              2040-02-06 06:28:15 UTC (4294967295: seconds "
                             "since 1904-01-01, Palm OS)\n",
                             " Modified:             never (0)\n",
                             " App info:             at 0x0068, 20 bytes\n",
                             " Sort info:            none\n"}) {
        EXPECT_NE(info.find(line), std::string::npos) << line;
    }
    EXPECT_NE(r.Out.find("[List]\n"
                         "     #   offset        size attr flags                    cat unique id\n"
                         "     1     007c           8 0x00                            0 000001\n"
                         "     2     0084           0 0x00                            0 000002\n"
                         "     3     0084           4 0x00                            0 000003\n"
                         "[Check]\n"
                         "0056 note record-empty record 2 is empty: its data offset 0x0084 equals "
                         "the next entry's\n"
                         "0 errors, 0 warnings, 1 note\n"),
              std::string::npos)
        << r.Out;
}

TEST(VexlinDump, CheckExitsThreeOnErrorsAndWarnings) {
    Bytes b = Small();
    PutBE32(b, 86, 90000); // record 2 past the end, record 3 then out of order
    TempFile file(b);
    const DumpRun r = Dump({"--check", file.path()});
    EXPECT_EQ(r.Exit, 3);
    EXPECT_NE(r.Out.find("0056 error record-past-end record 2: data offset 0x15f90"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("005e error record-out-of-order record 3"), std::string::npos);
    EXPECT_TRUE(r.Out.ends_with("2 errors, 0 warnings, 0 notes\n")) << r.Out;
}

// JSON read back agrees with the model; several files give one object a line.
TEST(VexlinDump, JsonAgreesWithTheModel) {
    Bytes b = Small();
    b[78 + 4] = 0x91; // delete | secret, category 1
    TempFile file(b);
    const DumpRun r = Dump({"--json", file.path(), file.path()});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    ASSERT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), 2);
    const auto o = nlohmann::json::parse(r.Out.substr(0, r.Out.find('\n')));
    const ImagePtr image = LoadNewImageFromBytes(b);
    const Structure s = ReadStructure(*image, file.path());
    EXPECT_EQ(o["File"], file.path());
    EXPECT_EQ(o["Name"], "Small");
    EXPECT_EQ(o["Attributes"], "0x8008");
    EXPECT_EQ(o["CreationDate"], -1);
    EXPECT_EQ(o["CreatorID"], "Vx\xC2\x81n");
    EXPECT_EQ(o["NumberOfRecords"], 3);
    EXPECT_EQ(o["FileSize"], b.size());
    EXPECT_EQ(o["AppInfoSize"], 20);
    EXPECT_EQ(o["Kind"], "record");
    EXPECT_EQ(o["AttributeNames"], nlohmann::json({"backup", "open"}));
    EXPECT_EQ(o["Dates"]["Creation"]["Epoch"], "1904");
    EXPECT_EQ(o["Dates"]["Creation"]["UTC"], "2040-02-06T06:28:15Z");
    EXPECT_TRUE(o["Dates"]["Modification"]["UTC"].is_null());
    ASSERT_EQ(o["Records"].size(), s.Records.size());
    for (std::size_t i = 0; i < s.Records.size(); ++i) {
        EXPECT_EQ(o["Records"][i]["Offset"], s.Records[i].Offset);
        EXPECT_EQ(o["Records"][i]["Size"], s.Records[i].Size);
        EXPECT_EQ(o["Records"][i]["UniqueID"], s.Records[i].UniqueID);
    }
    EXPECT_EQ(o["Records"][0]["Category"], 1);
    EXPECT_EQ(o["Records"][0]["AttributeNames"], nlohmann::json({"delete", "secret"}));
    ASSERT_EQ(o["Findings"].size(), s.Findings.size());
    EXPECT_EQ(o["Findings"][0]["Code"], "record-empty");
    EXPECT_EQ(o["Findings"][0]["Offset"], 0x56);
}

// Several files, one of them unreadable: the others go on, and the exit status says so.
TEST(VexlinDump, ManyFilesOneUnreadable) {
    TempFile file(Small());
    const DumpRun r = Dump({"--header", file.path(), "/nonexistent.pdb", file.path()});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err, "vexlin-dump: /nonexistent.pdb: No such file or directory\n");
    const std::string one = "==> " + file.path() + " <==\n" + SmallHeader;
    EXPECT_EQ(r.Out, one + one);

    const DumpRun summary = Dump({"--summary", file.path(), "/nonexistent.pdb"});
    EXPECT_EQ(summary.Exit, 1);
    EXPECT_EQ(summary.Out,
              "file\tname\ttype\tcreator\tkind\trecords\tsize\tmodified\terrors\twarnings\terror\n" +
                  file.path() + "\tSmall\tDATA\tVx\\u0081n\trecord\t3\t136\tnever\t0\t0\t\n" +
                  "/nonexistent.pdb\t\t\t\t\t\t\t\t\t\tNo such file or directory\n");
    const DumpRun json = Dump({"--json", "/nonexistent.pdb", file.path()});
    EXPECT_EQ(json.Exit, 1);
    EXPECT_EQ(json.Out.substr(0, json.Out.find('\n')),
              R"({"File":"/nonexistent.pdb","Error":"No such file or directory"})");
    EXPECT_EQ(std::count(json.Out.begin(), json.Out.end(), '\n'), 2);
}

// Standard input, --raw, and a file larger than the image.
TEST(VexlinDump, PipesRawBytesAndLargeFiles) {
    const Bytes b = Small();
    TempFile file(b);
    const std::string dump = Quote(VEXLIN_DUMP);
    EXPECT_EQ(Shell("cat " + Quote(file.path()) + " | " + dump + " --header -").Out,
              Dump({"--header", file.path()}).Out);
    const DumpRun raw = Dump({"--raw", "--record", "1", file.path()});
    EXPECT_EQ(raw.Exit, 0);
    EXPECT_EQ(raw.Out, "rec|0%s\n");
    EXPECT_EQ(Dump({"--raw", "--app-info", file.path()}).Out, "ABCDEFGHIJKLMNOPQRST");
    // Beyond the image, standard input is read for its structure as a path is; a dump refuses it.
    const DumpRun tooBig = Shell("head -c 5242999 /dev/zero | " + dump + " --info -");
    EXPECT_EQ(tooBig.Exit, 0);
    EXPECT_NE(tooBig.Out.find(" File size:            5242999 bytes\n"), std::string::npos);
    EXPECT_EQ(Shell("head -c 5242999 /dev/zero | " + dump + " --header -").Exit, 1);

    Bytes large = b;
    large.resize(6u << 20, 0x55); // 6 MB: the last record runs to the true end
    TempFile big(large);
    const DumpRun check = Dump({"--check", "--info", big.path()});
    EXPECT_EQ(check.Exit, 0) << check.Err;
    EXPECT_NE(check.Out.find(" File size:            6291456 bytes\n"), std::string::npos) << check.Out;
    EXPECT_EQ(Dump({"--header", big.path()}).Exit, 1);
}

TEST(VexlinDump, RawRefusesATerminal) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no script(1) to give vexlin-dump a terminal";
    }
    TempFile file(Small());
    // script(1) runs the command on a pseudo-terminal and reports its exit status.
    const std::string command = "script -qec " +
                                Quote(Quote(VEXLIN_DUMP) + " --raw --app-info " + Quote(file.path())) +
                                " /dev/null </dev/null >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2);
}

// Hostile and awkward input: the inspection modes read offsets unsigned, account for every
// FILE, and never let a control character from a file reach the output.
namespace {

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

} // namespace

TEST(VexlinDumpHostile, OffsetsAreUnsigned) {
    // Records at 0x200 and 0x90000000, both inside a sparse 3 GiB file and in order.
    Bytes b = PdbBuilder{}.Record(Text("a")).Record(Text("b")).Build();
    PutBE32(b, 78, 0x200);
    PutBE32(b, 86, 0x90000000);
    TempFile file(b);
    std::filesystem::resize_file(file.path(), 3ull << 30);
    const DumpRun r = Dump({"--json", "--check", file.path()});
    EXPECT_EQ(r.Exit, 0) << r.Out;
    const auto o = nlohmann::json::parse(r.Out);
    EXPECT_EQ(o["Records"][1]["Offset"], 0x90000000u);
    EXPECT_EQ(o["Records"][0]["Size"], 0x90000000ll - 0x200);
    EXPECT_EQ(o["Records"][1]["Size"], (3ll << 30) - 0x90000000ll);
    ASSERT_EQ(o["Findings"].size(), 1u) << r.Out; // only the bytes before 0x200, not the file
    EXPECT_EQ(o["Findings"][0]["Message"].get<std::string>().rfind("416 bytes from 0x0060", 0), 0u);

    // In a small file the same offsets lie past its end, not inside its header.
    Bytes small = PdbBuilder{}.Record(Text("a")).Build();
    PutBE32(small, 78, 0x80000010);
    PutBE32(small, 56, 0xF0000000); // sort info
    TempFile smallFile(small);
    const DumpRun check = Dump({"--check", smallFile.path()});
    EXPECT_EQ(Count(check.Out, "record-past-end"), 1u) << check.Out;
    EXPECT_EQ(Count(check.Out, "area-past-end"), 1u) << check.Out;
    EXPECT_EQ(Count(check.Out, "in-header"), 0u) << check.Out;
}

TEST(VexlinDumpHostile, AreaSizesAndResourceTypes) {
    // A 79-byte resource database whose app info lies past its end: "AppInfoSize" is the
    // header report's, "AppInfoLength" the inspection's own.
    Bytes b = PdbBuilder{}.Build();
    PutBE16(b, 32, 0x0001);
    PutBE16(b, 76, 1);
    PutBE32(b, 52, 91);
    b.resize(79);
    TempFile tiny(b);
    const std::string report = Dump({"--header", tiny.path()}).Out;
    const auto o = nlohmann::json::parse(Dump({"--json", tiny.path()}).Out);
    EXPECT_NE(report.find("AppInfoArea:        91(Size=" + o["AppInfoSize"].dump() + ")\n"),
              std::string::npos) << report;
    EXPECT_EQ(o["AppInfoLength"], -91);

    // Types that differ after a zero byte stay distinct, all four bytes shown, escaped.
    Bytes r = PdbBuilder{}.Build();
    PutBE16(r, 32, 0x0001);
    PutBE16(r, 76, 3);
    r.resize(0x70 + 4, 'x');
    const Bytes entries = {0xFF, 0, 'A', 'B', 0, 1, 0, 0, 0, 0x70, 0xFF, 0, 'C', 'D', 0, 1,
                           0, 0, 0, 0x70, 0xFF, 0, 'C', 'D', 0, 1, 0, 0, 0, 0x70};
    std::copy(entries.begin(), entries.end(), r.begin() + 78);
    TempFile resources(r);
    const DumpRun list = Dump({"--list", "--check", resources.path()});
    EXPECT_NE(list.Out.find("     1 \\xff\\x00AB        1     0070"), std::string::npos) << list.Out;
    EXPECT_NE(list.Out.find("     2 \\xff\\x00CD        1"), std::string::npos) << list.Out;
    EXPECT_NE(list.Out.find("resource 3 has type '\\xff\\x00CD' and ID 1, as resource 2 has"),
              std::string::npos) << list.Out;
    EXPECT_EQ(nlohmann::json::parse(Dump({"--json", resources.path()}).Out)["Resources"][0]["Type"],
              "\\xff\\x00AB");
    // --raw --record takes a resource's bytes from its 10-byte entry.
    EXPECT_EQ(Dump({"--raw", "--record", "3", resources.path()}).Out, "xxxx");
    const DumpRun empty = Dump({"--raw", "--record", "1", resources.path()});
    EXPECT_EQ(empty.Exit, 0);
    EXPECT_EQ(empty.Out, "");
}

TEST(VexlinDumpHostile, NoControlCharacterFromAFileReachesTheOutput) {
    PdbBuilder builder;
    builder.Name = "Evil\n[Check]\n0000 error \x1b[2J\x0b\x0c\x9d";
    builder.Record(Text("a"));
    const Bytes b = builder.Build();
    TempFile file(b);
    const DumpRun r = Dump({"--info", "--check", file.path()});
    EXPECT_EQ(Count(r.Out, "[Check]"), 2u); // the section's and the escaped name's
    EXPECT_EQ(Count(r.Out, "\n[Check]\n"), 1u);
    EXPECT_NE(r.Out.find(" Name:                 Evil\\n[Check]\\n0000 error \\x1b[2J\\x0b\\x0c\\u009d\n"),
              std::string::npos) << r.Out;
    const std::string summary = Dump({"--summary", file.path()}).Out;
    const std::string json = Dump({"--json", file.path()}).Out;
    for (const std::string& text : {r.Out, summary, json}) {
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            EXPECT_TRUE(byte >= 0x20 ? byte != 0x7F : c == '\n' || c == '\t') << int{byte};
        }
        EXPECT_EQ(text.find("\xC2\x9D"), std::string::npos); // U+009D, a C1 control
    }
    EXPECT_EQ(nlohmann::json::parse(json)["Name"], "Evil\n[Check]\n0000 error \x1b[2J\x0b\x0c\xC2\x9D");
    // The header report is written as it stands to a pipe, escaped on a terminal.
    EXPECT_NE(Dump({"--header", file.path()}).Out.find("Evil\n[Check]\n0000 error \x1b[2J"),
              std::string::npos);
    if (std::system("command -v script >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no script(1) to give vexlin-dump a terminal";
    }
    const DumpRun terminal = Shell("script -qec " + Quote(Quote(VEXLIN_DUMP) + " --header " + Quote(file.path())) +
                                   " /dev/null </dev/null");
    EXPECT_NE(terminal.Out.find("Evil\\n[Check]\\n0000 error \\x1b[2J"), std::string::npos) << terminal.Out;
    EXPECT_EQ(terminal.Out.find('\x1b'), std::string::npos);
    // Standard input that is a terminal is refused, not waited on.
    const DumpRun input = Shell("script -qec " + Quote(Quote(VEXLIN_DUMP) + " --info -; echo status=$?") +
                                " /dev/null </dev/null");
    EXPECT_NE(input.Out.find("standard input, which is a terminal"), std::string::npos) << input.Out;
    EXPECT_NE(input.Out.find("status=2"), std::string::npos) << input.Out;
}

TEST(VexlinDumpHostile, EveryFileAccountedForWithAClearMessage) {
    TempFile file(Small());
    // Non-UTF-8 names stay distinct and recoverable in JSON.
    const auto dir = std::filesystem::temp_directory_path() / ("vexlin-names-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::vector<std::string> names;
    for (const char* name : {"x\xff.pdb", "x\xfe.pdb", "x\xef\xbf\xbd.pdb"}) {
        names.push_back((dir / name).string());
        std::filesystem::copy_file(file.path(), names.back());
    }
    std::istringstream lines(Dump({"--json", names[0], names[1], names[2]}).Out);
    std::vector<nlohmann::json> objects;
    for (std::string line; std::getline(lines, line);) {
        objects.push_back(nlohmann::json::parse(line));
    }
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0]["FileEscaped"], (dir / "x\\xff.pdb").string());
    EXPECT_EQ(objects[1]["FileEscaped"], (dir / "x\\xfe.pdb").string());
    EXPECT_FALSE(objects[2].contains("FileEscaped"));
    EXPECT_EQ(objects[2]["File"], names[2]);
    std::filesystem::remove_all(dir);

    // A pipe named as a path gets a hint, an empty name its own message, a record that is not
    // there or a missing area one line, exit 1; an empty record is no error.
    const auto fifo = std::filesystem::temp_directory_path() / ("vexlin-fifo-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const DumpRun pipe = Dump({"--info", fifo.string()});
    std::filesystem::remove(fifo);
    EXPECT_EQ(pipe.Exit, 1);
    EXPECT_NE(pipe.Err.find("give - to read a pipe"), std::string::npos) << pipe.Err;
    EXPECT_EQ(Dump({"--info", ""}).Err, "vexlin-dump: '': no such file\n");
    TempFile empty(PdbBuilder{}.Build());
    const DumpRun none = Dump({"--record", "1", empty.path()});
    EXPECT_EQ(none.Exit, 1);
    EXPECT_EQ(none.Err, "vexlin-dump: " + empty.path() + ": record 1 asked for, but the database has no records\n");
    const DumpRun noSort = Dump({"--raw", "--sort-info", file.path()});
    EXPECT_EQ(noSort.Exit, 1);
    EXPECT_EQ(noSort.Err, "vexlin-dump: " + file.path() + ": the database has no sort info area\n");
    const DumpRun emptyRecord = Dump({"--raw", "--record", "2", file.path()});
    EXPECT_EQ(emptyRecord.Exit, 0);
    EXPECT_EQ(emptyRecord.Out, "");
    Bytes past = Small();
    PutBE32(past, 94, 0x1000); // record 3 past the end
    TempFile pastFile(past);
    EXPECT_EQ(Dump({"--raw", "--record", "3", pastFile.path()}).Exit, 1);

    // A write error is named, and ends the run.
    const DumpRun full = Shell("{ " + Quote(VEXLIN_DUMP) + " --header " + Quote(file.path()) + " >/dev/full; }");
    EXPECT_EQ(full.Exit, 1);
    EXPECT_EQ(full.Out, "vexlin-dump: error writing standard output: No space left on device\n");
}

// A path swapped for a FIFO between any look at it and the open is refused, not waited on:
// the file is opened without blocking and what was opened is checked.
TEST(VexlinDumpHostile, PathSwappedForAFifoBeforeTheOpen) {
    TempFile file(Small());
    const auto fifo = std::filesystem::temp_directory_path() / ("vexlin-swap-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const DumpRun r = Shell("VEXLIN_SWAP_PATH=" + Quote(file.path()) + " VEXLIN_SWAP_WITH=" +
                            Quote(fifo.string()) + " LD_PRELOAD=" + Quote(VEXLIN_SWAP_ON_OPEN) +
                            " ASAN_OPTIONS=verify_asan_link_order=0 timeout 20 " +
                            Quote(VEXLIN_DUMP) + " --info " + Quote(file.path()));
    std::filesystem::remove(fifo);
    EXPECT_EQ(r.Exit, 1) << r.Out;
    EXPECT_NE(r.Out.find("not a regular file"), std::string::npos) << r.Out;
}

namespace {

// A built database in a temporary folder under the name its exports take.
struct NamedFile {
    NamedFile(const std::string& name, const Bytes& bytes)
        : Dir(std::filesystem::temp_directory_path() /
              ("vexlin-content-" + std::to_string(::getpid()) + "-" + name)),
          Path(Dir / (name + ".pdb")) {
        std::filesystem::create_directories(Dir);
        std::ofstream(Path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    ~NamedFile() {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    std::filesystem::path Dir;
    std::filesystem::path Path;
};

} // namespace

TEST(VexlinDumpContent, SectionInWordsAndJsonBesideTheInspection) {
    const TempFile todo(ToDoSample());
    const DumpRun text = Dump({"--content", todo.path()});
    EXPECT_EQ(text.Exit, 0);
    EXPECT_EQ(text.Out, "[Content]\n"
                        "Format: todo\n"
                        "Encoding: palm-latin (detected)\n"
                        "Categories:\n"
                        "   0 ID   0: Unfiled\n"
                        "   1 ID   1: Work\n"
                        "Record 1 (Work)\n"
                        "  Description: File taxes\n"
                        "  Due: 2004-02-29\n"
                        "  Priority: 1\n"
                        "  Completed: no\n"
                        "  Note: Forms; receipts, and\n"
                        "    the rest\n"
                        "Record 2 (Unfiled)\n"
                        "  Description: Call Anna\n"
                        "  Due: none\n"
                        "  Priority: 3\n"
                        "  Completed: yes\n"
                        "Record 3 (Unfiled, private)\n"
                        "  Description: Secret plan\n"
                        "  Due: 2003-12-31\n"
                        "  Priority: 5\n"
                        "  Completed: no\n");

    const TempFile book(DatebookSample());
    const std::string repeats = Dump({"--content", book.path()}).Out;
    for (const char* line :
         {"  Time: untimed\n", "  Alarm: 1 day before\n",
          "  Repeat: every 2 weeks on Monday, Wednesday, until 2003-12-31 (weeks start on Monday)\n",
          "  Exceptions: 2003-05-19, 2003-06-02\n", "  Repeat: every month on the last Friday, for ever\n",
          "  Repeat: every 3 months on day 15, until 2004-01-15\n",
          "  Repeat: every year on March 21, for ever\n"}) {
        EXPECT_NE(repeats.find(line), std::string::npos) << line;
    }

    // --json --content is --json with "Content" added, nothing else changed.
    const std::string plain = Dump({"--json", book.path()}).Out;
    const auto full = nlohmann::json::parse(Dump({"--json", "--content", book.path()}).Out);
    auto without = full;
    without.erase("Content");
    EXPECT_EQ(without, nlohmann::json::parse(plain));
    const auto& event = full["Content"]["Items"][1];
    EXPECT_EQ(event["Repeat"]["Type"], "weekly");
    EXPECT_EQ(event["Repeat"]["Days"], nlohmann::json::array({1, 3}));
    EXPECT_EQ(event["Alarm"]["Unit"], "minutes");
    EXPECT_EQ(full["Content"]["Items"][0]["Start"], nullptr);
}

TEST(VexlinDumpContent, DamageInCheckAndJsonAndControlsEscaped) {
    PdbBuilder memo = PimBuilder("MemoDB", "memo");
    memo.Record(Text("bell\x07 and escape \x1b[2J"));  // no terminator
    const TempFile damaged(memo.Build());
    const DumpRun check = Dump({"--check", damaged.path()});
    EXPECT_EQ(check.Exit, 3);
    EXPECT_NE(check.Out.find(" warning content-unterminated record 1: the memo text has no "
                             "terminating NUL\n"),
              std::string::npos);
    const DumpRun text = Dump({"--content", damaged.path()});
    EXPECT_EQ(text.Exit, 0);
    EXPECT_NE(text.Out.find("Record 1 (category 0, damaged)\n  Text: bell\\x07 and escape \\x1b[2J\n"),
              std::string::npos);
    EXPECT_EQ(text.Out.find('\x1b'), std::string::npos);
    const auto json = nlohmann::json::parse(Dump({"--json", "--content", damaged.path()}).Out);
    EXPECT_EQ(json["Findings"].back()["Code"], "content-unterminated");
    EXPECT_EQ(json["Content"]["Items"][0]["Damaged"], true);
    EXPECT_EQ(json["Content"]["Items"][0]["Text"], "bell\x07 and escape \x1b[2J");
}

TEST(VexlinDumpContent, ExportNamesFilesAndNeverOverwritesUnasked) {
    const NamedFile memos("Memos", MemoSample());
    const NamedFile mail("Mail", MailSample());
    const auto out = memos.Dir / "out" / "deeper";
    const DumpRun first = Dump({"--export", out.string(), "-v", memos.Path.string(), mail.Path.string()});
    EXPECT_EQ(first.Exit, 0) << first.Err;
    EXPECT_EQ(first.Out, "");
    EXPECT_EQ(Slurp(out / "Memos" / "0002.txt"),
              "Quotes: \u201csmart\u201d \u2018single\u2019 \u2013 dash \u20ac euro \u2122");
    EXPECT_TRUE(std::filesystem::exists(out / "Mail.mbox"));
    EXPECT_NE(first.Err.find("vexlin-dump: wrote " + (out / "Memos" / "0003.txt").string()),
              std::string::npos);

    std::ofstream(out / "Mail.mbox") << "kept";
    const DumpRun again = Dump({"--export", out.string(), mail.Path.string()});
    EXPECT_EQ(again.Exit, 1);
    EXPECT_NE(again.Err.find("Mail.mbox: exists (--force overwrites it)"), std::string::npos);
    EXPECT_EQ(Slurp(out / "Mail.mbox"), "kept");
    EXPECT_EQ(Dump({"--export", out.string(), "--force", mail.Path.string()}).Exit, 0);
    EXPECT_NE(Slurp(out / "Mail.mbox"), "kept");

    const TempFile other(Small());
    const DumpRun unknown = Dump({"--export", out.string(), other.path()});
    EXPECT_EQ(unknown.Exit, 1);
    EXPECT_NE(unknown.Err.find("nothing to export (format unknown)"), std::string::npos);
}

TEST(VexlinDumpContent, UsageErrors) {
    const TempFile memo(MemoSample());
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--force", memo.path()}, {"-v", memo.path()},
          {"--encoding", "no-such-encoding", "--content", memo.path()},
          {"--summary", "--content", memo.path()}, {"--content=1", memo.path()}}) {
        EXPECT_EQ(Dump(args).Exit, 2) << args[0];
    }
    const TempFile japanese(AddressSample());
    EXPECT_EQ(Dump({"--encoding", "cp932", "--content", japanese.path()}).Exit, 0);
}

// --export's safety: every name one plain name inside DIR, no link below DIR followed, no pipe
// opened, nothing replaced without --force and only regular files with it, a file written whole
// or not at all, one database to a base name in a run; and its exactness: a memo's bytes as
// they are, no file for a database without items, the findings on standard error.
namespace {

// A memo pad whose records hold these texts.
Bytes MemoPad(const std::vector<std::string>& texts) {
    PdbBuilder b = PimBuilder("MemoDB", "memo");
    Bytes app = CategoryBlock({"Unfiled"});
    Put16(app, 0);
    app.push_back(0);
    app.push_back(0);
    b.App(app);
    for (const std::string& text : texts) {
        Bytes r;
        PutText(r, text);
        b.Record(r);
    }
    return b.Build();
}

// A folder of a test's own, removed after it (links in it removed, not followed).
struct Scratch {
    explicit Scratch(const std::string& name)
        : Dir(std::filesystem::temp_directory_path() /
              ("vexlin-export-" + std::to_string(::getpid()) + "-" + name)) {
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    std::filesystem::path Put(const std::string& name, const Bytes& bytes) const {
        const auto path = Dir / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        return path;
    }
    std::filesystem::path Dir;
};

// The names a folder holds, temporaries included.
std::set<std::string> Names(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// vexlin-dump with these arguments under a shell prefix (a time or file size limit); standard
// output and error together.
DumpRun DumpUnder(const std::string& prefix, const std::vector<std::string>& args) {
    std::string command = prefix + " " + Quote(VEXLIN_DUMP);
    for (const auto& a : args)
        command += " " + Quote(a);
    return Shell("(" + command + " </dev/null)");
}

} // namespace

TEST(ExportSafety, NamesStayOnePlainNameInsideDir) {
    const Scratch s("names");
    const Bytes memos = MemoPad({"one"});
    const auto dots = s.Put("in/...", memos);
    const auto dotPdb = s.Put("in/..pdb", memos);
    const auto control = s.Put("in/a\001b.pdb", memos);
    const auto out = s.Dir / "in" / "out";
    const DumpRun run =
        Dump({"--export", out.string(), dots.string(), dotPdb.string(), control.string()});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(Names(out), (std::set<std::string>{"_", "__", "a_b"}));
    EXPECT_EQ(Slurp(out / "__" / "0001.txt"), "one");
    EXPECT_EQ(Names(s.Dir / "in"), (std::set<std::string>{"...", "..pdb", "a\001b.pdb", "out"}));
    // -v names the file as the messages do: an invisible character from the name (a
    // right-to-left override) and a control character in DIR escaped.
    const auto bidi = s.Put("in/\xE2\x80\xAEtxt.pdb", memos);
    const DumpRun verbose = Dump({"-v", "--export", (s.Dir / "v\001").string(), bidi.string()});
    EXPECT_EQ(verbose.Exit, 0) << verbose.Err;
    EXPECT_EQ(verbose.Err, "vexlin-dump: wrote " + (s.Dir / "v\\x01" / "\\u202etxt").string() +
                               "/0001.txt (3 bytes)\n");
}

TEST(ExportSafety, LinksAndPipesBelowDirAreNeitherFollowedNorOpened) {
    const Scratch s("links");
    const auto memos = s.Put("MemoDB.pdb", MemoPad({"one"}));
    const auto cards = s.Put("B.pdb", AddressSample());
    const auto dates = s.Put("C.pdb", DatebookSample());
    const auto mail = s.Put("D.pdb", MailSample());
    const auto out = s.Dir / "out";
    const auto elsewhere = s.Dir / "elsewhere";
    std::filesystem::create_directories(out);
    std::filesystem::create_directories(elsewhere);
    std::ofstream(elsewhere / "victim") << "kept";
    std::filesystem::create_directory_symlink(elsewhere, out / "MemoDB");
    std::filesystem::create_symlink(elsewhere / "victim", out / "B.vcf");
    std::filesystem::create_symlink(elsewhere / "created", out / "C.ics"); // dangling
    ASSERT_EQ(::mkfifo((out / "D.mbox").c_str(), 0600), 0);
    for (const bool force : {false, true}) {
        std::vector<std::string> args{"--export", out.string()};
        if (force)
            args.push_back("--force");
        for (const auto& f : {memos, cards, dates, mail})
            args.push_back(f.string());
        // A pipe the export opened would block it: the time limit only keeps such a fault from
        // hanging the suite.
        const DumpRun r = DumpUnder("timeout 60", args);
        EXPECT_EQ(r.Exit, 1) << r.Out;
        EXPECT_NE(r.Out.find((out / "MemoDB").string() + ": is a symbolic link, not a folder"),
                  std::string::npos)
            << r.Out;
        const std::vector<std::pair<std::string, std::string>> refused{
            {"B.vcf", "a symbolic link"}, {"C.ics", "a symbolic link"}, {"D.mbox", "a named pipe"}};
        for (const auto& [name, kind] : refused) {
            const std::string said =
                (out / name).string() + (force ? ": is " + kind + ", not a regular file"
                                               : std::string(": exists (--force overwrites it)"));
            EXPECT_NE(r.Out.find(said), std::string::npos) << said << "\n" << r.Out;
        }
        EXPECT_EQ(Names(elsewhere), std::set<std::string>{"victim"});
        EXPECT_EQ(Slurp(elsewhere / "victim"), "kept");
        EXPECT_EQ(Names(out), (std::set<std::string>{"B.vcf", "C.ics", "D.mbox", "MemoDB"}));
        EXPECT_TRUE(std::filesystem::is_symlink(out / "B.vcf"));
        EXPECT_TRUE(std::filesystem::is_fifo(out / "D.mbox"));
    }
    // DIR itself may be a link the user chose.
    std::filesystem::create_directory_symlink(elsewhere, s.Dir / "chosen");
    EXPECT_EQ(Dump({"--export", (s.Dir / "chosen").string(), memos.string()}).Exit, 0);
    EXPECT_EQ(Slurp(elsewhere / "MemoDB" / "0001.txt"), "one");
}

TEST(ExportSafety, FilesWrittenWholeOrNotAtAll) {
    const Scratch s("whole");
    const std::string big(3000, 'm');
    const auto memos = s.Put("MemoDB.pdb", MemoPad({"small", big}));
    const auto out = s.Dir / "out";
    const auto folder = out / "MemoDB";
    // A file size limit fails the second memo's write (EFBIG) as a full disk would: the
    // first is written, the second leaves nothing, no temporary either.
    const std::string limited = "ulimit -f 1 && exec";
    DumpRun r = DumpUnder(limited, {"--export", out.string(), memos.string()});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Out.find((folder / "0002.txt").string() + ": File too large"), std::string::npos)
        << r.Out;
    EXPECT_EQ(Names(folder), std::set<std::string>{"0001.txt"});
    EXPECT_EQ(Slurp(folder / "0001.txt"), "small");
    // With --force a failed write leaves the file it was to replace as it was; a replaced
    // file is a new one, so that another hard link to the old keeps its text.
    std::ofstream(folder / "0002.txt") << "kept";
    std::filesystem::create_hard_link(folder / "0002.txt", s.Dir / "other");
    r = DumpUnder(limited, {"--force", "--export", out.string(), memos.string()});
    EXPECT_EQ(r.Exit, 1) << r.Out;
    EXPECT_EQ(Names(folder), (std::set<std::string>{"0001.txt", "0002.txt"}));
    EXPECT_EQ(Slurp(folder / "0002.txt"), "kept");
    EXPECT_EQ(Dump({"--export", out.string(), memos.string()}).Exit, 1);
    EXPECT_EQ(Slurp(folder / "0002.txt"), "kept");
    r = Dump({"--force", "--export", out.string(), memos.string()});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(Slurp(folder / "0002.txt"), big);
    EXPECT_EQ(Slurp(s.Dir / "other"), "kept");
    EXPECT_EQ(Names(folder), (std::set<std::string>{"0001.txt", "0002.txt"}));
}

// A run ended by a signal while a file is written (a book's text stays open for the whole
// decode) leaves no temporary: the run is stopped once the temporary exists and, if it still
// does, sent the signal. A run that finished first has written its file whole.
TEST(ExportSafety, SignalLeavesNoTemporary) {
    const Scratch s("signal");
    PdbBuilder doc;
    doc.Type = "TEXt";
    doc.Creator = "REAd";
    constexpr std::uint16_t count = 1260; // 5 MB, under the size limit
    Bytes r0(16, 0);
    PutBE16(r0, 0, 1); // uncompressed
    PutBE32(r0, 4, count * 4096u);
    PutBE16(r0, 8, count);
    PutBE16(r0, 10, 4096);
    doc.Record(r0);
    Bytes text(4096);
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<std::uint8_t>('a' + i % 26);
    for (int i = 0; i < count; ++i)
        doc.Record(text);
    const auto book = s.Put("Book.pdb", doc.Build());
    const auto hidden = [](const std::filesystem::path& folder) {
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
             it.increment(ec))
            if (it->path().filename().string()[0] == '.')
                return true;
        return false;
    };
    int interrupted = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // Until one run is caught with its temporary, a few tries at most.
        for (int attempt = 0; attempt < 10; ++attempt) {
            const auto out =
                s.Dir / ("out-" + std::to_string(signal) + "-" + std::to_string(attempt));
            const std::string dirArg = out.string();
            const std::string bookArg = book.string();
            std::vector<char*> argv{const_cast<char*>(VEXLIN_DUMP), const_cast<char*>("--export"),
                                    const_cast<char*>(dirArg.c_str()),
                                    const_cast<char*>(bookArg.c_str()), nullptr};
            posix_spawn_file_actions_t files;
            posix_spawn_file_actions_init(&files);
            for (const int fd : {0, 1, 2})
                posix_spawn_file_actions_addopen(&files, fd, "/dev/null", O_RDWR, 0);
            posix_spawnattr_t attributes;
            posix_spawnattr_init(&attributes);
            sigset_t defaults;
            sigemptyset(&defaults);
            sigaddset(&defaults, signal); // a background job may have SIGINT ignored
            posix_spawnattr_setsigdefault(&attributes, &defaults);
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
            pid_t pid = -1;
            ASSERT_EQ(posix_spawn(&pid, VEXLIN_DUMP, &files, &attributes, argv.data(), environ), 0);
            posix_spawn_file_actions_destroy(&files);
            posix_spawnattr_destroy(&attributes);
            bool caught = false;
            int status = 0;
            while (::waitpid(pid, &status, WNOHANG) == 0) {
                if (!hidden(out))
                    continue;
                ::kill(pid, SIGSTOP);
                ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
                if (!WIFSTOPPED(status))
                    break; // it ended first
                caught = hidden(out);
                if (caught)
                    ::kill(pid, signal); // handled when it goes on
                ::kill(pid, SIGCONT);
                if (caught) {
                    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
                    break;
                }
            }
            if (caught) {
                EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
                EXPECT_TRUE(Names(out).empty()) << *Names(out).begin();
                ++interrupted;
                break;
            }
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            EXPECT_EQ(Names(out), std::set<std::string>{"Book.txt"});
            EXPECT_EQ(std::filesystem::file_size(out / "Book.txt"), count * 4096u);
        }
    }
    RecordProperty("RunsEndedWhileWriting", interrupted);
}

TEST(ExportSafety, OneDatabaseToABaseNameInARun) {
    const Scratch s("same");
    const auto first = s.Put("a/MemoDB.pdb", MemoPad({"first"}));
    const auto second = s.Put("b/MemoDB.pdb", MemoPad({"second", "extra"}));
    const auto out = s.Dir / "out";
    const DumpRun r = Dump({"--force", "--export", out.string(), first.string(), second.string()});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find(second.string() +
                         ": not exported: its base name MemoDB is taken in this "
                         "run by " +
                         first.string()),
              std::string::npos)
        << r.Err;
    EXPECT_EQ(Names(out / "MemoDB"), std::set<std::string>{"0001.txt"});
    EXPECT_EQ(Slurp(out / "MemoDB" / "0001.txt"), "first");
    // A database with nothing to export claims no base name: the next of that name is written.
    const auto none = s.Put("a/Notes.pdb", MemoPad({}));
    const auto some = s.Put("b/Notes.pdb", MemoPad({"kept"}));
    const DumpRun after = Dump({"--export", out.string(), none.string(), some.string()});
    EXPECT_EQ(after.Exit, 1);
    EXPECT_EQ(after.Err, "vexlin-dump: " + none.string() + ": nothing to export (format memo)\n");
    EXPECT_EQ(Slurp(out / "Notes" / "0001.txt"), "kept");
}

TEST(ExportSafety, ExactMemosNoFileWithoutItemsAndFindingsSaid) {
    const Scratch s("exact");
    const auto out = s.Dir / "out";
    const auto memos = s.Put("Memos.pdb", MemoPad({"x", "x\n", ""}));
    DumpRun r = Dump({"--export", out.string(), memos.string()});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(Slurp(out / "Memos" / "0001.txt"), "x");
    EXPECT_EQ(Slurp(out / "Memos" / "0002.txt"), "x\n");
    EXPECT_TRUE(std::filesystem::exists(out / "Memos" / "0003.txt"));
    EXPECT_EQ(std::filesystem::file_size(out / "Memos" / "0003.txt"), 0u);

    // A database without an item to write (none, or all deleted) writes no file, as one of a
    // format without an export: "nothing to export", exit status 1.
    Bytes cards = AddressSample();
    for (std::size_t i = 0; i < static_cast<std::size_t>(cards[76] << 8 | cards[77]); ++i)
        SetAttributes(cards, i, 0x80);
    const auto empty = s.Put("Empty.pdb", MemoPad({}));
    const auto deleted = s.Put("Deleted.pdb", cards);
    const auto other = s.Put("Other.pdb", Small());
    // A datebook whose every event the calendar leaves out: one ends before it starts, one
    // repeats weekly on no day.
    PdbBuilder dates = PimBuilder("DatebookDB", "date");
    dates.App(CategoryBlock({"Unfiled"}));
    TestEvent backwards;
    backwards.StartHour = 10, backwards.StartMinute = 0, backwards.EndHour = 9,
    backwards.EndMinute = 0;
    backwards.When = PackDate(2003, 5, 6);
    backwards.Description = "Backwards";
    TestEvent never;
    never.When = PackDate(2003, 5, 6);
    never.Repeat = RepeatBytes(2, 0xFFFF, 1, 0, 0);
    never.Description = "Never";
    dates.Record(EventRecord(backwards)).Record(EventRecord(never));
    const auto events = s.Put("Events.pdb", dates.Build());
    const auto none = s.Dir / "none";
    r = Dump({"--export", none.string(), empty.string(), deleted.string(), other.string(),
              events.string()});
    EXPECT_EQ(r.Exit, 1);
    const std::vector<std::pair<std::filesystem::path, std::string>> nothing{
        {empty, "memo"}, {deleted, "address"}, {other, "unknown"}, {events, "datebook"}};
    for (const auto& [file, format] : nothing) {
        EXPECT_NE(r.Err.find(file.string() + ": nothing to export (format " + format + ")"),
                  std::string::npos)
            << r.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(none));

    // --export alone says what --check finds in the content, one line each, and still exits 0.
    PdbBuilder cut = PimBuilder("MemoDB", "memo");
    cut.Record(Text("no terminator"));
    const auto damaged = s.Put("Cut.pdb", cut.Build());
    const std::string check = Dump({"--check", damaged.string()}).Out;
    const std::size_t code = check.find(" warning content-unterminated ");
    ASSERT_NE(code, std::string::npos) << check;
    const std::size_t start = check.rfind('\n', code) + 1;
    const std::string line = check.substr(start, check.find('\n', code) + 1 - start);
    r = Dump({"--export", out.string(), damaged.string()});
    EXPECT_EQ(r.Exit, 0);
    EXPECT_NE(r.Err.find("vexlin-dump: " + damaged.string() + ": " + line), std::string::npos)
        << r.Err;
    EXPECT_EQ(Slurp(out / "Cut" / "0001.txt"), "no terminator");
}

// Exports and --content text that mean exactly what the records mean: no forged header, no
// terminal escape, nothing silently moved, merged or dropped; read back by the readers
// people use (tests/peers/read_export.py) where they are installed.
namespace {

// The export as Python's mailbox and email, icalendar or vobject read it; nothing when they
// are missing (why then says so).
std::optional<nlohmann::json> ReadBack(const std::filesystem::path& file, std::string& why) {
    const auto script = std::filesystem::path(__FILE__).parent_path() / "peers" / "read_export.py";
    if (!std::filesystem::exists(script)) {
        why = script.string() + " is not there";
        return std::nullopt;
    }
    const std::string python =
        std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    const DumpRun r =
        Shell(Quote(python) + " " + Quote(script.string()) + " " + Quote(file.string()));
    if (r.Exit == 77) {
        why = r.Out;
        return std::nullopt;
    }
    EXPECT_EQ(r.Exit, 0) << r.Out;
    return nlohmann::json::parse(r.Exit == 0 ? r.Out : "null");
}

std::size_t HeaderCount(const nlohmann::json& message, const std::string& name) {
    std::size_t n = 0;
    for (const auto& header : message["Headers"])
        n += header[0] == name;
    return n;
}

} // namespace

TEST(VexlinDumpFaithful, MailHeadersStayHeadersAndAddressesStayAddresses) {
    PdbBuilder b = PimBuilder("MailDB", "mail");
    b.Record(MailRecord(PackDate(2024, 1, 3), 9, 5, 0,
                        {"Plan\r\nX-Injected: yes", "<eve@x\nFrom: forged@y\nSubject: forged>",
                         "Ren\xe9 alice@x, Zo\xeb <zoe@y>", "", "", "", "", "Body\rline \x1b[2J"}));
    b.Record(MailRecord(PackDate(2024, 1, 4), 10, 0, 0,
                        {"Caf\xe9\nX-Injected: 2", std::string(300, 'a') + "@x", "bob@x", "", "",
                         "", "", "Hi"})); // an encoded word that held a line end, a long sender
    std::string words, many;
    for (int i = 0; i < 300; ++i) {
        words += " word" + std::to_string(i);
        many += (i ? ", " : "") + ("p" + std::to_string(i) + "@x");
    }
    const std::string subject = "=?UTF-8?B?SGFja2Vk?=" + words; // reads as "Hacked" unless encoded
    b.Record(MailRecord(PackDate(2024, 1, 5), 11, 0, 0,
                        {subject, "bob@x", many, "", "", "", "", "Long"}));
    Bytes file = b.Build();
    SetAttributes(file, 0, 0x10); // private
    const NamedFile mail("Mail", file);
    const auto out = mail.Dir / "out";
    ASSERT_EQ(Dump({"--export", out.string(), mail.Path.string()}).Exit, 0);
    const std::string box = Slurp(out / "Mail.mbox");
    EXPECT_TRUE(box.starts_with("From MAILER-DAEMON Wed Jan  3 09:05:00 2024\n")) << box;
    EXPECT_NE(box.find("\nFrom MAILER-DAEMON Thu Jan  4 10:00:00 2024\n"
                       "Date: Thu, 04 Jan 2024 10:00:00 -0000\n"),
              std::string::npos)
        << box;
    EXPECT_EQ(Count(box, "\nFrom "), 2u);
    EXPECT_EQ(Count(box, "\nSensitivity: Private\n"), 1u);
    for (const char* forged : {"\nSubject: forged", "\nX-Injected", "\x1b", "\r"})
        EXPECT_EQ(box.find(forged), std::string::npos) << forged;
    // Header lines folded to 78 characters; only the 302-byte address has no space to fold at.
    std::vector<std::string> wide;
    for (std::size_t at = 0, end; at < box.size(); at = end + 1) {
        end = std::min(box.find('\n', at), box.size());
        if (end - at > 78)
            wide.push_back(box.substr(at, end - at));
    }
    EXPECT_EQ(wide, std::vector<std::string>{"From: " + std::string(300, 'a') + "@x"});

    std::string why;
    const auto back = ReadBack(out / "Mail.mbox", why);
    if (!back)
        GTEST_SKIP() << why;
    ASSERT_EQ(back->size(), 3u) << *back;
    const auto& first = (*back)[0];
    EXPECT_EQ(HeaderCount(first, "From"), 1u);
    EXPECT_EQ(HeaderCount(first, "Subject"), 1u);
    EXPECT_EQ(HeaderCount(first, "X-Injected"), 0u);
    EXPECT_EQ(first["Addresses"]["To"],
              nlohmann::json::parse(R"([["René", "alice@x"], ["Zoë", "zoe@y"]])"));
    EXPECT_EQ(first["Body"].get<std::string>().rfind("Body\nline \uFFFD[2J\n", 0), 0u)
        << first["Body"];
    EXPECT_EQ(HeaderCount((*back)[1], "Date"), 1u);
    const auto& third = (*back)[2];
    for (const auto& header : third["Headers"]) {
        if (header[0] == "Subject") {
            EXPECT_EQ(header[1], subject);
        }
    }
    EXPECT_EQ(third["Addresses"]["To"].size(), 300u);
}

TEST(VexlinDumpFaithful, CalendarMeansWhatTheRecordsMean) {
    PdbBuilder b = PimBuilder("DatebookDB", "date");
    Bytes app = CategoryBlock({"Unfiled", "Work,Home"});
    Put16(app, 0);
    app.push_back(0);
    app.push_back(0);
    b.App(app);
    const auto event = [&](const char* description, std::uint16_t when, Bytes repeat) {
        TestEvent e;
        e.When = when;
        e.Repeat = std::move(repeat);
        e.Description = description;
        return e;
    };
    TestEvent mondays = event("Mondays", PackDate(2024, 1, 3), RepeatBytes(2, 0xFFFF, 1, 0x02, 0));
    mondays.Alarm = {{0xFF, 0}}; // the device's "no alarm"
    mondays.Note = "note\rEND";
    TestEvent backwards = event("Backwards", PackDate(2024, 1, 3), {});
    backwards.StartHour = 10, backwards.StartMinute = 0, backwards.EndHour = 9,
    backwards.EndMinute = 30;
    for (const TestEvent& e :
         {mondays, event("Second Tuesday", PackDate(2024, 1, 20), RepeatBytes(3, 0xFFFF, 2, 9, 0)),
          event("Never", PackDate(2024, 1, 3), RepeatBytes(2, PackDate(2024, 1, 7), 1, 0x02, 0)),
          event("Zero", PackDate(2024, 1, 3), RepeatBytes(1, 0xFFFF, 0, 0, 0)), backwards})
        b.Record(EventRecord(e));
    Bytes file = b.Build();
    SetAttributes(file, 0, 0x01);
    const NamedFile calendar("Cal%", file);
    const auto out = calendar.Dir / "out";
    ASSERT_EQ(Dump({"--export", out.string(), calendar.Path.string()}).Exit, 0);
    const std::string ics = Slurp(out / "Cal%.ics");
    EXPECT_EQ(Count(ics, "BEGIN:VEVENT"), 2u) << ics;
    for (const char* line : {"\nCATEGORIES:Work\\,Home\r\n", "\nDTSTART;VALUE=DATE:20240108\r\n",
                             "\nDTSTART;VALUE=DATE:20240312\r\n", "\nDESCRIPTION:note\\nEND\r\n",
                             "\nUID:Cal%25-1@palm\r\n"})
        EXPECT_NE(ics.find(line), std::string::npos) << line << ics;
    EXPECT_EQ(ics.find("VALARM"), std::string::npos);
    // ".Cal" exports as "_Cal", as "_Cal" would: the UIDs still come from the file's own name.
    const NamedFile dotted(".Cal", file);
    ASSERT_EQ(Dump({"--export", out.string(), dotted.Path.string()}).Exit, 0);
    EXPECT_NE(Slurp(out / "_Cal.ics").find("\nUID:.Cal-1@palm\r\n"), std::string::npos);
    const std::string check = Dump({"--check", calendar.Path.string()}).Out;
    for (const char* code :
         {" content-repeat-never ", " content-repeat-frequency ", " content-end-before-start "})
        EXPECT_EQ(Count(check, code), 1u) << code << check;

    std::string why;
    const auto back = ReadBack(out / "Cal%.ics", why);
    if (!back)
        GTEST_SKIP() << why;
    ASSERT_EQ(back->size(), 2u) << *back;
    EXPECT_EQ((*back)[0]["CATEGORIES"], nlohmann::json::array({"Work,Home"}));
    EXPECT_EQ((*back)[0]["DESCRIPTION"], "note\nEND");
    EXPECT_EQ((*back)[0]["Alarms"], nlohmann::json::array());
    EXPECT_EQ((*back)[0]["First"],
              nlohmann::json::array({"2024-01-08", "2024-01-15", "2024-01-22"}));
    EXPECT_EQ((*back)[1]["First"],
              nlohmann::json::array({"2024-03-12", "2024-05-14", "2024-07-09"}));
}

TEST(VexlinDumpFaithful, CardsKeepTabsAndMarkPrivateRecords) {
    PdbBuilder b = PimBuilder("AddressDB", "addr");
    b.App(AddressLabels());
    b.Record(AddressRecord({{0, "Tab"}, {18, "a\tb\x1b[2Jc"}}, {0, 0, 0, 0, 0}, 0));
    Bytes file = b.Build();
    SetAttributes(file, 0, 0x10);
    const NamedFile cards("Cards", file);
    const auto out = cards.Dir / "out";
    ASSERT_EQ(Dump({"--export", out.string(), cards.Path.string()}).Exit, 0);
    const std::string vcf = Slurp(out / "Cards.vcf");
    EXPECT_NE(vcf.find("\r\nNOTE:a\tb\uFFFD[2Jc\r\n"), std::string::npos) << vcf;
    EXPECT_NE(vcf.find("\r\nCLASS:PRIVATE\r\n"), std::string::npos) << vcf;

    std::string why;
    const auto back = ReadBack(out / "Cards.vcf", why);
    if (!back)
        GTEST_SKIP() << why;
    ASSERT_EQ(back->size(), 1u) << *back;
    EXPECT_EQ((*back)[0]["note"], nlohmann::json::array({"a\tb\uFFFD[2Jc"}));
    EXPECT_EQ((*back)[0]["class"], nlohmann::json::array({"PRIVATE"}));
}

TEST(VexlinDumpFaithful, ContentTextIsUnambiguousAndHiddenTextIsShown) {
    PdbBuilder memo = PimBuilder("MemoDB", "memo");
    const std::string shown = "a\\x1b \x1b \u202eb\u200bc"; // a backslash, ESC, RLO, ZWSP
    Bytes record = Text(shown);
    record.push_back(0);
    const Bytes hidden = Text("hidden");
    record.insert(record.end(), hidden.begin(), hidden.end());
    record.push_back(0);
    memo.Record(record);
    const TempFile file(memo.Build());
    const DumpRun text = Dump({"--content", "--encoding", "UTF-8", file.path()});
    EXPECT_NE(text.Out.find("  Text: a\\\\x1b \\x1b \\u202eb\\u200bc\n"), std::string::npos)
        << text.Out;
    EXPECT_NE(text.Out.find(" warning content-hidden-text record 1: 7 bytes after the last field's "
                            "NUL, which the device does not show: \"hidden\\x00\"\n"),
              std::string::npos)
        << text.Out;
    const std::string json = Dump({"--json", "--content", "--encoding", "UTF-8", file.path()}).Out;
    for (const std::string& output : {text.Out, json})
        EXPECT_EQ(output.find("\xe2\x80\xae"), std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(json)["Content"]["Items"][0]["Text"], shown);
    // A name's control characters never reach standard error.
    EXPECT_EQ(Dump({"--info", "/nonexistent/\x1b[2J.pdb"}).Err,
              "vexlin-dump: /nonexistent/\\x1b[2J.pdb: No such file or directory\n");
}

namespace {

// A folder of its own for the output-bound tests, removed with everything in it.
struct BoundFolder {
    BoundFolder()
        : Dir(std::filesystem::temp_directory_path() /
              ("vexlin-bound-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
    }
    ~BoundFolder() {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    std::filesystem::path Put(const std::string& name, const Bytes& bytes) const {
        std::ofstream(Dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        return Dir / name;
    }
    std::filesystem::path Dir;
};

std::uintmax_t FolderBytes(const std::filesystem::path& folder) {
    std::uintmax_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        total += entry.is_regular_file() ? entry.file_size() : 0;
    return total;
}

} // namespace

// Records that share their bytes: what one database yields, its export, its JSON and its
// [Content] text, is at most 64 times its size and 1 MiB, with the finding that says where it
// stopped.
TEST(VexlinDumpOutputBound, SharedRecordsYieldAtMostTheBound) {
    const BoundFolder folder;
    Bytes card;
    Put32(card, 0);
    Put32(card, 0x1FF); // nine fields of 800 bytes
    card.push_back(0);
    for (int f = 0; f < 9; ++f)
        PutText(card, std::string(800, 'n'));
    Bytes mail{0xC6, 0xA6, 9, 0, 0, 0};
    for (const char* field : {"Subject", "a@b", "c@d", "", "", "", ""})
        PutText(mail, field);
    PutText(mail, std::string(8000, 'b'));
    Bytes event{9, 0, 10, 0, 0xC6, 0xA6, 0x0C, 0x00}; // exceptions and a description
    Put16(event, 2000);
    for (int i = 0; i < 2000; ++i)
        Put16(event, 0xC6A7);
    PutText(event, "Meeting");
    const std::pair<std::string, Bytes> cases[] = {
        {"AddressDB", SharedRecords(PimBuilder("AddressDB", "addr"), card, 2001)},
        {"MailDB", SharedRecords(PimBuilder("MailDB", "mail"), mail, 2001)},
        {"DatebookDB", SharedRecords(PimBuilder("DatebookDB", "date"), event, 2001)}};
    for (const auto& [name, bytes] : cases) {
        const auto file = folder.Put(name + ".pdb", bytes);
        const std::uintmax_t bound = 64 * bytes.size() + (1u << 20);
        const DumpRun exported = Dump({"--export", (folder.Dir / name).string(), file.string()});
        EXPECT_EQ(exported.Exit, 0) << name << exported.Err;
        EXPECT_NE(exported.Err.find("content-output-bound"), std::string::npos) << name;
        EXPECT_LE(FolderBytes(folder.Dir / name), bound) << name;
        const DumpRun json = Dump({"--json", "--content", file.string()});
        const DumpRun plain = Dump({"--json", file.string()});
        EXPECT_LE(json.Out.size() - plain.Out.size(), bound) << name;
        EXPECT_NE(json.Out.find("content-output-bound"), std::string::npos) << name;
        EXPECT_LE(Dump({"--content", file.string()}).Out.size(), bound) << name;
    }
}

// Under a memory limit lower than a file's content needs, the file fails with a message and
// status 1, never a signal. (A sanitizer's shadow memory needs more address space than any
// such limit allows.)
TEST(VexlinDumpOutputBound, OutOfMemoryEndsWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address sanitizer";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "address sanitizer";
#endif
#endif
    const BoundFolder folder;
    Bytes memo;
    PutText(memo, std::string(4000, 'm'));
    const auto file =
        folder.Put("MemoDB.pdb", SharedRecords(PimBuilder("MemoDB", "memo"), memo, 65535));
    const auto under = [&](const std::string& args) {
        return Shell("(ulimit -v 20000; " + Quote(VEXLIN_DUMP) + " " + args + " " +
                     Quote(file.string()) + " >/dev/null)");
    };
    ASSERT_EQ(under("--header").Exit, 0) << "vexlin-dump does not start under the limit";
    const DumpRun run = under("--json --content");
    EXPECT_EQ(run.Exit, 1);
    EXPECT_NE(run.Out.find("out of memory"), std::string::npos) << run.Out.substr(0, 400);

    // The calendar writer's library cannot survive a failed allocation: the export asks for
    // what the calendar will take before it is built, and ends with the message instead.
    Bytes event{9, 0, 10, 0, 0xC6, 0xA6, 0x08, 0x00};
    Put16(event, 2000);
    for (int i = 0; i < 2000; ++i)
        Put16(event, 0xC6A7);
    const auto dates =
        folder.Put("DatebookDB.pdb", SharedRecords(PimBuilder("DatebookDB", "date"), event, 65535));
    for (const char* limit : {"80000", "120000", "160000"}) {
        const DumpRun calendar = Shell(
            "(ulimit -v " + std::string(limit) + "; " + Quote(VEXLIN_DUMP) + " --export " +
            Quote((folder.Dir / limit).string()) + " " + Quote(dates.string()) + " >/dev/null)");
        EXPECT_EQ(calendar.Exit, 1)
            << limit << ": "
            << calendar.Out.substr(std::max<std::size_t>(calendar.Out.size(), 300) - 300);
    }
}

// vexlin-dump's options are written out once, in OptionTable: --help lists each of them with
// the formats --content decodes and the files --export writes, and the bash completion and the
// manual page's OPTIONS name exactly the table's options, with its argument names.
namespace {

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t start = text.find(from);
    if (start == std::string::npos)
        return {};
    const std::size_t end = text.find(to, start + from.size());
    return text.substr(start + from.size(),
                       end == std::string::npos ? std::string::npos : end - start - from.size());
}

// Each of the table's names (long and short) with its argument name ("" for a flag).
std::map<std::string, std::string> TableOptions() {
    std::map<std::string, std::string> options;
    for (const dump::OptionEntry& option : dump::OptionTable) {
        for (const std::string_view name : {option.Long, option.Short})
            if (!name.empty())
                options[std::string(name)] = std::string(option.Argument);
    }
    return options;
}

} // namespace

TEST(VexlinDumpOptions, HelpCompletionAndManualNameTheTable) {
    const std::map<std::string, std::string> table = TableOptions();

    const DumpRun help = Dump({"--help"});
    ASSERT_EQ(help.Exit, 0);
    std::map<std::string, std::string> listed; // the option lines of --help
    std::istringstream lines(help.Out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  -", 0) != 0)
            continue;
        // "  --record N    only record N", "  -x, --long ARG  ...": the names before the help.
        std::istringstream label(line.substr(2, line.find("  ", 2) - 2));
        std::vector<std::string> names(1);
        while (label >> names.back() && names.back().back() == ',') {
            names.back().pop_back();
            names.emplace_back();
        }
        std::string argument;
        label >> argument;
        for (const std::string& name : names)
            listed[name] = argument;
    }
    EXPECT_EQ(listed, table) << help.Out;
    const std::string contentHelp = Between(help.Out, "\n  --content ", "\n  -");
    for (const content::FormatDescriptor* format : content::Formats()) {
        const std::string name(format->Name);
        EXPECT_NE(contentHelp.find(name), std::string::npos) << name << " missing: " << contentHelp;
    }
    const std::string exportHelp = Between(help.Out, "\n  --export ", "\n  -");
    for (const char* file :
         {"B.vcf", "B.ics", "B/NNNN.txt", "B.mbox", "B.txt", "B.html", "B/TYPE-ID.png"})
        EXPECT_NE(exportHelp.find(file), std::string::npos) << file << ": " << exportHelp;

    // The completion: its word list once a word starts with -, and the options whose value it
    // completes (or leaves alone) in its case arms.
    const std::string completion =
        Slurp(std::filesystem::path(VEXLIN_SOURCE_DIR) / "packaging/vexlin-dump.bash-completion");
    ASSERT_FALSE(completion.empty());
    std::map<std::string, std::string> completed;
    std::istringstream words(Between(Between(completion, "\"$cur\" == -*", "fi"), "-W \"", "\""));
    for (std::string word; words >> word;)
        completed[word] = table.count(word) ? table.at(word) : "?";
    EXPECT_EQ(completed, table);
    std::set<std::string> valued, arms;
    for (const auto& [name, argument] : table)
        if (!argument.empty())
            valued.insert(name);
    std::istringstream cases(Between(completion, "case \"$prev\" in", "esac"));
    for (std::string line; std::getline(cases, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos && line[start] == '-' && line.back() == ')')
            arms.insert(line.substr(start, line.size() - start - 1));
    }
    EXPECT_EQ(arms, valued);

    // The manual page: each term line of OPTIONS, "*--record* _N_" or "*--app-info*,
    // *--sort-info*".
    const std::string page =
        Slurp(std::filesystem::path(VEXLIN_SOURCE_DIR) / "docs/man/vexlin-dump.1.scd");
    std::map<std::string, std::string> documented;
    std::istringstream section(Between(page, "\n# OPTIONS\n", "\n# "));
    for (std::string line; std::getline(section, line);) {
        if (line.rfind("*-", 0) != 0)
            continue;
        std::size_t at = 0;
        while (at < line.size() && line[at] == '*') {
            const std::size_t close = line.find('*', at + 1);
            ASSERT_NE(close, std::string::npos) << line;
            std::string& argument = documented[line.substr(at + 1, close - at - 1)];
            at = close + 1;
            if (line.compare(at, 2, " _") == 0) {
                const std::size_t end = line.find('_', at + 2);
                ASSERT_NE(end, std::string::npos) << line;
                argument = line.substr(at + 2, end - at - 2);
                at = end + 1;
            }
            if (line.compare(at, 2, ", ") == 0)
                at += 2;
        }
        EXPECT_EQ(at, line.size()) << "a term line the test cannot read: " << line;
    }
    EXPECT_EQ(documented, table);

    // The finding codes' tables: each row's code, severity and meaning as the table in the
    // model has them, in its order.
    std::vector<std::string> rows, codes;
    std::istringstream tables(page);
    for (std::string line; std::getline(tables, line);) {
        if (line.rfind("|  ", 0) != 0)
            continue;
        std::string severity, meaning;
        std::getline(tables, severity);
        std::getline(tables, meaning);
        rows.push_back(line.substr(3) + " / " + severity.substr(3) + " / " + meaning.substr(3));
    }
    for (const FindingCode* code : FindingCodes)
        codes.push_back(std::string(code->Code) + " / " + std::string(code->Severity) + " / " +
                        std::string(code->Meaning));
    EXPECT_EQ(rows, codes);

    const DumpRun version = Dump({"--version"});
    EXPECT_EQ(version.Exit, 0);
    EXPECT_EQ(version.Out, "vexlin-dump " VEXLIN_VERSION "\n");
    EXPECT_EQ(version.Err, "");
}
