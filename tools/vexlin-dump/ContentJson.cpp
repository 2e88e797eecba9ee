// --json --content: the "Content" object. The head (format, encoding, categories, the app
// info's keys) is one small tree; the items, up to 65,535 of them, are serialised one by one
// and joined into the text.
#include "ContentJson.h"
#include "ContentModes.h"
#include "Escape.h"

namespace vexlin::dump {

namespace {

using namespace content;

std::string Dump(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
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
    o["Record"] = item.Record;
    o["Category"] = item.Category;
    o["Private"] = item.Private;
    o["Deleted"] = item.Deleted;
    o["Damaged"] = item.Damaged;
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

void AddHead(Json& o, const AddressBook& p) {
    o["Labels"] = p.Labels;
    o["Country"] = p.Country;
    o["SortByCompany"] = p.SortByCompany;
}

void WriteWithContent(StreamTarget& out, std::string_view object, const Content& c) {
    Json head;
    head["Format"] = FormatName(c.Kind);
    head["Encoding"] = c.Encoding;
    head["Categories"] = CategoriesJson(c.Categories);
    std::visit(
        [&](const auto& payload) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(payload)>, std::monostate>)
                AddHead(head, payload);
        },
        c.Payload);
    std::string text = Dump(head);
    text.pop_back(); // the closing brace: "Items" follows
    EscapeJsonControls(text);
    out.Write(object.substr(0, object.size() - 1)); // without its closing brace
    out.Write(",\"Content\":");
    out.Write(text);
    out.Write(",\"Items\":[");
    // Up to 65,535 items, written one by one as they are serialised: one element object is
    // refilled (its keys stay), and nothing the size of the whole is held in memory.
    std::visit(
        [&](const auto& payload) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(payload)>, std::monostate>) {
                Json element = Json::object();
                bool first = true;
                for (const auto& item : payload.Items) {
                    FillBase(element, item);
                    FillItem(element, item);
                    text = Dump(element);
                    EscapeJsonControls(text);
                    if (!first)
                        out.Write(",");
                    out.Write(text);
                    first = false;
                }
            }
        },
        c.Payload);
    out.Write("]}}\n");
}

} // namespace vexlin::dump
