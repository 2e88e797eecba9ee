// The content modes for pictures, programs and fonts: the [Content] lines and JSON of bitmap
// sets and applications (one item per bitmap), and their export as PNG files, one per
// bitmap: the densest, deepest member of a family under the entry's name, the others with
// their depth (and density) added. The preferences databases' resources are listed here too.
#include "ContentJson.h"
#include "ContentModes.h"
#include "ContentTable.h"
#include "Escape.h"
#include "Png.h"

#include <cstdio>
#include <set>

namespace vexlin::dump {

namespace {

using namespace content;

std::string EntryText(const BitmapEntry& e) {
    return e.IsResource ? CodeText(e.Type) + " " + std::to_string(e.ID)
                        : "record " + std::to_string(e.Record + 1);
}

std::string MemberText(const Bitmap& b) {
    std::string line = "version " + std::to_string(b.Version) + ", " + std::to_string(b.Width) +
                       " x " + std::to_string(b.Height) + ", " + std::to_string(b.Depth) +
                       (b.Depth == 1 ? " bit" : " bits") + ", row bytes " +
                       std::to_string(b.RowBytes) + ", compression " +
                       std::string(BitmapCompressionName(b.Compression)) + ", density " +
                       std::to_string(b.Density);
    if (b.OwnColorTable)
        line += ", colour table";
    if (b.Transparent) {
        char value[16];
        std::snprintf(value, sizeof value, b.Depth == 16 ? "#%06x" : "%u", *b.Transparent);
        line += std::string(", transparent ") + value;
    }
    if (b.PixelWidth != b.Width || b.PixelHeight != b.Height)
        line += ", decoded " + std::to_string(b.PixelWidth) + " x " + std::to_string(b.PixelHeight);
    return line;
}

void PrintBitmaps(StreamTarget& out, const std::vector<BitmapEntry>& entries) {
    for (const BitmapEntry& e : entries) {
        out.Add("Bitmap " + EntryText(e) + ":");
        for (const Bitmap& b : e.Members)
            out.Add("  " + MemberText(b));
    }
}

void WriteBitmaps(StreamTarget& out, const std::vector<BitmapEntry>& entries) {
    bool first = true;
    for (const BitmapEntry& e : entries) {
        for (std::size_t m = 0; m < e.Members.size(); ++m) {
            const Bitmap& b = e.Members[m];
            Json o;
            if (e.IsResource)
                o["Resource"] = CodeText(e.Type) + " " + std::to_string(e.ID);
            else
                o["Record"] = e.Record + 1;
            o["Member"] = m + 1;
            o["Width"] = b.Width;
            o["Height"] = b.Height;
            o["Depth"] = b.Depth;
            o["Version"] = b.Version;
            o["Compression"] = BitmapCompressionName(b.Compression);
            o["Density"] = b.Density;
            o["RowBytes"] = b.RowBytes;
            o["ColorTable"] = b.OwnColorTable;
            o["Transparent"] = b.Transparent ? Json(*b.Transparent) : Json(nullptr);
            o["DecodedWidth"] = b.PixelWidth;
            o["DecodedHeight"] = b.PixelHeight;
            std::string text = o.dump(-1, ' ', false, Json::error_handler_t::replace);
            EscapeJsonControls(text);
            if (!first)
                out.Write(",");
            out.Write(text);
            first = false;
        }
    }
}

void WritePng(ExportTarget& target, const std::string& name, std::uint32_t width,
              std::uint32_t height, const std::vector<std::uint8_t>& rgba) {
    std::string png;
    try {
        png = EncodePng(width, height, rgba);
    } catch (const std::runtime_error& error) {
        throw ExportError(name + ": " + error.what());
    }
    target.Write(name, png);
}

// B/Tbmp-1000 for a resource (B/Tbmp-1000-2 for a second one of that type and ID), B/0001
// for a record (counted from 1).
std::string EntryStem(ExportTarget& target, bool resource, const char (&type)[4], std::uint16_t id,
                      std::size_t record) {
    char number[16];
    std::snprintf(number, sizeof number, "%04zu", record + 1);
    return target.Distinct(
        target.BaseName() + "/" +
        (resource ? std::string(type, 4) + "-" + std::to_string(id) : std::string(number)));
}

// One entry's members: B/Tbmp-1000.png for the densest and deepest, the others with their
// depth (and density) added.
void ExportEntry(ExportTarget& target, const BitmapEntry& e) {
    const std::string stem = EntryStem(target, e.IsResource, e.Type, e.ID, e.Record);
    const std::size_t best = BestMember(e.Members);
    std::set<std::string> used;
    for (std::size_t m = 0; m < e.Members.size(); ++m) {
        const Bitmap& b = e.Members[m];
        if (b.Rgba.empty())
            continue;
        std::string name = stem; // bitmap resource types are letters only
        if (m != best) {
            name += "." + std::to_string(b.Depth) + "bpp";
            if (b.Density != 72)
                name += "." + std::to_string(b.Density);
        }
        if (!used.insert(name).second)
            name += "." + std::to_string(m + 1); // a member alike to an earlier one
        used.insert(name);
        WritePng(target, name + ".png", b.PixelWidth, b.PixelHeight, b.Rgba);
    }
}

// The entries' files, unless the content reader has written them already (ExportBitmapEntry).
void ExportBitmaps(ExportTarget& target, const std::vector<BitmapEntry>& entries) {
    if (target.EntriesStreamed) {
        target.ThrowKept();
        return;
    }
    for (const BitmapEntry& e : entries)
        ExportEntry(target, e);
}

} // namespace

void PrintPayload(StreamTarget& out, const Content&, const BitmapSet& p) {
    PrintBitmaps(out, p.Entries);
}

void PrintPayload(StreamTarget& out, const Content&, const Application& p) {
    if (!p.Name.empty())
        out.Add("  Name: " + Escaped(p.Name));
    if (!p.Version.empty())
        out.Add("  Version: " + Escaped(p.Version));
    if (!p.Categories.empty()) {
        std::string list;
        for (const std::string& name : p.Categories)
            list += (list.empty() ? "" : ", ") + Escaped(name);
        out.Add("  Default categories: " + list);
    }
    for (const ResourceSize& r : p.Code)
        out.Add("  " + CodeText(r.Type) + " " + std::to_string(r.ID) + ": " +
                std::to_string(r.Size) + " bytes");
    for (const FontMetrics& f : p.Fonts) {
        char line[200];
        std::snprintf(line, sizeof line,
                      ": type 0x%04x, characters %d to %d, widest %d, kern %d, rectangle %d x "
                      "%d, ascent %d, descent %d, leading %d, %d words a row",
                      f.FontType, f.FirstChar, f.LastChar, f.MaxWidth, f.KernMax, f.FRectWidth,
                      f.FRectHeight, f.Ascent, f.Descent, f.Leading, f.RowWords);
        out.Add("Font " +
                (f.IsResource ? CodeText(f.Type) + " " + std::to_string(f.ID)
                              : "record " + std::to_string(f.Record + 1)) +
                line);
    }
    PrintBitmaps(out, p.Bitmaps);
}

void AddHead(Json& o, const Application& p) {
    o["Name"] = p.Name;
    o["Version"] = p.Version;
    o["DefaultCategories"] = p.Categories;
    Json code = Json::array();
    for (const ResourceSize& r : p.Code)
        code.push_back({{"Type", CodeText(r.Type)}, {"ID", r.ID}, {"Size", r.Size}});
    o["Code"] = std::move(code);
    Json fonts = Json::array();
    for (const FontMetrics& f : p.Fonts) {
        Json font;
        if (f.IsResource)
            font["Resource"] = CodeText(f.Type) + " " + std::to_string(f.ID);
        else
            font["Record"] = f.Record + 1;
        font["FontType"] = f.FontType;
        font["FirstChar"] = f.FirstChar;
        font["LastChar"] = f.LastChar;
        font["MaxWidth"] = f.MaxWidth;
        font["KernMax"] = f.KernMax;
        font["RectWidth"] = f.FRectWidth;
        font["RectHeight"] = f.FRectHeight;
        font["Ascent"] = f.Ascent;
        font["Descent"] = f.Descent;
        font["Leading"] = f.Leading;
        font["RowWords"] = f.RowWords;
        font["StrikeWidth"] = f.StrikeWidth;
        font["StrikeHeight"] = f.StrikeHeight;
        fonts.push_back(std::move(font));
    }
    o["Fonts"] = std::move(fonts);
}

void WriteItems(StreamTarget& out, const BitmapSet& p) {
    WriteBitmaps(out, p.Entries);
}

void WriteItems(StreamTarget& out, const Application& p) {
    WriteBitmaps(out, p.Bitmaps);
}

// A preferences database: each resource by the creator of the application it belongs to
// (its type) and the preference's ID.
void PrintPayload(StreamTarget& out, const Content&, const Preferences& p) {
    for (const ResourceSize& r : p.Entries)
        out.Add("  Preference " + CodeText(r.Type) + " " + std::to_string(r.ID) + ": " +
                std::to_string(r.Size) + " bytes");
}

void WriteItems(StreamTarget& out, const Preferences& p) {
    bool first = true;
    for (const ResourceSize& r : p.Entries) {
        Json o = {{"Creator", CodeText(r.Type)}, {"ID", r.ID}, {"Size", r.Size}};
        std::string text = o.dump(-1, ' ', false, Json::error_handler_t::replace);
        EscapeJsonControls(text);
        out.Write(first ? text : "," + text);
        first = false;
    }
}

void ExportPayload(ExportTarget&, const Content&, const Preferences&) {}

void ExportPayload(ExportTarget& target, const Content&, const BitmapSet& p) {
    ExportBitmaps(target, p.Entries);
}

void ExportBitmapEntry(ExportTarget& target, const BitmapEntry& entry) {
    target.EntriesStreamed = true;
    target.Keep([&] { ExportEntry(target, entry); });
}

void ExportPayload(ExportTarget& target, const Content&, const Application& p) {
    ExportBitmaps(target, p.Bitmaps);
    // Each font's strike: B/NFNT-9000.png, or B/0001.png for a record of a font database.
    for (const FontMetrics& f : p.Fonts) {
        if (!f.Strike.empty())
            WritePng(target, EntryStem(target, f.IsResource, f.Type, f.ID, f.Record) + ".png",
                     f.StrikeWidth, f.StrikeHeight, DrawStrike(f));
    }
}

namespace {

void AddPictures(ContentTable& t, const std::vector<BitmapEntry>& entries) {
    t.Kind = ContentTable::Shape::Pictures;
    for (const BitmapEntry& e : entries) {
        for (const Bitmap& b : e.Members) {
            ContentPicture& picture = t.Pictures.emplace_back();
            picture.Name = EntryText(e) + ", " + std::to_string(b.Width) + " x " +
                           std::to_string(b.Height) + ", " + std::to_string(b.Depth) +
                           (b.Depth == 1 ? " bit" : " bits") + ", density " +
                           std::to_string(b.Density);
            picture.Record = e.IsResource ? 0 : e.Record + 1;
            // Pixels only as many as the sizes say (a member described, not decoded, has none).
            if (b.Rgba.size() == std::uint64_t{b.PixelWidth} * b.PixelHeight * 4) {
                picture.Width = b.PixelWidth;
                picture.Height = b.PixelHeight;
                picture.Rgba = b.Rgba;
            }
        }
    }
}

} // namespace

void Tabulate(ContentTable& t, const Content&, const BitmapSet& p) {
    AddPictures(t, p.Entries);
}

void Tabulate(ContentTable& t, const Content&, const Application& p) {
    AddPictures(t, p.Bitmaps);
}

void Tabulate(ContentTable& t, const Content&, const Preferences&) {
    t.Kind = ContentTable::Shape::Text; // the report lists them
}

} // namespace vexlin::dump
