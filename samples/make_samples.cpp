// Writes the sample databases that ./run.sh's first File, Open... shows: a memo database, one
// with app info and sort info, one with thousands of records and a damaged one.
// Usage: vexlin-samples FOLDER
#include "ContentSamples.h"
#include "PdbBuilder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

using namespace vexlin::test;

namespace {

constexpr std::uint32_t Created = 0xC2D5A880; // 2007-07-26 14:00 UTC, seconds since 1904
constexpr std::uint32_t Modified = 0xC2EA2F40;

Bytes Cstring(const std::string& text) {
    Bytes b = Text(text);
    b.push_back(0);
    return b;
}

// Categories as memo-style applications keep them: a renamed flag word, 16 names of 16
// bytes, 16 IDs, the last ID, a pad.
Bytes Categories(const std::vector<std::string>& names) {
    Bytes b(2, 0);
    for (int i = 0; i < 16; ++i) {
        Bytes name(16, 0);
        if (i < static_cast<int>(names.size())) {
            std::copy(names[i].begin(), names[i].end(), name.begin());
        }
        b.insert(b.end(), name.begin(), name.end());
    }
    for (int i = 0; i < 16; ++i) {
        b.push_back(static_cast<std::uint8_t>(i < static_cast<int>(names.size()) ? i : 0));
    }
    b.push_back(static_cast<std::uint8_t>(names.size() - 1));
    b.push_back(0);
    return b;
}

void AddTextRecords(PdbBuilder& b, std::initializer_list<const char*> texts) {
    for (const char* text : texts) {
        b.Record(Cstring(text));
    }
}

PdbBuilder Base(const std::string& name, const std::string& type, const std::string& creator) {
    PdbBuilder b;
    b.Name = name;
    b.Type = type;
    b.Creator = creator;
    b.Attributes = 0x0008; // backup
    b.Version = 1;
    b.CreationDate = Created;
    b.ModificationDate = Modified;
    b.ModificationNumber = 12;
    return b;
}

Bytes Memos() {
    PdbBuilder b = Base("MemoDB", "DATA", "memo");
    b.App(Categories({"Unfiled", "Business", "Personal"}));
    AddTextRecords(b, {"Shopping\nbread, milk, 2 lemons", "Call the dentist on Monday",
                       "Palm OS databases keep their records in a list after the header.",
                       "Ideas:\n- a faster sync\n- back up the memos"});
    return b.Build();
}

// An address book as the handheld keeps it: categories and field labels in the app info, a
// sort info, and three people, one of them in Family.
Bytes WithSortInfo() {
    PdbBuilder b = Base("AddressDB", "DATA", "addr");
    Bytes app = Categories({"Unfiled", "Family", "Work", "QuickList"});
    const Bytes labels = AddressLabels();
    app.insert(app.end(), labels.begin() + 276, labels.end()); // after their category block
    b.App(app);
    Bytes sort;
    for (int i = 0; i < 4; ++i) {
        sort.push_back(static_cast<std::uint8_t>(3 - i));
    }
    b.Sort(sort);
    b.Record(AddressRecord({{0, "Lovelace"}, {1, "Ada"}, {2, "Analytical Engines Ltd"},
                            {3, "+44 20 7946 0001"}, {4, "ada@example.com"}, {9, "London"}},
                           {0, 4, 7, 1, 2}, 0));
    b.Record(AddressRecord({{0, "Hopper"}, {1, "Grace"}, {2, "Compilers Inc."},
                            {3, "+1 202 555 0142"}, {9, "Arlington"}, {13, "Rear Admiral"}},
                           {0, 4, 7, 1, 2}, 0));
    b.Record(AddressRecord({{0, "Turing"}, {1, "Alan"}, {2, "Bletchley Park"},
                            {3, "+44 1908 640404"}, {18, "Chess on Sundays."}},
                           {1, 4, 7, 0, 2}, 0));
    Bytes file = b.Build();
    SetAttributes(file, 0, 0x02); // Work
    SetAttributes(file, 1, 0x02);
    SetAttributes(file, 2, 0x01); // Family
    return file;
}

Bytes ManyRecords() {
    PdbBuilder b = Base("Readings", "Data", "Logr");
    for (int i = 0; i < 3000; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "reading %04d: %3d.%d C", i + 1, 15 + i % 12, i % 10);
        b.Record(Cstring(line));
    }
    return b.Build();
}

// Records 2 and 3 swapped in the list (record 2's size comes out negative) and record 5
// pointing past the end of the file.
Bytes Damaged() {
    PdbBuilder b = Base("Damaged", "DATA", "memo");
    AddTextRecords(b, {"first", "second record", "third", "fourth", "fifth"});
    Bytes bytes = b.Build();
    for (int i = 0; i < 4; ++i) {
        std::swap(bytes[78 + 8 + i], bytes[78 + 16 + i]);
    }
    PutBE32(bytes, 78 + 32, 0x00010000);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vexlin-samples FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const std::pair<const char*, Bytes> samples[] = {{"Memos.pdb", Memos()},
                                                     {"Addresses.pdb", WithSortInfo()},
                                                     {"Readings.pdb", ManyRecords()},
                                                     {"Damaged.pdb", Damaged()}};
    for (const auto& [name, bytes] : samples) {
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "vexlin-samples: cannot write %s\n", (folder / name).c_str());
            return 1;
        }
    }
    return 0;
}
