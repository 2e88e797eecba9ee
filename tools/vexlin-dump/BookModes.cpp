// The content modes for books (PalmDOC and Mobipocket): the [Content] lines, the JSON keys and
// the exported text (B.txt, and for Mobipocket its markup as B.html).
#include "ContentJson.h"
#include "ContentModes.h"
#include "ContentTable.h"
#include "Escape.h"

namespace vexlin::dump {

namespace {

using namespace content;

void Labelled(StreamTarget& out, std::string_view label, const std::string& value) {
    out.Add("  " + std::string(label) + ": " + value);
}

} // namespace

void PrintPayload(StreamTarget& out, const Content&, const Book& p) {
    Labelled(out, "Compression",
             std::string(CompressionName(p.Compression)) + " (" +
                 std::to_string(p.CompressionValue) + ")");
    Labelled(out, "Text length",
             std::to_string(p.TextLength) + " declared, " + std::to_string(p.DecodedLength) +
                 " in the records");
    Labelled(out, "Text records",
             std::to_string(p.RecordCount) + " of up to " + std::to_string(p.RecordSize) +
                 " bytes");
    if (p.Encryption != BookEncryption::None)
        Labelled(out, "Encryption",
                 std::string(EncryptionName(p.Encryption)) + " (" +
                     std::to_string(p.EncryptionValue) + "): encrypted, the text is not decoded");
    if (p.Mobi) {
        const MobiHeader& m = *p.Mobi;
        Labelled(out, "MOBI header",
                 std::to_string(m.HeaderLength) + " bytes, type " + std::to_string(m.MobiType) +
                     ", file version " + std::to_string(m.FileVersion) + ", encoding " +
                     std::to_string(m.TextEncoding) + ", first non-book record " +
                     std::to_string(m.FirstNonBook));
        Labelled(out, "Full name", Escaped(m.FullName));
        for (const ExthRecord& e : m.Exth)
            Labelled(out, "EXTH " + (e.Name.empty() ? std::to_string(e.Type) : std::string(e.Name)),
                     Escaped(e.Value));
    }
    out.Add("  Text:");
    const std::string_view text = p.Text;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        out.Add(line.empty() ? std::string() : "    " + Escaped(line)); // backslashes doubled
        start = end + 1;
    }
}

void AddHead(Json& o, const Book& p) {
    o["Compression"] = CompressionName(p.Compression);
    o["CompressionValue"] = p.CompressionValue;
    o["TextLength"] = p.TextLength;
    o["DecodedLength"] = p.DecodedLength;
    o["RecordCount"] = p.RecordCount;
    o["RecordSize"] = p.RecordSize;
    o["Replaced"] = p.Replaced;
    o["Encryption"] = EncryptionName(p.Encryption);
    o["EncryptionValue"] = p.EncryptionValue;
    if (p.Mobi) {
        Json exth = Json::array();
        for (const ExthRecord& e : p.Mobi->Exth)
            exth.push_back({{"Type", e.Type},
                            {"Name", e.Name.empty() ? Json(nullptr) : Json(e.Name)},
                            {"Value", e.Value}});
        o["Mobi"] = {{"HeaderLength", p.Mobi->HeaderLength}, {"Type", p.Mobi->MobiType},
                     {"TextEncoding", p.Mobi->TextEncoding}, {"FileVersion", p.Mobi->FileVersion},
                     {"FirstNonBook", p.Mobi->FirstNonBook}, {"FullName", p.Mobi->FullName},
                     {"ExtraFlags", p.Mobi->ExtraFlags},     {"Exth", std::move(exth)}};
    } else {
        o["Mobi"] = nullptr;
    }
    o["Text"] = p.Text;
}

void AppendBookText(ExportTarget& target, const Book& book, std::string_view piece) {
    target.Append(target.BaseName() + ".txt", piece);
    if (book.Mobi)
        target.Append(target.BaseName() + ".html", piece);
}

void ExportPayload(ExportTarget& target, const Content&, const Book& p) {
    // An encrypted book, or a compression not decoded, leaves no text to write, only its
    // finding.
    if (!p.TextRead)
        return;
    // Written while it was decoded (AppendBookText): only to be closed.
    if (target.Appending()) {
        target.CloseAppended();
        return;
    }
    target.Write(target.BaseName() + ".txt", p.Text);
    if (p.Mobi)
        target.Write(target.BaseName() + ".html", p.Text);
}

void Tabulate(ContentTable& t, const Content&, const Book& p) {
    t.Kind = ContentTable::Shape::Text;
    t.Text = p.Text;
    t.TextIsHtml = p.Mobi.has_value();
    if (p.Mobi) {
        t.Title = Escaped(p.Mobi->FullName);
        for (const ExthRecord& e : p.Mobi->Exth)
            if (e.Name == "author")
                t.Title += (t.Title.empty() ? "" : ", by ") + Escaped(e.Value);
    }
}

} // namespace vexlin::dump
