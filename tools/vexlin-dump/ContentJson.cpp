// --json --content: the "Content" object. The head (format, encoding, categories, the app
// info's keys) is one small tree; the items, up to 65,535 of them, are serialised one by one
// and joined into the text.
#include "ContentJson.h"
#include "Hex.h"
#include "ContentModes.h"
#include "Escape.h"
#include "JsonText.h"

#include <array>
#include <cstdio>

namespace vexlin::dump {

namespace {

using namespace content;

std::string Dump(const Json& value) {
    return DumpJson(value);
}

Json CategoriesJson(const std::optional<CategoryInfo>& info) {
    if (!info)
        return nullptr;
    Json list = Json::array();
    for (std::size_t i = 0; i < CategoryCount; ++i) {
        const Category& c = info->Items[i];
        list.push_back({{"Index", i}, {"Name", c.Name}, {"ID", c.ID}, {"Renamed", c.Renamed}});
    }
    return list;
}

Json TimeJson(const std::optional<Time>& time) {
    return time ? Json(time->Text()) : Json(nullptr);
}

std::string_view AlarmUnitName(AlarmUnit unit) noexcept {
    switch (unit) {
    case AlarmUnit::Minutes: return "minutes";
    case AlarmUnit::Hours: return "hours";
    case AlarmUnit::Days: return "days";
    case AlarmUnit::Unknown: break;
    }
    return "unknown";
}

std::string_view RepeatTypeName(RepeatType type) noexcept {
    switch (type) {
    case RepeatType::Daily: return "daily";
    case RepeatType::Weekly: return "weekly";
    case RepeatType::MonthlyByDay: return "monthly-by-day";
    case RepeatType::MonthlyByDate: return "monthly-by-date";
    case RepeatType::Yearly: return "yearly";
    case RepeatType::Unknown: break;
    }
    return "unknown";
}

Json RepeatJson(const std::optional<EventRepeat>& repeat) {
    if (!repeat)
        return nullptr;
    Json o = {{"Type", RepeatTypeName(repeat->Type)},
              {"Frequency", repeat->Frequency},
              {"End", DateJson(repeat->End)}};
    if (repeat->Type == RepeatType::Weekly)
        o["Days"] = repeat->Days;
    if (repeat->Type == RepeatType::MonthlyByDay) {
        o["Week"] = repeat->Week;
        o["Day"] = repeat->Day;
    }
    if (repeat->Type == RepeatType::Unknown)
        o["RawType"] = repeat->RawType;
    o["WeekStart"] = repeat->WeekStart;
    return o;
}

} // namespace

void FillBase(Json& o, const Item& item) {
    if (o.empty()) {
        o["Record"] = item.Record;
        o["Category"] = item.Category;
        o["Private"] = item.Private;
        o["Deleted"] = item.Deleted;
        o["Damaged"] = item.Damaged;
        return;
    }
    // A refilled object holds these keys first, in this order: set in place, not looked up.
    auto member = o.begin();
    (member++).value() = item.Record;
    (member++).value() = item.Category;
    (member++).value() = item.Private;
    (member++).value() = item.Deleted;
    member.value() = item.Damaged;
}

Json DateJson(const std::optional<Date>& date) {
    return date ? Json(date->Iso()) : Json(nullptr);
}

void FillItem(Json& o, const MemoItem& item) {
    o["Text"] = item.Text;
}

void FillItem(Json& o, const ToDoItem& item) {
    o["Description"] = item.Description;
    o["Note"] = item.Note;
    o["Due"] = DateJson(item.Due);
    o["Priority"] = item.Priority;
    o["Completed"] = item.Completed;
}

void FillItem(Json& o, const DatebookItem& item) {
    o["Description"] = item.Description;
    o["Note"] = item.Note;
    o["Date"] = DateJson(item.When);
    o["Start"] = TimeJson(item.Start);
    o["End"] = TimeJson(item.End);
    o["Alarm"] = item.Alarm ? Json{{"Advance", item.Alarm->Advance},
                                   {"Unit", AlarmUnitName(item.Alarm->Unit)}}
                            : Json(nullptr);
    o["Repeat"] = RepeatJson(item.Repeat);
    Json exceptions = Json::array();
    for (const Date& date : item.Exceptions)
        exceptions.push_back(date.Iso());
    o["Exceptions"] = std::move(exceptions);
    o["Flags"] = item.Flags;
    o["UnknownFlags"] = item.UnknownFlags;
}

void FillItem(Json& o, const TaskItem& item) {
    FillItem(o, static_cast<const ToDoItem&>(item));
    o["CompletedOn"] = DateJson(item.CompletedOn);
    o["Alarm"] = item.Alarm ? Json{{"Time", item.Alarm->At.Text()},
                                   {"DaysBefore", item.Alarm->DaysBefore}}
                            : Json(nullptr);
    o["RepeatFrom"] = DateJson(item.RepeatFrom);
    o["Repeat"] = RepeatJson(item.Repeat);
    o["Flags"] = item.Flags;
    o["UnknownFlags"] = item.UnknownFlags;
}

void FillItem(Json& o, const CalendarItem& item) {
    FillItem(o, static_cast<const DatebookItem&>(item));
    o["Location"] = item.Location;
    // Filled in place: the element is reused from item to item, and a zone's nodes with it.
    Json& zone = o["TimeZone"];
    if (!item.Zone) {
        zone = nullptr;
    } else {
        if (!zone.is_object())
            zone = Json::object();
        const auto rule = [](Json& j, const DstRule& r) {
            j["Hour"] = r.Hour;
            j["WeekDay"] = r.WeekDay;
            j["Week"] = r.Week;
            j["Month"] = r.Month;
        };
        zone["Name"] = item.Zone->Name;
        zone["Offset"] = item.Zone->Offset;
        rule(zone["DstStart"], item.Zone->Start);
        rule(zone["DstEnd"], item.Zone->End);
        zone["DstAmount"] = item.Zone->DstAmount;
        zone["Country"] = item.Zone->Country;
        zone["Custom"] = item.Zone->Custom;
    }
    Json blobs = Json::array();
    for (const TaggedBlock& blob : item.OtherBlobs)
        blobs.push_back({{"Type", blob.Type}, {"Size", blob.Size}});
    o["OtherBlobs"] = std::move(blobs);
}

void FillItem(Json& o, const AddressItem& item) {
    Json fields = Json::object();
    for (std::size_t i = 0; i < AddressFieldCount; ++i)
        fields[std::string(AddressFieldName(i))] =
            item.Fields[i] ? Json(*item.Fields[i]) : Json(nullptr);
    o["Fields"] = std::move(fields);
    o["PhoneLabels"] = item.PhoneLabels;
    o["DisplayPhone"] = item.DisplayPhone;
    o["CompanyOffset"] = item.CompanyOffset;
}

void FillItem(Json& o, const MailItem& item) {
    o["Subject"] = item.Subject;
    o["From"] = item.From;
    o["To"] = item.To;
    o["Cc"] = item.Cc;
    o["Bcc"] = item.Bcc;
    o["ReplyTo"] = item.ReplyTo;
    o["SentTo"] = item.SentTo;
    o["Body"] = item.Body;
    o["Date"] = item.Day ? Json(item.Day->Iso() + (item.At ? "T" + item.At->Text() + ":00" : ""))
                         : Json(nullptr);
    o["Read"] = item.Read;
    o["Signature"] = item.Signature;
    o["ConfirmRead"] = item.ConfirmRead;
    o["ConfirmDelivery"] = item.ConfirmDelivery;
    o["Priority"] = item.Priority;
    o["Addressing"] = item.Addressing;
}

void AddHead(Json& o, const Datebook& p) {
    o["StartOfWeek"] = p.StartOfWeek;
}

void AddHead(Json& o, const Calendar& p) {
    o["StartOfWeek"] = p.StartOfWeek;
}

void AddHead(Json& o, const AddressBook& p) {
    o["Labels"] = p.Labels;
    o["Country"] = p.Country;
    o["SortByCompany"] = p.SortByCompany;
}

void WriteWithContent(StreamTarget& out, std::string_view object, const Content& c) {
    out.Write(object.substr(0, object.size() - 1)); // without its closing brace
    WriteContentKey(out, c);
}

void WriteContentKey(StreamTarget& out, const Content& c) {
    Json head;
    head["Format"] = c.Format->Name;
    head["Encoding"] = c.Encoding;
    head["EncodingDetected"] = c.EncodingDetected;
    head["EncodingEvidence"] = c.EncodingDetected ? Json{{"Weighed", c.Evidence.Weighed},
                                                         {"Japanese", c.Evidence.Japanese},
                                                         {"Against", c.Evidence.Against},
                                                         {"Thin", c.Evidence.Thin}}
                                                  : Json(nullptr);
    head["Categories"] = CategoriesJson(c.Categories);
    WithPayload(c, [&](const auto& payload) { AddHead(head, payload); });
    std::string text = Dump(head);
    text.pop_back(); // the closing brace: "Items" follows
    EscapeJsonControls(text);
    out.Write(",\"Content\":");
    out.Write(text);
    out.Write(",\"Items\":[");
    // Up to 65,535 items, written one by one as they are serialised: one element object is
    // refilled (its keys stay), and nothing the size of the whole is held in memory.
    WithPayload(c, [&](const auto& payload) {
            if constexpr (requires { payload.Items; }) {
                Json element = Json::object();
                bool first = true;
                for (const auto& item : payload.Items) {
                    FillBase(element, item);
                    FillItem(element, item);
                    text.clear();
                    if (!first)
                        text += ',';
                    AppendJson(text, element);
                    out.Write(text);
                    first = false;
                }
            } else {
                WriteItems(out, payload);
            }
        });
    out.Write("]}}\n");
}

} // namespace vexlin::dump
