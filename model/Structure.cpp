// Reading the entry list and checking the structure: every finding, never stopping at the first.
#include "Structure.h"
#include "Hex.h"
#include "FindingCodes.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

namespace vexlin {

namespace {

struct FlagName {
    std::uint32_t Bit;
    std::string_view Name;
};

constexpr FlagName DatabaseFlags[] = {
    {0x0001, "resource"},           {0x0002, "read-only"},          {0x0004, "app info dirty"},
    {0x0008, "backup"},             {0x0010, "OK to install newer"}, {0x0020, "reset after install"},
    {0x0040, "copy prevention"},    {0x0080, "stream"},             {0x0100, "hidden"},
    {0x0200, "launchable data"},    {0x0400, "recyclable"},         {0x0800, "bundle"},
    {0x8000, "open"},
};

constexpr FlagName RecordFlags[] = {
    {0x80, "delete"}, {0x40, "dirty"}, {0x20, "busy"}, {0x10, "secret"}};

template <std::size_t N>
std::vector<std::string_view> NamesOf(std::uint32_t value, const FlagName (&flags)[N]) {
    std::vector<std::string_view> names;
    for (const FlagName& flag : flags) {
        if ((value & flag.Bit) != 0) {
            names.push_back(flag.Name);
        }
    }
    return names;
}

// Seconds from 1904-01-01 to 1970-01-01.
constexpr std::int64_t PalmEpochOffset = 2082844800;

std::uint32_t BE32(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}


std::string OffsetText(std::uint32_t offset) {
    return Hex(offset);
}

// From an unsigned offset to the next (or to the end of the file), exactly.
std::int64_t SizeBetween(std::uint64_t start, std::uint64_t end) noexcept {
    return static_cast<std::int64_t>(end) - static_cast<std::int64_t>(start);
}

class Checker {
  public:
    Checker(const DatabaseImage& image, std::uint64_t fileSize, std::string_view fileName)
        : Image(image), Bytes(ImageBytes(image)), FileEnd(fileSize),
          Whole(fileSize <= static_cast<std::uint64_t>(ImageCapacity)), FileName(fileName) {}

    Structure Run() {
        S.FileSize = FileEnd;
        S.Kind = KindOf(Image);
        S.EntryWidth = S.Kind == DatabaseKind::Resource ? ResourceEntryWidth : RecordEntryWidth;
        const std::uint32_t count = Image.Header.NumberOfRecords;
        S.ListEnd = RecordListOffset + S.EntryWidth * count;
        Word = S.Kind == DatabaseKind::Resource ? "resource" : "record";

        CheckHeader(count);
        ReadEntries(count);
        DeriveAreaSizes();
        CheckEntries();
        CheckAreas();
        CheckGaps();
        std::stable_sort(S.Findings.begin(), S.Findings.end(),
                         [](const Finding& a, const Finding& b) { return a.Offset < b.Offset; });
        return std::move(S);
    }

  private:
    // The entries, record or resource alike.
    [[nodiscard]] std::size_t Count() const noexcept {
        return S.Kind == DatabaseKind::Resource ? S.Resources.size() : S.Records.size();
    }
    [[nodiscard]] std::uint32_t At(std::size_t i) const noexcept {
        return RecordListOffset + S.EntryWidth * static_cast<std::uint32_t>(i);
    }
    [[nodiscard]] bool InFile(std::size_t i) const noexcept { return At(i) + S.EntryWidth <= FileEnd; }
    [[nodiscard]] std::uint32_t OffsetOf(std::size_t i) const noexcept {
        return S.Kind == DatabaseKind::Resource ? S.Resources[i].Offset : S.Records[i].Offset;
    }
    [[nodiscard]] std::int64_t SizeOf(std::size_t i) const noexcept {
        return S.Kind == DatabaseKind::Resource ? S.Resources[i].Size : S.Records[i].Size;
    }
    // The entries wholly in the file: the ones the checks look at.
    [[nodiscard]] std::size_t CountInFile() const noexcept {
        std::size_t n = 0;
        while (n < Count() && InFile(n)) {
            ++n;
        }
        return n;
    }

    // "lies inside the header and the entry list ..." or "lies past the end ...", or nothing.
    [[nodiscard]] std::optional<std::pair<std::string_view, std::string>> Misplaced(
        std::uint32_t offset, std::string_view inHeader, std::string_view pastEnd) const {
        if (offset < S.ListEnd) {
            return std::pair{inHeader, " lies inside the header and the entry list, which end at " +
                                           Hex(S.ListEnd)};
        }
        if (offset > FileEnd) {
            return std::pair{pastEnd, " lies past the end of the file at " + Hex(FileEnd)};
        }
        return std::nullopt;
    }

    void Add(std::uint32_t offset, Severity level, std::string_view code, std::string message) {
        (level == Severity::Error ? S.Errors : level == Severity::Warning ? S.Warnings : S.Notes)++;
        S.Findings.push_back({offset, level, code, std::move(message)});
    }

    [[nodiscard]] std::string Label(std::size_t index) const {
        return Word + " " + std::to_string(index + 1);
    }

    void CheckHeader(std::uint32_t count) {
        const DatabaseHeader& h = Image.Header;
        if (FileEnd < sizeof(DatabaseHeader)) {
            Add(0, Severity::Error, codes::HeaderShort.Code,
                "the file is " + std::to_string(FileEnd) +
                    " bytes, shorter than the 78-byte header; the rest reads as zero");
        }
        if (std::memchr(h.Name, 0, sizeof h.Name) == nullptr) {
            Add(0, Severity::Warning, codes::NameUnterminated.Code,
                "the name fills all 32 bytes with no zero byte to end it");
        }
        if (S.Kind == DatabaseKind::Resource) {
            Add(offsetof(DatabaseHeader, Attributes), Severity::Note, codes::ResourceDatabase.Code,
                "attribute 0x0001 marks a resource database: its entry list holds 10-byte "
                "resource entries, which the record views read as 8-byte record entries");
        }
        CheckExtension();
        if (h.NextRecordListID != 0) {
            Add(offsetof(DatabaseHeader, NextRecordListID), Severity::Warning, codes::NextList.Code,
                "NextRecordListID is " + std::to_string(h.NextRecordListID) +
                    ": it names a further entry list, which nothing here follows");
        }
        if (count != 0 && S.ListEnd > FileEnd) {
            const std::uint64_t whole =
                FileEnd <= RecordListOffset ? 0 : (FileEnd - RecordListOffset) / S.EntryWidth;
            Add(static_cast<std::uint32_t>(RecordListOffset + S.EntryWidth * whole),
                Severity::Error, codes::ListPastEnd.Code,
                "the entry list of " + std::to_string(count) + " " + std::to_string(S.EntryWidth) +
                    "-byte entries ends at " + Hex(S.ListEnd) + ", past the end of the file at " +
                    Hex(FileEnd) + "; entries " + std::to_string(whole + 1) + " to " +
                    std::to_string(count) + " are not in the file and read as zero");
        }
    }

    void CheckExtension() {
        std::string extension;
        if (const auto dot = FileName.rfind('.');
            dot != std::string_view::npos && FileName.find('/', dot) == std::string_view::npos) {
            for (const char c : FileName.substr(dot + 1)) {
                extension += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            }
        }
        if (extension == "prc" && S.Kind == DatabaseKind::Record) {
            Add(0, Severity::Note, codes::ExtensionMismatch.Code,
                "a .prc file holding a record database (attribute 0x0001 is not set)");
        } else if (extension == "pdb" && S.Kind == DatabaseKind::Resource) {
            Add(0, Severity::Note, codes::ExtensionMismatch.Code,
                "a .pdb file holding a resource database (attribute 0x0001 is set)");
        }
    }

    // An entry's bytes as far as the file holds them, zero beyond (as the image reads them);
    // nothing past the end of the file is read.
    std::array<std::uint8_t, ResourceEntryWidth> EntryBytes(std::uint32_t at) const {
        std::array<std::uint8_t, ResourceEntryWidth> entry{};
        if (at < FileEnd) {
            const auto inFile = static_cast<std::size_t>(std::min<std::uint64_t>(S.EntryWidth, FileEnd - at));
            std::memcpy(entry.data(), Bytes + at, inFile); // at most 655,428: inside the image
        }
        return entry;
    }

    void ReadEntries(std::uint32_t count) {
        const bool resources = S.Kind == DatabaseKind::Resource;
        (resources ? S.Resources.reserve(count) : S.Records.reserve(count));
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto entry = EntryBytes(At(i));
            if (resources) {
                ResourceInfo r;
                r.EntryOffset = At(i);
                std::memcpy(r.Type, entry.data(), 4);
                r.ID = static_cast<std::uint16_t>(entry[4] << 8 | entry[5]);
                r.Offset = BE32(entry.data() + 6);
                S.Resources.push_back(r);
            } else {
                S.Records.push_back({At(i), BE32(entry.data()), 0,
                                     entry[4], BE32(entry.data() + 4) & 0xFFFFFF});
            }
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t end = i + 1 < count ? OffsetOf(i + 1) : FileEnd;
            const std::int64_t size = SizeBetween(OffsetOf(i), end);
            (resources ? S.Resources[i].Size : S.Records[i].Size) = size;
        }
    }

    // The info areas' sizes: as the header report derives them (while the file fits the image,
    // exactly its values; beyond, its arithmetic to the true end of the file), and from the
    // unsigned offsets and the entry list as read here.
    void DeriveAreaSizes() {
        const DatabaseHeader& h = Image.Header;
        if (Whole) {
            S.AppInfoSize = Image.AppInfoSize;
            S.SortInfoSize = Image.SortInfoSize;
        } else {
            const std::int64_t first = Image.Header.NumberOfRecords != 0
                                           ? std::int64_t{Image.FirstRecordOffset}
                                           : static_cast<std::int64_t>(FileEnd);
            S.SortInfoSize = h.SortInfoArea != 0 ? first - h.SortInfoArea : 0;
            S.AppInfoSize = h.AppInfoArea != 0
                                ? (h.SortInfoArea != 0 ? std::int64_t{h.SortInfoArea} : first) - h.AppInfoArea
                                : 0;
        }
        const auto app = static_cast<std::uint32_t>(h.AppInfoArea);
        const auto sort = static_cast<std::uint32_t>(h.SortInfoArea);
        const std::uint64_t end = Count() != 0 ? OffsetOf(0) : FileEnd;
        if (sort != 0) {
            S.SortInfoLength = SizeBetween(sort, end);
        }
        if (app != 0) {
            S.AppInfoLength = SizeBetween(app, sort != 0 ? sort : end);
        }
    }

    void CheckEntries() {
        const std::size_t count = CountInFile();
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t offset = OffsetOf(i);
            if (const auto problem =
                    Misplaced(offset, codes::RecordInHeader.Code, codes::RecordPastEnd.Code)) {
                Add(At(i), Severity::Error, problem->first,
                    Label(i) + ": data offset " + OffsetText(offset) + problem->second);
            }
            if (i > 0 && offset < OffsetOf(i - 1)) {
                Add(At(i), Severity::Error, codes::RecordOutOfOrder.Code,
                    Label(i) + ": data offset " + OffsetText(offset) + " is below " +
                        Label(i - 1) + "'s " + OffsetText(OffsetOf(i - 1)) + ", so " +
                        Label(i - 1) + "'s size is " + std::to_string(SizeOf(i - 1)));
            }
            if (SizeOf(i) == 0) {
                Add(At(i), Severity::Note, codes::RecordEmpty.Code,
                    Label(i) + " is empty: its data offset " + OffsetText(offset) +
                        (i + 1 < Count() ? " equals the next entry's" : " is the end of the file"));
            }
        }
        CheckDuplicates(count);
    }

    void CheckDuplicates(std::size_t count) {
        // Keys in entry order, sorted; each repeat is reported at its later entry, against the
        // first entry with that key.
        // Unique ID 0 is left out: desktop tools write it for every record, and the device
        // hands out IDs when it installs the database.
        std::vector<std::pair<std::uint64_t, std::uint32_t>> keys;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (S.Kind == DatabaseKind::Resource) {
                const auto* type = reinterpret_cast<const std::uint8_t*>(S.Resources[i].Type);
                keys.emplace_back(std::uint64_t{BE32(type)} << 16 | S.Resources[i].ID, i);
            } else if (S.Records[i].UniqueID != 0) {
                keys.emplace_back(S.Records[i].UniqueID, i);
            }
        }
        std::sort(keys.begin(), keys.end());
        std::size_t first = 0; // where the current run of equal keys starts
        for (std::size_t k = 1; k < keys.size(); ++k) {
            if (keys[k].first != keys[k - 1].first) {
                first = k;
                continue;
            }
            const std::uint32_t later = keys[k].second;
            const std::uint32_t earlier = keys[first].second;
            if (S.Kind == DatabaseKind::Resource) {
                const ResourceInfo& r = S.Resources[later];
                Add(At(later), Severity::Warning, codes::DuplicateResource.Code,
                    Label(later) + " has type '" + CodeText(r.Type) + "' and ID " +
                        std::to_string(r.ID) + ", as " + Label(earlier) + " has");
            } else {
                char id[8];
                std::snprintf(id, sizeof id, "%06x", static_cast<unsigned>(keys[k].first));
                Add(At(later), Severity::Warning, codes::DuplicateUniqueId.Code,
                    Label(later) + " has unique ID " + id + ", as " + Label(earlier) + " has");
            }
        }
    }

    void CheckArea(std::uint32_t offset, std::uint32_t field, const char* name) {
        if (offset == 0) {
            return;
        }
        if (const auto problem =
                Misplaced(offset, codes::AreaInHeader.Code, codes::AreaPastEnd.Code)) {
            Add(field, Severity::Error, problem->first,
                std::string("the ") + name + " area's offset " + OffsetText(offset) +
                    problem->second);
        }
    }

    void CheckAreas() {
        const DatabaseHeader& h = Image.Header;
        const auto app = static_cast<std::uint32_t>(h.AppInfoArea);
        const auto sort = static_cast<std::uint32_t>(h.SortInfoArea);
        CheckArea(app, offsetof(DatabaseHeader, AppInfoArea), "app info");
        CheckArea(sort, offsetof(DatabaseHeader, SortInfoArea), "sort info");
        struct Start {
            std::uint32_t Offset;
            std::uint32_t Field;
            const char* Name;
        };
        std::vector<Start> starts;
        if (app != 0) {
            starts.push_back({app, offsetof(DatabaseHeader, AppInfoArea), "the app info area"});
        }
        if (sort != 0) {
            starts.push_back({sort, offsetof(DatabaseHeader, SortInfoArea), "the sort info area"});
        }
        if (Count() != 0 && InFile(0)) {
            starts.push_back({OffsetOf(0), RecordListOffset, "the first record"});
        }
        for (std::size_t i = 1; i < starts.size(); ++i) {
            if (starts[i].Offset < starts[i - 1].Offset) {
                Add(starts[i].Field, Severity::Warning, codes::AreaOutOfOrder.Code,
                    std::string(starts[i].Name) + " at " + OffsetText(starts[i].Offset) +
                        " starts before " + starts[i - 1].Name + " at " +
                        OffsetText(starts[i - 1].Offset) +
                        ": app info, sort info and records are not in that order, so " +
                        starts[i - 1].Name + "'s size comes out negative");
            }
        }
    }

    // Bytes after the entry list (and its customary 2-byte pad) that no area or record covers.
    void CheckGaps() {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> covered;
        const auto cover = [&](std::uint64_t from, std::int64_t size) {
            if (from > 0 && size > 0) {
                covered.emplace_back(from, std::min(FileEnd, from + static_cast<std::uint64_t>(size)));
            }
        };
        const DatabaseHeader& h = Image.Header;
        cover(static_cast<std::uint32_t>(h.AppInfoArea), S.AppInfoLength);
        cover(static_cast<std::uint32_t>(h.SortInfoArea), S.SortInfoLength);
        for (std::size_t i = 0; i < Count(); ++i) {
            cover(OffsetOf(i), SizeOf(i));
        }
        if (S.ListEnd >= FileEnd) {
            return;
        }
        std::sort(covered.begin(), covered.end());
        std::uint64_t cursor = S.ListEnd;
        const auto gap = [&](std::uint64_t from, std::uint64_t to) {
            if (from == S.ListEnd) {
                from = std::min(to, from + 2); // the pad after the list
            }
            if (to > from) {
                Add(static_cast<std::uint32_t>(std::min<std::uint64_t>(from, UINT32_MAX)),
                    Severity::Note, "gap",
                    std::to_string(to - from) + " bytes from " + Hex(from) + " to " +
                        Hex(to - 1) + " that no area or record points to");
            }
        };
        for (const auto& [from, to] : covered) {
            if (from > cursor) {
                gap(cursor, std::min(from, FileEnd));
            }
            cursor = std::max(cursor, to);
            if (cursor >= FileEnd) {
                break;
            }
        }
        if (cursor < FileEnd) {
            gap(cursor, FileEnd);
        }
    }

    const DatabaseImage& Image;
    const std::uint8_t* Bytes;
    std::uint64_t FileEnd;
    bool Whole; // the image holds the whole file
    std::string_view FileName;
    std::string Word;
    Structure S;
};

} // namespace

DatabaseKind KindOf(const DatabaseImage& image) noexcept {
    return (image.Header.Attributes & ResourceDatabaseAttribute) != 0 ? DatabaseKind::Resource
                                                                      : DatabaseKind::Record;
}

std::string_view KindName(DatabaseKind kind) noexcept {
    return kind == DatabaseKind::Resource ? "resource" : "record";
}

std::vector<std::string_view> DatabaseAttributeNames(std::uint16_t attributes) {
    return NamesOf(attributes, DatabaseFlags);
}

std::vector<std::string_view> RecordAttributeNames(std::uint8_t attributes) {
    return NamesOf(attributes, RecordFlags);
}

DecodedDate DecodeDate(std::int32_t raw) noexcept {
    const auto value = static_cast<std::uint32_t>(raw);
    // Under a day past 1970 is no date a database was ever made, changed or backed up on:
    // desktops that meant "never" wrote their time zone's offset from the epoch's midnight
    // (28800, 8 hours, from a desktop at UTC-8).
    constexpr std::uint32_t Day = 24 * 60 * 60;
    if (value < Day) {
        return {};
    }
    if ((value & 0x80000000u) != 0) {
        return {DateEpoch::PalmOS1904, std::int64_t{value} - PalmEpochOffset};
    }
    return {DateEpoch::Unix1970, std::int64_t{value}};
}

std::string CodeText(const char (&code)[4]) {
    std::string text;
    for (const char c : code) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            AppendByteEscape(text, byte);
        }
    }
    return text;
}

std::string_view EpochName(DateEpoch epoch) noexcept {
    switch (epoch) {
    case DateEpoch::PalmOS1904: return "1904";
    case DateEpoch::Unix1970: return "1970";
    case DateEpoch::Never: break;
    }
    return "never";
}

namespace {

std::string FormatDate(std::int64_t unixSeconds, const char* pattern) {
    using namespace std::chrono;
    const sys_seconds time{seconds{unixSeconds}};
    const sys_days day = floor<days>(time);
    const year_month_day ymd{day};
    const hh_mm_ss hms{time - day};
    char text[40];
    std::snprintf(text, sizeof text, pattern, static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count()));
    return text;
}

} // namespace

std::string DecodedDate::Text() const {
    return Epoch == DateEpoch::Never ? "never"
                                     : FormatDate(UnixSeconds, "%04d-%02u-%02u %02d:%02d:%02d");
}

std::string DecodedDate::Iso() const {
    return Epoch == DateEpoch::Never ? ""
                                     : FormatDate(UnixSeconds, "%04d-%02u-%02uT%02d:%02d:%02dZ");
}

Structure ReadStructure(const DatabaseImage& image, std::uint64_t fileSize,
                        std::string_view fileName) {
    const std::int32_t loaded = image.FileSize; // copied: the packed field must not be bound
    const std::uint64_t size = std::max<std::uint64_t>(fileSize, static_cast<std::uint64_t>(std::max(loaded, 0)));
    return Checker(image, size, fileName).Run();
}

} // namespace vexlin
