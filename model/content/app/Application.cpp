#include "content/app/Application.h"

#include "content/core/Content.h"
#include "content/core/Report.h"
#include "content/text/TextDecoder.h"

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

} // namespace

bool IsCodeType(const char (&type)[4]) noexcept {
    return Is(type, "code") || Is(type, "libr") || Is(type, "ARMC") || Is(type, "armc");
}

bool IsProgramType(const char (&type)[4]) noexcept {
    return Is(type, "appl") || Is(type, "libr") || Is(type, "libf") || Is(type, "extn") ||
           Is(type, "panl");
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
            if (ReadFont(bytes.Data, bytes.Offset, RecordName(i), font, room,
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

namespace {

void ReadApplicationInto(const Database& database, Decoding& decoding, Content& content) {
    const ContentOptions& options = decoding.Options;
    // Bitmaps only described go to a sink that takes nothing: their pixels are dropped.
    const BitmapSink bitmaps =
        options.Bitmaps || options.Pixels ? options.Bitmaps : [](const BitmapEntry&) {};
    content.Decoded = std::make_shared<Application>(ReadApplication(
        database.Image, database.Layout, content.Encoding, decoding.Findings, bitmaps));
}

} // namespace

const FormatDescriptor ApplicationFormat{
    .Name = "application",
    .MostBid = bid::Type,
    .Bid =
        [](const Database& d) {
            if (d.IsRecords())
                return bid::None;
            if (IsProgramType(d.Image.Header.DataBaseType))
                return bid::Type;
            // Code (or a program's name) makes any resource database a program.
            for (const ResourceInfo& r : d.Layout.Resources)
                if (IsCodeType(r.Type) || Is(r.Type, "tAIN"))
                    return bid::Type;
            return bid::None;
        },
    .WeighText =
        [](const Database& database, EncodingEvidence& evidence) {
            const Structure& structure = database.Layout;
            const std::uint64_t most = structure.FileSize + 65536;
            for (std::size_t i = 0; i < structure.Resources.size() && evidence.Weighed < most;
                 ++i) {
                const ResourceInfo& r = structure.Resources[i];
                if (Is(r.Type, "tAIN") || Is(r.Type, "tver") || Is(r.Type, "tAIS"))
                    Weigh(database.Entry(i).Data, evidence);
            }
        },
    .Read = ReadApplicationInto,
};

const FormatDescriptor FontFormat{
    .Name = "font",
    .MostBid = bid::Type,
    .Bid =
        [](const Database& d) {
            if (d.IsRecords())
                return d.HasType("Font") && !d.Layout.Records.empty() ? bid::Type : bid::None;
            for (const ResourceInfo& r : d.Layout.Resources)
                if (Is(r.Type, "NFNT") || Is(r.Type, "nfnt"))
                    return bid::Resources;
            return bid::None;
        },
    .Read = ReadApplicationInto,
};

// The Saved (sprf) and Unsaved (pref) Preferences databases that Palm OS keeps.
constexpr std::string_view PreferencesClaims[] = {"sprfpsys", "prefpsys"};

const FormatDescriptor PreferencesFormat{
    .Name = "preferences",
    .Claims = PreferencesClaims,
    .Resources = true,
    .Read =
        [](const Database& database, Decoding&, Content& content) {
            content.Decoded = std::make_shared<Preferences>(ReadPreferences(database.Layout));
        },
};

} // namespace vexlin::content
