// vexlin-dump's options, written out once: CLI11 is set up from this table and --help's list
// is printed from it; the tests hold the bash completion and the manual page to it.
#pragma once

#include "Options.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vexlin::dump {

// The headings of --help, in this order.
enum class OptionGroup { Dump, Inspection, Content, Other };

// Where a parsed option goes: a flag, a text, a text that may be absent, a number (given as
// text and read by ParseOptions, which names a bad one). Nothing for --help and --version,
// which main answers before parsing.
using OptionTarget =
    std::variant<std::monostate, bool Options::*, std::string Options::*,
                 std::optional<std::string> Options::*, std::optional<long> Options::*>;

struct OptionEntry {
    std::string_view Long;     // "--record"; empty for an option with a short name only
    std::string_view Short;    // "-v"; empty when there is none
    std::string_view Argument; // "N"; empty for a flag
    std::string_view Help;     // one line; --help wraps it
    OptionGroup Group;
    OptionTarget Target;

    // The name it is known by: the long one when it has one.
    [[nodiscard]] constexpr std::string_view Name() const { return Long.empty() ? Short : Long; }
};

inline constexpr OptionEntry OptionTable[] = {
    {"--header", "", "", "the header report", OptionGroup::Dump, &Options::Header},
    {"--app-info", "", "", "a hex dump of the app info area", OptionGroup::Dump, &Options::AppInfo},
    {"--sort-info", "", "", "a hex dump of the sort info area", OptionGroup::Dump,
     &Options::SortInfo},
    {"--records", "", "", "every record: its status line, then its hex dump", OptionGroup::Dump,
     &Options::Records},
    {"--record", "", "N", "only record N (counted from 1)", OptionGroup::Dump, &Options::Record},
    {"--info", "", "", "the header decoded: kind, attribute names, dates, areas",
     OptionGroup::Inspection, &Options::Info},
    {"--list", "", "", "the record list (or resource list), one entry a line",
     OptionGroup::Inspection, &Options::List},
    {"--check", "", "", "every structural finding; exit status 3 on an error or warning",
     OptionGroup::Inspection, &Options::Check},
    {"--json", "", "", "one JSON object per file (JSON Lines for several)", OptionGroup::Inspection,
     &Options::Json},
    {"--summary", "", "", "one tab-separated line per file, under a header row",
     OptionGroup::Inspection, &Options::Summary},
    {"--raw", "", "", "the bytes of one record or area, unchanged (not to a terminal)",
     OptionGroup::Inspection, &Options::Raw},
    {"--content", "", "",
     "what the records hold, decoded: memo, todo, tasks, datebook, calendar, address, "
     "contacts, mail, expense, palmdoc, mobi, bitmaps, font, application, preferences, photos, notepad; with --json "
     "the object's \"Content\"",
     OptionGroup::Content, &Options::Content},
    {"--export", "", "DIR",
     "standard files in DIR, for a database B: B.vcf (addresses, contacts), B.ics (datebook, calendar, "
     "to-dos, tasks), "
     "B/NNNN.txt (memos), B.mbox (mail), B.txt (books) and B.html (mobi books), "
     "B/TYPE-ID.png or B/NNNN.png (bitmaps, fonts, an application's icons, Note Pad drawings), B.jpg and "
     "B/NNNN.jpg (a photo, the thumbnails), B.csv (expenses)",
     OptionGroup::Content, &Options::ExportDir},
    {"--force", "", "", "let --export replace regular files that exist", OptionGroup::Content,
     &Options::Force},
    {"", "-v", "", "name each file --export writes, on standard error", OptionGroup::Content,
     &Options::Verbose},
    {"--encoding", "", "NAME",
     "the device's 8-bit text encoding (iconv name); without it cp932 for a Japanese "
     "device's databases, else palm-latin (cp1252 with Palm's card suits at 0x8D-0x90)",
     OptionGroup::Content, &Options::Encoding},
    {"--help", "", "", "this text", OptionGroup::Other, std::monostate{}},
    {"--version", "", "", "the version of vexlin-dump", OptionGroup::Other, std::monostate{}},
};

} // namespace vexlin::dump
