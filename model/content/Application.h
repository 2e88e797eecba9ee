// Applications and the pictures and fonts databases carry: the name (tAIN), version (tver),
// default category names (tAIS), code and data resources with their sizes, fonts (NFNT,
// nfnt, Font records) by their metrics and strike, and every bitmap family, from resources (Tbmp,
// tAIB, Tbsb) or from records that hold bitmaps.
#pragma once

#include "Structure.h"
#include "content/Bitmap.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexlin::content {

// One record or resource that holds a bitmap family.
struct BitmapEntry {
    bool IsResource = false;
    char Type[4] = {};      // a resource's type, as the file holds it
    std::uint16_t ID = 0;   // a resource's ID
    std::size_t Record = 0; // a record's index, from 0
    std::vector<Bitmap> Members;
};

// The font header: its type, character range and metrics, in pixels.
struct FontMetrics {
    bool IsResource = false;
    char Type[4] = {};
    std::uint16_t ID = 0;
    std::size_t Record = 0;
    std::uint16_t FontType = 0;
    std::int16_t FirstChar = 0, LastChar = 0, MaxWidth = 0, KernMax = 0, NDescent = 0;
    std::int16_t FRectWidth = 0, FRectHeight = 0, Ascent = 0, Descent = 0, Leading = 0;
    std::int16_t RowWords = 0;
    // The strike, every glyph side by side as the font holds them: RowWords x 16 pixels wide,
    // FRectHeight high (the rows the data holds, at most BitmapPixelsMax pixels), its bytes as
    // stored, a set bit a black pixel (DrawStrike makes its pixels).
    std::uint32_t StrikeWidth = 0;
    std::uint32_t StrikeHeight = 0;
    std::vector<std::uint8_t> Strike;
};

// A font's strike as pixels, black on white, 4 bytes (R, G, B, A) a pixel.
[[nodiscard]] std::vector<std::uint8_t> DrawStrike(const FontMetrics& font);

// The bitmaps of a database that holds pictures (records or resources).
struct BitmapSet {
    std::vector<BitmapEntry> Entries;
};

struct ResourceSize {
    char Type[4] = {};
    std::uint16_t ID = 0;
    std::uint64_t Size = 0;
};

struct Application {
    std::string Name;                    // tAIN, UTF-8
    std::string Version;                 // tver 1, else tver 1000, else the first tver; UTF-8
    std::vector<std::string> Categories; // tAIS, UTF-8
    std::vector<ResourceSize> Code;      // code and data resources (IsCodeType)
    std::vector<FontMetrics> Fonts;
    std::vector<BitmapEntry> Bitmaps;
};

// Receives each bitmap entry once its members are decoded; a reader given one then drops the
// entry's pixels (its headers and decoded sizes stay), so that a database of thousands of
// bitmaps is written out, or described, holding the pixels of one entry at a time.
using BitmapSink = std::function<void(const BitmapEntry& entry)>;

// Bitmaps of a database: bitmap resources, or the records that read as bitmaps.
[[nodiscard]] std::vector<BitmapEntry> ReadBitmaps(const DatabaseImage& image,
                                                   const Structure& structure,
                                                   std::vector<Finding>& findings,
                                                   const BitmapSink& sink = {});

// Everything above for a resource database (an application) or a font database. The strikes
// of all its fonts together keep no more bytes than the file holds.
[[nodiscard]] Application ReadApplication(const DatabaseImage& image, const Structure& structure,
                                          const std::string& encoding,
                                          std::vector<Finding>& findings,
                                          const BitmapSink& sink = {});

// Whether a resource type holds a bitmap family.
[[nodiscard]] bool IsBitmapType(const char (&type)[4]) noexcept;

// The preferences of a Saved or Unsaved Preferences database (sprf or pref, creator psys):
// one resource each, its type the creator of the application it belongs to, its ID the
// preference's number within that application.
struct Preferences {
    std::vector<ResourceSize> Entries; // in the order of the resource list
};

[[nodiscard]] Preferences ReadPreferences(const Structure& structure);

// Whether a resource type holds a program's code: 68K code, a shared library's code (libr)
// or ARM code (ARMC, armc); data resources go with them.
[[nodiscard]] bool IsCodeType(const char (&type)[4]) noexcept;

// Whether a database type is one of a program's: an application (appl), shared library
// (libr), file-system library (libf), system extension (extn) or preference panel (panl).
[[nodiscard]] bool IsProgramType(const char (&type)[4]) noexcept;

// Whether a database type and creator are those of the Saved (sprf) or Unsaved (pref)
// Preferences database that Palm OS keeps (creator psys).
[[nodiscard]] bool IsPreferencesDatabase(const char (&type)[4], const char (&creator)[4]) noexcept;

// "Tbmp 1000" for a resource, "record 3" (counted from 1) for a record.
[[nodiscard]] std::string EntryName(const BitmapEntry& entry);

// Whether most records of a record database read as bitmaps (and at least one does).
[[nodiscard]] bool RecordsAreBitmaps(const DatabaseImage& image, const Structure& structure);

} // namespace vexlin::content
