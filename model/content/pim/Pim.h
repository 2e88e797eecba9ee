// The built-in personal information databases: memos, to-dos, the datebook, addresses and
// mail. One decoder per format from a record's bytes to a plain item; dates and times as the
// records pack them, checked for what a calendar allows.
#pragma once

#include "content/core/Format.h"
#include "content/core/Items.h"
#include "content/core/Reader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexlin::content {

// A day as the records pack it into a word: years since 1904 (7 bits), month, day.
struct Date {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    [[nodiscard]] std::string Iso() const; // "2003-05-06"
    friend bool operator==(const Date&, const Date&) = default;
};

struct Time {
    int Hour = 0;
    int Minute = 0;
    [[nodiscard]] std::string Text() const; // "09:05"
    friend bool operator==(const Time&, const Time&) = default;
};

// A packed date, or nothing when impossible (month 13, February 30th), which is reported.
[[nodiscard]] std::optional<Date> UnpackDate(std::uint16_t packed) noexcept;

// A tagged block after a Palm OS 5 record's fields (calendar, contacts) that the decoder does
// not read: its four-character type and size.
struct TaggedBlock {
    std::string Type;
    std::size_t Size = 0;
};

struct MemoItem : Item {
    std::string Text;
};

struct ToDoItem : Item {
    std::optional<Date> Due; // nothing when the to-do has no due date
    int Priority = 0;
    bool Completed = false;
    std::string Description;
    std::string Note;
};

enum class AlarmUnit { Minutes, Hours, Days, Unknown };
// The alarm a record sets; an advance of -1, the device's "no alarm", is decoded as none.
struct EventAlarm {
    int Advance = 0;
    AlarmUnit Unit = AlarmUnit::Minutes;
    int RawUnit = 0;
};

enum class RepeatType { Daily = 1, Weekly, MonthlyByDay, MonthlyByDate, Yearly, Unknown };
struct EventRepeat {
    RepeatType Type = RepeatType::Daily;
    int RawType = 0;
    int Frequency = 1;
    std::optional<Date> End; // nothing: repeats for ever
    std::vector<int> Days;   // weekly: 0 = Sunday
    int Week = 0;            // monthly by day: 0 to 3, 4 = the last week
    int Day = 0;             // monthly by day: 0 = Sunday
    int WeekStart = 0;
};

// The flag bits of a datebook record this decoder knows.
inline constexpr std::uint16_t DatebookKnownFlags = 0xFC00;

struct DatebookItem : Item {
    std::optional<Date> When;
    std::optional<Time> Start; // nothing: an untimed event
    std::optional<Time> End;
    std::optional<EventAlarm> Alarm;
    std::optional<EventRepeat> Repeat;
    std::vector<Date> Exceptions;
    std::string Description;
    std::string Note;
    std::uint16_t Flags = 0;
    std::uint16_t UnknownFlags = 0; // set bits outside DatebookKnownFlags, kept as they are
};

inline constexpr std::size_t AddressFieldCount = 19;
inline constexpr std::size_t AddressLabelCount = 22;
inline constexpr std::size_t PhoneCount = 5;
enum AddressField : std::size_t {
    LastName, FirstName, Company, Phone1, Phone2, Phone3, Phone4, Phone5, Address, City, State,
    ZipCode, Country, Title, Custom1, Custom2, Custom3, Custom4, Note
};
// "LastName", "FirstName", ... "Note": the JSON keys.
[[nodiscard]] std::string_view AddressFieldName(std::size_t field) noexcept;
// The default name of a phone label (0 "Work", 1 "Home", 2 "Fax", 3 "Other", 4 "E-mail",
// 5 "Main", 6 "Pager", 7 "Mobile"), "" beyond.
[[nodiscard]] std::string_view PhoneLabelName(int label) noexcept;

struct AddressItem : Item {
    std::array<std::optional<std::string>, AddressFieldCount> Fields;
    std::array<int, PhoneCount> PhoneLabels{};
    int DisplayPhone = 0;  // which of the five phones the list shows (0 = Phone1)
    int CompanyOffset = 0; // as the record gives it: the company field's offset + 1, 0 none
};

struct MailItem : Item {
    std::optional<Date> Day; // nothing when the message has no date (a draft)
    std::optional<Time> At;
    bool Read = false;
    bool Signature = false;
    bool ConfirmRead = false;
    bool ConfirmDelivery = false;
    int Priority = 0;   // 0 high, 1 normal, 2 low
    int Addressing = 0; // 0 to, 1 cc, 2 bcc
    std::string Subject, From, To, Cc, Bcc, ReplyTo, SentTo, Body;
};

struct Memos : Payload {
    std::vector<MemoItem> Items;
};
struct ToDos : Payload {
    std::vector<ToDoItem> Items;
};
struct Datebook : Payload {
    std::vector<DatebookItem> Items;
    int StartOfWeek = 0;
};
struct AddressBook : Payload {
    std::vector<AddressItem> Items;
    std::array<std::string, AddressLabelCount> Labels;
    int Country = 0;
    bool SortByCompany = false;
};
struct MailBox : Payload {
    std::vector<MailItem> Items;
};

// The decoders, one per format: the record's bytes to an item (Record and the attributes are
// the caller's to fill). `where` names the record in messages.
[[nodiscard]] MemoItem DecodeMemo(const Bytes& record, const std::string& where, Decoding& d);
[[nodiscard]] ToDoItem DecodeToDo(const Bytes& record, const std::string& where, Decoding& d);
[[nodiscard]] DatebookItem DecodeDatebook(const Bytes& record, const std::string& where, Decoding& d);
[[nodiscard]] AddressItem DecodeAddress(const Bytes& record, const std::string& where, Decoding& d);
[[nodiscard]] MailItem DecodeMail(const Bytes& record, const std::string& where, Decoding& d);

// What each item costs against the database's OutputBound (ReadItems charges it).
[[nodiscard]] std::uint64_t Charge(const MemoItem& item) noexcept;
[[nodiscard]] std::uint64_t Charge(const ToDoItem& item) noexcept;
[[nodiscard]] std::uint64_t Charge(const DatebookItem& item) noexcept;
[[nodiscard]] std::uint64_t Charge(const AddressItem& item) noexcept;
[[nodiscard]] std::uint64_t Charge(const MailItem& item) noexcept;

// The first day a datebook event occurs on: its date, or for a weekly or monthly-by-day
// repeat the first of the repeat's days on or after it (the device shows the event on those
// days only, where a calendar would show its date as well). Nothing when the event never
// occurs (the repeat ends first) or its repeat has no meaning (an unknown type, frequency 0,
// a week past the fifth); the decoder reports each.
[[nodiscard]] std::optional<Date> FirstOccurrence(const DatebookItem& item);
// The same for anything that repeats from a date (a task from its repeat's start).
[[nodiscard]] std::optional<Date> FirstOccurrence(const std::optional<Date>& from,
                                                  const std::optional<EventRepeat>& repeat);

// The parts of the app info after the category block.
void DecodeDatebookAppInfo(const Bytes& appInfo, Datebook& book);
void DecodeAddressAppInfo(const Bytes& appInfo, AddressBook& book, Decoding& d);

// The formats' descriptors: "memo", "todo", "datebook", "address", "mail".
extern const FormatDescriptor MemoFormat;
extern const FormatDescriptor ToDoFormat;
extern const FormatDescriptor DatebookFormat;
extern const FormatDescriptor AddressFormat;
extern const FormatDescriptor MailFormat;

} // namespace vexlin::content
