// The viewer's table of a database's content: the [Content] section printed once, each row's
// details a stretch of it, the rows and pictures from each format's Tabulate.
#include "ContentTable.h"

#include "ContentModes.h"
#include "Escape.h"
#include "Modes.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace vexlin::dump {

namespace {

using namespace content;

std::string PrintedReport(const Content& c) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* memory = ::open_memstream(&buffer, &size);
    if (memory == nullptr)
        throw std::bad_alloc();
    {
        StreamTarget out(memory);
        PrintContent(out, c);
    }
    std::fclose(memory);
    std::string report(buffer, size);
    std::free(buffer);
    return report;
}

// Each row's details: from its "Record N (...)" line to the last indented line after it.
void LinkDetails(ContentTable& t) {
    const std::string_view report = t.Report;
    if (report.size() > UINT32_MAX)
        return; // never for a database a window holds: the rows then show no details
    std::size_t row = 0;
    for (std::size_t at = 0; at < report.size() && row < t.Rows.size();) {
        std::size_t end = std::min(report.find('\n', at), report.size());
        const std::string_view line = report.substr(at, end - at);
        std::size_t record = 0;
        if (line.starts_with("Record ")) {
            std::from_chars(line.data() + 7, line.data() + line.size(), record);
        }
        if (record == 0 || record != t.Rows[row].Record) {
            at = end + 1;
            continue;
        }
        ContentRow& r = t.Rows[row++];
        r.DetailStart = static_cast<std::uint32_t>(at);
        // The fields are indented; a line of a multi-line text may be empty.
        while (end + 1 < report.size() && (report[end + 1] == ' ' || report[end + 1] == '\n'))
            end = std::min(report.find('\n', end + 1), report.size());
        r.DetailEnd = static_cast<std::uint32_t>(end);
        at = end + 1;
    }
}

} // namespace

std::string_view RowCells::operator[](std::size_t column) const noexcept {
    std::size_t start = 0;
    for (; column > 0 && start < Joined.size(); --column)
        start = Joined.find(End, start) + 1;
    if (start >= Joined.size())
        return {};
    return std::string_view(Joined).substr(start, Joined.find(End, start) - start);
}

std::string FirstLine(std::string_view text) {
    return Escaped(text.substr(0, text.find('\n')));
}

ContentRow& AddRow(ContentTable& t, const Item& item) {
    ContentRow& row = t.Rows.emplace_back();
    row.Record = static_cast<std::uint32_t>(item.Record);
    row.Category = item.Category;
    row.Damaged = item.Damaged;
    return row;
}

ContentTable TabulateContent(const Content& c, std::string_view type, std::string_view creator) {
    ContentTable t;
    t.Format = c.Format->Name;
    t.Report = PrintedReport(c);
    if (c.Categories)
        for (const Category& category : c.Categories->Items)
            t.Categories.push_back(Escaped(category.Name));
    for (const Finding& f : c.Findings)
        t.Findings.push_back(FindingLine(f));
    WithPayload(c, [&](const auto& payload) { Tabulate(t, c, payload); });
    if (!t.Columns.empty())
        t.Kind = ContentTable::Shape::Items;
    LinkDetails(t);
    if (c.Format == &UnknownFormat) {
        t.Summary = "Type " + Escaped(type) + ", creator " + Escaped(creator) +
                    ": the content of this database is not decoded (the other tabs show it all)";
        return t;
    }
    t.Summary = "Format: " + t.Format;
    if (t.Kind == ContentTable::Shape::Items)
        t.Summary +=
            ", " + std::to_string(t.Rows.size()) + (t.Rows.size() == 1 ? " item" : " items");
    else if (t.Kind == ContentTable::Shape::Pictures)
        t.Summary += ", " + std::to_string(t.Pictures.size()) +
                     (t.Pictures.size() == 1 ? " picture" : " pictures");
    t.Summary += ", encoding " + c.Encoding + (c.EncodingDetected ? " (detected)" : "");
    return t;
}

} // namespace vexlin::dump
