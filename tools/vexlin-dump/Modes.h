// vexlin-dump's outputs for one loaded file: the dump sections (as the viewer shows them) and
// the inspection modes (info, list, check, summary, JSON).
#pragma once

#include "Output.h"
#include "Structure.h"

#include <functional>
#include <optional>
#include <string>

namespace vexlin::dump {

// [Header], [App Info], [Sort Info], [Records]: each only when asked for.
struct DumpSections {
    bool Header = false;
    bool AppInfo = false;
    bool SortInfo = false;
    bool Records = false;
    std::optional<std::int32_t> Record; // 0-based
};
// On a terminal the header report's text has its control characters escaped; elsewhere it
// is written as it stands.
void PrintHeaderSection(StreamTarget& out, const DatabaseImage& image, bool terminal = false);
void PrintAreaSections(StreamTarget& out, const DatabaseImage& image, const DumpSections& which);
void PrintRecordsSection(StreamTarget& out, const DatabaseImage& image, const DumpSections& which);

void PrintInfo(StreamTarget& out, const DatabaseImage& image, const Structure& structure);
void PrintList(StreamTarget& out, const Structure& structure);
void PrintCheck(StreamTarget& out, const Structure& structure);
// One finding as [Check] lists it: offset, severity, code, message (its controls escaped).
[[nodiscard]] std::string FindingLine(const Finding& finding);

// --summary: a row per FILE; the last column, "error", is empty but for a file that could not
// be read, whose row has nothing else but its name.
void PrintSummaryTitles(StreamTarget& out);
void PrintSummaryRow(StreamTarget& out, const std::string& file, const DatabaseImage& image,
                     const Structure& structure);
void PrintSummaryError(StreamTarget& out, const std::string& file, const std::string& error);

// One JSON object on one line, without the line end; valid UTF-8 whatever the file holds,
// and no control character raw. A file name that is not UTF-8 is "File" with U+FFFD for the
// bytes that are not, and "FileEscaped" losslessly.
[[nodiscard]] std::string JsonObject(const std::string& file, const DatabaseImage& image,
                                     const Structure& structure);
// The same text handed to write in pieces, never whole (it may run to megabytes); when open,
// without the closing brace, for keys to follow.
using JsonWriter = std::function<void(std::string_view)>;
void WriteJsonObject(const JsonWriter& write, const std::string& file, const DatabaseImage& image,
                     const Structure& structure, bool open);
// The object for a file that could not be read: "File" (and "FileEscaped"), "Error".
[[nodiscard]] std::string JsonError(const std::string& file, const std::string& error);

} // namespace vexlin::dump
