// Builds database files byte by byte for the tests: a well-formed layout from parts, plus
// helpers to poke big-endian values anywhere for malformed ones.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace vexlin::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutBE(Bytes& b, std::size_t offset, std::uint32_t value, int width) {
    if (b.size() < offset + width) {
        b.resize(offset + width);
    }
    for (int i = 0; i < width; ++i) {
        b[offset + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
    }
}
inline void PutBE32(Bytes& b, std::size_t offset, std::uint32_t v) { PutBE(b, offset, v, 4); }
inline void PutBE16(Bytes& b, std::size_t offset, std::uint16_t v) { PutBE(b, offset, v, 2); }

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Header fields, then app info, sort info and records laid out after the record list and
// its 2-byte gap; the offsets are filled in by Build().
struct PdbBuilder {
    std::string Name = "Test";
    std::uint16_t Attributes = 0;
    std::uint16_t Version = 0;
    std::uint32_t CreationDate = 0;
    std::uint32_t ModificationDate = 0;
    std::uint32_t LastBackupDate = 0;
    std::uint32_t ModificationNumber = 0;
    std::string Type = "DATA";
    std::string Creator = "test";
    std::uint32_t UniqueIDSeed = 0;
    std::uint32_t NextRecordListID = 0;
    bool HasAppInfo = false;
    bool HasSortInfo = false;
    Bytes AppInfo;
    Bytes SortInfo;
    std::vector<Bytes> Records;

    PdbBuilder& App(Bytes b) { HasAppInfo = true; AppInfo = std::move(b); return *this; }
    PdbBuilder& Sort(Bytes b) { HasSortInfo = true; SortInfo = std::move(b); return *this; }
    PdbBuilder& Record(Bytes b) { Records.push_back(std::move(b)); return *this; }

    [[nodiscard]] Bytes Build() const {
        Bytes b(78, 0);
        for (std::size_t i = 0; i < Name.size() && i < 32; ++i) {
            b[i] = static_cast<std::uint8_t>(Name[i]);
        }
        PutBE16(b, 32, Attributes);
        PutBE16(b, 34, Version);
        PutBE32(b, 36, CreationDate);
        PutBE32(b, 40, ModificationDate);
        PutBE32(b, 44, LastBackupDate);
        PutBE32(b, 48, ModificationNumber);
        for (std::size_t i = 0; i < 4; ++i) {
            b[60 + i] = i < Type.size() ? static_cast<std::uint8_t>(Type[i]) : 0;
            b[64 + i] = i < Creator.size() ? static_cast<std::uint8_t>(Creator[i]) : 0;
        }
        PutBE32(b, 68, UniqueIDSeed);
        PutBE32(b, 72, NextRecordListID);
        PutBE16(b, 76, static_cast<std::uint16_t>(Records.size()));
        std::size_t at = 78 + 8 * Records.size() + 2;
        b.resize(at, 0);
        if (HasAppInfo) {
            PutBE32(b, 52, static_cast<std::uint32_t>(at));
            b.insert(b.end(), AppInfo.begin(), AppInfo.end());
            at += AppInfo.size();
        }
        if (HasSortInfo) {
            PutBE32(b, 56, static_cast<std::uint32_t>(at));
            b.insert(b.end(), SortInfo.begin(), SortInfo.end());
            at += SortInfo.size();
        }
        for (std::size_t i = 0; i < Records.size(); ++i) {
            PutBE32(b, 78 + 8 * i, static_cast<std::uint32_t>(at));
            PutBE32(b, 78 + 8 * i + 4, static_cast<std::uint32_t>(i + 1)); // unique ID
            b.insert(b.end(), Records[i].begin(), Records[i].end());
            at += Records[i].size();
        }
        return b;
    }
};

// A file in the system's temporary folder, removed when the object goes.
class TempFile {
  public:
    explicit TempFile(const Bytes& bytes, const std::string& stem = "vexlin-test")
        : Path(std::filesystem::temp_directory_path() /
               (stem + "-" + std::to_string(Counter()++) + "-" + std::to_string(::getpid()) +
                ".pdb")) {
        std::ofstream out(Path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove(Path, ec);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    [[nodiscard]] std::string path() const { return Path.string(); }

  private:
    static int& Counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path Path;
};

} // namespace vexlin::test
