// The Note Pad of Palm OS 4 and 5 (npadDB, DATA/npad): each note a drawing with its times, a
// title and an alarm. The drawing is 1-bit rows as they stand, the same rows run-length coded
// (a count and a byte), or on later devices a PNG file.
#pragma once

#include "content/core/Format.h"
#include "content/core/Items.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexlin::content {

// A time as the note keeps it, seven words: second, minute, hour, day, month, year and one
// the application keeps for itself.
struct NoteTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    [[nodiscard]] std::string Iso() const; // "2004-05-06T07:08:09"
};

enum class NoteDrawing { None, Bits, RunLength, Png, Unknown };

struct NoteItem : Item {
    NoteTime Created, Changed;
    std::optional<NoteTime> Alarm;
    std::string Title;
    NoteDrawing Drawing = NoteDrawing::None;
    std::uint32_t DataType = 0; // as the record gives it: 0 bits, 1 run-length, 2 PNG
    // A 1-bit drawing decoded: Width x Height pixels, one byte each, 1 for ink. Its width is
    // the record's and 8 more, as the device encodes it (a 152-pixel note holds 160).
    std::uint32_t Width = 0, Height = 0;
    std::vector<std::uint8_t> Ink;
    std::vector<std::uint8_t> Png; // a PNG drawing's bytes, as the record holds them
};

struct NotePad : Payload {
    std::vector<NoteItem> Items;
};

// The two times, the flags (0x01 a drawing, 0x02 a title, 0x04 an alarm), the alarm's time,
// the title NUL-terminated and padded to an even length, then the drawing: six big-endian
// words (its size, width, height, one unknown, its type, its data's length) and its data. A
// 1-bit drawing decodes to at most BitmapPixelsMax pixels, never more rows than it holds.
[[nodiscard]] NoteItem DecodeNote(const Bytes& record, const std::string& where, Decoding& d);
[[nodiscard]] std::uint64_t Charge(const NoteItem& item) noexcept;

// "bits", "run-length", "png", "none", "unknown".
[[nodiscard]] std::string_view NoteDrawingName(NoteDrawing drawing) noexcept;

// The format's descriptor: "notepad".
extern const FormatDescriptor NotePadFormat;

} // namespace vexlin::content
