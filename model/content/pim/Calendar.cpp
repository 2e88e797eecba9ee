#include "content/pim/Calendar.h"
#include "FindingCodes.h"

#include "content/core/BigEndian.h"
#include "content/core/Categories.h"
#include "content/core/Content.h"
#include "content/pim/Fields.h"

#include <cstdint>

namespace vexlin::content {

namespace {

// The flag bits the Calendar knows: the datebook's and a location.
constexpr std::uint16_t CalendarKnownFlags = DatebookKnownFlags | 0x0200;
constexpr std::size_t ZoneHead = 14;

DstRule Rule(ByteSpan bytes) {
    return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

// The time zone block: the offset, the two rules, the saving, the country, the custom flag,
// then the name to its NUL (`at` is the block's place in the record).
std::optional<TimeZone> ReadZone(ByteSpan data, Reader& in, const Bytes& record, std::size_t at,
                                 Decoding& d) {
    if (data.size() < ZoneHead) {
        in.ReportAt(at, Severity::Warning, codes::ContentTruncated.Code,
                    "the time zone block holds " + std::to_string(data.size()) + " bytes, less than " +
                        std::to_string(ZoneHead));
        return std::nullopt;
    }
    TimeZone zone;
    zone.Offset = static_cast<std::int16_t>(*Be16(data, 0));
    zone.Start = Rule(data.subspan(2, 4));
    zone.End = Rule(data.subspan(6, 4));
    zone.DstAmount = *Be16(data, 10);
    zone.Country = data[12];
    zone.Custom = (data[13] & 0x80) != 0;
    const std::size_t nameAt = at + 6 + ZoneHead; // after the block's type and size
    Reader name({static_cast<std::uint32_t>(record.Offset + nameAt), data.subspan(ZoneHead)},
                "time zone", d);
    zone.Name = name.FixedText(data.size() - ZoneHead, "time zone name").value_or("");
    return zone;
}

} // namespace

CalendarItem DecodeCalendar(const Bytes& record, const std::string& where, Decoding& d) {
    Reader in(record, where, d);
    CalendarItem item;
    if (record.Data.empty())
        return item;
    if (ReadEventFields(in, item, CalendarKnownFlags)) {
        if (item.Flags & 0x0200)
            item.Location = TextField(in, "location");
        ReadTaggedBlocks(in, record, SIZE_MAX,
                         [&](const std::string& type, ByteSpan data, std::size_t at) {
                             if (type == "Bd00")
                                 item.Zone = ReadZone(data, in, record, at, d);
                             else
                                 item.OtherBlobs.push_back({type, data.size()});
                         });
    }
    return Finished(std::move(item), in);
}

std::uint64_t Charge(const CalendarItem& item) noexcept {
    return TextCharge({&item.Description, &item.Note, &item.Location}) +
           OutputBound::PerException * item.Exceptions.size();
}

namespace {

constexpr std::string_view CalendarClaims[] = {"DATAPDat"};

} // namespace

const FormatDescriptor CalendarFormat{
    .Name = "calendar",
    .Claims = CalendarClaims,
    .Categories = true,
    .WeighText = WeighEventTexts,
    .Read = ReadEvents<Calendar, DecodeCalendar>,
};

} // namespace vexlin::content
