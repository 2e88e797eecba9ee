// The text outputs: the four dump sections, and the inspection modes --info, --list, --check
// and --summary.
#include "HeaderReport.h"
#include "Modes.h"
#include "RecordView.h"

#include <cstdio>

namespace vexlin::dump {

namespace {

void PrintArea(StreamTarget& out, const DatabaseImage& image,
               const std::optional<DumpStretch>& stretch, const char* absentText) {
    if (stretch) {
        HexDump(out, image, *stretch);
    } else {
        out.Add(absentText);
    }
}

void PrintRecord(StreamTarget& out, const DatabaseImage& image, std::int32_t index) {
    const Extent extent = RecordExtent(image, index);
    out.Add(RecordStatusText(index, RecordCount(image)));
    HexDump(out, image, extent.Start, extent.Size);
}

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%04llx", static_cast<unsigned long long>(value));
    return text;
}

std::string Joined(const std::vector<std::string_view>& names) {
    std::string text;
    for (const std::string_view name : names) {
        text += (text.empty() ? "" : ", ") + std::string(name);
    }
    return text;
}

std::string DateLine(std::int32_t raw) {
    const DecodedDate date = DecodeDate(raw);
    switch (date.Epoch) {
    case DateEpoch::PalmOS1904:
        return date.Text() + " UTC (" + std::to_string(raw) + ": seconds since 1904-01-01, Palm OS)";
    case DateEpoch::Unix1970:
        return date.Text() + " UTC (" + std::to_string(raw) + ": seconds since 1970-01-01)";
    case DateEpoch::Never: break;
    }
    return "never (0)";
}

std::string AreaLine(std::int32_t offset, std::int64_t size) {
    if (offset == 0) {
        return "none";
    }
    return "at 0x" + Hex(static_cast<std::uint32_t>(offset)) + ", " + std::to_string(size) +
           " bytes";
}

void Labelled(StreamTarget& out, const char* label, const std::string& value) {
    char padded[32];
    std::snprintf(padded, sizeof padded, " %-21s ", label);
    out.Write(padded);
    out.Add(value);
}

// A field of a tab-separated row: tabs, line ends and backslashes escaped.
std::string Field(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace

void PrintHeaderSection(StreamTarget& out, const DatabaseImage& image) {
    out.Add("[Header]");
    for (const std::string& line : HeaderReport(image)) {
        out.Add(line);
    }
}

void PrintAreaSections(StreamTarget& out, const DatabaseImage& image, const DumpSections& which) {
    if (which.AppInfo) {
        out.Add("[App Info]");
        PrintArea(out, image, AppInfoStretch(image), NoAppInfoText);
    }
    if (which.SortInfo) {
        out.Add("[Sort Info]");
        PrintArea(out, image, SortInfoStretch(image), NoSortInfoText);
    }
}

void PrintRecordsSection(StreamTarget& out, const DatabaseImage& image, const DumpSections& which) {
    if (!which.Records && !which.Record) {
        return;
    }
    out.Add("[Records]");
    if (which.Record) {
        PrintRecord(out, image, *which.Record);
    } else {
        for (std::int32_t i = 0; i < RecordCount(image); ++i) {
            PrintRecord(out, image, i);
        }
    }
}

void PrintInfo(StreamTarget& out, const DatabaseImage& image, const Structure& s) {
    const DatabaseHeader& h = image.Header;
    out.Add("[Info]");
    Labelled(out, "Name:", FieldUtf8(h.Name, sizeof h.Name));
    Labelled(out, "Type:", FieldUtf8(h.DataBaseType, sizeof h.DataBaseType));
    Labelled(out, "Creator:", FieldUtf8(h.CreatorID, sizeof h.CreatorID));
    Labelled(out, "Kind:", std::string(KindName(s.Kind)) + " database");
    const std::string names = Joined(DatabaseAttributeNames(h.Attributes));
    Labelled(out, "Attributes:", AttributesHex(h.Attributes) + (names.empty() ? "" : " " + names));
    Labelled(out, "Version:", std::to_string(h.Version));
    Labelled(out, "Modification number:", std::to_string(h.ModificationNumber));
    Labelled(out, "Created:", DateLine(h.CreationDate));
    Labelled(out, "Modified:", DateLine(h.ModificationDate));
    Labelled(out, "Last backup:", DateLine(h.LastBackupDate));
    Labelled(out, "Unique ID seed:", std::to_string(h.UniqueIDSeed));
    Labelled(out, "Next list ID:", std::to_string(h.NextRecordListID));
    Labelled(out, s.Kind == DatabaseKind::Resource ? "Resources:" : "Records:",
             std::to_string(h.NumberOfRecords) + " (" + std::to_string(s.EntryWidth) +
                 "-byte entries, the list ends at 0x" + Hex(s.ListEnd) + ")");
    Labelled(out, "File size:", std::to_string(s.FileSize) + " bytes");
    Labelled(out, "App info:", AreaLine(h.AppInfoArea, s.AppInfoSize));
    Labelled(out, "Sort info:", AreaLine(h.SortInfoArea, s.SortInfoSize));
}

void PrintList(StreamTarget& out, const Structure& s) {
    char line[160];
    out.Add("[List]");
    if (s.Kind == DatabaseKind::Resource) {
        out.Add("resource database: 10-byte resource entries");
        out.Add("     # type       id   offset        size");
        std::size_t n = 0;
        for (const ResourceInfo& r : s.Resources) {
            std::snprintf(line, sizeof line, "%6zu %-4s %8u %8s %11lld", ++n,
                          FieldUtf8(r.Type, 4).c_str(), static_cast<unsigned>(r.ID),
                          Hex(static_cast<std::uint32_t>(r.Offset)).c_str(),
                          static_cast<long long>(r.Size));
            out.Add(line);
        }
        return;
    }
    out.Add("     #   offset        size attr flags                    cat unique id");
    std::size_t n = 0;
    for (const RecordInfo& r : s.Records) {
        std::snprintf(line, sizeof line, "%6zu %8s %11lld 0x%02x %-24s %3u %06x", ++n,
                      Hex(static_cast<std::uint32_t>(r.Offset)).c_str(),
                      static_cast<long long>(r.Size), static_cast<unsigned>(r.Attributes),
                      Joined(RecordAttributeNames(r.Attributes)).c_str(),
                      static_cast<unsigned>(r.Category()), static_cast<unsigned>(r.UniqueID));
        out.Add(line);
    }
}

void PrintCheck(StreamTarget& out, const Structure& s) {
    out.Add("[Check]");
    for (const Finding& f : s.Findings) {
        out.Add(Hex(f.Offset) + " " + std::string(SeverityName(f.Level)) + " " +
                std::string(f.Code) + " " + f.Message);
    }
    const auto plural = [](std::size_t n, const char* word) {
        return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
    };
    out.Add(plural(s.Errors, "error") + ", " + plural(s.Warnings, "warning") + ", " +
            plural(s.Notes, "note"));
}

void PrintSummaryTitles(StreamTarget& out) {
    out.Add("file\tname\ttype\tcreator\tkind\trecords\tsize\tmodified\terrors\twarnings");
}

void PrintSummaryRow(StreamTarget& out, const std::string& file, const DatabaseImage& image,
                     const Structure& s) {
    const DatabaseHeader& h = image.Header;
    out.Add(Field(file) + "\t" + Field(FieldUtf8(h.Name, sizeof h.Name)) + "\t" +
            Field(FieldUtf8(h.DataBaseType, 4)) + "\t" + Field(FieldUtf8(h.CreatorID, 4)) + "\t" +
            std::string(KindName(s.Kind)) + "\t" + std::to_string(h.NumberOfRecords) + "\t" +
            std::to_string(s.FileSize) + "\t" + DecodeDate(h.ModificationDate).Text() + "\t" +
            std::to_string(s.Errors) + "\t" + std::to_string(s.Warnings));
}

} // namespace vexlin::dump
