#include "content/picture/NotePad.h"
#include "FindingCodes.h"

#include "content/core/BigEndian.h"
#include "content/core/Content.h"
#include "content/core/Reader.h"
#include "content/picture/Bitmap.h"

#include <cstdio>

namespace vexlin::content {

namespace {

std::optional<NoteTime> ReadTime(Reader& in, const char* what) {
    std::optional<std::uint16_t> words[7];
    for (auto& word : words)
        word = in.U16(what);
    if (!words[6])
        return std::nullopt;
    return NoteTime{*words[5], *words[4], *words[3], *words[2], *words[1], *words[0]};
}

// The 1-bit rows, as they stand or run-length coded, to one byte a pixel.
void DecodeInk(ByteSpan data, NoteItem& item, Reader& in, std::size_t at) {
    const std::uint64_t pixels = std::uint64_t{item.Width} * item.Height;
    if (item.Width == 0 || pixels > BitmapPixelsMax) {
        in.ReportAt(at, Severity::Warning, codes::ContentBitmapSize.Code,
                    "a drawing of " + std::to_string(item.Width) + " x " +
                        std::to_string(item.Height) + " pixels is not decoded");
        return;
    }
    item.Ink.reserve(static_cast<std::size_t>(pixels));
    const auto put = [&](std::uint8_t byte) {
        for (int bit = 7; bit >= 0 && item.Ink.size() < pixels; --bit)
            item.Ink.push_back(byte >> bit & 1);
    };
    if (item.Drawing == NoteDrawing::Bits) {
        for (const std::uint8_t byte : data)
            put(byte);
    } else {
        for (std::size_t i = 0; i + 1 < data.size() && item.Ink.size() < pixels; i += 2)
            for (unsigned n = 0; n < data[i] && item.Ink.size() < pixels; ++n)
                put(data[i + 1]);
    }
    if (item.Ink.size() < pixels) {
        in.ReportAt(at, Severity::Warning, codes::ContentBitmapData.Code,
                    "the drawing holds " + std::to_string(item.Ink.size() / item.Width) + " of " +
                        std::to_string(item.Height) + " rows; the rest is left blank");
        item.Ink.resize(static_cast<std::size_t>(pixels), 0);
    }
}

} // namespace

std::string NoteTime::Iso() const {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", Year, Month, Day, Hour,
                  Minute, Second);
    return text;
}

std::string_view NoteDrawingName(NoteDrawing drawing) noexcept {
    switch (drawing) {
    case NoteDrawing::None: return "none";
    case NoteDrawing::Bits: return "bits";
    case NoteDrawing::RunLength: return "run-length";
    case NoteDrawing::Png: return "png";
    case NoteDrawing::Unknown: break;
    }
    return "unknown";
}

NoteItem DecodeNote(const Bytes& record, const std::string& where, Decoding& d) {
    Reader in(record, where, d);
    NoteItem item;
    if (record.Data.empty())
        return item;
    const auto created = ReadTime(in, "creation time");
    const auto changed = ReadTime(in, "modification time");
    const auto flags = in.U16("flags");
    item.Created = created.value_or(NoteTime{});
    item.Changed = changed.value_or(NoteTime{});
    if (!flags) {
        item.Damaged = in.Damaged;
        return item;
    }
    if (*flags & 0x04)
        item.Alarm = ReadTime(in, "alarm time");
    if (*flags & 0x02) {
        item.Title = in.Text("title").value_or("");
        if (in.Position() % 2 == 1)
            in.Skip(1, "title");
    }
    if (*flags & 0x01) {
        const std::size_t at = in.Position();
        in.U32("drawing size");
        const auto width = in.U32("drawing width");
        const auto height = in.U32("drawing height");
        in.U32("drawing");
        const auto type = in.U32("drawing type");
        const auto length = in.U32("drawing length");
        if (width && height && type && length) {
            item.DataType = *type;
            const ByteSpan data = Sub(record.Data, in.Position(), *length);
            in.Skip(*length, "drawing");
            item.Drawing = *type == 0   ? NoteDrawing::Bits
                           : *type == 1 ? NoteDrawing::RunLength
                           : *type == 2 ? NoteDrawing::Png
                                        : NoteDrawing::Unknown;
            if (item.Drawing == NoteDrawing::Png) {
                item.Png.assign(data.begin(), data.end());
            } else if (item.Drawing == NoteDrawing::Unknown) {
                in.ReportAt(at + 16, Severity::Warning, codes::ContentBitmapCompression.Code,
                            "drawing type " + std::to_string(*type) + " is not known");
            } else {
                item.Width = *width + 8;
                item.Height = *height;
                DecodeInk(data, item, in, at);
            }
        }
    }
    item.Damaged = in.Damaged;
    return item;
}

std::uint64_t Charge(const NoteItem& item) noexcept {
    return OutputBound::PerItem + OutputBound::PerTextByte * (item.Title.size() + item.Png.size()) +
           item.Ink.size() / 8;
}

namespace {

constexpr std::string_view NotePadClaims[] = {"DATAnpad"};

} // namespace

const FormatDescriptor NotePadFormat{
    .Name = "notepad",
    .Claims = NotePadClaims,
    .Categories = true,
    .Read =
        [](const Database& database, Decoding& decoding, Content& content) {
            auto notes = std::make_shared<NotePad>();
            ReadItems(database, decoding, *notes, DecodeNote);
            content.Decoded = std::move(notes);
        },
};

} // namespace vexlin::content
