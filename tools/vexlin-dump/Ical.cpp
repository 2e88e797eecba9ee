// The datebook, the to-do list and the tasks as iCalendar 2.0 (RFC 5545) through libical's
// component builders: VEVENT with DTSTART/DTEND (untimed events as VALUE=DATE), RRULE, EXDATE
// and VALARM; VTODO with DUE, PRIORITY, STATUS and CLASS, and for a task COMPLETED, RRULE and
// VALARM. Times are floating: the device kept
// local time without a zone. libical escapes, folds and ends lines with CRLF. An event is
// written as the device shows it (from its first occurrence) or, when it means nothing a
// calendar can hold, left out: the decoder's findings say which.
//
// libical is loaded the first time a calendar is written, not linked: linked, it and the ICU
// libraries it needs would be loaded by every run of vexlin-dump, which costs a small file's
// run a few milliseconds. Each libical function used below is a pointer of the same name in
// this file's namespace (found before the library's declaration), filled by LoadLibical.
#include "ContentModes.h"
#include "Escape.h"

#include <libical/ical.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <new>

#define VEXLIN_LIBICAL_FUNCTIONS(F)                                                            \
    F(icalcomponent_add_component) F(icalcomponent_add_property)                               \
    F(icalcomponent_as_ical_string_r) F(icalcomponent_free) F(icalcomponent_new_valarm)        \
    F(icalcomponent_new_vcalendar) F(icalcomponent_new_vevent) F(icalcomponent_new_vtodo)      \
    F(icalparameter_new_related) F(icalproperty_add_parameter) F(icalproperty_new_completed)   \
    F(icalparameter_new_tzid) F(icalproperty_new_location) F(icalproperty_new_tzid)            \
    F(icalproperty_new_tzoffsetfrom) F(icalproperty_new_tzoffsetto)                           \
    F(icalcomponent_new_vtimezone) F(icalcomponent_new_xstandard)                              \
    F(icalcomponent_new_xdaylight)                                                             \
    F(icalproperty_new_action) F(icalproperty_new_categories) F(icalproperty_new_class)        \
    F(icalproperty_new_description) F(icalproperty_new_dtend) F(icalproperty_new_dtstamp)      \
    F(icalproperty_new_dtstart) F(icalproperty_new_due) F(icalproperty_new_exdate)             \
    F(icalproperty_new_priority) F(icalproperty_new_prodid) F(icalproperty_new_rrule)          \
    F(icalproperty_new_status) F(icalproperty_new_summary) F(icalproperty_new_trigger)         \
    F(icalproperty_new_uid) F(icalproperty_new_version) F(icalrecurrencetype_from_string)      \
    F(icaltime_adjust) F(icaltime_from_timet_with_zone) F(icaltime_null_date)                  \
    F(icaltime_null_time) F(icaltimezone_get_utc_timezone) F(icaltriggertype_from_int)

namespace vexlin::dump {

namespace {

#define VEXLIN_LIBICAL_POINTER(name) decltype(&::name) name = nullptr;
VEXLIN_LIBICAL_FUNCTIONS(VEXLIN_LIBICAL_POINTER)
#undef VEXLIN_LIBICAL_POINTER

// Loads libical once (it stays loaded to the end of the run); throws ExportError naming the
// library when it or one of its functions is missing.
void LoadLibical(const std::string& file) {
    static const std::string failure = []() -> std::string {
        void* library = ::dlopen(VEXLIN_LIBICAL, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return ::dlerror();
#define VEXLIN_LIBICAL_LOAD(name)                                                                \
    name = reinterpret_cast<decltype(name)>(::dlsym(library, #name));                            \
    if (!name)                                                                                   \
        return std::string(VEXLIN_LIBICAL ": no ") + #name;
        VEXLIN_LIBICAL_FUNCTIONS(VEXLIN_LIBICAL_LOAD)
#undef VEXLIN_LIBICAL_LOAD
        return {};
    }();
    if (!failure.empty())
        throw ExportError(file + ": the iCalendar library could not be loaded (" + failure + ")");
}

using namespace content;

struct ComponentDeleter {
    void operator()(icalcomponent* c) const noexcept { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

icaltimetype DayOf(const Date& date) {
    icaltimetype t = icaltime_null_date();
    t.year = date.Year;
    t.month = date.Month;
    t.day = date.Day;
    return t;
}

icaltimetype TimeOf(const Date& date, const Time& time) {
    icaltimetype t = icaltime_null_time();
    t.year = date.Year;
    t.month = date.Month;
    t.day = date.Day;
    t.hour = time.Hour;
    t.minute = time.Minute;
    return t;
}

icaltimetype Now() {
    return icaltime_from_timet_with_zone(std::time(nullptr), 0, icaltimezone_get_utc_timezone());
}

Component NewCalendar() {
    Component calendar(icalcomponent_new_vcalendar());
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Vexlin//vexlin-dump//EN"));
    return calendar;
}

// libical writes a CATEGORIES value with its commas and semicolons as they are (a list to
// it), so that "Work,Home" would read as two categories. The category goes in with them as
// these two control characters, which ExportText leaves in no text, and WriteCalendar writes
// them escaped.
constexpr char CategoryComma = '\x01';
constexpr char CategorySemicolon = '\x02';

// UID, DTSTAMP, SUMMARY, DESCRIPTION, CATEGORIES and CLASS, which events and to-dos share.
// Text goes through ExportText: libical would drop a lone CR and keep other controls.
void AddCommon(icalcomponent* c, const Content& content, const std::string& base,
               const Item& item, const std::string& summary, const std::string& note) {
    const std::string uid = UidText(base) + "-" + std::to_string(item.Record) + "@palm";
    icalcomponent_add_property(c, icalproperty_new_uid(uid.c_str()));
    icalcomponent_add_property(c, icalproperty_new_dtstamp(Now()));
    icalcomponent_add_property(c, icalproperty_new_summary(ExportText(summary).c_str()));
    if (!note.empty())
        icalcomponent_add_property(c, icalproperty_new_description(ExportText(note).c_str()));
    if (std::string category = ExportText(ExportCategory(content, item.Category));
        !category.empty()) {
        std::replace(category.begin(), category.end(), ',', CategoryComma);
        std::replace(category.begin(), category.end(), ';', CategorySemicolon);
        icalcomponent_add_property(c, icalproperty_new_categories(category.c_str()));
    }
    if (item.Private)
        icalcomponent_add_property(c, icalproperty_new_class(ICAL_CLASS_PRIVATE));
}

const char* const WeekDays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// The repeat as a rule in RFC 5545's grammar, parsed by libical. An until date matches the
// event's value type: a date for an untimed event, the end of that day otherwise.
// With a zone (utcOffset, minutes east) a timed event's UNTIL is the end of that day as UTC, as
// RFC 5545 has it for a start in a time zone.
std::string RuleText(const EventRepeat& r, const std::optional<Date>& from, bool timed,
                     std::optional<int> utcOffset = std::nullopt) {
    static const char* const frequencies[] = {"", "DAILY", "WEEKLY", "MONTHLY", "MONTHLY", "YEARLY"};
    std::string rule = std::string("FREQ=") + frequencies[static_cast<int>(r.Type)] +
                       ";INTERVAL=" + std::to_string(r.Frequency);
    if (r.Type == RepeatType::Weekly && !r.Days.empty()) {
        rule += ";BYDAY=";
        for (std::size_t i = 0; i < r.Days.size(); ++i)
            rule += std::string(i ? "," : "") + WeekDays[r.Days[i]];
    } else if (r.Type == RepeatType::MonthlyByDay) {
        rule += ";BYDAY=" + std::string(r.Week >= 4 ? "-1" : std::to_string(r.Week + 1)) +
                WeekDays[r.Day % 7];
    } else if (r.Type == RepeatType::MonthlyByDate && from) {
        rule += ";BYMONTHDAY=" + std::to_string(from->Day);
    }
    if (r.End && timed && utcOffset) {
        icaltimetype until = TimeOf(*r.End, Time{23, 59});
        until.second = 59;
        icaltime_adjust(&until, 0, 0, -*utcOffset, 0);
        char text[32];
        std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ", until.year, until.month,
                      until.day, until.hour, until.minute, until.second);
        rule += ";UNTIL=" + std::string(text);
    } else if (r.End) {
        char until[32];
        std::snprintf(until, sizeof until, "%04d%02d%02d%s", r.End->Year, r.End->Month,
                      r.End->Day, timed ? "T235959" : "");
        rule += ";UNTIL=" + std::string(until);
    }
    if (r.WeekStart >= 0 && r.WeekStart < 7)
        rule += ";WKST=" + std::string(WeekDays[r.WeekStart]);
    return rule;
}

void AddAlarm(icalcomponent* event, const EventAlarm& alarm, const std::string& summary) {
    static constexpr int seconds[] = {60, 3600, 86400};
    if (alarm.Unit == AlarmUnit::Unknown || alarm.Advance < 0) // reported by the decoder
        return;
    icalcomponent* valarm = icalcomponent_new_valarm();
    icalcomponent_add_property(valarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icalcomponent_add_property(valarm, icalproperty_new_description(ExportText(summary).c_str()));
    icalcomponent_add_property(
        valarm, icalproperty_new_trigger(icaltriggertype_from_int(
                    -alarm.Advance * seconds[static_cast<int>(alarm.Unit)])));
    icalcomponent_add_component(event, valarm);
}

} // namespace

// Whether the event means something a calendar can hold: it occurs (FirstOccurrence) and
// does not end before it starts. The decoder reports each that does not. Export's
// "nothing to export" asks it too.
bool Exportable(const DatebookItem& item) {
    if (item.Start && item.End &&
        item.End->Hour * 60 + item.End->Minute < item.Start->Hour * 60 + item.Start->Minute)
        return false;
    return FirstOccurrence(item).has_value();
}

namespace {

// DTSTART is the first occurrence: a calendar counts the start as one even where the repeat
// does not fall on it, the device does not.
// A timed event's times in its zone (TZID, the VTIMEZONE the calendar holds), or floating
// local time without one.
icalproperty* Zoned(icalproperty* property, const std::string* zone) {
    if (zone)
        icalproperty_add_parameter(property, icalparameter_new_tzid(zone->c_str()));
    return property;
}

icalcomponent* Event(const Content& c, const std::string& base, const DatebookItem& item,
                     const std::string* zone = nullptr, std::optional<int> utcOffset = {}) {
    icalcomponent* event = icalcomponent_new_vevent();
    AddCommon(event, c, base, item, item.Description, item.Note);
    const Date when = *FirstOccurrence(item);
    if (!item.Start)
        zone = nullptr, utcOffset = std::nullopt; // a day is a day in every zone
    if (item.Start) {
        icalcomponent_add_property(
            event, Zoned(icalproperty_new_dtstart(TimeOf(when, *item.Start)), zone));
        // An end time that is none (reported) gives an event of no length.
        const Time end = item.End.value_or(*item.Start);
        icalcomponent_add_property(event,
                                   Zoned(icalproperty_new_dtend(TimeOf(when, end)), zone));
    } else {
        icalcomponent_add_property(event, icalproperty_new_dtstart(DayOf(when)));
        icaltimetype next = DayOf(when);
        icaltime_adjust(&next, 1, 0, 0, 0);
        icalcomponent_add_property(event, icalproperty_new_dtend(next));
    }
    if (item.Repeat && item.Repeat->Type != RepeatType::Unknown) {
        const std::string rule =
            RuleText(*item.Repeat, item.When, item.Start.has_value(), utcOffset);
        icalcomponent_add_property(
            event, icalproperty_new_rrule(icalrecurrencetype_from_string(rule.c_str())));
    }
    for (const Date& exception : item.Exceptions) {
        icalcomponent_add_property(
            event, Zoned(icalproperty_new_exdate(item.Start ? TimeOf(exception, *item.Start)
                                                            : DayOf(exception)),
                         zone));
    }
    if (item.Alarm)
        AddAlarm(event, *item.Alarm, item.Description);
    return event;
}

icalcomponent* ToDo(const Content& c, const std::string& base, const ToDoItem& item) {
    icalcomponent* todo = icalcomponent_new_vtodo();
    AddCommon(todo, c, base, item, item.Description, item.Note);
    if (item.Due)
        icalcomponent_add_property(todo, icalproperty_new_due(DayOf(*item.Due)));
    if (item.Priority > 0 && item.Priority <= 9)
        icalcomponent_add_property(todo, icalproperty_new_priority(item.Priority));
    icalcomponent_add_property(todo, icalproperty_new_status(item.Completed ? ICAL_STATUS_COMPLETED
                                                                           : ICAL_STATUS_NEEDSACTION));
    return todo;
}

// A task: its due date, its completion, its repeat from its first day (where the task has a
// due date on or after it, and the repeat occurs), its alarm at a time of day so many days
// before the due date.
icalcomponent* Task(const Content& c, const std::string& base, const TaskItem& item) {
    icalcomponent* todo = ToDo(c, base, item);
    if (item.CompletedOn) {
        icaltimetype done = DayOf(*item.CompletedOn);
        done.is_date = 0; // COMPLETED is a date-time: the start of that day
        icalcomponent_add_property(todo, icalproperty_new_completed(done));
    }
    const auto first = FirstOccurrence(item.RepeatFrom, item.Repeat);
    const auto key = [](const Date& d) { return d.Year * 10000 + d.Month * 100 + d.Day; };
    if (item.Repeat && item.Repeat->Type != RepeatType::Unknown && item.Due && first &&
        key(*first) <= key(*item.Due)) {
        // The instances count from DTSTART, the repeat's first day.
        icalcomponent_add_property(todo, icalproperty_new_dtstart(DayOf(*first)));
        const std::string rule = RuleText(*item.Repeat, item.RepeatFrom, false);
        icalcomponent_add_property(
            todo, icalproperty_new_rrule(icalrecurrencetype_from_string(rule.c_str())));
    }
    if (item.Alarm && item.Due) {
        // From the start of the due day (DUE, RELATED=END): back the days, on to the time.
        const int seconds = -86400 * item.Alarm->DaysBefore + 3600 * item.Alarm->At.Hour +
                            60 * item.Alarm->At.Minute;
        icalcomponent* valarm = icalcomponent_new_valarm();
        icalcomponent_add_property(valarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
        icalcomponent_add_property(
            valarm, icalproperty_new_description(ExportText(item.Description).c_str()));
        icalproperty* trigger = icalproperty_new_trigger(icaltriggertype_from_int(seconds));
        icalproperty_add_parameter(trigger, icalparameter_new_related(ICAL_RELATED_END));
        icalcomponent_add_property(valarm, trigger);
        icalcomponent_add_component(todo, valarm);
    }
    return todo;
}

void WriteCalendar(ExportTarget& target, const Component& calendar) {
    char* text = icalcomponent_as_ical_string_r(calendar.get());
    if (!text)
        throw ExportError(target.BaseName() + ".ics: libical could not write the calendar");
    std::string copy;
    for (const char* c = text; *c; ++c) {
        if (*c == CategoryComma)
            copy += "\\,";
        else if (*c == CategorySemicolon)
            copy += "\\;";
        else
            copy += *c;
    }
    std::free(text);
    target.Write(target.BaseName() + ".ics", copy);
}

} // namespace

namespace {

// libical does not survive running out of memory (a null allocation crashes it): the address
// space a calendar takes (about 500 bytes an exception, 2 KB an item, its text a few times
// over, measured) is asked for once before it is built, so that under a memory limit the
// export ends with std::bad_alloc, and vexlin-dump's message, instead.
void ReserveForLibical(std::uint64_t bytes) {
    void* probe = std::malloc(static_cast<std::size_t>(bytes));
    if (!probe)
        throw std::bad_alloc();
    std::free(probe);
}

} // namespace

void ExportPayload(ExportTarget& target, const Content& c, const Datebook& p) {
    LoadLibical(target.BaseName() + ".ics");
    std::uint64_t need = 0;
    for (const DatebookItem& item : p.Items)
        need +=
            2048 + 512 * item.Exceptions.size() + 8 * (item.Description.size() + item.Note.size());
    ReserveForLibical(need);
    const Component calendar = NewCalendar();
    for (const DatebookItem& item : p.Items) {
        if (!item.Deleted && Exportable(item))
            icalcomponent_add_component(calendar.get(), Event(c, target.UidBase(), item));
    }
    WriteCalendar(target, calendar);
}

namespace {

// A VTODO made by `make` for each live item, in a calendar of its own.
template <typename Items, typename Make>
void WriteToDos(ExportTarget& target, const Content& c, const Items& items, std::uint64_t each,
                Make make) {
    LoadLibical(target.BaseName() + ".ics");
    std::uint64_t need = 0;
    for (const auto& item : items)
        need += each + 8 * (item.Description.size() + item.Note.size());
    ReserveForLibical(need);
    const Component calendar = NewCalendar();
    for (const auto& item : items) {
        if (!item.Deleted)
            icalcomponent_add_component(calendar.get(), make(c, target.UidBase(), item));
    }
    WriteCalendar(target, calendar);
}

} // namespace

void ExportPayload(ExportTarget& target, const Content& c, const Tasks& p) {
    WriteToDos(target, c, p.Items, 4096, Task); // a repeat and an alarm beside the to-do
}

namespace {

// 0 = Sunday, for the Gregorian calendar.
int WeekDayOf(int year, int month, int day) {
    static constexpr int shift[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    year -= month < 3;
    return (year + year / 4 - year / 100 + year / 400 + shift[month - 1] + day) % 7;
}

// The zone's name as TZID: its text, or the offset when it has none.
std::string ZoneId(const TimeZone& zone) {
    std::string name = ExportText(zone.Name);
    std::replace(name.begin(), name.end(), '\n', ' ');
    if (name.empty()) {
        char offset[32];
        std::snprintf(offset, sizeof offset, "UTC%+03d%02d", zone.Offset / 60,
                      std::abs(zone.Offset) % 60);
        name = offset;
    }
    return name;
}

// One onset of the zone: a STANDARD or DAYLIGHT part from its rule's first day in 1970, on
// the rule's weekday of its week of its month every year.
icalcomponent* Onset(icalcomponent* part, const DstRule& rule, int from, int to) {
    int day = 1 + (rule.WeekDay - WeekDayOf(1970, rule.Month, 1) + 7) % 7;
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    day += 7 * std::min(rule.Week, 3);
    if (rule.Week >= 4)
        while (day + 7 <= days[rule.Month - 1])
            day += 7;
    icaltimetype start = TimeOf(Date{1970, rule.Month, day}, Time{rule.Hour % 24, 0});
    icalcomponent_add_property(part, icalproperty_new_dtstart(start));
    const std::string rrule = "FREQ=YEARLY;BYMONTH=" + std::to_string(rule.Month) + ";BYDAY=" +
                              (rule.Week >= 4 ? std::string("-1") : std::to_string(rule.Week + 1)) +
                              WeekDays[rule.WeekDay];
    icalcomponent_add_property(part,
                               icalproperty_new_rrule(icalrecurrencetype_from_string(rrule.c_str())));
    icalcomponent_add_property(part, icalproperty_new_tzoffsetfrom(60 * from));
    icalcomponent_add_property(part, icalproperty_new_tzoffsetto(60 * to));
    return part;
}

bool Plausible(const DstRule& r) {
    return r.WeekDay <= 6 && r.Week <= 4 && r.Month >= 1 && r.Month <= 12 && r.Hour <= 24;
}

icalcomponent* Zone(const TimeZone& zone, const std::string& id) {
    icalcomponent* vtimezone = icalcomponent_new_vtimezone();
    icalcomponent_add_property(vtimezone, icalproperty_new_tzid(id.c_str()));
    if (zone.DstAmount && Plausible(zone.Start) && Plausible(zone.End)) {
        const int summer = zone.Offset + zone.DstAmount;
        icalcomponent_add_component(
            vtimezone, Onset(icalcomponent_new_xstandard(), zone.End, summer, zone.Offset));
        icalcomponent_add_component(
            vtimezone, Onset(icalcomponent_new_xdaylight(), zone.Start, zone.Offset, summer));
    } else {
        icalcomponent* standard = icalcomponent_new_xstandard();
        icalcomponent_add_property(standard,
                                   icalproperty_new_dtstart(TimeOf(Date{1970, 1, 1}, Time{})));
        icalcomponent_add_property(standard, icalproperty_new_tzoffsetfrom(60 * zone.Offset));
        icalcomponent_add_property(standard, icalproperty_new_tzoffsetto(60 * zone.Offset));
        icalcomponent_add_component(vtimezone, standard);
    }
    return vtimezone;
}

} // namespace

// The calendar as the datebook, each event with its LOCATION; a timed event with a zone in it
// (TZID), the zone a VTIMEZONE of its own, once for each TZID, before the events.
void ExportPayload(ExportTarget& target, const Content& c, const Calendar& p) {
    LoadLibical(target.BaseName() + ".ics");
    std::uint64_t need = 0;
    for (const CalendarItem& item : p.Items)
        need += 4096 + 512 * item.Exceptions.size() +
                8 * (item.Description.size() + item.Note.size() + item.Location.size());
    ReserveForLibical(need);
    const Component calendar = NewCalendar();
    const auto zoned = [](const CalendarItem& item) {
        return !item.Deleted && Exportable(item) && item.Zone && item.Start;
    };
    std::map<std::string, const TimeZone*> zones; // the first event's zone of each TZID
    for (const CalendarItem& item : p.Items)
        if (zoned(item))
            zones.emplace(ZoneId(*item.Zone), &*item.Zone);
    for (const auto& [id, zone] : zones)
        icalcomponent_add_component(calendar.get(), Zone(*zone, id));
    for (const CalendarItem& item : p.Items) {
        if (item.Deleted || !Exportable(item))
            continue;
        const std::string id = zoned(item) ? ZoneId(*item.Zone) : "";
        icalcomponent* event = Event(c, target.UidBase(), item, id.empty() ? nullptr : &id,
                                     id.empty() ? std::nullopt : std::optional(item.Zone->Offset));
        if (!item.Location.empty())
            icalcomponent_add_property(event,
                                       icalproperty_new_location(ExportText(item.Location).c_str()));
        icalcomponent_add_component(calendar.get(), event);
    }
    WriteCalendar(target, calendar);
}

void ExportPayload(ExportTarget& target, const Content& c, const ToDos& p) {
    WriteToDos(target, c, p.Items, 2048, ToDo);
}

} // namespace vexlin::dump
