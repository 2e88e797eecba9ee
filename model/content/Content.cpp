#include "content/Content.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

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
        bool bitmaps = false, fonts = false, code = false;
        for (const ResourceInfo& r : structure.Resources) {
            bitmaps = bitmaps || IsBitmapType(r.Type);
            fonts = fonts || Is(r.Type, "NFNT") || Is(r.Type, "nfnt");
            code = code || Is(r.Type, "code") || Is(r.Type, "tAIN");
        }
        if (Is(header.DataBaseType, "appl") || code)
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

// One item per record, decoded by `decode`, with the record's number and attributes.
template <typename Payload, typename Decode>
Payload ReadItems(const DatabaseImage& image, const Structure& structure, Decoding& decoding,
                  Decode decode) {
    Payload payload;
    payload.Items.reserve(structure.Records.size());
    for (std::size_t i = 0; i < structure.Records.size(); ++i) {
        const RecordInfo& entry = structure.Records[i];
        auto item =
            decode(EntryBytes(image, structure, i), "record " + std::to_string(i + 1), decoding);
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

// Hands a book's text that a read without a text sink kept to the sink, and drops it as the
// sink would have.
void HandOn(Content& content, const ContentOptions& sinks) {
    if (Book* book = std::get_if<Book>(&content.Payload); book && sinks.BookText) {
        if (!book->Text.empty())
            sinks.BookText(*book, book->Text);
        book->Text.clear();
    }
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
    default:
        break;
    }
    // Records may lie in any order in the file: the findings are put in file order.
    std::stable_sort(content.Findings.begin(), content.Findings.end(),
                     [](const Finding& a, const Finding& b) { return a.Offset < b.Offset; });
    return content;
}

// Whether the first category's name, which the device itself gives in its language (Unfiled,
// Nicht abgelegt, ...), reads as Japanese in cp932: valid, and holding kana or kanji (U+3040
// to U+9FFF, whose UTF-8 forms start with 0xE3 to 0xE9).
bool JapaneseCategoryNames(const Bytes& appInfo) {
    if (appInfo.Data.size() < 2 + CategoryNameWidth)
        return false;
    const auto name = appInfo.Data.subspan(2, CategoryNameWidth);
    const auto end = std::find(name.begin(), name.end(), std::uint8_t{0});
    TextDecoder japanese(JapaneseEncoding);
    std::size_t replaced = 0;
    const std::string text =
        japanese.Decode(name.first(static_cast<std::size_t>(end - name.begin())), &replaced);
    return replaced == 0 && std::any_of(text.begin(), text.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return byte >= 0xE3 && byte <= 0xE9;
           });
}

} // namespace

Content ReadContent(const DatabaseImage& image, const Structure& structure,
                    const ContentOptions& options) {
    if (!options.Encoding.empty())
        return ReadContentIn(image, structure, options.Encoding, options);
    if (JapaneseCategoryNames(AppInfoBytes(image, structure))) {
        // A trial: what it decodes reaches the sinks only once the encoding is taken. It keeps
        // no pixels when the caller keeps none; a trial that is taken then reads the bitmaps
        // again for the caller's sink.
        ContentOptions trial;
        trial.Pixels = options.Pixels && !options.Bitmaps;
        Content japanese = ReadContentIn(image, structure, JapaneseEncoding, trial);
        const bool valid =
            std::none_of(japanese.Findings.begin(), japanese.Findings.end(),
                         [](const Finding& f) { return f.Code == "content-encoding"; });
        if (valid) {
            const bool bitmaps = std::holds_alternative<BitmapSet>(japanese.Payload) ||
                                 std::holds_alternative<Application>(japanese.Payload);
            if (bitmaps && options.Bitmaps)
                japanese = ReadContentIn(image, structure, JapaneseEncoding, options);
            else
                HandOn(japanese, options);
            japanese.EncodingDetected = true;
            return japanese;
        }
    }
    Content latin = ReadContentIn(image, structure, DefaultEncoding, options);
    latin.EncodingDetected = true;
    return latin;
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
