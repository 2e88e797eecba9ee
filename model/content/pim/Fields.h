// The fields the personal information formats share, read through the bounded reader: packed
// dates, times of day, text, the datebook's repeat block, and the end of a record.
#pragma once

#include "content/core/BigEndian.h"
#include "content/core/Categories.h"
#include "content/core/Content.h"
#include "content/core/Reader.h"
#include "content/pim/Pim.h"
#include "content/text/EncodingEvidence.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vexlin::content {

// A packed date just read (the two bytes before the reader's position); an impossible one is
// reported where it lies and gives nothing.
[[nodiscard]] std::optional<Date> ReadDate(Reader& in, std::uint16_t packed, std::string_view what);

// A time of day `at` bytes into the record; one that is none (25:70) is reported.
[[nodiscard]] std::optional<Time> CheckedTime(Reader& in, std::size_t at, int hour, int minute,
                                              std::string_view what);

// A text field; empty when the record ended before it (already reported).
[[nodiscard]] std::string TextField(Reader& in, std::string_view what);

// The datebook's 8-byte repeat block (type, end date, frequency, days, start of week) into
// out, each fault reported; `from` is the date it repeats from, for the check that it occurs.
void ReadRepeat(Reader& in, const std::optional<Date>& from, std::optional<EventRepeat>& out);

// The records' text fields, from where each record's text starts, weighed as far as the file's
// size once over (records that share their bytes would be weighed again and again).
template <typename TextStart>
void WeighRecords(const Database& database, EncodingEvidence& evidence, TextStart start) {
    const std::uint64_t most = database.Layout.FileSize + 65536;
    for (std::size_t i = 0; i < database.Layout.Records.size() && evidence.Weighed < most; ++i) {
        const ByteSpan record = database.Entry(i).Data;
        Weigh(Sub(record, start(record)), evidence);
    }
}

// A datebook event's fields, from its times to its note (the record's flags say which it
// holds); false when the record ends before its flags. Flag bits outside `known` are kept
// as UnknownFlags, and those of the high byte noted.
bool ReadEventFields(Reader& in, DatebookItem& item,
                     std::uint16_t known = DatebookKnownFlags);

// Where an event's texts start: after the times, the date, the flags and the parts the flags
// announce.
[[nodiscard]] inline std::size_t EventTextStart(ByteSpan record) {
    const std::uint16_t flags = Be16(record, 6).value_or(0);
    std::size_t at = 8 + (flags & 0x4000 ? 2 : 0) + (flags & 0x2000 ? 8 : 0);
    if (flags & 0x0800)
        at += 2 + 2 * std::size_t{Be16(record, at).value_or(0)};
    return at;
}

// The texts of a datebook's or a calendar's events, weighed for the encoding's detection.
inline void WeighEventTexts(const Database& database, EncodingEvidence& evidence) {
    WeighRecords(database, evidence, EventTextStart);
}

// A datebook's or a calendar's events, one item per record, and the start of the week its app
// info gives after the category block.
template <typename Events, auto Decode>
void ReadEvents(const Database& database, Decoding& decoding, Content& content) {
    auto events = std::make_shared<Events>();
    ReadItems(database, decoding, *events, Decode);
    const ByteSpan appInfo = database.AppInfo().Data;
    if (appInfo.size() > CategoryBlockSize + 2)
        events->StartOfWeek = appInfo[CategoryBlockSize + 2];
    content.Decoded = std::move(events);
}

// The tagged blocks to the end of a record (at most `most`): a four-character type, a 2-byte
// size and that many bytes, each handed to read(type, bytes, offset in the record), its type
// as CodeText writes it (any byte it cannot show escaped); a block that passes the record's
// end is reported and ends the reading.
template <typename Read>
void ReadTaggedBlocks(Reader& in, const Bytes& record, std::size_t most, Read read) {
    constexpr std::size_t head = 6;
    for (std::size_t blocks = 0; blocks < most && in.Left() >= head; ++blocks) {
        const std::size_t at = in.Position();
        char code[4] = {};
        const ByteSpan type = Sub(record.Data, at, 4);
        std::copy(type.begin(), type.end(), code);
        const std::string name = CodeText(code);
        in.Skip(4, "block type");
        const std::size_t size = *in.U16("block size");
        const ByteSpan data = Sub(record.Data, at + head, size);
        if (!in.Skip(size, "block " + name))
            break;
        read(name, data, at);
    }
}

// The item once its record is read: what follows its last field reported, its damage marked.
template <typename ItemType> ItemType Finished(ItemType item, Reader& in) {
    in.CheckHidden();
    item.Damaged = in.Damaged;
    return item;
}

} // namespace vexlin::content
