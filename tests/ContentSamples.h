// The standard personal information databases built byte by byte: memos, to-dos, the
// datebook (every kind of repeat, alarms, exceptions), addresses and mail, as the tests, the
// Python read-back tests, the fuzz seeds and the benchmark use them.
#pragma once

#include "PdbBuilder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vexlin::test {

inline std::uint16_t PackDate(int year, int month, int day) {
    return static_cast<std::uint16_t>((year - 1904) << 9 | month << 5 | day);
}

// Appends text and its terminating NUL.
inline void PutText(Bytes& b, const std::string& text) {
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
}

inline void Put16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}

inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, static_cast<std::uint16_t>(v >> 16));
    Put16(b, static_cast<std::uint16_t>(v));
}

// The category block: names in order from index 0 (IDs equal to the index), the renamed bits.
inline Bytes CategoryBlock(const std::vector<std::string>& names, std::uint16_t renamed = 0) {
    Bytes b;
    Put16(b, renamed);
    for (std::size_t i = 0; i < 16; ++i) {
        std::string name = i < names.size() ? names[i] : "";
        name.resize(16, '\0');
        b.insert(b.end(), name.begin(), name.end());
    }
    for (std::size_t i = 0; i < 16; ++i)
        b.push_back(static_cast<std::uint8_t>(i < names.size() ? i : 0));
    b.push_back(static_cast<std::uint8_t>(names.empty() ? 0 : names.size() - 1));
    b.push_back(0);
    return b;
}

// Sets record index's attribute byte (category in the low bits, 0x10 secret, 0x80 delete).
inline void SetAttributes(Bytes& file, std::size_t index, std::uint8_t attributes) {
    file[78 + 8 * index + 4] = attributes;
}

inline PdbBuilder PimBuilder(const char* name, const char* creator) {
    PdbBuilder b;
    b.Name = name;
    b.Creator = creator;
    b.Type = "DATA";
    return b;
}

inline Bytes MemoSample() {
    PdbBuilder b = PimBuilder("MemoDB", "memo");
    Bytes app = CategoryBlock({"Unfiled", "Business", "Personal"}, 0x0007);
    Put16(app, 0);
    app.push_back(0); // sort order
    app.push_back(0);
    b.App(app);
    Bytes r1, r2, r3;
    PutText(r1, "Shopping\nmilk\nbread");
    PutText(r2, "Quotes: \x93smart\x94 \x91single\x92 \x96 dash \x80 euro \x99");
    PutText(r3, "From here on\n>From there");
    b.Record(r1).Record(r2).Record(r3);
    Bytes file = b.Build();
    SetAttributes(file, 1, 0x11); // Business, private
    SetAttributes(file, 2, 0x02); // Personal
    return file;
}

inline Bytes ToDoSample() {
    PdbBuilder b = PimBuilder("ToDoDB", "todo");
    Bytes app = CategoryBlock({"Unfiled", "Work"});
    Put16(app, 0); // reserved
    Put16(app, 0); // dirty
    app.push_back(0);
    app.push_back(0);
    b.App(app);
    const auto todo = [](std::uint16_t due, std::uint8_t priority, const std::string& description,
                         const std::string& note) {
        Bytes r;
        Put16(r, due);
        r.push_back(priority);
        PutText(r, description);
        PutText(r, note);
        return r;
    };
    b.Record(todo(PackDate(2004, 2, 29), 1, "File taxes", "Forms; receipts, and\nthe rest"));
    b.Record(todo(0xFFFF, 0x80 | 3, "Call Anna", ""));
    b.Record(todo(PackDate(2003, 12, 31), 5, "Secret plan", ""));
    Bytes file = b.Build();
    SetAttributes(file, 0, 0x01);
    SetAttributes(file, 2, 0x10);
    return file;
}

// One datebook record: times (0xFF 0xFF for untimed), date, then the optional parts in order.
struct TestEvent {
    int StartHour = 0xFF, StartMinute = 0xFF, EndHour = 0xFF, EndMinute = 0xFF;
    std::uint16_t When = 0;
    std::optional<std::pair<int, int>> Alarm; // advance, unit
    Bytes Repeat;                             // the 8 bytes, empty for none
    std::vector<std::uint16_t> Exceptions;
    std::string Description;
    std::string Note;
};

inline Bytes RepeatBytes(int type, std::uint16_t end, int frequency, int on, int weekStart) {
    return {static_cast<std::uint8_t>(type), 0, static_cast<std::uint8_t>(end >> 8),
            static_cast<std::uint8_t>(end), static_cast<std::uint8_t>(frequency),
            static_cast<std::uint8_t>(on), static_cast<std::uint8_t>(weekStart), 0};
}

inline Bytes EventRecord(const TestEvent& e) {
    Bytes r = {static_cast<std::uint8_t>(e.StartHour), static_cast<std::uint8_t>(e.StartMinute),
               static_cast<std::uint8_t>(e.EndHour), static_cast<std::uint8_t>(e.EndMinute)};
    Put16(r, e.When);
    std::uint16_t flags = 0x0400;
    flags |= e.Alarm ? 0x4000 : 0;
    flags |= e.Repeat.empty() ? 0 : 0x2000;
    flags |= e.Note.empty() ? 0 : 0x1000;
    flags |= e.Exceptions.empty() ? 0 : 0x0800;
    Put16(r, flags);
    if (e.Alarm) {
        r.push_back(static_cast<std::uint8_t>(e.Alarm->first));
        r.push_back(static_cast<std::uint8_t>(e.Alarm->second));
    }
    r.insert(r.end(), e.Repeat.begin(), e.Repeat.end());
    if (!e.Exceptions.empty()) {
        Put16(r, static_cast<std::uint16_t>(e.Exceptions.size()));
        for (const std::uint16_t date : e.Exceptions)
            Put16(r, date);
    }
    PutText(r, e.Description);
    if (!e.Note.empty())
        PutText(r, e.Note);
    return r;
}

inline Bytes DatebookSample() {
    PdbBuilder b = PimBuilder("DatebookDB", "date");
    Bytes app = CategoryBlock({"Unfiled"});
    Put16(app, 0);
    app.push_back(1); // weeks start on Monday
    app.push_back(0);
    b.App(app);
    TestEvent untimed;
    untimed.When = PackDate(2003, 5, 6);
    untimed.Description = "Holiday";
    untimed.Alarm = {{1, 2}};
    TestEvent weekly;
    weekly.StartHour = 9, weekly.StartMinute = 30, weekly.EndHour = 10, weekly.EndMinute = 45;
    weekly.When = PackDate(2003, 5, 5);
    weekly.Alarm = {{10, 0}};
    weekly.Repeat = RepeatBytes(2, PackDate(2003, 12, 31), 2, 0x0A, 1); // Mon, Wed
    weekly.Exceptions = {PackDate(2003, 5, 19), PackDate(2003, 6, 2)};
    weekly.Description = "Team meeting, room 4; bring notes";
    weekly.Note = "Agenda:\nbudget";
    TestEvent lastFriday;
    lastFriday.StartHour = 17, lastFriday.StartMinute = 0, lastFriday.EndHour = 18,
    lastFriday.EndMinute = 0;
    lastFriday.When = PackDate(2003, 5, 30);
    lastFriday.Repeat = RepeatBytes(3, 0xFFFF, 1, 4 * 7 + 5, 0);
    lastFriday.Description = "Reports due";
    TestEvent byDate;
    byDate.When = PackDate(2003, 1, 15);
    byDate.Repeat = RepeatBytes(4, PackDate(2004, 1, 15), 3, 0, 0);
    byDate.Description = "Rent";
    TestEvent yearly;
    yearly.When = PackDate(1970, 3, 21);
    yearly.Alarm = {{2, 1}};
    yearly.Repeat = RepeatBytes(5, 0xFFFF, 1, 0, 0);
    yearly.Description = "Birthday \xe9l\xe8ne";
    TestEvent daily;
    daily.StartHour = 7, daily.StartMinute = 0, daily.EndHour = 7, daily.EndMinute = 15;
    daily.When = PackDate(2003, 5, 1);
    daily.Repeat = RepeatBytes(1, PackDate(2003, 5, 10), 1, 0, 0);
    daily.Exceptions = {PackDate(2003, 5, 4)};
    daily.Description = "Run";
    for (const TestEvent* e : {&untimed, &weekly, &lastFriday, &byDate, &yearly, &daily})
        b.Record(EventRecord(*e));
    Bytes file = b.Build();
    SetAttributes(file, 2, 0x10);
    return file;
}

inline Bytes AddressLabels() {
    static const char* const labels[22] = {
        "Last name", "First name", "Company", "Work",    "Home",    "Fax",     "Other", "E-mail",
        "Address",   "City",       "State",   "Zip Code", "Country", "Title", "Custom 1",
        "Custom 2",  "Custom 3",   "Custom 4", "Note",   "Main",    "Pager",  "Mobile"};
    Bytes app = CategoryBlock({"Unfiled", "Business", "QuickList"});
    Put16(app, 0);
    Put32(app, 0);
    for (const char* label : labels) {
        std::string l = label;
        l.resize(16, '\0');
        app.insert(app.end(), l.begin(), l.end());
    }
    app.push_back(22); // country
    app.push_back(0);  // sort by name
    return app;
}

// An address record from its fields by index (0 last name ... 18 note), the five phone
// labels and the shown phone.
inline Bytes AddressRecord(const std::map<int, std::string>& fields, std::array<int, 5> labels,
                           int display) {
    Bytes r;
    std::uint32_t options = static_cast<std::uint32_t>(display) << 20;
    for (int i = 0; i < 5; ++i)
        options |= static_cast<std::uint32_t>(labels[i]) << (4 * i);
    Put32(r, options);
    std::uint32_t present = 0;
    for (const auto& [field, text] : fields)
        present |= 1u << field;
    Put32(r, present);
    std::size_t companyOffset = 0, at = 0;
    Bytes texts;
    for (const auto& [field, text] : fields) {
        if (field == 2)
            companyOffset = at + 1;
        PutText(texts, text);
        at += text.size() + 1;
    }
    r.push_back(static_cast<std::uint8_t>(companyOffset));
    r.insert(r.end(), texts.begin(), texts.end());
    return r;
}

inline Bytes AddressSample() {
    PdbBuilder b = PimBuilder("AddressDB", "addr");
    b.App(AddressLabels());
    b.Record(AddressRecord({{0, "M\xfcller"},
                            {1, "J\xfcrgen"},
                            {2, "Acme, Inc; Europe"},
                            {3, "+49 30 1234"},
                            {4, "juergen@example.com"},
                            {5, "+49 170 999"},
                            {8, "Hauptstra\xdf" "e 1"},
                            {9, "Berlin"},
                            {11, "10115"},
                            {12, "Germany"},
                            {13, "Director"},
                            {14, "Spouse: Eva"},
                            {18, "Met at the fair.\nLikes tea."}},
                           {0, 4, 7, 1, 2}, 2));
    b.Record(AddressRecord({{2, "Plumbing Co"}, {3, "555-0100"}, {7, "555-0199"}}, {5, 1, 2, 3, 6},
                           0));
    Bytes file = b.Build();
    SetAttributes(file, 0, 0x01);
    SetAttributes(file, 1, 0x12);
    return file;
}

inline Bytes MailRecord(std::uint16_t date, int hour, int minute, std::uint16_t flags,
                        const std::vector<std::string>& fields) {
    Bytes r;
    Put16(r, date);
    r.push_back(static_cast<std::uint8_t>(hour));
    r.push_back(static_cast<std::uint8_t>(minute));
    Put16(r, flags);
    for (const std::string& field : fields)
        PutText(r, field);
    return r;
}

inline Bytes MailSample() {
    PdbBuilder b = PimBuilder("MailDB", "mail");
    Bytes app = CategoryBlock({"Inbox", "Outbox", "Deleted", "Filed", "Draft"});
    Put16(app, 0);
    app.push_back(0);
    app.push_back(0);
    Put32(app, 0);
    Put16(app, 0);
    b.App(app);
    b.Record(MailRecord(PackDate(2002, 5, 6), 14, 5, 0x8000 | 0x2000 | 0x1000 | 2 << 10,
                        {"Caf\xe9 on Friday?", "Ren\xe9 Dupont <rene@example.com>",
                         "ann@example.com, bob@example.com", "carol@example.com",
                         "dave@example.com", "rene.home@example.com", "", 
                         "Hi,\nFrom now on we meet at the caf\xe9.\n>From the old place: no.\nRen\xe9"}));
    b.Record(MailRecord(0, 0, 0, 0x4000 | 2 << 8,
                        {"Draft", "", "ed@example.com", "", "", "", "", "Not sent yet"}));
    Bytes file = b.Build();
    SetAttributes(file, 0, 0x00);
    SetAttributes(file, 1, 0x04);
    return file;
}

// A Calendar event: the datebook record with a location and tagged blocks after it.
inline Bytes CalendarRecord(const TestEvent& e, const std::string& location,
                            const std::vector<std::pair<std::string, Bytes>>& blobs) {
    Bytes r = EventRecord(e);
    if (!location.empty()) {
        r[6] |= 0x02;
        PutText(r, location);
    }
    for (const auto& [type, data] : blobs) {
        r.insert(r.end(), type.begin(), type.end());
        Put16(r, static_cast<std::uint16_t>(data.size()));
        r.insert(r.end(), data.begin(), data.end());
    }
    return r;
}

// A Calendar: a weekly meeting in Berlin's zone (UTC+1, summer time from the last Sunday of
// March at 2 to the last Sunday of October at 3), a day off at home with a block of a type
// the decoder does not read.
inline Bytes CalendarSample() {
    PdbBuilder b = PimBuilder("CalendarDB-PDat", "PDat");
    Bytes app = CategoryBlock({"Unfiled", "Work"});
    Put16(app, 0);
    app.push_back(1); // weeks start on Monday
    app.resize(app.size() + 19, 0);
    b.App(app);
    TestEvent meeting;
    meeting.StartHour = 9;
    meeting.StartMinute = 0;
    meeting.EndHour = 10;
    meeting.EndMinute = 30;
    meeting.When = PackDate(2024, 3, 29);
    meeting.Repeat = RepeatBytes(2, PackDate(2024, 12, 31), 1, 1 << 5, 1); // Fridays
    meeting.Description = "Standup";
    Bytes zone;
    Put16(zone, 60);
    zone.insert(zone.end(), {2, 0, 4, 3, 3, 0, 4, 10});
    Put16(zone, 60);
    zone.insert(zone.end(), {8, 0});
    PutText(zone, "Europe/Berlin");
    b.Record(CalendarRecord(meeting, "Room 4", {{"Bd00", zone}}));
    TestEvent off;
    off.When = PackDate(2024, 4, 1);
    off.Description = "Day off";
    b.Record(CalendarRecord(off, "Home", {{"Bd01", Bytes{0, 0, 0, 1}}}));
    return b.Build();
}

// A Palm OS 5 contact: seven phones' labels, a messaging name, two of three addresses, a
// birthday with its reminder, a photo and a block of a type the decoder does not read.
inline Bytes ContactsSample() {
    PdbBuilder b = PimBuilder("ContactsDB-PAdd", "PAdd");
    Bytes app = CategoryBlock({"Unfiled", "Friends"});
    Put16(app, 0);
    app.resize(app.size() + 26, 0);
    const std::vector<std::string> labels = {"Last name", "First name", "Company", "Title",
                                             "Work",      "Home",       "Fax",     "Other",
                                             "E-mail",    "Main",       "Pager"};
    for (std::size_t i = 0; i < 49; ++i) {
        Bytes label(16, 0);
        const std::string text = i < labels.size() ? labels[i] : i == 40 ? "Mobile" : i == 42 ? "AIM" : "";
        std::copy(text.begin(), text.end(), label.begin());
        app.insert(app.end(), label.begin(), label.end());
    }
    app.insert(app.end(), {23, 0, 0, 0}); // the United States, sorted by name
    b.App(app);
    Bytes r;
    Put32(r, 1u << 28 | 4u << 8 | 7u << 4); // Phone2 shown; Work, Mobile, E-mail
    Put32(r, 1u << 16 | 1u);                 // address 1 Home, address 2 Work; IM 1 AIM
    const std::map<std::size_t, std::string> fields = {
        {0, "Lima"},   {1, "Ana"},          {2, "Acme"},        {4, "555-1234"},
        {5, "555-9876"}, {6, "ana@example.com"}, {11, "analima"}, {13, "http://example.com"},
        {23, "1 Main St"}, {24, "Springfield"}, {27, "USA"},      {29, "Shelbyville"},
        {38, "Likes tea"}};
    std::uint32_t first = 0, second = 0x1800 | 0x2000; // a birthday and its reminder
    for (const auto& [field, text] : fields)
        (field < 28 ? first : second) |= 1u << (field < 28 ? field : field - 28);
    Put32(r, first);
    Put32(r, second);
    r.push_back(0);
    for (const auto& [field, text] : fields)
        PutText(r, text);
    Put16(r, PackDate(1980, 5, 17));
    r.insert(r.end(), {0, 0, 3}); // pad, units, 3 days before
    const Bytes photo = {0, 1, 0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0, 0xFF, 0xD9};
    r.insert(r.end(), {'B', 'd', '0', '0'});
    Put16(r, static_cast<std::uint16_t>(photo.size()));
    r.insert(r.end(), photo.begin(), photo.end());
    r.insert(r.end(), {'B', 'd', '0', '5', 0, 2, 7, 7});
    b.Record(r);
    return b.Build();
}

// A Note Pad: a titled run-length drawing (16 x 2 pixels as encoded: ink on the left of the
// first row, the right of the second), a drawing kept as PNG with an alarm, and a 1-bit
// drawing cut short of its third row.
inline Bytes NotePadSample() {
    PdbBuilder b = PimBuilder("npadDB", "npad");
    Bytes app = CategoryBlock({"Unfiled"});
    app.resize(app.size() + 6, 0);
    b.App(app);
    const auto note = [](std::uint16_t flags, const std::string& title, std::uint32_t width,
                         std::uint32_t height, std::uint32_t type, const Bytes& data) {
        Bytes r;
        for (const int word : {9, 8, 7, 6, 5, 2004, 0, 30, 20, 10, 1, 6, 2004, 0})
            Put16(r, static_cast<std::uint16_t>(word));
        Put16(r, flags);
        if (flags & 0x04)
            for (const int word : {0, 0, 9, 2, 7, 2004, 0})
                Put16(r, static_cast<std::uint16_t>(word));
        if (flags & 0x02) {
            PutText(r, title);
            if (r.size() % 2)
                r.push_back(0);
        }
        for (const std::uint32_t word : {static_cast<std::uint32_t>(24 + data.size()), width,
                                         height, 0u, type, static_cast<std::uint32_t>(data.size())})
            Put32(r, word);
        r.insert(r.end(), data.begin(), data.end());
        return r;
    };
    b.Record(note(0x03, "Sketch", 8, 2, 1, {2, 0xF0, 2, 0x0F}));
    b.Record(note(0x05, "", 152, 250, 2, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 1, 2, 3}));
    b.Record(note(0x01, "", 0, 3, 0, {0x80, 0x01}));
    return b.Build();
}

// An expense database: lunch in dollars, a taxi in the owner's own currency (custom 1) with
// a comma, a quote and a line break in its texts.
inline Bytes ExpenseSample() {
    PdbBuilder b = PimBuilder("ExpenseDB", "exps");
    Bytes app = CategoryBlock({"Unfiled", "Trip"});
    Put16(app, 0);
    app.push_back(1); // sorted by type
    app.push_back(0);
    for (const char* name : {"Lira", "Peso", "", ""}) {
        Bytes currency(28, 0);
        std::memcpy(currency.data(), name, std::strlen(name));
        currency[16] = '$';
        app.insert(app.end(), currency.begin(), currency.end());
    }
    b.App(app);
    Bytes lunch;
    Put16(lunch, PackDate(2004, 3, 1));
    lunch.insert(lunch.end(), {15, 1, 23, 0}); // Lunch, Cash, United States
    for (const char* text : {"12.50", "Caf\xe9 Rouge", "Paris", "", ""})
        PutText(lunch, text);
    b.Record(lunch);
    Bytes taxi;
    Put16(taxi, PackDate(2004, 3, 2));
    taxi.insert(taxi.end(), {23, 6, 129, 0}); // Taxi, VISA, the second custom currency
    for (const char* text : {"300", "Taxi \"R\xe1pido\", Inc.", "Lima", "Ana, Bo", "to the\nairport"})
        PutText(taxi, text);
    b.Record(taxi);
    Bytes file = b.Build();
    SetAttributes(file, 1, 0x11); // private, category 1
    return file;
}

// The five samples under the names their exports take.
inline std::vector<std::pair<std::string, Bytes>> PimSamples() {
    return {{"MemoSample", MemoSample()},
            {"ToDoSample", ToDoSample()},
            {"DatebookSample", DatebookSample()},
            {"AddressSample", AddressSample()},
            {"MailSample", MailSample()}};
}

// `b` with `count` more record entries, every other one spanning `record` and those between
// empty: the entries share the record's bytes, which the file holds once (each entry's size
// runs to the next entry's offset).
inline Bytes SharedRecords(PdbBuilder b, const Bytes& record, std::size_t count) {
    const std::size_t first = 78 + 8 * b.Records.size();
    b.Record(record);
    for (std::size_t i = 1; i < count; ++i)
        b.Record({});
    Bytes file = b.Build();
    for (std::size_t i = 2; i < count; i += 2)
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(first), 4,
                    file.begin() + static_cast<std::ptrdiff_t>(first + 8 * i));
    return file;
}

} // namespace vexlin::test
