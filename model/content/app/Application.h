// Applications and the pictures and fonts databases carry: the name (tAIN), version (tver),
// default category names (tAIS), code and data resources with their sizes, fonts (NFNT,
// nfnt, Font records) by their metrics and strike, and every bitmap family, from resources (Tbmp,
// tAIB, Tbsb) or from records that hold bitmaps.
#pragma once

#include "Structure.h"
#include "content/app/Font.h"
#include "content/core/Format.h"
#include "content/picture/BitmapSet.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexlin::content {

struct ResourceSize {
    char Type[4] = {};
    std::uint16_t ID = 0;
    std::uint64_t Size = 0;
};

struct Application : Payload {
    std::string Name;                    // tAIN, UTF-8
    std::string Version;                 // tver 1, else tver 1000, else the first tver; UTF-8
    std::vector<std::string> Categories; // tAIS, UTF-8
    std::vector<ResourceSize> Code;      // code and data resources (IsCodeType)
    std::vector<FontMetrics> Fonts;
    std::vector<BitmapEntry> Bitmaps;
};

// Everything above for a resource database (an application) or a font database. The strikes
// of all its fonts together keep no more bytes than the file holds.
[[nodiscard]] Application ReadApplication(const DatabaseImage& image, const Structure& structure,
                                          const std::string& encoding,
                                          std::vector<Finding>& findings,
                                          const BitmapSink& sink = {});

// The preferences of a Saved or Unsaved Preferences database (sprf or pref, creator psys):
// one resource each, its type the creator of the application it belongs to, its ID the
// preference's number within that application.
struct Preferences : Payload {
    std::vector<ResourceSize> Entries; // in the order of the resource list
};

[[nodiscard]] Preferences ReadPreferences(const Structure& structure);

// Whether a resource type holds a program's code: 68K code, a shared library's code (libr)
// or ARM code (ARMC, armc); data resources go with them.
[[nodiscard]] bool IsCodeType(const char (&type)[4]) noexcept;

// Whether a database type is one of a program's: an application (appl), shared library
// (libr), file-system library (libf), system extension (extn) or preference panel (panl).
[[nodiscard]] bool IsProgramType(const char (&type)[4]) noexcept;

// The formats' descriptors: "application" (programs of every kind: applications, libraries,
// extensions, panels, or any database of code), "font" (font resources, or a Font database of
// records, decoded as an Application of fonts alone) and "preferences".
extern const FormatDescriptor ApplicationFormat;
extern const FormatDescriptor FontFormat;
extern const FormatDescriptor PreferencesFormat;

} // namespace vexlin::content
