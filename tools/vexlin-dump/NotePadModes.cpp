// The content modes for the Note Pad: each note's title, times and drawing in [Content] and
// JSON, and B/NNNN.png for each drawing (a PNG drawing's bytes as they are, a 1-bit one
// through libpng, ink black on white).
#include "ContentJson.h"
#include "ContentModes.h"
#include "ContentTable.h"
#include "Png.h"

#include <cstdio>

namespace vexlin::dump {

using namespace content;

namespace {

std::string DrawingText(const NoteItem& item) {
    if (item.Drawing == NoteDrawing::Png)
        return "png, " + std::to_string(item.Png.size()) + " bytes";
    if (!item.Ink.empty())
        return std::string(NoteDrawingName(item.Drawing)) + ", " + std::to_string(item.Width) +
               " x " + std::to_string(item.Height) + " pixels";
    return std::string(NoteDrawingName(item.Drawing));
}

} // namespace

void PrintPayload(StreamTarget& out, const Content& c, const NotePad& p) {
    for (const NoteItem& item : p.Items) {
        ItemHeading(out, c, item);
        TextLines(out, "Title", item.Title);
        Line(out, "Created", item.Created.Iso());
        Line(out, "Changed", item.Changed.Iso());
        if (item.Alarm)
            Line(out, "Alarm", item.Alarm->Iso());
        Line(out, "Drawing", DrawingText(item));
    }
}

void FillItem(Json& o, const NoteItem& item) {
    o["Title"] = item.Title;
    o["Created"] = item.Created.Iso();
    o["Changed"] = item.Changed.Iso();
    o["Alarm"] = item.Alarm ? Json(item.Alarm->Iso()) : Json(nullptr);
    o["Drawing"] = NoteDrawingName(item.Drawing);
    o["DataType"] = item.DataType;
    o["Width"] = item.Width;
    o["Height"] = item.Height;
    o["PngBytes"] = item.Png.size();
}

void ExportPayload(ExportTarget& target, const Content&, const NotePad& p) {
    char name[32];
    for (const NoteItem& item : p.Items) {
        if (item.Deleted || (item.Png.empty() && item.Ink.empty()))
            continue;
        std::snprintf(name, sizeof name, "/%04zu.png", item.Record);
        if (!item.Png.empty()) {
            target.Write(target.BaseName() + name,
                         {reinterpret_cast<const char*>(item.Png.data()), item.Png.size()});
            continue;
        }
        std::vector<std::uint8_t> rgba(item.Ink.size() * 4);
        for (std::size_t i = 0; i < item.Ink.size(); ++i) {
            const std::uint8_t grey = item.Ink[i] ? 0 : 255;
            rgba[4 * i] = rgba[4 * i + 1] = rgba[4 * i + 2] = grey;
            rgba[4 * i + 3] = 255;
        }
        target.Write(target.BaseName() + name, EncodePng(item.Width, item.Height, rgba));
    }
}

void Tabulate(ContentTable& t, const Content&, const NotePad& p) {
    t.Columns = {"Record", "Title", "Created", "Drawing"};
    for (const NoteItem& item : p.Items) {
        ContentRow& row = AddRow(t, item);
        row.Cells.push_back(FirstLine(item.Title));
        row.Cells.push_back(item.Created.Iso());
        row.Cells.push_back(DrawingText(item));
    }
}

} // namespace vexlin::dump
