// What a database holds, decoded by format: the content layer. Each format family has a file
// of its own beside this one (Categories, Pim for memos, to-dos, datebook, addresses and
// mail; PalmDoc and Mobi for books; Bitmap and Application for pictures, programs and fonts);
// this file names the formats, finds the bytes of each entry and dispatches. Standard library
// and the C library's iconv only; never reads outside the bytes the file holds.
//
// The convention every decoder follows: a function from an entry's bytes (a span) to a plain
// struct, appending to a FindingList what was damaged. A damaged entry is decoded as far as it
// goes, its item marked Damaged, and each fault reported once with a code beginning
// "content-" at the file offset where it lies. Damage never throws.
#pragma once

#include "Structure.h"
#include "content/Application.h"
#include "content/Categories.h"
#include "content/PalmDoc.h"
#include "content/Pim.h"
#include "content/TextDecoder.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vexlin::content {

// The bytes of record or resource `index` as the structure places them, cut at the end of
// what the image holds; empty when the entry lies outside the file.
[[nodiscard]] Bytes EntryBytes(const DatabaseImage& image, const Structure& structure,
                               std::size_t index) noexcept;
// The app info area's bytes (empty when there is none).
[[nodiscard]] Bytes AppInfoBytes(const DatabaseImage& image, const Structure& structure) noexcept;

enum class Format { Unknown, Memo, ToDo, Datebook, Address, Mail, PalmDoc, Mobi, Bitmaps, Application, Font, Preferences };

// The name used in JSON "Format" and in the [Content] section: "memo", "todo", ...
[[nodiscard]] std::string_view FormatName(Format format) noexcept;

// The format of a database, from its type and creator (and, where those do not decide, a
// plausible layout of its first records).
[[nodiscard]] Format IdentifyFormat(const DatabaseImage& image, const Structure& structure);

struct ContentOptions {
    // The iconv name of the 8-bit text encoding. Empty: detected from the database's text
    // (EncodingEvidence), cp932 or the default.
    std::string Encoding;
    // When set, a book's text goes to it as it is decoded and Book::Text stays empty.
    BookTextSink BookText;
    // When set, each bitmap entry goes to it once decoded, and its pixels are then dropped.
    BitmapSink Bitmaps;
    // False: bitmaps are only described, their pixels dropped as each entry is read.
    bool Pixels = true;
};

// What the encoding was decided on, before the payload is read: the database's text read as
// cp932 (category names, labels, the records' text fields, an application's names), weighed
// whole. A character of two bytes (or a half-width kana) beside another, or standing alone
// between spaces and punctuation, speaks for cp932; a byte cp932 has no character for, a lone
// one beside a Latin letter or digit (don’t, “Hello”), or a pair that reads in cp1252 as an
// accented letter before a letter (São, ação), against. cp932 is taken when it has at least
// four times the evidence against it.
struct EncodingEvidence {
    std::uint64_t Weighed = 0;  // bytes of text weighed
    std::uint64_t Japanese = 0; // characters that read as cp932 text
    std::uint64_t Against = 0;  // bytes or characters that do not
    // Some evidence for cp932, but fewer than EncodingEvidenceEnough characters either way, or
    // (read as the default) at least as many for cp932 as against: reported as
    // content-encoding-guess.
    bool Thin = false;
};
inline constexpr std::uint64_t EncodingEvidenceEnough = 8;

struct Content {
    Format Kind = Format::Unknown;
    std::string Encoding;          // as used
    bool EncodingDetected = false; // chosen from the database's own text, not given
    EncodingEvidence Evidence;     // what it was chosen on (when detected)
    std::vector<Finding> Findings; // codes begin "content-", in file order
    // The standard category block at the start of the app info, when it holds one.
    std::optional<CategoryInfo> Categories;
    // The decoded form of each format family: one alternative per family, each with its
    // items in record order (one item per record).
    // PalmDOC and Mobipocket books share Book; bitmaps of records or resources are a
    // BitmapSet; applications and font databases an Application; the preferences databases
    // Preferences.
    std::variant<std::monostate, Memos, ToDos, Datebook, AddressBook, MailBox, Book, BitmapSet,
                 Application, Preferences>
        Payload;
};

// Decodes what the database holds. Throws std::invalid_argument for an encoding iconv does
// not know; damage in the file never throws: it is decoded as far as it goes and reported.
[[nodiscard]] Content ReadContent(const DatabaseImage& image, const Structure& structure,
                                  const ContentOptions& options = {});

// Merges content findings into a structure's findings (both in file order; the structure's
// first at equal offsets) and its totals: --check and --json report them together.
void MergeFindings(Structure& structure, const std::vector<Finding>& findings);

} // namespace vexlin::content
