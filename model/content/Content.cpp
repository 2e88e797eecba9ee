#include "content/Content.h"

#include "content/Bound.h"
#include "content/Report.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace vexlin::content {

namespace {

// The bytes from offset on, size of them, as far as the image holds the file. A stretch that
// starts outside the file is empty and placed at `outside` (an entry's place in the list),
// or at the end of the file when that lies beyond it too: findings about it stay in the file.
Bytes Stretch(const DatabaseImage& image, std::uint64_t offset, std::int64_t size,
              std::uint64_t outside) noexcept {
    const std::int32_t fileSize = image.FileSize;
    const std::uint64_t held = static_cast<std::uint64_t>(std::max(fileSize, 0));
    if (offset >= held)
        return {static_cast<std::uint32_t>(std::min(outside, held)), {}};
    if (size <= 0)
        return {static_cast<std::uint32_t>(offset), {}};
    const std::uint64_t end = std::min(held, offset + static_cast<std::uint64_t>(size));
    return {static_cast<std::uint32_t>(offset),
            {ImageBytes(image) + offset, static_cast<std::size_t>(end - offset)}};
}

bool Is(const char (&field)[4], const char* text) noexcept {
    return std::memcmp(field, text, 4) == 0;
}

} // namespace

namespace {

// Books by type and creator or by a book header in record 0 (the same layout under other
// creators); programs, fonts and pictures by their resources; databases of bitmaps by records
// that read as bitmaps.
Format IdentifyBooksAndPictures(const DatabaseImage& image, const Structure& structure) {
    const DatabaseHeader& header = image.Header;
    if (structure.Kind == DatabaseKind::Resource) {
        // The preferences Palm OS keeps: resources named after the applications they belong
        // to, whatever those hold.
        if (IsPreferencesDatabase(header.DataBaseType, header.CreatorID))
            return Format::Preferences;
        bool bitmaps = false, fonts = false, code = false;
        for (const ResourceInfo& r : structure.Resources) {
            bitmaps = bitmaps || IsBitmapType(r.Type);
            fonts = fonts || Is(r.Type, "NFNT") || Is(r.Type, "nfnt");
            code = code || IsCodeType(r.Type) || Is(r.Type, "tAIN");
        }
        // Applications, libraries, extensions and panels, or any program's code.
        if (IsProgramType(header.DataBaseType) || code)
            return Format::Application;
        if (fonts)
            return Format::Font;
        return bitmaps ? Format::Bitmaps : Format::Unknown;
    }
    const Bytes record0 = EntryBytes(image, structure, 0);
    const bool mobi =
        record0.Data.size() >= 20 && std::memcmp(record0.Data.data() + 16, "MOBI", 4) == 0;
    if ((Is(header.DataBaseType, "BOOK") && Is(header.CreatorID, "MOBI")) || mobi)
        return Format::Mobi;
    if ((Is(header.DataBaseType, "TEXt") && Is(header.CreatorID, "REAd")) ||
        LooksLikeBookHeader(record0.Data, structure.Records.size()))
        return Format::PalmDoc;
    if (Is(header.DataBaseType, "Font") && !structure.Records.empty())
        return Format::Font;
    return RecordsAreBitmaps(image, structure) ? Format::Bitmaps : Format::Unknown;
}

} // namespace

Bytes EntryBytes(const DatabaseImage& image, const Structure& structure,
                 std::size_t index) noexcept {
    if (structure.Kind == DatabaseKind::Resource) {
        if (index >= structure.Resources.size())
            return {};
        const ResourceInfo& entry = structure.Resources[index];
        return Stretch(image, entry.Offset, entry.Size, entry.EntryOffset);
    }
    if (index >= structure.Records.size())
        return {};
    const RecordInfo& entry = structure.Records[index];
    return Stretch(image, entry.Offset, entry.Size, entry.EntryOffset);
}

Bytes AppInfoBytes(const DatabaseImage& image, const Structure& structure) noexcept {
    const auto offset = static_cast<std::uint32_t>(image.Header.AppInfoArea);
    if (offset == 0)
        return {};
    return Stretch(image, offset, structure.AppInfoLength, offsetof(DatabaseHeader, AppInfoArea));
}

std::string_view FormatName(Format format) noexcept {
    switch (format) {
    case Format::Memo:
        return "memo";
    case Format::ToDo:
        return "todo";
    case Format::Datebook:
        return "datebook";
    case Format::Address:
        return "address";
    case Format::Mail:
        return "mail";
    case Format::PalmDoc:
        return "palmdoc";
    case Format::Mobi:
        return "mobi";
    case Format::Bitmaps:
        return "bitmaps";
    case Format::Application:
        return "application";
    case Format::Font:
        return "font";
    case Format::Preferences:
        return "preferences";
    case Format::Unknown:
        break;
    }
    return "unknown";
}

Format IdentifyFormat(const DatabaseImage& image, const Structure& structure) {
    const DatabaseHeader& header = image.Header;
    if (structure.Kind == DatabaseKind::Record && Is(header.DataBaseType, "DATA")) {
        if (Is(header.CreatorID, "memo"))
            return Format::Memo;
        if (Is(header.CreatorID, "todo"))
            return Format::ToDo;
        if (Is(header.CreatorID, "date"))
            return Format::Datebook;
        if (Is(header.CreatorID, "addr"))
            return Format::Address;
        if (Is(header.CreatorID, "mail"))
            return Format::Mail;
    }
    return IdentifyBooksAndPictures(image, structure);
}

namespace {

// What an item costs against the database's OutputBound: its text, its exceptions, itself.
std::uint64_t TextCharge(std::initializer_list<const std::string*> texts) noexcept {
    std::uint64_t bytes = 0;
    for (const std::string* text : texts)
        bytes += text->size();
    return OutputBound::PerItem + OutputBound::PerTextByte * bytes;
}
std::uint64_t Charge(const MemoItem& item) noexcept {
    return TextCharge({&item.Text});
}
std::uint64_t Charge(const ToDoItem& item) noexcept {
    return TextCharge({&item.Description, &item.Note});
}
std::uint64_t Charge(const DatebookItem& item) noexcept {
    return TextCharge({&item.Description, &item.Note}) +
           OutputBound::PerException * item.Exceptions.size();
}
std::uint64_t Charge(const AddressItem& item) noexcept {
    std::uint64_t charge = TextCharge({});
    for (const auto& field : item.Fields)
        charge += field ? OutputBound::PerTextByte * field->size() : 0;
    return charge;
}
std::uint64_t Charge(const MailItem& item) noexcept {
    return TextCharge({&item.Subject, &item.From, &item.To, &item.Cc, &item.Bcc, &item.ReplyTo,
                       &item.SentTo, &item.Body});
}

// The finding of a database whose records decode to more than the bound: it names the first
// record left out.
void ReportBound(std::vector<Finding>& findings, const Bytes& bytes, std::size_t index,
                 std::size_t count, const OutputBound& bound) {
    const std::size_t after = count - index - 1;
    Report(findings, bytes.Offset, Severity::Warning, "content-output-bound",
           "record " + std::to_string(index + 1) + ": the records before it decode to all that " +
               "a file of this size may yield (" + std::to_string(bound.Limit()) +
               " bytes, 64 for each byte of the file and 1 MiB more: entries share their "
               "bytes); it and the " +
               std::to_string(after) + (after == 1 ? " record" : " records") +
               " after it are left out");
}

// One item per record, decoded by `decode`, with the record's number and attributes; the
// records past the database's OutputBound are left out.
template <typename Payload, typename Decode>
Payload ReadItems(const DatabaseImage& image, const Structure& structure, Decoding& decoding,
                  Decode decode) {
    Payload payload;
    payload.Items.reserve(structure.Records.size());
    OutputBound bound(structure.FileSize);
    for (std::size_t i = 0; i < structure.Records.size(); ++i) {
        const RecordInfo& entry = structure.Records[i];
        const Bytes bytes = EntryBytes(image, structure, i);
        const std::size_t found = decoding.Findings.size();
        auto item = decode(bytes, "record " + std::to_string(i + 1), decoding);
        if (!bound.Take(Charge(item))) {
            // What the record left out holds is not reported.
            decoding.Findings.erase(decoding.Findings.begin() + static_cast<std::ptrdiff_t>(found),
                                    decoding.Findings.end());
            ReportBound(decoding.Findings, bytes, i, structure.Records.size(), bound);
            break;
        }
        item.Record = i + 1;
        item.Category = entry.Category();
        item.Private = (entry.Attributes & 0x10) != 0;
        item.Deleted = (entry.Attributes & 0x80) != 0;
        payload.Items.push_back(std::move(item));
    }
    return payload;
}

bool KeepsCategories(Format format) noexcept {
    return format == Format::Memo || format == Format::ToDo || format == Format::Datebook ||
           format == Format::Address || format == Format::Mail;
}

// Reads with the sinks of `sinks` (its encoding is not used).
Content ReadContentIn(const DatabaseImage& image, const Structure& structure,
                      const std::string& encoding, const ContentOptions& sinks) {
    // Bitmaps only described go to a sink that takes nothing: their pixels are dropped.
    const BitmapSink bitmaps =
        sinks.Bitmaps || sinks.Pixels ? sinks.Bitmaps : [](const BitmapEntry&) {};
    Content content;
    TextDecoder text(encoding);
    content.Encoding = text.Encoding();
    content.Kind = IdentifyFormat(image, structure);
    Decoding decoding{text, content.Findings};
    const Bytes appInfo = AppInfoBytes(image, structure);
    if (KeepsCategories(content.Kind)) {
        if (!appInfo.Data.empty())
            content.Categories = DecodeCategories(appInfo, decoding);
    } else if (structure.Kind == DatabaseKind::Record && PlausibleCategories(appInfo.Data)) {
        content.Categories = DecodeCategories(appInfo, decoding);
    }
    switch (content.Kind) {
    case Format::Memo:
        content.Payload = ReadItems<Memos>(image, structure, decoding, DecodeMemo);
        break;
    case Format::ToDo:
        content.Payload = ReadItems<ToDos>(image, structure, decoding, DecodeToDo);
        break;
    case Format::Datebook: {
        auto book = ReadItems<Datebook>(image, structure, decoding, DecodeDatebook);
        DecodeDatebookAppInfo(appInfo, book);
        content.Payload = std::move(book);
        break;
    }
    case Format::Address: {
        AddressBook book;
        DecodeAddressAppInfo(appInfo, book, decoding);
        book.Items = ReadItems<AddressBook>(image, structure, decoding, DecodeAddress).Items;
        content.Payload = std::move(book);
        break;
    }
    case Format::Mail:
        content.Payload = ReadItems<MailBox>(image, structure, decoding, DecodeMail);
        break;
    case Format::PalmDoc:
    case Format::Mobi: {
        Book book = ReadBook(image, structure, content.Encoding, content.Findings, sinks.BookText);
        // A Mobipocket header names the book's encoding, whatever was given.
        content.EncodingDetected = content.EncodingDetected || book.Encoding != content.Encoding;
        content.Encoding = book.Encoding;
        content.Payload = std::move(book);
        break;
    }
    case Format::Bitmaps:
        content.Payload = BitmapSet{ReadBitmaps(image, structure, content.Findings, bitmaps)};
        break;
    case Format::Application:
    case Format::Font:
        content.Payload =
            ReadApplication(image, structure, content.Encoding, content.Findings, bitmaps);
        break;
    case Format::Preferences:
        content.Payload = ReadPreferences(structure);
        break;
    default:
        break;
    }
    // Records may lie in any order in the file: the findings are put in file order.
    std::stable_sort(content.Findings.begin(), content.Findings.end(),
                     [](const Finding& a, const Finding& b) { return a.Offset < b.Offset; });
    return content;
}

// Weighs text as cp932 (see EncodingEvidence): each character of two bytes, or half-width
// kana, beside another such character, or alone between bytes that are no letter or digit,
// speaks for it; a byte cp932 has no character for, a lone character beside an ASCII letter
// or digit, or a pair that cp1252 reads as an accented letter before a letter, against it.
void Weigh(ByteSpan text, EncodingEvidence& evidence) {
    const auto lead = [](std::uint8_t b) {
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    };
    const auto trail = [](std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; };
    const auto alnum = [](std::uint8_t b) {
        return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    };
    // The length of the character at i: 2 or 1 for cp932 text, 0 for a byte it has none for.
    const auto length = [&](std::size_t i) -> std::size_t {
        const std::uint8_t b = text[i];
        if (b >= 0xA1 && b <= 0xDF)
            return 1;
        if (lead(b) && i + 1 < text.size() && trail(text[i + 1]))
            return 2;
        return 0;
    };
    evidence.Weighed += text.size();
    bool previousWide = false; // the character before was one of cp932's own
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] < 0x80) {
            previousWide = false;
            ++i;
            continue;
        }
        const std::size_t size = length(i);
        if (size == 0) {
            ++evidence.Against;
            previousWide = false;
            ++i;
            continue;
        }
        const std::size_t next = i + size;
        const bool nextWide = next < text.size() && text[next] >= 0x80 && length(next) > 0;
        const bool besideLetter =
            (i > 0 && alnum(text[i - 1])) || (next < text.size() && alnum(text[next]));
        // A lead from 0xE0 on (à to ü in cp1252) before a letter (ASCII, or À to ÿ) is how
        // Latin text reads (São, ação, élène); cp932's kana and common kanji lead below it.
        const bool latinPair = size == 2 && text[i] >= 0xE0 &&
                               (text[i + 1] >= 0xC0 || (alnum(text[i + 1]) && text[i + 1] > '9'));
        if (latinPair)
            ++evidence.Against;
        else if (previousWide || nextWide || !besideLetter)
            ++evidence.Japanese;
        else
            ++evidence.Against;
        previousWide = true;
        i = next;
    }
}

// Where the text fields of a record begin, after the fixed fields before them.
std::size_t TextStart(Format format, ByteSpan record) {
    switch (format) {
    case Format::Memo:
        return 0;
    case Format::ToDo:
        return 3;
    case Format::Address:
        return 9;
    case Format::Mail:
        return 6;
    case Format::Datebook: {
        const std::uint16_t flags = Be16(record, 6).value_or(0);
        std::size_t at = 8 + (flags & 0x4000 ? 2 : 0) + (flags & 0x2000 ? 8 : 0);
        if (flags & 0x0800)
            at += 2 + 2 * std::size_t{Be16(record, at).value_or(0)};
        return at;
    }
    default:
        return record.size();
    }
}

// The database's text weighed as cp932, before any of it is decoded: the category names (and
// an address book's labels), the records' text fields, an application's names. Records that
// share their bytes are weighed as far as the file's size once over.
EncodingEvidence WeighEncoding(const DatabaseImage& image, const Structure& structure) {
    EncodingEvidence evidence;
    const Format format = IdentifyFormat(image, structure);
    const ByteSpan appInfo = AppInfoBytes(image, structure).Data;
    if (KeepsCategories(format) ||
        (structure.Kind == DatabaseKind::Record && PlausibleCategories(appInfo))) {
        for (std::size_t i = 0; i < CategoryCount; ++i) {
            const ByteSpan name = Sub(appInfo, 2 + i * CategoryNameWidth, CategoryNameWidth);
            Weigh(name.first(static_cast<std::size_t>(
                      std::find(name.begin(), name.end(), std::uint8_t{0}) - name.begin())),
                  evidence);
        }
    }
    if (format == Format::Address)
        Weigh(Sub(appInfo, CategoryBlockSize + 6, AddressLabelCount * 16), evidence);
    const std::uint64_t most = structure.FileSize + 65536;
    if (structure.Kind == DatabaseKind::Record && KeepsCategories(format)) {
        for (std::size_t i = 0; i < structure.Records.size() && evidence.Weighed < most; ++i) {
            const ByteSpan record = EntryBytes(image, structure, i).Data;
            Weigh(Sub(record, TextStart(format, record)), evidence);
        }
    } else if (structure.Kind == DatabaseKind::Resource && format == Format::Application) {
        for (std::size_t i = 0; i < structure.Resources.size() && evidence.Weighed < most; ++i) {
            const ResourceInfo& r = structure.Resources[i];
            if (Is(r.Type, "tAIN") || Is(r.Type, "tver") || Is(r.Type, "tAIS"))
                Weigh(EntryBytes(image, structure, i).Data, evidence);
        }
    }
    return evidence;
}

} // namespace

Content ReadContent(const DatabaseImage& image, const Structure& structure,
                    const ContentOptions& options) {
    if (!options.Encoding.empty())
        return ReadContentIn(image, structure, options.Encoding, options);
    // Decided before anything is decoded, so that the payload is read once, straight to the
    // sinks.
    const EncodingEvidence evidence = WeighEncoding(image, structure);
    const bool japanese = evidence.Japanese > 0 && evidence.Japanese >= 4 * evidence.Against;
    Content content =
        ReadContentIn(image, structure, japanese ? JapaneseEncoding : DefaultEncoding, options);
    content.EncodingDetected = true;
    content.Evidence = evidence;
    const std::uint64_t weight = evidence.Japanese + evidence.Against;
    // Nothing for cp932 leaves the default sure; a little, or a near balance, does not.
    content.Evidence.Thin =
        evidence.Japanese > 0 &&
        (weight < EncodingEvidenceEnough || (!japanese && evidence.Japanese >= evidence.Against));
    if (content.Evidence.Thin) {
        // At the start of the file: it is about the whole database.
        content.Findings.insert(
            content.Findings.begin(),
            Finding{0, Severity::Note, "content-encoding-guess",
                    "the text is read as " + content.Encoding +
                        " on thin evidence: " + std::to_string(evidence.Japanese) +
                        " character(s) read as cp932 text, " + std::to_string(evidence.Against) +
                        " against, in " + std::to_string(evidence.Weighed) +
                        " bytes weighed (--encoding names the encoding)"});
    }
    return content;
}

void MergeFindings(Structure& structure, const std::vector<Finding>& findings) {
    for (const Finding& f : findings) {
        switch (f.Level) {
        case Severity::Error:
            ++structure.Errors;
            break;
        case Severity::Warning:
            ++structure.Warnings;
            break;
        case Severity::Note:
            ++structure.Notes;
            break;
        }
    }
    const auto middle = static_cast<std::ptrdiff_t>(structure.Findings.size());
    structure.Findings.insert(structure.Findings.end(), findings.begin(), findings.end());
    std::inplace_merge(structure.Findings.begin(), structure.Findings.begin() + middle,
                       structure.Findings.end(),
                       [](const Finding& a, const Finding& b) { return a.Offset < b.Offset; });
}

} // namespace vexlin::content
