// The Tasks of Palm OS 5 (TasksDB-PTod, DATA/PTod): the classic to-do's fields and what only
// the new application keeps, a completion date, an alarm and a repeat.
#pragma once

#include "content/core/Format.h"
#include "content/pim/Pim.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace vexlin::content {

// A task's alarm: a time of day, so many days before the due date.
struct TaskAlarm {
    Time At;
    int DaysBefore = 0;
};

// The flag bits of a task record this decoder knows: due date, completion date, alarm,
// repeat, and a description and a note that are not empty.
inline constexpr std::uint16_t TaskKnownFlags = 0xFC00;

// A task: Completed is the record's own state bit, Priority its 1 to 5.
struct TaskItem : ToDoItem {
    std::optional<Date> CompletedOn;
    std::optional<TaskAlarm> Alarm;
    std::optional<Date> RepeatFrom; // the day the repeat counts from
    std::optional<EventRepeat> Repeat;
    std::uint16_t Flags = 0;
    std::uint16_t UnknownFlags = 0; // set bits outside TaskKnownFlags, kept as they are
};

struct Tasks : Payload {
    std::vector<TaskItem> Items;
};

// Two big-endian words of flags and state, the priority word, then each optional field its flag
// announces (due date; completion date; alarm hour, minute and days before; repeat start date
// and the datebook's repeat block), then the description and the note, NUL-terminated.
[[nodiscard]] TaskItem DecodeTask(const Bytes& record, const std::string& where, Decoding& d);
[[nodiscard]] std::uint64_t Charge(const TaskItem& item) noexcept;

// The format's descriptor: "tasks".
extern const FormatDescriptor TasksFormat;

} // namespace vexlin::content
