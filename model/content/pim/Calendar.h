// The Calendar of Palm OS 5 (CalendarDB-PDat, DATA/PDat): the datebook's events with a
// location and, in a tagged block after the texts, the time zone the event was set in.
#pragma once

#include "content/core/Format.h"
#include "content/pim/Pim.h"

#include <optional>
#include <string>
#include <vector>

namespace vexlin::content {

// When daylight saving starts or ends: the hour (local standard time) of a weekday of a week of
// a month, as "the last Sunday of March at 2".
struct DstRule {
    int Hour = 0;
    int WeekDay = 0; // 0 = Sunday
    int Week = 0;    // 0 to 3, 4 = the last
    int Month = 0;   // 1 to 12
};

struct TimeZone {
    std::string Name;
    int Offset = 0;    // minutes east of UTC
    DstRule Start, End;
    int DstAmount = 0; // minutes; 0: no daylight saving
    int Country = 0;
    bool Custom = false; // made by the owner
};

struct CalendarItem : DatebookItem {
    std::string Location;
    std::optional<TimeZone> Zone;
    std::vector<TaggedBlock> OtherBlobs;
};

struct Calendar : Payload {
    std::vector<CalendarItem> Items;
    int StartOfWeek = 0;
};

// The datebook's fields (with a location flag, 0x0200, after the note), then tagged blocks of a
// four-character type and a 2-byte size; "Bd00" is the time zone.
[[nodiscard]] CalendarItem DecodeCalendar(const Bytes& record, const std::string& where,
                                          Decoding& d);
[[nodiscard]] std::uint64_t Charge(const CalendarItem& item) noexcept;

// The format's descriptor: "calendar".
extern const FormatDescriptor CalendarFormat;

} // namespace vexlin::content
