// The fields the personal information formats share, read through the bounded reader: packed
// dates, times of day, text, the datebook's repeat block, and the end of a record.
#pragma once

#include "content/core/BigEndian.h"
#include "content/core/Reader.h"
#include "content/pim/Pim.h"
#include "content/text/EncodingEvidence.h"

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

// The item once its record is read: what follows its last field reported, its damage marked.
template <typename ItemType> ItemType Finished(ItemType item, Reader& in) {
    in.CheckHidden();
    item.Damaged = in.Damaged;
    return item;
}

} // namespace vexlin::content
