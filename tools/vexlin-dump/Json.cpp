// --json: one object per file, written with nlohmann::json.
#include "HeaderReport.h"
#include "Modes.h"

#include <nlohmann/json.hpp>

namespace vexlin::dump {

namespace {

using nlohmann::json;

std::string Text(const char* field, std::size_t width) {
    return Cp1252ToUtf8(FieldText(field, width));
}

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

} // namespace

std::string JsonObject(const std::string& file, const DatabaseImage& image, const Structure& s) {
    const DatabaseHeader& h = image.Header;
    json o;
    o["File"] = file;
    o["Name"] = Text(h.Name, sizeof h.Name);
    o["Attributes"] = AttributesHex(h.Attributes);
    o["Version"] = h.Version;
    o["CreationDate"] = h.CreationDate;
    o["ModificationDate"] = h.ModificationDate;
    o["LastBackupDate"] = h.LastBackupDate;
    o["ModificationNumber"] = h.ModificationNumber;
    o["AppInfoArea"] = h.AppInfoArea;
    o["SortInfoArea"] = h.SortInfoArea;
    o["DataBaseType"] = Text(h.DataBaseType, sizeof h.DataBaseType);
    o["CreatorID"] = Text(h.CreatorID, sizeof h.CreatorID);
    o["UniqueIDSeed"] = h.UniqueIDSeed;
    o["NextRecordListID"] = h.NextRecordListID;
    o["NumberOfRecords"] = h.NumberOfRecords;
    o["FileSize"] = s.FileSize;
    o["AppInfoSize"] = s.AppInfoSize;
    o["SortInfoSize"] = s.SortInfoSize;
    o["Kind"] = KindName(s.Kind);
    o["AttributeNames"] = Names(DatabaseAttributeNames(h.Attributes));
    o["Dates"] = {{"Creation", Date(h.CreationDate)},
                  {"Modification", Date(h.ModificationDate)},
                  {"LastBackup", Date(h.LastBackupDate)}};
    if (s.Kind == DatabaseKind::Resource) {
        json& list = o["Resources"] = json::array();
        for (const ResourceInfo& r : s.Resources) {
            list.push_back({{"Type", Text(r.Type, 4)}, {"ID", r.ID}, {"Offset", r.Offset},
                            {"Size", r.Size}});
        }
    } else {
        json& list = o["Records"] = json::array();
        for (const RecordInfo& r : s.Records) {
            list.push_back({{"Offset", r.Offset},
                            {"Size", r.Size},
                            {"Attributes", r.Attributes},
                            {"AttributeNames", Names(RecordAttributeNames(r.Attributes))},
                            {"Category", r.Category()},
                            {"UniqueID", r.UniqueID}});
        }
    }
    json& findings = o["Findings"] = json::array();
    for (const Finding& f : s.Findings) {
        findings.push_back({{"Offset", f.Offset},
                            {"Severity", SeverityName(f.Level)},
                            {"Code", f.Code},
                            {"Message", f.Message}});
    }
    // A file name need not be UTF-8: invalid bytes become U+FFFD rather than an exception.
    return o.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace vexlin::dump
