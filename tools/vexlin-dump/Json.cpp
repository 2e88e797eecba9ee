// --json: one object per file, written with nlohmann::json.
#include "Escape.h"
#include "Hex.h"
#include "HeaderReport.h"
#include "JsonText.h"
#include "Modes.h"
#include "content/text/TextDecoder.h"

#include <charconv>
#include <cstdio>

#include <nlohmann/json.hpp>

namespace vexlin::dump {

namespace {

using json = nlohmann::ordered_json;

json Names(const std::vector<std::string_view>& names) {
    json list = json::array();
    for (const std::string_view name : names) {
        list.push_back(name);
    }
    return list;
}

json Date(std::int32_t raw) {
    const DecodedDate date = DecodeDate(raw);
    return {{"Epoch", EpochName(date.Epoch)},
            {"UTC", date.Epoch == DateEpoch::Never ? json(nullptr) : json(date.Iso())}};
}

// A file name need not be UTF-8: invalid bytes become U+FFFD rather than an exception.
std::string Dump(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// "File", and for a name that is not UTF-8 also "FileEscaped": the name with each byte
// outside a well-formed sequence as \xHH and each backslash doubled, so that distinct names
// stay distinct and the bytes can be recovered.
void PutFile(json& o, const std::string& file) {
    o["File"] = file;
    std::string escaped;
    bool valid = true;
    for (std::size_t i = 0; i < file.size();) {
        if (const std::size_t length = content::Utf8SequenceAt(file, i)) {
            if (file[i] == '\\') {
                escaped += '\\';
            }
            escaped.append(file, i, length);
            i += length;
            continue;
        }
        AppendByteEscape(escaped, static_cast<unsigned char>(file[i++]));
        valid = false;
    }
    if (!valid) {
        o["FileEscaped"] = escaped;
    }
}

std::string Finished(std::string text) {
    EscapeJsonControls(text);
    return text;
}

// The text of a document in the making, handed on in pieces of about this size (each ends
// between two elements, never inside a character).
constexpr std::size_t PieceSize = 1 << 16;

void HandOn(std::string& text, const JsonWriter& write) {
    EscapeJsonControls(text);
    write(text);
    text.clear();
}

// Appends ,"key":[...] with each item filled into element and serialised, the text handed on
// whenever a piece is full.
template <typename Items, typename Fill>
void AppendArray(std::string& text, const char* key, json& element, const Items& items, Fill fill,
                 const JsonWriter& write) {
    text += ',';
    text += Dump(json(key));
    text += ":[";
    bool first = true;
    for (const auto& item : items) {
        fill(element, item);
        if (!first) {
            text += ',';
        }
        first = false;
        AppendJson(text, element);
        if (text.size() >= PieceSize) {
            HandOn(text, write);
        }
    }
    text += ']';
}

// Appends ,"Records":[...], the bulk of the object for a record database (65,535 elements at
// most). Its elements hold numbers and the program's own names only, so they are assembled
// from keys and names the library serialised once, and need no control escaped.
void AppendRecords(std::string& text, const std::vector<RecordInfo>& records,
                   const JsonWriter& write) {
    HandOn(text, write); // what came before may hold the file's text
    const auto key = [](const char* name, const char* before) {
        return before + Dump(json(name)) + ':';
    };
    const std::string offsetKey = key("Offset", "{");
    const std::string sizeKey = key("Size", ",");
    const std::string attributesKey = key("Attributes", ",");
    const std::string namesKey = key("AttributeNames", ",");
    const std::string categoryKey = key("Category", ",");
    const std::string uniqueIdKey = key("UniqueID", ",");
    // The names depend on the four flag bits only: made once for each combination.
    std::string names[16];
    for (unsigned flags = 0; flags < 16; ++flags) {
        names[flags] = Dump(Names(RecordAttributeNames(static_cast<std::uint8_t>(flags << 4))));
    }
    const auto put = [&](const std::string& name, auto value) {
        char number[24];
        text += name;
        text.append(number, std::to_chars(number, number + sizeof number, value).ptr);
    };
    text += ',';
    text += Dump(json("Records"));
    text += ":[";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RecordInfo& r = records[i];
        if (i != 0) {
            text += ',';
        }
        put(offsetKey, r.Offset);
        put(sizeKey, r.Size);
        put(attributesKey, r.Attributes);
        text += namesKey;
        text += names[r.Attributes >> 4];
        put(categoryKey, r.Category());
        put(uniqueIdKey, r.UniqueID);
        text += '}';
        if (text.size() >= PieceSize) {
            write(text);
            text.clear();
        }
    }
    text += ']';
    write(text);
    text.clear();
}

} // namespace

void WriteJsonObject(const JsonWriter& write, const std::string& file, const DatabaseImage& image,
                     const Structure& s, bool open) {
    const DatabaseHeader& h = image.Header;
    json o;
    PutFile(o, file);
    o["Name"] = FieldUtf8(h.Name, sizeof h.Name);
    o["Attributes"] = AttributesHex(h.Attributes);
    o["Version"] = h.Version;
    o["CreationDate"] = h.CreationDate;
    o["ModificationDate"] = h.ModificationDate;
    o["LastBackupDate"] = h.LastBackupDate;
    o["ModificationNumber"] = h.ModificationNumber;
    o["AppInfoArea"] = static_cast<std::uint32_t>(h.AppInfoArea);
    o["SortInfoArea"] = static_cast<std::uint32_t>(h.SortInfoArea);
    o["DataBaseType"] = FieldUtf8(h.DataBaseType, sizeof h.DataBaseType);
    o["CreatorID"] = FieldUtf8(h.CreatorID, sizeof h.CreatorID);
    o["UniqueIDSeed"] = h.UniqueIDSeed;
    o["NextRecordListID"] = h.NextRecordListID;
    o["NumberOfRecords"] = h.NumberOfRecords;
    o["FileSize"] = s.FileSize;
    o["AppInfoSize"] = s.AppInfoSize;
    o["SortInfoSize"] = s.SortInfoSize;
    o["AppInfoLength"] = s.AppInfoLength;
    o["SortInfoLength"] = s.SortInfoLength;
    o["Kind"] = KindName(s.Kind);
    o["AttributeNames"] = Names(DatabaseAttributeNames(h.Attributes));
    o["Dates"] = {{"Creation", Date(h.CreationDate)},
                  {"Modification", Date(h.ModificationDate)},
                  {"LastBackup", Date(h.LastBackupDate)}};
    // The entry list and the findings may run to 65,535 elements each: rather than building
    // a tree of them, one element object is refilled and serialised in turn, and the text is
    // handed on piece by piece.
    std::string text = Dump(o);
    text.pop_back(); // the closing brace
    if (s.Kind == DatabaseKind::Resource) {
        json element = {{"Type", ""}, {"ID", 0}, {"Offset", 0}, {"Size", 0}};
        AppendArray(text, "Resources", element, s.Resources, [](json& e, const ResourceInfo& r) {
            e["Type"] = CodeText(r.Type);
            e["ID"] = r.ID;
            e["Offset"] = r.Offset;
            e["Size"] = r.Size;
        }, write);
    } else {
        AppendRecords(text, s.Records, write);
    }
    json finding = {{"Offset", 0}, {"Severity", ""}, {"Code", ""}, {"Message", ""}};
    AppendArray(text, "Findings", finding, s.Findings, [](json& e, const Finding& f) {
        e["Offset"] = f.Offset;
        e["Severity"] = SeverityName(f.Level);
        e["Code"] = f.Code;
        e["Message"] = ValidJsonText(f.Message);
    }, write);
    if (!open) {
        text += '}';
    }
    HandOn(text, write);
}

std::string JsonObject(const std::string& file, const DatabaseImage& image, const Structure& s) {
    std::string text;
    WriteJsonObject([&](std::string_view piece) { text += piece; }, file, image, s, false);
    return text;
}

std::string JsonError(const std::string& file, const std::string& error) {
    json o;
    PutFile(o, file);
    o["Error"] = error;
    return Finished(Dump(o));
}

} // namespace vexlin::dump
