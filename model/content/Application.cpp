#include "content/Application.h"

#include "content/Content.h"
#include "content/Report.h"
#include "content/TextDecoder.h"

#include <algorithm>
#include <cstring>

namespace vexlin::content {

namespace {

bool Is(const char (&type)[4], const char* name) noexcept {
    return std::memcmp(type, name, 4) == 0;
}

// A NUL-terminated string (or the whole entry when it has no NUL).
std::string CString(ByteSpan bytes, TextDecoder& decoder) {
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return decoder.Decode(bytes.first(static_cast<std::size_t>(end - bytes.begin())));
}

// NUL-terminated strings one after another, to the first empty one (what follows is padding).
std::vector<std::string> CStrings(ByteSpan bytes, TextDecoder& decoder) {
    std::vector<std::string> strings;
    std::size_t start = 0;
    while (start < bytes.size() && bytes[start] != 0) {
        const auto end = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end(),
                                   std::uint8_t{0});
        const std::size_t stop = static_cast<std::size_t>(end - bytes.begin());
        strings.push_back(decoder.Decode(bytes.subspan(start, stop - start)));
        start = stop + 1;
    }
    return strings;
}

constexpr std::size_t FontHeader = 26;

// The strike after the font header: FRectHeight rows of RowWords 16-bit words. Only the rows
// the bytes hold are kept, at most BitmapPixelsMax pixels, and no more bytes than `room`.
void ReadStrike(ByteSpan bytes, std::uint32_t at, const std::string& where, FontMetrics& font,
                std::size_t& room, std::vector<Finding>& findings) {
    if (font.RowWords <= 0 || font.FRectHeight <= 0)
        return;
    const std::size_t rowBytes = 2 * static_cast<std::size_t>(font.RowWords);
    const std::size_t rows = static_cast<std::size_t>(font.FRectHeight);
    const ByteSpan strike = Sub(bytes, FontHeader);
    std::size_t held = std::min(rows, strike.size() / rowBytes);
    const auto warn = [&](const std::string& message) {
        Report(findings, at + static_cast<std::uint32_t>(FontHeader), Severity::Warning,
               "content-font", where + ": " + message);
    };
    if (held < rows)
        warn("its strike needs " + std::to_string(rowBytes * rows) + " bytes, " +
             std::to_string(strike.size()) + " are there; " + std::to_string(held) + " of its " +
             std::to_string(rows) + " rows are drawn");
    if (held > BitmapPixelsMax / (rowBytes * 8)) {
        held = BitmapPixelsMax / (rowBytes * 8);
        warn("its strike is wider and higher than a bitmap holds; " + std::to_string(held) +
             " rows are drawn");
    }
    if (held * rowBytes > room) {
        // Only fonts whose records overlap one another hold more strikes than the file.
        warn("the strikes of the fonts before it take all the bytes the file holds; "
             "its strike is not drawn");
        return;
    }
    if (held == 0)
        return;
    room -= held * rowBytes;
    font.StrikeWidth = static_cast<std::uint32_t>(rowBytes * 8);
    font.StrikeHeight = static_cast<std::uint32_t>(held);
    font.Strike.assign(strike.begin(),
                       strike.begin() + static_cast<std::ptrdiff_t>(held * rowBytes));
}

bool ReadFont(ByteSpan bytes, std::uint32_t at, const std::string& where, FontMetrics& font,
              std::size_t& room, std::vector<Finding>& findings) {
    if (bytes.size() < FontHeader) {
        Report(findings, at, Severity::Warning, "content-font",
               where + ": a font header needs 26 bytes, " + std::to_string(bytes.size()) +
                   " are there");
        return false;
    }
    const auto field = [&](std::size_t i) {
        return static_cast<std::int16_t>(*Be16(bytes, 2 * i));
    };
    font.FontType = *Be16(bytes, 0);
    font.FirstChar = field(1);
    font.LastChar = field(2);
    font.MaxWidth = field(3);
    font.KernMax = field(4);
    font.NDescent = field(5);
    font.FRectWidth = field(6);
    font.FRectHeight = field(7);
    font.Ascent = field(9);
    font.Descent = field(10);
    font.Leading = field(11);
    font.RowWords = field(12);
    ReadStrike(bytes, at, where, font, room, findings);
    return true;
}

std::string ResourceName(const char (&type)[4], std::uint16_t id) {
    return CodeText(type) + " " + std::to_string(id);
}

// Frees the pixels of an entry's members (what a reader given a BitmapSink does).
void DropPixels(BitmapEntry& entry) noexcept {
    for (Bitmap& member : entry.Members)
        std::vector<std::uint8_t>().swap(member.Rgba);
}

} // namespace

std::vector<std::uint8_t> DrawStrike(const FontMetrics& font) {
    std::vector<std::uint8_t> rgba(font.Strike.size() * 8 * 4, 0xFF);
    std::uint8_t* pixel = rgba.data();
    for (const std::uint8_t byte : font.Strike) {
        for (int bit = 7; bit >= 0; --bit, pixel += 4) {
            if (byte >> bit & 1)
                pixel[0] = pixel[1] = pixel[2] = 0;
        }
    }
    return rgba;
}

bool IsBitmapType(const char (&type)[4]) noexcept {
    return Is(type, "Tbmp") || Is(type, "tAIB") || Is(type, "Tbsb");
}

bool IsCodeType(const char (&type)[4]) noexcept {
    return Is(type, "code") || Is(type, "libr") || Is(type, "ARMC") || Is(type, "armc");
}

bool IsProgramType(const char (&type)[4]) noexcept {
    return Is(type, "appl") || Is(type, "libr") || Is(type, "libf") || Is(type, "extn") ||
           Is(type, "panl");
}

bool IsPreferencesDatabase(const char (&type)[4], const char (&creator)[4]) noexcept {
    return (Is(type, "sprf") || Is(type, "pref")) && Is(creator, "psys");
}

Preferences ReadPreferences(const Structure& structure) {
    Preferences preferences;
    preferences.Entries.reserve(structure.Resources.size());
    for (const ResourceInfo& info : structure.Resources) {
        ResourceSize entry;
        std::memcpy(entry.Type, info.Type, 4);
        entry.ID = info.ID;
        entry.Size = static_cast<std::uint64_t>(std::max<std::int64_t>(info.Size, 0));
        preferences.Entries.push_back(entry);
    }
    return preferences;
}

std::string EntryName(const BitmapEntry& entry) {
    return entry.IsResource ? ResourceName(entry.Type, entry.ID)
                            : "record " + std::to_string(entry.Record + 1);
}

bool RecordsAreBitmaps(const DatabaseImage& image, const Structure& structure) {
    if (structure.Kind != DatabaseKind::Record)
        return false;
    std::size_t bitmaps = 0;
    for (std::size_t i = 0; i < structure.Records.size(); ++i)
        bitmaps += LooksLikeBitmap(EntryBytes(image, structure, i).Data);
    return bitmaps > 0 && bitmaps * 2 > structure.Records.size();
}

std::vector<BitmapEntry> ReadBitmaps(const DatabaseImage& image, const Structure& structure,
                                     std::vector<Finding>& findings, const BitmapSink& sink) {
    std::uint64_t room = FilePixelsPerByte * structure.FileSize + FamilyPixelsMax;
    const auto handOn = [&](BitmapEntry& entry) {
        if (sink) {
            sink(entry);
            DropPixels(entry);
        }
    };
    // The entries read span no more bytes than the file holds (and 64 KiB more): entries that
    // share their bytes would have the same members' headers read and listed again and again.
    // Those past it are listed without their members.
    std::uint64_t scan = std::uint64_t{structure.FileSize} + 65536;
    bool spent = false;
    const auto spans = [&](const Bytes& bytes, const std::string& where, std::size_t left) {
        if (!spent && bytes.Data.size() <= scan) {
            scan -= bytes.Data.size();
            return true;
        }
        if (!spent)
            Report(findings, bytes.Offset, Severity::Warning, "content-output-bound",
                   where +
                       ": the bitmap entries before it span all the bytes of the file "
                       "(entries share their bytes); its members and those of the " +
                       std::to_string(left) + " entries after it are not read");
        spent = true;
        return false;
    };
    std::vector<BitmapEntry> entries;
    if (structure.Kind == DatabaseKind::Resource) {
        for (std::size_t i = 0; i < structure.Resources.size(); ++i) {
            const ResourceInfo& info = structure.Resources[i];
            if (!IsBitmapType(info.Type))
                continue;
            BitmapEntry entry;
            entry.IsResource = true;
            std::memcpy(entry.Type, info.Type, 4);
            entry.ID = info.ID;
            const Bytes bytes = EntryBytes(image, structure, i);
            if (spans(bytes, EntryName(entry), structure.Resources.size() - i - 1)) {
                entry.Members =
                    ReadBitmapFamily(bytes.Data, bytes.Offset, EntryName(entry), findings, room);
                handOn(entry);
            }
            entries.push_back(std::move(entry));
        }
        return entries;
    }
    for (std::size_t i = 0; i < structure.Records.size(); ++i) {
        const Bytes bytes = EntryBytes(image, structure, i);
        if (!LooksLikeBitmap(bytes.Data))
            continue;
        BitmapEntry entry;
        entry.Record = i;
        if (spans(bytes, EntryName(entry), structure.Records.size() - i - 1)) {
            entry.Members =
                ReadBitmapFamily(bytes.Data, bytes.Offset, EntryName(entry), findings, room);
            handOn(entry);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

Application ReadApplication(const DatabaseImage& image, const Structure& structure,
                            const std::string& encoding, std::vector<Finding>& findings,
                            const BitmapSink& sink) {
    Application app;
    auto room = static_cast<std::size_t>(structure.FileSize); // for the fonts' strikes
    TextDecoder decoder(encoding);
    if (structure.Kind == DatabaseKind::Record) {
        // A font database: each record a font.
        for (std::size_t i = 0; i < structure.Records.size(); ++i) {
            const Bytes bytes = EntryBytes(image, structure, i);
            FontMetrics font;
            font.Record = i;
            if (ReadFont(bytes.Data, bytes.Offset, "record " + std::to_string(i + 1), font, room,
                         findings))
                app.Fonts.push_back(std::move(font));
        }
        return app;
    }
    // The version: tver 1, which Palm's own headers name the application's, else tver 1000,
    // else the first tver of any ID. The rank of the one taken, lower is better.
    int versionRank = 3;
    for (std::size_t i = 0; i < structure.Resources.size(); ++i) {
        const ResourceInfo& info = structure.Resources[i];
        const Bytes bytes = EntryBytes(image, structure, i);
        const int rank = info.ID == 1 ? 0 : info.ID == 1000 ? 1 : 2;
        if (Is(info.Type, "tAIN") && info.ID == 1000)
            app.Name = CString(bytes.Data, decoder);
        else if (Is(info.Type, "tver")) {
            if (rank < versionRank) {
                app.Version = CString(bytes.Data, decoder);
                versionRank = rank;
            }
        } else if (Is(info.Type, "tAIS") && info.ID == 1000)
            app.Categories = CStrings(bytes.Data, decoder);
        else if (IsCodeType(info.Type) || Is(info.Type, "data")) {
            ResourceSize code;
            std::memcpy(code.Type, info.Type, 4);
            code.ID = info.ID;
            code.Size = static_cast<std::uint64_t>(std::max<std::int64_t>(info.Size, 0));
            app.Code.push_back(code);
        } else if (Is(info.Type, "NFNT") || Is(info.Type, "nfnt")) {
            FontMetrics font;
            font.IsResource = true;
            std::memcpy(font.Type, info.Type, 4);
            font.ID = info.ID;
            if (ReadFont(bytes.Data, bytes.Offset, ResourceName(info.Type, info.ID), font, room,
                         findings))
                app.Fonts.push_back(std::move(font));
        }
    }
    app.Bitmaps = ReadBitmaps(image, structure, findings, sink);
    return app;
}

} // namespace vexlin::content
