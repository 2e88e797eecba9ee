// The text outputs: the four dump sections, and the inspection modes --info, --list, --check
// and --summary.
#include "Escape.h"
#include "Hex.h"
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


std::string Joined(const std::vector<std::string_view>& names) {
    std::string text;
    for (const std::string_view name : names) {
        text += (text.empty() ? "" : ", ") + std::string(name);
    }
    return text;
}

std::string DateLine(std::int32_t raw) {
    const DecodedDate date = DecodeDate(raw);
    const std::string seconds = std::to_string(static_cast<std::uint32_t>(raw));
    switch (date.Epoch) {
    case DateEpoch::PalmOS1904:
        return date.Text() + " UTC (" + seconds + ": seconds since 1904-01-01, Palm OS)";
    case DateEpoch::Unix1970:
        return date.Text() + " UTC (" + seconds + ": seconds since 1970-01-01)";
    case DateEpoch::Never: break;
    }
    return "never (" + seconds + ")";
}

std::string AreaLine(std::int32_t offset, std::int64_t size) {
    if (offset == 0) {
        return "none";
    }
    return "at " + Hex(static_cast<std::uint32_t>(offset)) + ", " + std::to_string(size) +
           " bytes";
}

void Labelled(StreamTarget& out, const char* label, const std::string& value) {
    char padded[32];
    std::snprintf(padded, sizeof padded, " %-21s ", label);
    out.Write(padded);
    out.Add(value);
}

// A text field of the header, escaped for the terminal.
std::string Text(const char* field, std::size_t width) {
    return Escaped(FieldUtf8(field, width));
}

} // namespace

void PrintHeaderSection(StreamTarget& out, const DatabaseImage& image, bool terminal) {
    out.Add("[Header]");
    for (const std::string& line : HeaderReport(image)) {
        out.Add(terminal ? ControlsEscaped(line) : line);
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
    Labelled(out, "Name:", Text(h.Name, sizeof h.Name));
    Labelled(out, "Type:", Text(h.DataBaseType, sizeof h.DataBaseType));
    Labelled(out, "Creator:", Text(h.CreatorID, sizeof h.CreatorID));
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
                 "-byte entries, the list ends at " + Hex(s.ListEnd) + ")");
    Labelled(out, "File size:", std::to_string(s.FileSize) + " bytes");
    Labelled(out, "App info:", AreaLine(h.AppInfoArea, s.AppInfoLength));
    Labelled(out, "Sort info:", AreaLine(h.SortInfoArea, s.SortInfoLength));
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
                          CodeText(r.Type).c_str(), static_cast<unsigned>(r.ID), HexNumber(r.Offset).c_str(),
                          static_cast<long long>(r.Size));
            out.Add(line);
        }
        return;
    }
    out.Add("     #   offset        size attr flags                    cat unique id");
    std::size_t n = 0;
    for (const RecordInfo& r : s.Records) {
        std::snprintf(line, sizeof line, "%6zu %8s %11lld 0x%02x %-24s %3u %06x", ++n,
                      HexNumber(r.Offset).c_str(), static_cast<long long>(r.Size), static_cast<unsigned>(r.Attributes),
                      Joined(RecordAttributeNames(r.Attributes)).c_str(),
                      static_cast<unsigned>(r.Category()), static_cast<unsigned>(r.UniqueID));
        out.Add(line);
    }
}

std::string FindingLine(const Finding& f) {
    return HexNumber(f.Offset) + " " + std::string(SeverityName(f.Level)) + " " + std::string(f.Code) +
           " " + ControlsEscaped(f.Message);
}

void PrintCheck(StreamTarget& out, const Structure& s) {
    out.Add("[Check]");
    for (const Finding& f : s.Findings) {
        out.Add(FindingLine(f));
    }
    const auto plural = [](std::size_t n, const char* word) {
        return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
    };
    out.Add(plural(s.Errors, "error") + ", " + plural(s.Warnings, "warning") + ", " +
            plural(s.Notes, "note"));
}

void PrintSummaryTitles(StreamTarget& out) {
    out.Add("file\tname\ttype\tcreator\tkind\trecords\tsize\tmodified\terrors\twarnings\terror");
}

void PrintSummaryRow(StreamTarget& out, const std::string& file, const DatabaseImage& image,
                     const Structure& s) {
    const DatabaseHeader& h = image.Header;
    out.Add(Escaped(file) + "\t" + Text(h.Name, sizeof h.Name) + "\t" + Text(h.DataBaseType, 4) +
            "\t" + Text(h.CreatorID, 4) + "\t" + std::string(KindName(s.Kind)) + "\t" +
            std::to_string(h.NumberOfRecords) + "\t" + std::to_string(s.FileSize) + "\t" +
            DecodeDate(h.ModificationDate).Text() + "\t" + std::to_string(s.Errors) + "\t" +
            std::to_string(s.Warnings) + "\t");
}

void PrintSummaryError(StreamTarget& out, const std::string& file, const std::string& error) {
    out.Add(Escaped(file) + "\t\t\t\t\t\t\t\t\t\t" + Escaped(error));
}

} // namespace vexlin::dump
