// vexlin-dump's outputs for one loaded file: the dump sections (as the viewer shows them) and
// the inspection modes (info, list, check, summary, JSON).
#pragma once

#include "Output.h"
#include "Structure.h"

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
void PrintHeaderSection(StreamTarget& out, const DatabaseImage& image);
void PrintAreaSections(StreamTarget& out, const DatabaseImage& image, const DumpSections& which);
void PrintRecordsSection(StreamTarget& out, const DatabaseImage& image, const DumpSections& which);

void PrintInfo(StreamTarget& out, const DatabaseImage& image, const Structure& structure);
void PrintList(StreamTarget& out, const Structure& structure);
void PrintCheck(StreamTarget& out, const Structure& structure);

void PrintSummaryTitles(StreamTarget& out);
void PrintSummaryRow(StreamTarget& out, const std::string& file, const DatabaseImage& image,
                     const Structure& structure);

// One JSON object on one line, without the line end; valid UTF-8 whatever the file holds.
[[nodiscard]] std::string JsonObject(const std::string& file, const DatabaseImage& image,
                                     const Structure& structure);

} // namespace vexlin::dump
