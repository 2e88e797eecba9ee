#include "content/pim/Tasks.h"
#include "FindingCodes.h"
#include "Hex.h"

#include "content/core/Content.h"
#include "content/pim/Fields.h"

namespace vexlin::content {

TaskItem DecodeTask(const Bytes& record, const std::string& where, Decoding& d) {
    Reader in(record, where, d);
    TaskItem item;
    if (record.Data.empty())
        return item;
    const auto flags = in.U16("flags");
    const auto state = in.U16("state");
    const auto priority = in.U16("priority");
    if (!flags || !state || !priority)
        return Finished(std::move(item), in);
    item.Flags = *flags;
    item.Completed = (*state & 0x0001) != 0;
    item.Priority = *priority;
    item.UnknownFlags = *flags & static_cast<std::uint16_t>(~TaskKnownFlags);
    if (item.UnknownFlags)
        in.ReportAt(0, Severity::Note, codes::ContentUnknownFlags.Code,
                    "flag bits " + Hex(item.UnknownFlags) + " unknown (kept)");
    // An absent date is left out of the record, never written as 0xFFFF.
    if (*flags & 0x8000) {
        if (const auto due = in.U16("due date"))
            item.Due = ReadDate(in, *due, "due date");
    }
    if (*flags & 0x4000) {
        if (const auto done = in.U16("completion date"))
            item.CompletedOn = ReadDate(in, *done, "completion date");
    }
    if (*flags & 0x2000) {
        const std::size_t at = in.Position();
        const auto hour = in.U8("alarm time");
        const auto minute = in.U8("alarm time");
        const auto days = in.U16("alarm advance");
        if (hour && minute && days) {
            if (const auto time = CheckedTime(in, at, *hour, *minute, "alarm time"))
                item.Alarm = TaskAlarm{*time, *days};
        }
    }
    if (*flags & 0x1000) {
        if (const auto from = in.U16("repeat start date")) {
            item.RepeatFrom = ReadDate(in, *from, "repeat start date");
            ReadRepeat(in, item.RepeatFrom, item.Repeat);
        }
    }
    // Both texts stand in every record, whatever the two flags say of them.
    item.Description = TextField(in, "description");
    item.Note = TextField(in, "note");
    return Finished(std::move(item), in);
}

std::uint64_t Charge(const TaskItem& item) noexcept {
    return TextCharge({&item.Description, &item.Note});
}

namespace {

constexpr std::string_view TasksClaims[] = {"DATAPTod"};

} // namespace

const FormatDescriptor TasksFormat{
    .Name = "tasks",
    .Claims = TasksClaims,
    .Categories = true,
    .WeighText =
        [](const Database& database, EncodingEvidence& evidence) {
            // After the three words and the fields the flags announce.
            WeighRecords(database, evidence, [](ByteSpan record) {
                const std::uint16_t flags = Be16(record, 0).value_or(0);
                return std::size_t{6} + (flags & 0x8000 ? 2 : 0) + (flags & 0x4000 ? 2 : 0) +
                       (flags & 0x2000 ? 4 : 0) + (flags & 0x1000 ? 10 : 0);
            });
        },
    .Read =
        [](const Database& database, Decoding& decoding, Content& content) {
            auto tasks = std::make_shared<Tasks>();
            ReadItems(database, decoding, *tasks, DecodeTask);
            content.Decoded = std::move(tasks);
        },
};

} // namespace vexlin::content
