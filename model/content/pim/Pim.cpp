#include "content/pim/Pim.h"
#include "Hex.h"
#include "FindingCodes.h"

#include "content/core/Categories.h"
#include "content/pim/Fields.h"

#include <algorithm>
#include <cstdio>

namespace vexlin::content {

namespace {

constexpr std::uint16_t NoDate = 0xFFFF;

bool LeapYear(int year) noexcept {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) noexcept {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && LeapYear(year) ? 29 : days[month - 1];
}

// Days since 1970-01-01 (the civil-from-days algorithm, run backwards).
long DayNumber(const Date& d) noexcept {
    const int y = d.Month <= 2 ? d.Year - 1 : d.Year;
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (d.Month + (d.Month > 2 ? -3 : 9)) + 2) / 5 + d.Day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097L + doe - 719468;
}

Date FromDayNumber(long z) noexcept {
    z += 719468;
    const long era = z / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yoe + era * 400 + (month <= 2)), month,
            static_cast<int>(doy - (153 * mp + 2) / 5 + 1)};
}

int WeekDayOf(long dayNumber) noexcept {
    // 1970-01-01 was a Thursday; 0 = Sunday. The device's dates from 1904 come before it.
    return static_cast<int>(((dayNumber + 4) % 7 + 7) % 7);
}


} // namespace

// A packed date read from the record; an impossible one is reported where it lies.
std::optional<Date> ReadDate(Reader& in, std::uint16_t packed, std::string_view what) {
    const auto date = UnpackDate(packed);
    if (!date) {
        in.ReportAt(in.Position() - 2, Severity::Warning, codes::ContentBadDate.Code,
                    "the " + std::string(what) + " " + Hex(packed) + " is no date");
    }
    return date;
}

std::optional<Time> CheckedTime(Reader& in, std::size_t at, int hour, int minute,
                                std::string_view what) {
    if (hour > 23 || minute > 59) {
        in.ReportAt(at, Severity::Warning, codes::ContentBadTime.Code,
                    "the " + std::string(what) + " " + std::to_string(hour) + ":" +
                        std::to_string(minute) + " is no time of day");
        return std::nullopt;
    }
    return Time{hour, minute};
}

// A text field; empty when the record ended before it (already reported).
std::string TextField(Reader& in, std::string_view what) {
    return in.Text(what).value_or(std::string());
}


std::string Date::Iso() const {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", Year, Month, Day);
    return text;
}

std::string Time::Text() const {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", Hour, Minute);
    return text;
}

std::optional<Date> UnpackDate(std::uint16_t packed) noexcept {
    const Date date{1904 + (packed >> 9), packed >> 5 & 0x0F, packed & 0x1F};
    if (date.Month < 1 || date.Month > 12 || date.Day < 1 ||
        date.Day > DaysInMonth(date.Year, date.Month))
        return std::nullopt;
    return date;
}

std::string_view AddressFieldName(std::size_t field) noexcept {
    static constexpr std::string_view names[AddressFieldCount] = {
        "LastName", "FirstName", "Company", "Phone1",  "Phone2",  "Phone3",  "Phone4",
        "Phone5",   "Address",   "City",    "State",   "ZipCode", "Country", "Title",
        "Custom1",  "Custom2",   "Custom3", "Custom4", "Note"};
    return field < AddressFieldCount ? names[field] : std::string_view();
}

std::string_view PhoneLabelName(int label) noexcept {
    static constexpr std::string_view names[] = {"Work", "Home",   "Fax",   "Other",
                                                 "E-mail", "Main", "Pager", "Mobile"};
    return label >= 0 && label < 8 ? names[label] : std::string_view();
}

MemoItem DecodeMemo(const Bytes& record, const std::string& where, Decoding& d) {
    Reader in(record, where, d);
    MemoItem item;
    if (!record.Data.empty())
        item.Text = TextField(in, "memo text");
    return Finished(std::move(item), in);
}

ToDoItem DecodeToDo(const Bytes& record, const std::string& where, Decoding& d) {
    Reader in(record, where, d);
    ToDoItem item;
    if (record.Data.empty())
        return item;
    if (const auto due = in.U16("due date"); due && *due != NoDate)
        item.Due = ReadDate(in, *due, "due date");
    if (const auto priority = in.U8("priority")) {
        item.Completed = (*priority & 0x80) != 0;
        item.Priority = *priority & 0x7F;
    }
    item.Description = TextField(in, "description");
    item.Note = TextField(in, "note");
    return Finished(std::move(item), in);
}

std::optional<Date> FirstOccurrence(const DatebookItem& item) {
    return FirstOccurrence(item.When, item.Repeat);
}

std::optional<Date> FirstOccurrence(const std::optional<Date>& from,
                                    const std::optional<EventRepeat>& repeat) {
    if (!from)
        return std::nullopt;
    if (!repeat)
        return from;
    const EventRepeat& r = *repeat;
    if (r.Type == RepeatType::Unknown || r.Frequency <= 0 ||
        (r.Type == RepeatType::MonthlyByDay && r.Week > 4) ||
        (r.Type == RepeatType::Weekly && r.Days.empty()))
        return std::nullopt;
    const Date& start = *from;
    long first = DayNumber(start);
    if (r.Type == RepeatType::Weekly && !r.Days.empty()) {
        // Weeks count from the one the date lies in (starting on the repeat's first day of
        // the week, Monday as a calendar takes it when that is none); within Frequency
        // weeks and seven days one of the days comes.
        const int weekStart = r.WeekStart >= 0 && r.WeekStart < 7 ? r.WeekStart : 1;
        const long weekOne = first - (WeekDayOf(first) - weekStart + 7) % 7;
        while ((first - weekOne) / 7 % r.Frequency != 0 ||
               std::find(r.Days.begin(), r.Days.end(), WeekDayOf(first)) == r.Days.end())
            ++first;
    } else if (r.Type == RepeatType::MonthlyByDay) {
        // The chosen weekday of the date's month, or else of the repeat's next month.
        for (int months = 0;; months += r.Frequency) {
            const int index = start.Year * 12 + start.Month - 1 + months;
            const Date monthStart{index / 12, index % 12 + 1, 1};
            const long one = DayNumber(monthStart);
            const int offset = (r.Day - WeekDayOf(one) + 7) % 7;
            const int weeks =
                r.Week < 4 ? r.Week
                           : (DaysInMonth(monthStart.Year, monthStart.Month) - 1 - offset) / 7;
            if (one + offset + 7 * weeks >= first) {
                first = one + offset + 7 * weeks;
                break;
            }
        }
    }
    if (r.End && DayNumber(*r.End) < first)
        return std::nullopt;
    return FromDayNumber(first);
}

void ReadRepeat(Reader& in, const std::optional<Date>& from, std::optional<EventRepeat>& out) {
    const auto type = in.U8("repeat type");
    const bool reserved = in.Skip(1, "repeat");
    const auto end = in.U16("repeat end date");
    const auto frequency = in.U8("repeat frequency");
    const auto on = in.U8("repeat days");
    const auto weekStart = in.U8("repeat start of week");
    in.Skip(1, "repeat");
    if (!type || !reserved)
        return;
    if (*type == 0)
        return; // "no repeat", as some desktop tools write it with the flag set
    EventRepeat repeat;
    repeat.RawType = *type;
    if (*type <= 5) {
        repeat.Type = static_cast<RepeatType>(*type);
    } else {
        repeat.Type = RepeatType::Unknown;
        in.ReportAt(in.Position() - 8, Severity::Warning, codes::ContentRepeatType.Code,
                    "unknown repeat type " + std::to_string(*type));
    }
    if (end && *end != NoDate) {
        repeat.End = UnpackDate(*end);
        if (!repeat.End)
            in.ReportAt(in.Position() - 6, Severity::Warning, codes::ContentBadDate.Code,
                        "the repeat end date " + Hex(*end) + " is no date");
    }
    repeat.Frequency = frequency.value_or(1);
    repeat.WeekStart = weekStart.value_or(0);
    if (on && repeat.Type == RepeatType::Weekly) {
        for (int day = 0; day < 7; ++day) {
            if (*on >> day & 1)
                repeat.Days.push_back(day);
        }
        // The device never saves a weekly repeat without a day: it has no meaning.
        if (repeat.Days.empty())
            in.ReportAt(in.Position() - 3, Severity::Warning, codes::ContentRepeatDay.Code,
                        "weekly repeat on no day of the week (left out of an export)");
    } else if (on && repeat.Type == RepeatType::MonthlyByDay) {
        repeat.Week = *on / 7;
        repeat.Day = *on % 7;
        if (repeat.Week > 4)
            in.ReportAt(in.Position() - 3, Severity::Warning, codes::ContentRepeatDay.Code,
                        "monthly repeat on day " + std::to_string(*on) + " of 35");
    }
    out = repeat;
    if (repeat.Type == RepeatType::Unknown ||
        (repeat.Type == RepeatType::MonthlyByDay && repeat.Week > 4) ||
        (on && repeat.Type == RepeatType::Weekly && repeat.Days.empty()))
        return; // reported above
    if (repeat.Frequency == 0) {
        in.ReportAt(in.Position() - 4, Severity::Warning, codes::ContentRepeatFrequency.Code,
                    "repeat frequency 0: the repeat has no meaning (left out of an export)");
    } else if (from && !FirstOccurrence(from, out)) {
        in.ReportAt(in.Position() - 6, Severity::Warning, codes::ContentRepeatNever.Code,
                    "the repeat ends on " + repeat.End->Iso() +
                        ", before the first of its days from " + from->Iso() +
                        ": the event never occurs (left out of an export)");
    }
}

bool ReadEventFields(Reader& in, DatebookItem& item, std::uint16_t known) {
    const auto startHour = in.U8("start time");
    const auto startMinute = in.U8("start time");
    const auto endHour = in.U8("end time");
    const auto endMinute = in.U8("end time");
    const auto when = in.U16("date");
    const auto flags = in.U16("flags");
    if (when)
        item.When = ReadDate(in, *when, "date");
    if (startHour && startMinute && !(*startHour == 0xFF && *startMinute == 0xFF)) {
        item.Start = CheckedTime(in, 0, *startHour, *startMinute, "start time");
        if (endHour && endMinute)
            item.End = CheckedTime(in, 2, *endHour, *endMinute, "end time");
        if (item.Start && item.End &&
            item.End->Hour * 60 + item.End->Minute < item.Start->Hour * 60 + item.Start->Minute)
            in.ReportAt(2, Severity::Warning, codes::ContentEndBeforeStart.Code,
                        "the event ends at " + item.End->Text() + ", before it starts at " +
                            item.Start->Text() + " (left out of an export)");
    }
    if (!flags)
        return false;
    item.Flags = *flags;
    item.UnknownFlags = *flags & static_cast<std::uint16_t>(~known);
    // The low byte is padding that devices leave as it was (0x24aa in a real datebook): kept,
    // but only an unknown bit among the named ones of the high byte is worth a note.
    if ((item.UnknownFlags & 0xFF00) != 0) {
        in.ReportAt(6, Severity::Note, codes::ContentUnknownFlags.Code,
                    "flag bits " + Hex(item.UnknownFlags & 0xFF00) + " unknown (kept)");
    }
    if (*flags & 0x4000) {
        const auto advance = in.U8("alarm");
        const auto unit = in.U8("alarm unit");
        if (advance && unit && static_cast<std::int8_t>(*advance) != -1) {
            EventAlarm alarm;
            alarm.Advance = static_cast<std::int8_t>(*advance);
            alarm.RawUnit = *unit;
            alarm.Unit = *unit <= 2 ? static_cast<AlarmUnit>(*unit) : AlarmUnit::Unknown;
            if (alarm.Unit == AlarmUnit::Unknown)
                in.ReportAt(in.Position() - 1, Severity::Warning, codes::ContentAlarmUnit.Code,
                            "unknown alarm unit " + std::to_string(*unit));
            if (alarm.Advance < 0)
                in.ReportAt(in.Position() - 2, Severity::Warning, codes::ContentAlarmAdvance.Code,
                            "alarm advance " + std::to_string(alarm.Advance) +
                                ": after the start, which the device never sets (left out of an "
                                "export)");
            item.Alarm = alarm;
        }
    }
    if (*flags & 0x2000)
        ReadRepeat(in, item.When, item.Repeat);
    if (*flags & 0x0800) {
        if (const auto count = in.U16("exception count")) {
            if (std::size_t{*count} * 2 > in.Left()) {
                in.Report(Severity::Error, codes::ContentExceptionsPastEnd.Code,
                          std::to_string(*count) + " exceptions need " +
                              std::to_string(*count * 2) + " bytes, " +
                              std::to_string(in.Left()) + " are left");
            }
            const std::size_t held = std::min<std::size_t>(*count, in.Left() / 2);
            for (std::size_t i = 0; i < held; ++i) {
                const std::uint16_t packed = *in.U16("exception");
                if (const auto date = ReadDate(in, packed, "exception"))
                    item.Exceptions.push_back(*date);
            }
            if (held < *count)
                in.Skip(in.Left(), "exceptions");
        }
    }
    if (*flags & 0x0400)
        item.Description = TextField(in, "description");
    if (*flags & 0x1000)
        item.Note = TextField(in, "note");
    return true;
}

DatebookItem DecodeDatebook(const Bytes& record, const std::string& where, Decoding& d) {
    Reader in(record, where, d);
    DatebookItem item;
    if (!record.Data.empty())
        ReadEventFields(in, item);
    return record.Data.empty() ? item : Finished(std::move(item), in);
}

AddressItem DecodeAddress(const Bytes& record, const std::string& where, Decoding& d) {
    Reader in(record, where, d);
    AddressItem item;
    if (record.Data.empty())
        return item;
    const auto options = in.U32("phone labels");
    const auto present = in.U32("field map");
    const auto company = in.U8("company offset");
    if (options) {
        for (std::size_t i = 0; i < PhoneCount; ++i)
            item.PhoneLabels[i] = static_cast<int>(*options >> (4 * i) & 0x0F);
        item.DisplayPhone = static_cast<int>(*options >> 20 & 0x0F);
    }
    item.CompanyOffset = company.value_or(0);
    if (!present)
        return Finished(std::move(item), in);
    for (std::size_t field = 0; field < AddressFieldCount; ++field) {
        if (*present >> field & 1)
            item.Fields[field] = in.Text(AddressFieldName(field));
    }
    if (*present >> AddressFieldCount != 0) {
        in.ReportAt(4, Severity::Note, codes::ContentUnknownFlags.Code,
                    "field map bits " + Hex(*present >> AddressFieldCount << AddressFieldCount) +
                        " name no field");
    }
    return Finished(std::move(item), in);
}

MailItem DecodeMail(const Bytes& record, const std::string& where, Decoding& d) {
    Reader in(record, where, d);
    MailItem item;
    if (record.Data.empty())
        return item;
    const auto day = in.U16("date");
    const auto hour = in.U8("time");
    const auto minute = in.U8("time");
    const auto flags = in.U16("flags");
    if (day && *day != 0) {
        item.Day = ReadDate(in, *day, "date");
        if (item.Day && hour && minute)
            item.At = CheckedTime(in, 2, *hour, *minute, "time");
    }
    if (flags) {
        item.Read = (*flags & 0x8000) != 0;
        item.Signature = (*flags & 0x4000) != 0;
        item.ConfirmRead = (*flags & 0x2000) != 0;
        item.ConfirmDelivery = (*flags & 0x1000) != 0;
        item.Priority = *flags >> 10 & 3;
        item.Addressing = *flags >> 8 & 3;
    }
    std::string* fields[] = {&item.Subject, &item.From,   &item.To,     &item.Cc,
                             &item.Bcc,     &item.ReplyTo, &item.SentTo, &item.Body};
    static constexpr std::string_view names[] = {"subject", "from",    "to",      "cc",
                                                 "bcc",     "reply-to", "sent-to", "body"};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        *fields[i] = TextField(in, names[i]);
    return Finished(std::move(item), in);
}

void DecodeDatebookAppInfo(const Bytes& appInfo, Datebook& book) {
    if (appInfo.Data.size() <= CategoryBlockSize + 2)
        return;
    book.StartOfWeek = appInfo.Data[CategoryBlockSize + 2];
}

void DecodeAddressAppInfo(const Bytes& appInfo, AddressBook& book, Decoding& d) {
    if (appInfo.Data.size() <= CategoryBlockSize)
        return;
    const Bytes rest{static_cast<std::uint32_t>(appInfo.Offset + CategoryBlockSize),
                     appInfo.Data.subspan(CategoryBlockSize)};
    Reader in(rest, "app info", d);
    if (!in.Skip(2, "reserved word") || !in.U32("renamed labels"))
        return;
    for (std::string& label : book.Labels) {
        const auto text = in.FixedText(16, "field labels");
        if (!text)
            return;
        label = *text;
    }
    book.Country = in.U8("country").value_or(0);
    book.SortByCompany = (in.U8("sort order").value_or(0) & 1) != 0;
}

} // namespace vexlin::content
