// --content: the [Content] section. Labelled lines for the database, then each record under a
// line naming it, its fields indented; multi-line text (memos, notes, bodies) indented a
// step further. Control characters from the file are shown escaped as the inspection modes
// escape them, never sent to the terminal.
#include "ContentModes.h"
#include "ContentTable.h"
#include "Hex.h"
#include "Modes.h"
#include "Escape.h"

#include <cstdio>
#include <cstdlib>

namespace vexlin::dump {

namespace {

using namespace content;

// Text from a file as a terminal may show it: its backslashes doubled, so that a "\x1b" the
// text holds cannot pass for an escaped one, its control and invisible characters escaped (a
// line end only where the caller has not split the lines).
std::string Visible(std::string_view text) {
    return Escaped(text);
}

std::string CategoryName(const Content& c, std::uint8_t index) {
    if (c.Categories && !c.Categories->Items[index].Name.empty())
        return Visible(c.Categories->Items[index].Name);
    return "category " + std::to_string(index);
}


std::string DateText(const std::optional<Date>& date, const char* none) {
    return date ? date->Iso() : none;
}

const char* const DayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                                "Saturday"};

std::string Plural(int n, const char* one, const char* many) {
    return n == 1 ? std::string(one) : "every " + std::to_string(n) + " " + many;
}

std::string RepeatText(const EventRepeat& r, const std::optional<Date>& when) {
    static const char* const weeks[] = {"first", "second", "third", "fourth", "last"};
    static const char* const months[] = {"January", "February", "March",     "April",
                                         "May",     "June",     "July",      "August",
                                         "September", "October", "November", "December"};
    std::string text;
    switch (r.Type) {
    case RepeatType::Daily: text = Plural(r.Frequency, "every day", "days"); break;
    case RepeatType::Weekly: {
        text = Plural(r.Frequency, "every week", "weeks");
        std::string days;
        for (const int day : r.Days)
            days += (days.empty() ? "" : ", ") + std::string(DayNames[day]);
        if (!days.empty())
            text += " on " + days;
        break;
    }
    case RepeatType::MonthlyByDay:
        text = Plural(r.Frequency, "every month", "months") + " on the " +
               (r.Week <= 4 ? weeks[r.Week] : "?") + " " + DayNames[r.Day];
        break;
    case RepeatType::MonthlyByDate:
        text = Plural(r.Frequency, "every month", "months");
        if (when)
            text += " on day " + std::to_string(when->Day);
        break;
    case RepeatType::Yearly:
        text = Plural(r.Frequency, "every year", "years");
        if (when)
            text += " on " + std::string(months[when->Month - 1]) + " " + std::to_string(when->Day);
        break;
    case RepeatType::Unknown: text = "unknown repeat type " + std::to_string(r.RawType); break;
    }
    text += r.End ? ", until " + r.End->Iso() : ", for ever";
    if (r.WeekStart >= 0 && r.WeekStart < 7 && r.Type == RepeatType::Weekly)
        text += std::string(" (weeks start on ") + DayNames[r.WeekStart] + ")";
    return text;
}

std::string AlarmText(const EventAlarm& a) {
    static const char* const units[] = {"minute", "hour", "day"};
    if (a.Unit == AlarmUnit::Unknown)
        return std::to_string(a.Advance) + " of unknown unit " + std::to_string(a.RawUnit) +
               " before";
    const char* unit = units[static_cast<int>(a.Unit)];
    return std::to_string(a.Advance) + " " + unit + (a.Advance == 1 ? "" : "s") + " before";
}

// A phone label's name: the app info's label when it has one, else the default.
std::string PhoneLabelText(const AddressBook& book, int label) {
    const std::size_t slot = label < 5 ? Phone1 + static_cast<std::size_t>(label)
                                       : AddressFieldCount + static_cast<std::size_t>(label - 5);
    if (slot < AddressLabelCount && !book.Labels[slot].empty())
        return Visible(book.Labels[slot]);
    const std::string_view name = PhoneLabelName(label);
    return name.empty() ? "label " + std::to_string(label) : std::string(name);
}

std::string YesNo(bool value) {
    return value ? "yes" : "no";
}

} // namespace

void Line(StreamTarget& out, std::string_view label, const std::string& value) {
    std::string line = "  ";
    line += label;
    line += ": ";
    line += value;
    out.Add(line);
}

// A field that may hold several lines: the first beside its label, the rest indented.
void TextLines(StreamTarget& out, std::string_view label, std::string_view text) {
    if (text.empty())
        return;
    std::size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string part = Visible(text.substr(start, end - start));
        if (first)
            Line(out, label, part);
        else
            out.Add(part.empty() ? std::string() : "    " + part);
        first = false;
        start = end + 1;
    }
}

void ItemHeading(StreamTarget& out, const Content& c, const Item& item) {
    std::string line = "Record " + std::to_string(item.Record) + " (" + CategoryName(c, item.Category);
    if (item.Private)
        line += ", private";
    if (item.Deleted)
        line += ", deleted";
    if (item.Damaged)
        line += ", damaged";
    out.Add(line + ")");
}

void PrintPayload(StreamTarget& out, const Content& c, const Memos& p) {
    for (const MemoItem& item : p.Items) {
        ItemHeading(out, c, item);
        TextLines(out, "Text", item.Text);
    }
}

namespace {

// The lines a to-do and a task share, before what a task adds.
void ToDoLines(StreamTarget& out, const Content& c, const ToDoItem& item) {
    ItemHeading(out, c, item);
    TextLines(out, "Description", item.Description);
    Line(out, "Due", DateText(item.Due, "none"));
    Line(out, "Priority", std::to_string(item.Priority));
    Line(out, "Completed", YesNo(item.Completed));
}

} // namespace

void PrintPayload(StreamTarget& out, const Content& c, const ToDos& p) {
    for (const ToDoItem& item : p.Items) {
        ToDoLines(out, c, item);
        TextLines(out, "Note", item.Note);
    }
}

void PrintPayload(StreamTarget& out, const Content& c, const Tasks& p) {
    for (const TaskItem& item : p.Items) {
        ToDoLines(out, c, item);
        if (item.CompletedOn)
            Line(out, "Completed on", item.CompletedOn->Iso());
        if (item.Alarm)
            Line(out, "Alarm", item.Alarm->At.Text() + ", " +
                                   std::to_string(item.Alarm->DaysBefore) + " days before");
        if (item.Repeat)
            Line(out, "Repeat", RepeatText(*item.Repeat, item.RepeatFrom));
        if (item.UnknownFlags)
            Line(out, "Unknown flags", Hex(item.UnknownFlags));
        TextLines(out, "Note", item.Note);
    }
}

namespace {

// An event's lines up to its note, which the calendar's follow.
void EventLines(StreamTarget& out, const Content& c, const DatebookItem& item) {
    ItemHeading(out, c, item);
    TextLines(out, "Description", item.Description);
    Line(out, "Date", DateText(item.When, "none"));
    Line(out, "Time",
         item.Start ? item.Start->Text() + " to " + (item.End ? item.End->Text() : std::string("?"))
                    : "untimed");
    if (item.Alarm)
        Line(out, "Alarm", AlarmText(*item.Alarm));
    if (item.Repeat)
        Line(out, "Repeat", RepeatText(*item.Repeat, item.When));
    if (!item.Exceptions.empty()) {
        std::string dates;
        for (const Date& date : item.Exceptions)
            dates += (dates.empty() ? "" : ", ") + date.Iso();
        Line(out, "Exceptions", dates);
    }
    if (item.UnknownFlags) {
        Line(out, "Unknown flags", Hex(item.UnknownFlags));
    }
}

// "UTC+01:00, daylight saving +60 minutes from the last Sunday of March at 2 to the last
// Sunday of October at 3"
std::string ZoneText(const TimeZone& z) {
    static const char* const days[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                       "Thursday", "Friday", "Saturday"};
    static const char* const weeks[] = {"first", "second", "third", "fourth", "last"};
    static const char* const months[] = {"January", "February", "March",     "April",
                                         "May",     "June",     "July",      "August",
                                         "September", "October", "November", "December"};
    const auto rule = [&](const DstRule& r) {
        if (r.WeekDay > 6 || r.Week > 4 || r.Month < 1 || r.Month > 12)
            return std::string("(no rule)");
        return std::string("the ") + weeks[r.Week] + " " + days[r.WeekDay] + " of " +
               months[r.Month - 1] + " at " + std::to_string(r.Hour);
    };
    char offset[16];
    std::snprintf(offset, sizeof offset, "UTC%c%02d:%02d", z.Offset < 0 ? '-' : '+',
                  std::abs(z.Offset) / 60, std::abs(z.Offset) % 60);
    std::string text = Visible(z.Name) + " (" + offset;
    if (z.DstAmount)
        text += ", daylight saving +" + std::to_string(z.DstAmount) + " minutes from " +
                rule(z.Start) + " to " + rule(z.End);
    return text + (z.Custom ? ", the owner's own)" : ")");
}

} // namespace

void PrintPayload(StreamTarget& out, const Content& c, const Datebook& p) {
    for (const DatebookItem& item : p.Items) {
        EventLines(out, c, item);
        TextLines(out, "Note", item.Note);
    }
}

void PrintPayload(StreamTarget& out, const Content& c, const Calendar& p) {
    for (const CalendarItem& item : p.Items) {
        EventLines(out, c, item);
        TextLines(out, "Location", item.Location);
        if (item.Zone)
            Line(out, "Time zone", ZoneText(*item.Zone));
        for (const TaggedBlock& blob : item.OtherBlobs)
            Line(out, "Block", blob.Type + ", " + std::to_string(blob.Size) + " bytes");
        TextLines(out, "Note", item.Note);
    }
}

void PrintPayload(StreamTarget& out, const Content& c, const AddressBook& p) {
    for (const AddressItem& item : p.Items) {
        ItemHeading(out, c, item);
        for (std::size_t field = 0; field < AddressFieldCount; ++field) {
            if (!item.Fields[field])
                continue;
            std::string label = !p.Labels[field].empty() ? Visible(p.Labels[field])
                                                         : std::string(AddressFieldName(field));
            if (field >= Phone1 && field <= Phone5) {
                const std::size_t phone = field - Phone1;
                label = PhoneLabelText(p, item.PhoneLabels[phone]);
                if (static_cast<int>(phone) == item.DisplayPhone)
                    label += " (shown)";
            }
            TextLines(out, label, *item.Fields[field]);
        }
    }
}

void PrintPayload(StreamTarget& out, const Content& c, const MailBox& p) {
    static const char* const priorities[] = {"high", "normal", "low", "3"};
    static const char* const addressing[] = {"to", "cc", "bcc", "3"};
    for (const MailItem& item : p.Items) {
        ItemHeading(out, c, item);
        Line(out, "Date", item.Day ? item.Day->Iso() + (item.At ? " " + item.At->Text() : "")
                                   : std::string("none"));
        TextLines(out, "From", item.From);
        TextLines(out, "To", item.To);
        TextLines(out, "Cc", item.Cc);
        TextLines(out, "Bcc", item.Bcc);
        TextLines(out, "Reply-To", item.ReplyTo);
        TextLines(out, "Sent-To", item.SentTo);
        TextLines(out, "Subject", item.Subject);
        std::string flags = std::string("read ") + YesNo(item.Read) + ", signature " +
                            YesNo(item.Signature) + ", confirm read " + YesNo(item.ConfirmRead) +
                            ", confirm delivery " + YesNo(item.ConfirmDelivery) + ", priority " +
                            priorities[item.Priority & 3] + ", addressing " +
                            addressing[item.Addressing & 3];
        Line(out, "Flags", flags);
        TextLines(out, "Body", item.Body);
    }
}

void PrintContent(StreamTarget& out, const Content& c) {
    out.Add("[Content]");
    out.Add("Format: " + std::string(c.Format->Name));
    out.Add("Encoding: " + c.Encoding + (c.EncodingDetected ? " (detected)" : ""));
    // What the detection weighed, when the text held anything but ASCII.
    if (const EncodingEvidence& e = c.Evidence; c.EncodingDetected && e.Japanese + e.Against > 0)
        out.Add("Encoding evidence: " + std::to_string(e.Japanese) + " for cp932, " +
                std::to_string(e.Against) + " against, in " + std::to_string(e.Weighed) +
                " bytes of text" + (e.Thin ? " (thin)" : ""));
    if (c.Categories) {
        out.Add("Categories:");
        for (std::size_t i = 0; i < CategoryCount; ++i) {
            const Category& category = c.Categories->Items[i];
            if (category.Name.empty())
                continue;
            char line[64];
            std::snprintf(line, sizeof line, "  %2zu ID %3u%s: ", i, category.ID,
                          category.Renamed ? " renamed" : "");
            out.Add(line + Visible(category.Name));
        }
    }
    WithPayload(c, [&](const auto& payload) { PrintPayload(out, c, payload); });
    for (const Finding& f : c.Findings)
        out.Add(FindingLine(f)); // as --check has it
}

} // namespace vexlin::dump

// The viewer's rows of the record formats: the key columns of each.
namespace vexlin::dump {

namespace {

using namespace content;

void ToDoRows(ContentTable& t, const auto& items) {
    t.Columns = {"Record", "Description", "Due", "Priority", "Done"};
    for (const ToDoItem& item : items) {
        ContentRow& row = AddRow(t, item);
        row.Cells.push_back(FirstLine(item.Description));
        row.Cells.push_back(item.Due ? item.Due->Iso() : "");
        row.Cells.push_back(std::to_string(item.Priority));
        row.Cells.push_back(item.Completed ? "yes" : "");
    }
}

void EventRows(ContentTable& t, const auto& items) {
    t.Columns = {"Record", "Date", "Time", "Description", "Repeat"};
    for (const DatebookItem& item : items) {
        ContentRow& row = AddRow(t, item);
        row.Cells.push_back(item.When ? item.When->Iso() : "");
        row.Cells.push_back(item.Start ? item.Start->Text() + " to " +
                                             (item.End ? item.End->Text() : std::string("?"))
                                       : "untimed");
        row.Cells.push_back(FirstLine(item.Description));
        row.Cells.push_back(item.Repeat ? RepeatText(*item.Repeat, item.When) : "");
    }
}

} // namespace

// "Last, First" as the handheld's list shows a name.
std::string ListName(const std::optional<std::string>& last,
                     const std::optional<std::string>& first) {
    const std::string a = last ? FirstLine(*last) : "";
    const std::string b = first ? FirstLine(*first) : "";
    return a.empty() ? b : b.empty() ? a : a + ", " + b;
}

void Tabulate(ContentTable& t, const Content&, const Memos& p) {
    t.Columns = {"Record", "Memo"};
    for (const MemoItem& item : p.Items)
        AddRow(t, item).Cells.push_back(FirstLine(item.Text));
}

void Tabulate(ContentTable& t, const Content&, const ToDos& p) {
    ToDoRows(t, p.Items);
}

void Tabulate(ContentTable& t, const Content&, const Tasks& p) {
    ToDoRows(t, p.Items);
}

void Tabulate(ContentTable& t, const Content&, const Datebook& p) {
    EventRows(t, p.Items);
}

void Tabulate(ContentTable& t, const Content&, const Calendar& p) {
    EventRows(t, p.Items);
}

void Tabulate(ContentTable& t, const Content&, const AddressBook& p) {
    t.Columns = {"Record", "Name", "Company", "Phone"};
    for (const AddressItem& item : p.Items) {
        ContentRow& row = AddRow(t, item);
        row.Cells.push_back(ListName(item.Fields[LastName], item.Fields[FirstName]));
        row.Cells.push_back(item.Fields[Company] ? FirstLine(*item.Fields[Company]) : "");
        const auto& phone = item.Fields[Phone1 + static_cast<std::size_t>(item.DisplayPhone % 5)];
        row.Cells.push_back(phone ? FirstLine(*phone) : "");
    }
}

void Tabulate(ContentTable& t, const Content&, const MailBox& p) {
    t.Columns = {"Record", "Date", "From", "Subject"};
    for (const MailItem& item : p.Items) {
        ContentRow& row = AddRow(t, item);
        row.Cells.push_back(item.Day ? item.Day->Iso() + (item.At ? " " + item.At->Text() : "")
                                     : "");
        row.Cells.push_back(FirstLine(item.From));
        row.Cells.push_back(FirstLine(item.Subject));
    }
}

} // namespace vexlin::dump
