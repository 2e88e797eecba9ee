// A format of database content, as the registry knows it: its name, how strongly it claims a
// database, whether its app info starts with the category block, where its text lies for the
// encoding's detection, and its decoder. Each family defines the descriptors of its formats
// beside their decoders; Registry.cpp lists them, and nothing else names a format.
#pragma once

#include "Structure.h"
#include "content/core/Entries.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace vexlin::content {

struct Content;
struct Decoding;
struct EncodingEvidence;

// What a database holds, decoded: each format's payload derives from this.
struct Payload {
    Payload() = default;
    Payload(const Payload&) = default;
    Payload& operator=(const Payload&) = default;
    virtual ~Payload() = default;
};

// The database a format bids on and decodes: its image and its structure.
struct Database {
    const DatabaseImage& Image;
    const Structure& Layout;
    [[nodiscard]] Bytes Entry(std::size_t index) const noexcept {
        return EntryBytes(Image, Layout, index);
    }
    [[nodiscard]] Bytes AppInfo() const noexcept { return AppInfoBytes(Image, Layout); }
    [[nodiscard]] bool HasType(const char* type) const noexcept;
    [[nodiscard]] bool HasCreator(const char* creator) const noexcept;
    [[nodiscard]] bool IsRecords() const noexcept { return Layout.Kind == DatabaseKind::Record; }
};

// How strongly a format claims a database, from the strongest sign to the weakest. The highest
// bid wins; equal bids go to the format whose name sorts first (Identify), so that the
// arrangement of the registry never decides.
namespace bid {
inline constexpr int None = 0;
// The records read as the format's (bitmaps), weakest of the signs.
inline constexpr int Layout = 10;
// Record 0 holds the format's header, checked against the database (a PalmDOC book header).
inline constexpr int Header = 15;
// The database holds resources of the format's kind (fonts).
inline constexpr int Resources = 20;
// The database's type is the format's, one that other formats' databases share (program types,
// code resources, Font, TEXt/REAd).
inline constexpr int Type = 30;
// The format's own mark in its bytes (a MOBI header).
inline constexpr int Signature = 40;
// A type and creator that only the format's databases carry (DATA/memo, BOOK/MOBI).
inline constexpr int Named = 50;
} // namespace bid

struct FormatDescriptor {
    std::string_view Name; // JSON "Format", the [Content] section's "Format:"
    // The types and creators of the format's databases where they have their own, eight
    // characters each ("DATAmemo"); a database that carries one, of the kind below, is bid
    // Claim.
    std::span<const std::string_view> Claims = {};
    bool Resources = false; // those databases are resource databases
    int Claim = bid::Named;
    // The highest bid the format ever makes (Identify asks no format that could not win).
    int MostBid = bid::Named;
    // How strongly the format claims a database beside its type and creator (its own mark, a
    // layout, a shared type): bid::None when it does not; nullptr for none.
    int (*Bid)(const Database& database) = nullptr;
    // Whether the app info starts with the standard category block; other record databases
    // have theirs read when the block is plausible (PlausibleCategories).
    bool Categories = false;
    // Weighs the format's own text for the encoding's detection (beside the category names,
    // which are weighed for every format that has them); nullptr: none.
    void (*WeighText)(const Database& database, EncodingEvidence& evidence) = nullptr;
    // Decodes the database into content.Payload (and may set what the payload decides, a book's
    // own encoding); nullptr: nothing is decoded.
    void (*Read)(const Database& database, Decoding& decoding, Content& content) = nullptr;
};

// Every format, in the registry's arrangement (which decides nothing).
[[nodiscard]] std::span<const FormatDescriptor* const> Formats() noexcept;

// A database no format claims.
extern const FormatDescriptor UnknownFormat;

// What the format bids on the database: Claim for one of its Claims, else its Bid.
[[nodiscard]] int BidOn(const FormatDescriptor& format, const Database& database);

// The format whose bid on the database is highest (equal bids: the name that sorts first), or
// UnknownFormat when none bids.
[[nodiscard]] const FormatDescriptor& Identify(const Database& database);

} // namespace vexlin::content
