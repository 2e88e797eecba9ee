// Arbitrary bytes through the content decoders. The first byte's low three bits choose: 0 to 4
// decode the rest as one record of a memo, to-do, datebook, address or mail database (copied to
// a block of exactly its size, so that a read past it is caught) and as that format's app info;
// anything else loads the rest as a whole database and reads its content, the [Content]
// section and the JSON "Content" as vexlin-dump does; its upper five bits, when not 0, draw a
// format from the registry, one of whose types and creators (where it has them) the database
// is given. The second byte's low bit chooses cp932 over cp1252, its next bit (for whole
// databases) the encoding detected. Every text must be valid UTF-8, every finding lie inside
// what was read, in order, with a code beginning "content-"; what a database yields (its text,
// the [Content] section, the JSON, the pixels its bitmaps decode to) is bounded by its size.
#include "ContentModes.h"
#include "ContentTable.h"
#include "DatabaseImage.h"
#include "RecordView.h"
#include "Structure.h"
#include "content/core/Bound.h"
#include "content/core/Content.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace vexlin;
using namespace vexlin::content;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void CheckFindings(const std::vector<Finding>& findings, std::uint32_t start, std::uint64_t end,
                   bool ordered) {
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = findings[i];
        Require(f.Code.substr(0, 8) == "content-");
        Require(f.Offset >= start && f.Offset <= end);
        Require(ValidUtf8(f.Message));
        Require(!ordered || i == 0 || findings[i - 1].Offset <= f.Offset);
    }
}

template <typename Item> void CheckTexts(const Item& item) {
    if constexpr (requires { item.Text; })
        Require(ValidUtf8(item.Text));
    if constexpr (requires { item.Description; })
        Require(ValidUtf8(item.Description) && ValidUtf8(item.Note));
    if constexpr (requires { item.Fields; }) {
        for (const auto& field : item.Fields)
            Require(!field || ValidUtf8(*field));
    }
    if constexpr (requires { item.Body; }) {
        for (const std::string* text : {&item.Subject, &item.From, &item.To, &item.Cc, &item.Bcc,
                                        &item.ReplyTo, &item.SentTo, &item.Body})
            Require(ValidUtf8(*text));
    }
}

// One record of a chosen format, in a block of exactly its size.
void DecodeRecord(unsigned format, TextDecoder& text, const std::uint8_t* data, std::size_t size) {
    const auto block = std::make_unique<std::uint8_t[]>(size ? size : 1);
    std::memcpy(block.get(), data, size);
    const Bytes record{1000, {block.get(), size}};
    std::vector<Finding> findings;
    const ContentOptions options;
    Decoding decoding{text, findings, options};
    switch (format) {
    case 0: CheckTexts(DecodeMemo(record, "record 1", decoding)); break;
    case 1: CheckTexts(DecodeToDo(record, "record 1", decoding)); break;
    case 2: {
        const DatebookItem item = DecodeDatebook(record, "record 1", decoding);
        CheckTexts(item);
        Require(item.Exceptions.size() <= size / 2);
        Datebook book;
        DecodeDatebookAppInfo(record, book);
        break;
    }
    case 3: {
        CheckTexts(DecodeAddress(record, "record 1", decoding));
        AddressBook book;
        DecodeAddressAppInfo(record, book, decoding);
        for (const std::string& label : book.Labels)
            Require(ValidUtf8(label));
        break;
    }
    default: CheckTexts(DecodeMail(record, "record 1", decoding)); break;
    }
    if (const auto categories = DecodeCategories(record, decoding)) {
        for (const Category& category : categories->Items)
            Require(ValidUtf8(category.Name));
    }
    CheckFindings(findings, 1000, 1000 + size, false);
}

void DecodeFile(unsigned draw, const std::string& encoding, const std::uint8_t* data,
                std::size_t size) {
    std::vector<std::uint8_t> file(data, data + size);
    const auto formats = Formats();
    if (const FormatDescriptor* format = draw ? formats[(draw - 1) % formats.size()] : nullptr;
        format && !format->Claims.empty() && file.size() >= 68)
        std::memcpy(file.data() + 60, format->Claims[draw % format->Claims.size()].data(), 8);
    const ImagePtr loaded = LoadNewImageFromBytes(file);
    // Entries past the end of the file all read alike: whole databases are run when the input
    // can hold their entry list (a 4 KB input about 500 entries), which keeps each run short;
    // a single record of any size is fuzzed on its own above.
    if (RecordCount(*loaded) > size / 8 + 1)
        return;
    const Structure structure = ReadStructure(*loaded);
    ContentOptions options;
    options.Encoding = encoding;
    const Content content = ReadContent(*loaded, structure, options);
    CheckFindings(content.Findings, 0, size, true);
    const auto checkItems = [](const auto* payload) {
        if (payload)
            for (const auto& item : payload->Items)
                CheckTexts(item);
    };
    checkItems(content.As<Memos>());
    checkItems(content.As<ToDos>());
    checkItems(content.As<Datebook>());
    checkItems(content.As<AddressBook>());
    checkItems(content.As<MailBox>());
    if (const Book* book = content.As<Book>()) {
        Require(ValidUtf8(book->Text));
        Require(book->Text.size() <= OutputBound(size).Limit() / OutputBound::PerTextByte);
    }
    // The work of the pictures: the pixels decoded, against the file's size.
    std::uint64_t pixels = 0;
    const auto count = [&](const std::vector<BitmapEntry>& entries) {
        for (const BitmapEntry& entry : entries)
            for (const Bitmap& member : entry.Members)
                pixels += std::uint64_t{member.PixelWidth} * member.PixelHeight;
    };
    if (const auto* set = content.As<BitmapSet>())
        count(set->Entries);
    if (const auto* app = content.As<Application>())
        count(app->Bitmaps);
    Require(pixels <= FilePixelsPerByte * size + FamilyPixelsMax);
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* memory = open_memstream(&text, &length);
    {
        dump::StreamTarget out(memory);
        dump::PrintContent(out, content);
        out.Flush();
        std::fflush(memory);
        Require(ValidUtf8({text, length}));
        // What a database yields is bounded by its size, whatever its entries share: the
        // decoded text by OutputBound, the lines and keys around it (findings among them) by
        // as much again.
        const std::uint64_t yields = 2 * OutputBound(size).Limit();
        Require(length <= yields);
        const std::size_t section = length;
        dump::WriteWithContent(out, "{\"File\":\"fuzz\"}", content);
        out.Flush();
        std::fflush(memory);
        Require(length - section <= yields);
        const auto parsed = nlohmann::json::parse(text + section, text + length, nullptr, false);
        Require(!parsed.is_discarded() && parsed["Content"]["Items"].is_array());
    }
    std::fclose(memory);
    std::free(text);

    // The viewer's table: every row's details a "Record N" stretch of the report, in order;
    // every cell and picture name valid UTF-8; the pictures' pixels as their sizes say.
    const dump::ContentTable table = dump::TabulateContent(content, "TYPE", "CRTR");
    Require(ValidUtf8(table.Summary));
    std::size_t after = 0;
    for (const dump::ContentRow& row : table.Rows) {
        Require(ValidUtf8(row.Cells.joined()));
        if (row.DetailEnd == 0)
            continue;
        Require(row.DetailStart >= after && row.DetailEnd <= table.Report.size());
        Require(table.Detail(row).starts_with("Record " + std::to_string(row.Record) + " ("));
        after = row.DetailEnd;
    }
    for (const dump::ContentPicture& picture : table.Pictures) {
        Require(ValidUtf8(picture.Name));
        Require(picture.Jpeg.empty() ? picture.Rgba.size() == std::uint64_t{picture.Width} *
                                                                  picture.Height * 4
                                     : picture.Rgba.empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size - 2 > static_cast<std::size_t>(ImageCapacity))
        return -1;
    static TextDecoder latin("CP1252");
    static TextDecoder japanese("CP932");
    const bool cp932 = (data[1] & 1) != 0;
    if ((data[0] & 7) < 5)
        DecodeRecord(data[0] & 7, cp932 ? japanese : latin, data + 2, size - 2);
    else
        DecodeFile(data[0] >> 3u, (data[1] & 2) != 0 ? "" : cp932 ? "CP932" : "CP1252", data + 2,
                   size - 2);
    return 0;
}
