// E-books: PalmDOC (TEXt/REAd and the same layout under other creators) and Mobipocket
// (BOOK/MOBI). Record 0's book header, the text records decompressed and joined, the text
// converted to UTF-8 from the book's encoding. Standard library and iconv only; a record
// decodes to at most PalmDocRecordMax bytes and nothing is read outside its bytes.
#pragma once

#include "Structure.h"
#include "content/core/BigEndian.h"
#include "content/book/Mobi.h"
#include "content/core/Format.h"
#include "content/compression/PalmDocCompression.h"
#include "content/text/TextDecoder.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlin::content {

enum class BookCompression { None, PalmDoc, HuffCdic, Unknown };
// "none", "palmdoc", "huffcdic", "unknown"
[[nodiscard]] std::string_view CompressionName(BookCompression compression) noexcept;

// Record 0's encryption field: 0 none, 1 the old Mobipocket encryption, 2 Mobipocket's.
enum class BookEncryption { None, OldMobipocket, Mobipocket, Unknown };
// "none", "old-mobipocket", "mobipocket", "unknown"
[[nodiscard]] std::string_view EncryptionName(BookEncryption encryption) noexcept;

struct Book : Payload {
    std::uint16_t CompressionValue = 0; // as record 0 holds it: 1, 2 or 17480
    BookCompression Compression = BookCompression::Unknown;
    std::uint32_t TextLength = 0; // declared
    std::uint16_t RecordCount = 0;
    std::uint16_t RecordSize = 0;
    // The encryption field as record 0 holds it. Without a MOBI header bytes 12 to 15 may be
    // the reading position instead: the field counts there only when it says 1 and record 0
    // is long enough for the key at byte 14 (else it is taken as 0). An encrypted book's text
    // is neither decrypted nor decoded.
    std::uint16_t EncryptionValue = 0;
    BookEncryption Encryption = BookEncryption::None;
    std::optional<MobiHeader> Mobi;
    std::string Encoding;          // iconv name the text was converted from
    std::size_t DecodedLength = 0; // bytes of text the records held, before conversion
    std::size_t Replaced = 0;      // sequences the conversion replaced
    // The text records were read: false for an encrypted book, an unknown compression, or
    // HUFF/CDIC tables that cannot be read.
    bool TextRead = false;
    std::string Text;              // UTF-8
};

// Receives a book's text (UTF-8) piece by piece, in order, while its records are decoded; the
// book it is given has its header read. A book read with one keeps its Text empty, so that a
// text of megabytes is written out without being held whole.
using BookTextSink = std::function<void(const Book& book, std::string_view piece)>;

// Decodes the book a PalmDOC or Mobipocket database holds. `encoding` is used unless a
// Mobipocket header names the book's own; findings are appended. With a sink the text goes to
// it instead of Book::Text.
[[nodiscard]] Book ReadBook(const DatabaseImage& image, const Structure& structure,
                            const std::string& encoding, std::vector<Finding>& findings,
                            const BookTextSink& sink = {});

// Whether record 0 reads as a PalmDOC book header (for books under other types and creators).
[[nodiscard]] bool LooksLikeBookHeader(ByteSpan record0, std::size_t records) noexcept;

// The formats' descriptors: "palmdoc" and "mobi".
extern const FormatDescriptor PalmDocFormat;
extern const FormatDescriptor MobiFormat;

} // namespace vexlin::content
