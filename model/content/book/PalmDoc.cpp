#include "content/book/PalmDoc.h"
#include "FindingCodes.h"

#include "content/core/Bound.h"
#include "content/core/Content.h"
#include "content/compression/HuffCdic.h"
#include "content/compression/PalmDocCompression.h"
#include "content/core/Report.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vexlin::content {

namespace {

constexpr std::uint16_t NoCompression = 1;
constexpr std::uint16_t PalmDocCompression = 2;
constexpr std::uint16_t HuffCdicCompression = 17480; // "DH"

BookCompression CompressionOf(std::uint16_t value) noexcept {
    switch (value) {
    case NoCompression:
        return BookCompression::None;
    case PalmDocCompression:
        return BookCompression::PalmDoc;
    case HuffCdicCompression:
        return BookCompression::HuffCdic;
    default:
        return BookCompression::Unknown;
    }
}

// Record 0's encryption field, after compression, text length, text records, record size.
constexpr std::size_t EncryptionAt = 12;
// The old Mobipocket encryption keeps its key, 16 bytes, from byte 14 of a PalmDOC header.
constexpr std::size_t OldKeyEnd = 14 + 16;

BookEncryption EncryptionOf(std::uint16_t value) noexcept {
    switch (value) {
    case 0:
        return BookEncryption::None;
    case 1:
        return BookEncryption::OldMobipocket;
    case 2:
        return BookEncryption::Mobipocket;
    default:
        return BookEncryption::Unknown;
    }
}

// The encryption field of record 0. A MOBI header's book always has it; a PalmDOC book
// keeps its reading position there (a position from 65,536 on reads as 1), so that only the
// old Mobipocket encryption with its key counts: room for the key, and a key that is not
// all zeros, as a plain book's padding is.
std::uint16_t ReadEncryption(ByteSpan record0, bool mobi) noexcept {
    const std::uint16_t value = Be16(record0, EncryptionAt).value_or(0);
    if (mobi)
        return value;
    if (value != 1 || record0.size() < OldKeyEnd)
        return 0;
    // Bytes 14 and 15 hold the position's low half too: the key's other 14 bytes decide.
    const auto key = record0.subspan(16, OldKeyEnd - 16);
    return std::any_of(key.begin(), key.end(), [](std::uint8_t b) { return b != 0; }) ? value : 0;
}

// Readies a big text buffer for `expected` bytes in a few steps: its whole 2 MB pages as huge
// pages, and the pages it will fill mapped at once, instead of a fault for each 4 KB.
void PrepareTextBuffer(std::string& text, std::size_t expected) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    constexpr std::uintptr_t Page = 4096;
    constexpr std::uintptr_t HugePage = 2u << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(text.data());
    const std::uintptr_t end = start + std::min(expected, text.capacity());
    const std::uintptr_t hugeFirst = (start + HugePage - 1) & ~(HugePage - 1);
    const std::uintptr_t hugeEnd = (start + text.capacity()) & ~(HugePage - 1);
    if (hugeEnd > hugeFirst)
        madvise(reinterpret_cast<void*>(hugeFirst), hugeEnd - hugeFirst, MADV_HUGEPAGE);
    // Whole pages only: the buffer's first and last pages may hold other allocations.
    const std::uintptr_t first = (start + Page - 1) & ~(Page - 1);
    const std::uintptr_t last = end & ~(Page - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)text;
    (void)expected;
#endif
}

std::optional<HuffCdicDecoder> OpenHuffCdic(const DatabaseImage& image, const Structure& structure,
                                            const Book& book, std::uint32_t record0At,
                                            std::vector<Finding>& findings) {
    const std::size_t entries = structure.Records.size();
    const std::size_t first = book.Mobi ? book.Mobi->HuffRecord : 0;
    const std::size_t count = book.Mobi ? book.Mobi->HuffCount : 0;
    if (!book.Mobi || first == 0 || first >= entries || count == 0) {
        Report(findings, record0At, Severity::Error, codes::ContentHuffcdic.Code,
               "HUFF/CDIC compression without a HUFF record (MOBI header: first " +
                   std::to_string(first) + ", count " + std::to_string(count) + ", of " +
                   std::to_string(entries) + " records); the text is not decoded");
        return std::nullopt;
    }
    const Bytes huff = EntryBytes(image, structure, first);
    std::vector<ByteSpan> cdics;
    for (std::size_t i = first + 1; i < first + std::min(count, entries - first); ++i)
        cdics.push_back(EntryBytes(image, structure, i).Data);
    std::vector<std::string> problems;
    HuffCdicDecoder decoder(huff.Data, cdics, problems);
    for (std::string& problem : problems)
        Report(findings, huff.Offset, Severity::Error, codes::ContentHuffcdic.Code,
               RecordName(first) + ": " + std::move(problem));
    if (!decoder.Usable()) {
        Report(findings, huff.Offset, Severity::Error, codes::ContentHuffcdic.Code,
               "the text is not decoded");
        return std::nullopt;
    }
    return decoder;
}

// One text record's text: decompressed into scratch (HUFF/CDIC into huffText), or the
// record's own bytes.
ByteSpan DecodeRecord(const Book& book, ByteSpan bytes, std::uint32_t at, std::size_t index,
                      char* scratch, HuffCdicDecoder* huff, std::string& huffText,
                      std::vector<Finding>& findings) {
    if (book.Mobi && book.Mobi->ExtraFlags) {
        const auto stripped = StripTrailingEntries(bytes, book.Mobi->ExtraFlags);
        if (!stripped) {
            Report(findings, at, Severity::Error, codes::ContentTrailingEntries.Code,
                   RecordName(index) + ": its trailing entries claim more than its " +
                       std::to_string(bytes.size()) + " bytes");
            return {};
        }
        bytes = *stripped;
    }
    if (book.Compression == BookCompression::None) {
        if (bytes.size() > PalmDocRecordMax)
            Report(findings, at, Severity::Error, codes::ContentRecordOverflow.Code,
                   RecordName(index) + ": " + std::to_string(bytes.size()) +
                       " bytes of text, more than " + std::to_string(PalmDocRecordMax) +
                       "; the rest is dropped");
        return bytes.first(std::min(bytes.size(), PalmDocRecordMax));
    }
    if (huff) {
        HuffCdicFaults faults;
        huff->Decode(bytes, huffText, PalmDocRecordMax, faults);
        const std::string badCode = "a code the HUFF tables do not place, or a phrase past the " +
                                    std::to_string(huff->PhraseCount()) + " the CDIC records hold";
        if (faults.BadCode)
            Report(findings, at, Severity::Error, codes::ContentHuffcdic.Code,
                   RecordName(index) + ": " + badCode + "; the rest of the record is dropped");
        if (faults.BadPhrases)
            Report(findings, at, Severity::Error, codes::ContentHuffcdic.Code,
                   RecordName(index) + ": " + std::to_string(faults.BadPhrases) +
                       " phrase(s) it uses hold " + badCode + "; the rest of each is dropped");
        if (faults.Loops)
            Report(findings, at, Severity::Error, codes::ContentHuffcdic.Code,
                   RecordName(index) + ": " + std::to_string(faults.Loops) +
                       " phrase(s) that hold themselves or nest more than " +
                       std::to_string(HuffCdicDecoder::MaxNesting) + " deep, left out");
        if (faults.OverBudget)
            Report(findings, at, Severity::Error, codes::ContentHuffcdic.Code,
                   RecordName(index) + ": phrases that expand to, or read, more than the CDIC "
                                       "records can justify, left out");
        if (faults.Overflow)
            Report(findings, at, Severity::Error, codes::ContentRecordOverflow.Code,
                   RecordName(index) + ": decompresses past " + std::to_string(PalmDocRecordMax) +
                       " bytes; the rest is dropped");
        return {reinterpret_cast<const std::uint8_t*>(huffText.data()), huffText.size()};
    }
    DecompressFaults faults;
    const std::size_t size = DecompressPalmDoc(bytes, scratch, PalmDocRecordMax, faults);
    if (faults.BadReferences)
        Report(findings, at + static_cast<std::uint32_t>(faults.FirstBadAt), Severity::Error,
               codes::ContentBackReference.Code,
               RecordName(index) + ": " + std::to_string(faults.BadReferences) +
                   " back-reference(s) before the start of the record's text, skipped");
    if (faults.Overflow)
        Report(findings, at, Severity::Error, codes::ContentRecordOverflow.Code,
               RecordName(index) + ": decompresses past " + std::to_string(PalmDocRecordMax) +
                   " bytes; the rest is dropped");
    if (faults.Cut)
        Report(findings, at + static_cast<std::uint32_t>(bytes.size()), Severity::Warning,
               codes::ContentRecordCut.Code,
               RecordName(index) + ": its last code is cut by the record's end");
    return {reinterpret_cast<const std::uint8_t*>(scratch), size};
}

} // namespace

std::string_view CompressionName(BookCompression compression) noexcept {
    switch (compression) {
    case BookCompression::None:
        return "none";
    case BookCompression::PalmDoc:
        return "palmdoc";
    case BookCompression::HuffCdic:
        return "huffcdic";
    case BookCompression::Unknown:
        break;
    }
    return "unknown";
}

std::string_view EncryptionName(BookEncryption encryption) noexcept {
    switch (encryption) {
    case BookEncryption::None:
        return "none";
    case BookEncryption::OldMobipocket:
        return "old-mobipocket";
    case BookEncryption::Mobipocket:
        return "mobipocket";
    case BookEncryption::Unknown:
        break;
    }
    return "unknown";
}

bool LooksLikeBookHeader(ByteSpan record0, std::size_t records) noexcept {
    const auto compression = Be16(record0, 0);
    const auto count = Be16(record0, 8);
    const auto size = Be16(record0, 10);
    return compression && count && size &&
           (*compression == NoCompression || *compression == PalmDocCompression) && *count >= 1 &&
           *count < records && *size == PalmDocRecordMax;
}

Book ReadBook(const DatabaseImage& image, const Structure& structure, const std::string& encoding,
              std::vector<Finding>& findings, const BookTextSink& sink) {
    Book book;
    book.Encoding = encoding;
    const Bytes record0 = EntryBytes(image, structure, 0);
    if (record0.Data.size() < 16) {
        Report(findings, record0.Offset, Severity::Error, codes::ContentBookHeader.Code,
               "record 0 holds " + std::to_string(record0.Data.size()) +
                   " bytes, less than the 16 of a book header");
        return book;
    }
    book.CompressionValue = *Be16(record0.Data, 0);
    book.Compression = CompressionOf(book.CompressionValue);
    book.TextLength = *Be32(record0.Data, 4);
    book.RecordCount = *Be16(record0.Data, 8);
    book.RecordSize = *Be16(record0.Data, 10);
    book.Mobi = ReadMobiHeader(record0.Data, record0.Offset, findings);
    if (book.Mobi) {
        const std::string_view declared = MobiEncodingName(book.Mobi->TextEncoding);
        // A header cut short of the field names none (content-mobi-header says it is cut).
        if (!declared.empty())
            book.Encoding = declared;
        else if (record0.Data.size() >= 32) // the MOBI header's encoding field, at 28
            Report(findings, record0.Offset + 28, Severity::Warning, codes::ContentEncoding.Code,
                   "text encoding " + std::to_string(book.Mobi->TextEncoding) +
                       " is not 1252 or 65001; read as " + encoding);
    }
    TextDecoder decoder(book.Encoding);
    if (book.Mobi) {
        book.Mobi->FullName =
            decoder.Decode({reinterpret_cast<const std::uint8_t*>(book.Mobi->FullName.data()),
                            book.Mobi->FullName.size()});
        for (ExthRecord& record : book.Mobi->Exth) {
            if (record.Text)
                record.Value =
                    decoder.Decode({reinterpret_cast<const std::uint8_t*>(record.Value.data()),
                                    record.Value.size()});
        }
    }
    book.EncryptionValue = ReadEncryption(record0.Data, book.Mobi.has_value());
    book.Encryption = EncryptionOf(book.EncryptionValue);
    if (book.Encryption != BookEncryption::None) {
        Report(findings, record0.Offset + EncryptionAt, Severity::Note,
               codes::ContentEncrypted.Code,
               "the text is encrypted (" + std::string(EncryptionName(book.Encryption)) + ", " +
                   std::to_string(book.EncryptionValue) + "); it is not decoded");
        return book;
    }
    if (book.Compression == BookCompression::Unknown) {
        Report(findings, record0.Offset, Severity::Note, codes::ContentCompression.Code,
               "compression " + std::to_string(book.CompressionValue) + " is unknown");
        return book;
    }
    std::optional<HuffCdicDecoder> huff;
    if (book.Compression == BookCompression::HuffCdic) {
        huff = OpenHuffCdic(image, structure, book, record0.Offset, findings);
        if (!huff)
            return book;
    }
    book.TextRead = true;

    const std::size_t entries =
        structure.Kind == DatabaseKind::Record ? structure.Records.size() : 0;
    std::size_t last = std::min<std::size_t>(book.RecordCount, entries ? entries - 1 : 0);
    if (book.Mobi && book.Mobi->FirstNonBook > 0)
        last = std::min<std::size_t>(last, book.Mobi->FirstNonBook - 1);
    if (last < book.RecordCount)
        Report(findings, record0.Offset + 8, Severity::Warning, codes::ContentTextRecords.Code,
               "record 0 declares " + std::to_string(book.RecordCount) + " text records, " +
                   std::to_string(last) + " are there");

    // Text in a one-byte encoding converts record by record; in other encodings a character
    // may span records, so the whole text converts once. A sink gets the text in pieces of
    // about SinkPiece bytes, converted into a buffer that stays in the cache.
    constexpr std::size_t SinkPiece = 64 * 1024;
    std::string piece;
    std::string& out = sink ? piece : book.Text;
    if (sink) {
        piece.reserve(SinkPiece + 4 * PalmDocRecordMax);
    } else {
        const std::uint64_t most =
            OutputBound(structure.FileSize).Limit() / OutputBound::PerTextByte;
        book.Text.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(
                              {book.TextLength, last * PalmDocRecordMax, most})) +
                          4096);
        // What the records can decode to is mapped ahead, never more than a few times their
        // bytes (a header may declare any length).
        std::size_t stored = 0;
        for (std::size_t index = 1; index <= last; ++index)
            stored += EntryBytes(image, structure, index).Data.size();
        PrepareTextBuffer(book.Text, 4 * stored);
    }
    std::string raw;
    std::vector<char> scratch(PalmDocRecordMax + PalmDocSlack);
    std::string huffText;
    // Text records that share their bytes would decode once for each: the text stops at what
    // a file of this size may yield.
    OutputBound bound(structure.FileSize);
    const std::uint64_t most = bound.Limit() / OutputBound::PerTextByte; // bytes of text
    std::uint64_t converted = 0; // bytes of UTF-8 handed to the sink in pieces
    const bool piecewise = [&] {
        std::string name = book.Encoding;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return name == "UTF-8" || name == "UTF8" || name == "CP932" || name == "SHIFT_JIS" ||
               name == "SHIFT-JIS" || name == "SJIS" || name == "WINDOWS-31J";
    }();
    const auto cut = [&](std::size_t index, std::string& text, std::size_t from,
                         std::uint64_t room) {
        std::size_t size =
            from + static_cast<std::size_t>(std::min<std::uint64_t>(room, text.size() - from));
        while (size > from && size < text.size() &&
               (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
            --size; // not inside a character
        text.resize(size);
        Report(findings, EntryBytes(image, structure, index).Offset, Severity::Warning,
               codes::ContentOutputBound.Code,
               RecordName(index) + ": the text records up to it decode to all that a file of " +
                   "this size may yield (" + std::to_string(bound.Limit()) +
                   " bytes, 64 for each byte of the file and 1 MiB more: entries share their "
                   "bytes); the text is cut there");
    };
    for (std::size_t index = 1; index <= last; ++index) {
        const Bytes record = EntryBytes(image, structure, index);
        const ByteSpan decoded =
            DecodeRecord(book, record.Data, record.Offset, index, scratch.data(),
                         huff ? &*huff : nullptr, huffText, findings);
        book.DecodedLength += decoded.size();
        const std::uint64_t room = bound.TextLeft();
        if (decoder.SingleByteEncoding()) {
            const std::size_t before = out.size();
            book.Replaced += decoder.Append(decoded, out);
            if (!bound.Take(OutputBound::PerTextByte * (out.size() - before))) {
                cut(index, out, before, room);
                break;
            }
            if (sink && piece.size() >= SinkPiece) {
                sink(book, piece);
                piece.clear();
            }
        } else {
            const std::size_t before = raw.size();
            raw.append(reinterpret_cast<const char*>(decoded.data()), decoded.size());
            if (!bound.Take(OutputBound::PerTextByte * decoded.size())) {
                cut(index, raw, before, room);
                break;
            }
            // With a sink, UTF-8 and cp932 text converts in pieces too, each ending at a byte
            // below 0x40: in both a character of its own, never part of another.
            if (sink && piecewise && raw.size() >= SinkPiece) {
                const auto end = std::find_if(raw.rbegin(), raw.rend(), [](char c) {
                    return static_cast<unsigned char>(c) < 0x40;
                });
                const auto upTo = static_cast<std::size_t>(raw.rend() - end);
                if (upTo > 0) {
                    book.Replaced += decoder.Append(
                        {reinterpret_cast<const std::uint8_t*>(raw.data()), upTo}, piece);
                    raw.erase(0, upTo);
                    if (converted + piece.size() > most) {
                        cut(index, piece, 0, most - converted);
                        raw.clear();
                        sink(book, piece);
                        piece.clear();
                        break;
                    }
                    converted += piece.size();
                    sink(book, piece);
                    piece.clear();
                }
            }
        }
    }
    if (!decoder.SingleByteEncoding()) {
        book.Replaced +=
            decoder.Append({reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()}, out);
        // Converted, the text may grow (two bytes of cp932 to three of UTF-8): it is cut again
        // at the bound, unless the records' bytes were cut there already.
        if (converted + out.size() > most && !bound.Reached())
            cut(last, out, 0, most - std::min(most, converted));
    }
    if (sink && !piece.empty())
        sink(book, piece);
    if (book.DecodedLength != book.TextLength)
        Report(findings, record0.Offset + 4, Severity::Note, codes::ContentTextLength.Code,
               "record 0 declares " + std::to_string(book.TextLength) +
                   " bytes of text, the records hold " + std::to_string(book.DecodedLength));
    if (book.Replaced)
        Report(findings, record0.Offset, Severity::Warning, codes::ContentEncoding.Code,
               std::to_string(book.Replaced) + " sequence(s) invalid in " + book.Encoding +
                   " replaced by U+FFFD");
    return book;
}

namespace {

void ReadBookInto(const Database& database, Decoding& decoding, Content& content) {
    auto book = std::make_shared<Book>(ReadBook(database.Image, database.Layout, content.Encoding,
                                                decoding.Findings, decoding.Options.BookText));
    // A Mobipocket header names the book's encoding, whatever was given.
    content.EncodingDetected = content.EncodingDetected || book->Encoding != content.Encoding;
    content.Encoding = book->Encoding;
    content.Decoded = std::move(book);
}

} // namespace

constexpr std::string_view PalmDocClaims[] = {"TEXtREAd"};
constexpr std::string_view MobiClaims[] = {"BOOKMOBI"};

const FormatDescriptor PalmDocFormat{
    .Name = "palmdoc",
    // Other readers' books share TEXt/REAd, and a MOBI header in one makes it Mobipocket.
    .Claims = PalmDocClaims,
    .Claim = bid::Type,
    .MostBid = bid::Type,
    .Bid =
        [](const Database& d) {
            if (!d.IsRecords())
                return bid::None;
            return LooksLikeBookHeader(d.Entry(0).Data, d.Layout.Records.size()) ? bid::Header
                                                                                  : bid::None;
        },
    .Read = ReadBookInto,
};

const FormatDescriptor MobiFormat{
    .Name = "mobi",
    .Claims = MobiClaims,
    .Bid =
        [](const Database& d) {
            if (!d.IsRecords())
                return bid::None;
            const ByteSpan record0 = d.Entry(0).Data;
            return record0.size() >= 20 && std::memcmp(record0.data() + 16, "MOBI", 4) == 0
                       ? bid::Signature
                       : bid::None;
        },
    .Read = ReadBookInto,
};

} // namespace vexlin::content
