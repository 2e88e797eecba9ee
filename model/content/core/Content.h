// What a database holds, decoded: the content layer's front. The registry (Format.h,
// Registry.cpp) names the formats and picks the one that claims a database; each family has its
// folder beside core/ (pim/ for memos, to-dos, datebook, addresses and mail; book/ for PalmDOC and
// Mobipocket; picture/ for bitmaps; app/ for programs, fonts and preferences), with the shared
// text decoding in text/ and the decompressors in compression/. Standard library and the C
// library's iconv only; never reads outside the bytes the file holds.
//
// The convention every decoder follows: a function from an entry's bytes (a span) to a plain
// struct, appending to the Decoding's findings what was damaged. A damaged entry is decoded as
// far as it goes, its item marked Damaged, and each fault reported once with a code of the table
// in FindingCodes.h ("content-...") at the file offset where it lies. Damage never throws.
#pragma once

#include "Structure.h"
#include "content/app/Application.h"
#include "content/book/PalmDoc.h"
#include "content/core/Categories.h"
#include "content/core/Format.h"
#include "content/picture/BitmapSet.h"
#include "content/picture/NotePad.h"
#include "content/picture/Photos.h"
#include "content/pim/Calendar.h"
#include "content/pim/Contacts.h"
#include "content/pim/Expense.h"
#include "content/pim/Pim.h"
#include "content/pim/Tasks.h"
#include "content/text/EncodingEvidence.h"
#include "content/text/TextDecoder.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <memory>
#include <vector>

namespace vexlin::content {

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

struct Content {
    const FormatDescriptor* Format = &UnknownFormat;
    std::string Encoding;          // as used
    bool EncodingDetected = false; // chosen from the database's own text, not given
    EncodingEvidence Evidence;     // what it was chosen on (when detected)
    std::vector<Finding> Findings; // codes begin "content-", in file order
    // The standard category block at the start of the app info, when it holds one.
    std::optional<CategoryInfo> Categories;
    // The decoded form of the format (its descriptor's Read), null for a database no format
    // claims: Memos, ToDos, Datebook, AddressBook, MailBox (one item per record, in record
    // order), Book (PalmDOC and Mobipocket), BitmapSet, Application (also the font
    // databases), Preferences, Tasks, Photos, Expenses, Calendar, Contacts, NotePad.
    std::shared_ptr<const Payload> Decoded;

    // The payload as the type the format decodes to, or null.
    template <typename T> [[nodiscard]] const T* As() const noexcept {
        return dynamic_cast<const T*>(Decoded.get());
    }
};

// Decodes what the database holds. Throws std::invalid_argument for an encoding iconv does
// not know; damage in the file never throws: it is decoded as far as it goes and reported.
[[nodiscard]] Content ReadContent(const DatabaseImage& image, const Structure& structure,
                                  const ContentOptions& options = {});

// Merges content findings into a structure's findings (both in file order; the structure's
// first at equal offsets) and its totals: --check and --json report them together.
void MergeFindings(Structure& structure, const std::vector<Finding>& findings);

} // namespace vexlin::content
