// The content layer: each personal information format decoded from built databases and the
// corpus, damage decoded as far as it goes with its findings, the text encodings, and every
// cut of every record read without leaving it.
#include "ContentSamples.h"
#include "DatabaseImage.h"
#include "Structure.h"
#include "content/core/Bound.h"
#include "content/core/Content.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

using namespace vexlin;
using namespace vexlin::content;
using namespace vexlin::test;
using FileBytes = vexlin::test::Bytes;

namespace {

struct Decoded {
    ImagePtr Image;
    Structure Layout;
    Content Result;
};

Decoded Decode(const FileBytes& file, const std::string& encoding = DefaultEncoding) {
    Decoded d;
    d.Image = LoadNewImageFromBytes(file);
    d.Layout = ReadStructure(*d.Image);
    ContentOptions options;
    options.Encoding = encoding;
    d.Result = ReadContent(*d.Image, d.Layout, options);
    return d;
}

template <typename Payload> const Payload& As(const Decoded& d) {
    const Payload* payload = d.Result.As<Payload>();
    if (!payload)
        throw std::runtime_error("unexpected payload");
    return *payload;
}

std::vector<std::string_view> Codes(const Content& c) {
    std::vector<std::string_view> codes;
    for (const Finding& f : c.Findings)
        codes.push_back(f.Code);
    return codes;
}

// Every text an item holds, for the UTF-8 check.
std::vector<std::string> Texts(const Content& c) {
    std::vector<std::string> texts;
    if (c.Categories) {
        for (const Category& category : c.Categories->Items)
            texts.push_back(category.Name);
    }
    if (const auto* p = c.As<Memos>()) {
        for (const auto& i : p->Items) texts.push_back(i.Text);
    } else if (const auto* p = c.As<ToDos>()) {
        for (const auto& i : p->Items) texts.insert(texts.end(), {i.Description, i.Note});
    } else if (const auto* p = c.As<Datebook>()) {
        for (const auto& i : p->Items) texts.insert(texts.end(), {i.Description, i.Note});
    } else if (const auto* p = c.As<AddressBook>()) {
        for (const auto& i : p->Items)
            for (const auto& f : i.Fields) texts.push_back(f.value_or(""));
        texts.insert(texts.end(), p->Labels.begin(), p->Labels.end());
    } else if (const auto* p = c.As<MailBox>()) {
        for (const auto& i : p->Items)
            texts.insert(texts.end(), {i.Subject, i.From, i.To, i.Cc, i.Bcc, i.ReplyTo,
                                       i.SentTo, i.Body});
    }
    return texts;
}

std::filesystem::path Corpus(const char* name) {
    return std::filesystem::path(VEXLIN_CORPUS_DIR) / name;
}

} // namespace

TEST(Content, MemosWithCategoriesAndWindowsQuotes) {
    const Decoded d = Decode(MemoSample());
    EXPECT_EQ(d.Result.Format->Name, "memo");
    ASSERT_TRUE(d.Result.Categories);
    EXPECT_EQ(d.Result.Categories->Items[1].Name, "Business");
    EXPECT_TRUE(d.Result.Categories->Items[2].Renamed);
    EXPECT_FALSE(d.Result.Categories->Items[3].Renamed);
    const Memos& memos = As<Memos>(d);
    ASSERT_EQ(memos.Items.size(), 3u);
    EXPECT_EQ(memos.Items[0].Text, "Shopping\nmilk\nbread");
    EXPECT_EQ(memos.Items[1].Text,
              "Quotes: \u201csmart\u201d \u2018single\u2019 \u2013 dash \u20ac euro \u2122");
    EXPECT_EQ(memos.Items[1].Category, 1);
    EXPECT_TRUE(memos.Items[1].Private);
    EXPECT_EQ(memos.Items[2].Record, 3u);
    EXPECT_TRUE(d.Result.Findings.empty());
}

TEST(Content, ToDosDueDatesPriorityAndCompletion) {
    const Decoded d = Decode(ToDoSample());
    const ToDos& todos = As<ToDos>(d);
    ASSERT_EQ(todos.Items.size(), 3u);
    EXPECT_EQ(todos.Items[0].Due, (Date{2004, 2, 29}));
    EXPECT_EQ(todos.Items[0].Note, "Forms; receipts, and\nthe rest");
    EXPECT_FALSE(todos.Items[1].Due);
    EXPECT_TRUE(todos.Items[1].Completed);
    EXPECT_EQ(todos.Items[1].Priority, 3);
    EXPECT_TRUE(todos.Items[2].Private);
}

TEST(Content, DatebookRepeatsAlarmsAndExceptions) {
    const Decoded d = Decode(DatebookSample());
    const Datebook& book = As<Datebook>(d);
    EXPECT_EQ(book.StartOfWeek, 1);
    ASSERT_EQ(book.Items.size(), 6u);
    const DatebookItem& untimed = book.Items[0];
    EXPECT_FALSE(untimed.Start);
    ASSERT_TRUE(untimed.Alarm);
    EXPECT_EQ(untimed.Alarm->Unit, AlarmUnit::Days);
    const DatebookItem& weekly = book.Items[1];
    EXPECT_EQ(weekly.Start, (Time{9, 30}));
    EXPECT_EQ(weekly.End, (Time{10, 45}));
    ASSERT_TRUE(weekly.Repeat);
    EXPECT_EQ(weekly.Repeat->Type, RepeatType::Weekly);
    EXPECT_EQ(weekly.Repeat->Frequency, 2);
    EXPECT_EQ(weekly.Repeat->Days, (std::vector<int>{1, 3}));
    EXPECT_EQ(weekly.Repeat->End, (Date{2003, 12, 31}));
    EXPECT_EQ(weekly.Exceptions, (std::vector<Date>{{2003, 5, 19}, {2003, 6, 2}}));
    EXPECT_EQ(weekly.Note, "Agenda:\nbudget");
    const EventRepeat& lastFriday = *book.Items[2].Repeat;
    EXPECT_EQ(lastFriday.Type, RepeatType::MonthlyByDay);
    EXPECT_EQ(lastFriday.Week, 4);
    EXPECT_EQ(lastFriday.Day, 5);
    EXPECT_FALSE(lastFriday.End);
    EXPECT_EQ(book.Items[3].Repeat->Type, RepeatType::MonthlyByDate);
    EXPECT_EQ(book.Items[4].Repeat->Type, RepeatType::Yearly);
    EXPECT_EQ(book.Items[4].Description, "Birthday \u00e9l\u00e8ne");
    EXPECT_EQ(book.Items[5].Repeat->Type, RepeatType::Daily);
    EXPECT_TRUE(d.Result.Findings.empty());
}

TEST(Content, AddressFieldsLabelsAndMail) {
    const Decoded a = Decode(AddressSample());
    const AddressBook& book = As<AddressBook>(a);
    EXPECT_EQ(book.Labels[21], "Mobile");
    EXPECT_EQ(book.Country, 22);
    ASSERT_EQ(book.Items.size(), 2u);
    const AddressItem& first = book.Items[0];
    EXPECT_EQ(first.Fields[LastName], "M\u00fcller");
    EXPECT_EQ(first.Fields[Company], "Acme, Inc; Europe");
    EXPECT_FALSE(first.Fields[Phone4]);
    EXPECT_EQ(first.Fields[Note], "Met at the fair.\nLikes tea.");
    EXPECT_EQ(first.PhoneLabels, (std::array<int, 5>{0, 4, 7, 1, 2}));
    EXPECT_EQ(first.DisplayPhone, 2);
    EXPECT_EQ(first.CompanyOffset, 1 + 7 + 7); // after "Müller" and "Jürgen" with their NULs
    EXPECT_EQ(book.Items[1].Fields[Phone5], "555-0199");

    const Decoded m = Decode(MailSample());
    const MailBox& mail = As<MailBox>(m);
    ASSERT_EQ(mail.Items.size(), 2u);
    const MailItem& sent = mail.Items[0];
    EXPECT_EQ(sent.Day, (Date{2002, 5, 6}));
    EXPECT_EQ(sent.At, (Time{14, 5}));
    EXPECT_TRUE(sent.Read && sent.ConfirmRead && sent.ConfirmDelivery && !sent.Signature);
    EXPECT_EQ(sent.Priority, 2);
    EXPECT_EQ(sent.From, "Ren\u00e9 Dupont <rene@example.com>");
    EXPECT_EQ(sent.ReplyTo, "rene.home@example.com");
    EXPECT_FALSE(mail.Items[1].Day);
    EXPECT_EQ(mail.Items[1].Addressing, 2);
    EXPECT_TRUE(mail.Items[1].Signature);
}

TEST(Content, DamageIsDecodedAsFarAsItGoesAndReported) {
    PdbBuilder todo = PimBuilder("ToDoDB", "todo");
    FileBytes impossible = {0x00, 0x00, 0x01}; // date word 0: month 0
    PutText(impossible, "Dated nowhere");
    PutText(impossible, "");
    todo.Record({0xFF}).Record(impossible);
    FileBytes unterminated = {0xFF, 0xFF, 0x02, 'a', 0, 'n', 'o', 't', 'e'};
    todo.Record(unterminated);
    const Decoded t = Decode(todo.Build());
    const ToDos& todos = As<ToDos>(t);
    EXPECT_TRUE(todos.Items[0].Damaged);
    EXPECT_FALSE(todos.Items[1].Due);
    EXPECT_EQ(todos.Items[1].Description, "Dated nowhere");
    EXPECT_EQ(todos.Items[2].Note, "note");
    EXPECT_TRUE(todos.Items[2].Damaged);
    EXPECT_EQ(Codes(t.Result), (std::vector<std::string_view>{
                                   "content-truncated", "content-bad-date", "content-unterminated"}));

    PdbBuilder date = PimBuilder("DatebookDB", "date");
    TestEvent unknownRepeat;
    unknownRepeat.When = PackDate(2003, 5, 6);
    unknownRepeat.Repeat = RepeatBytes(9, 0xFFFF, 1, 0, 0);
    unknownRepeat.Description = "Odd";
    TestEvent event;
    event.When = PackDate(2003, 5, 6);
    event.Exceptions = {PackDate(2003, 5, 7)};
    event.Description = "Many";
    FileBytes exceptions = EventRecord(event);
    exceptions[8] = 0x01; // 256 + 1 exceptions in a record that holds one
    event = TestEvent();
    event.When = PackDate(2003, 2, 30);
    event.Description = "Flags";
    FileBytes flags = EventRecord(event);
    flags[6] |= 0x01; // a bit beside the named ones that this decoder does not know
    flags[7] |= 0x21; // padding: kept without a note
    date.Record(EventRecord(unknownRepeat)).Record(exceptions).Record(flags);
    const Decoded e = Decode(date.Build());
    const Datebook& book = As<Datebook>(e);
    EXPECT_EQ(book.Items[0].Repeat->Type, RepeatType::Unknown);
    EXPECT_EQ(book.Items[0].Description, "Odd");
    EXPECT_EQ(book.Items[1].Exceptions.at(0), (Date{2003, 5, 7}));
    EXPECT_TRUE(book.Items[1].Damaged);
    EXPECT_EQ(book.Items[1].Description, ""); // its bytes were taken as exceptions
    EXPECT_EQ(book.Items[2].UnknownFlags, 0x0121);
    EXPECT_FALSE(book.Items[2].When);
    EXPECT_EQ(Codes(e.Result),
              (std::vector<std::string_view>{"content-repeat-type", "content-exceptions-past-end",
                                             "content-truncated", "content-bad-date",
                                             "content-unknown-flags"}));
    for (std::size_t i = 1; i < e.Result.Findings.size(); ++i)
        EXPECT_LE(e.Result.Findings[i - 1].Offset, e.Result.Findings[i].Offset);
}

TEST(Content, EveryCutOfEveryRecordStaysInsideIt) {
    for (const auto& [name, file] : PimSamples()) {
        const ImagePtr whole = LoadNewImageFromBytes(file);
        const Structure layout = ReadStructure(*whole);
        for (std::size_t r = 0; r < layout.Records.size(); ++r) {
            const FileBytes record = [&] {
                const auto bytes = EntryBytes(*whole, layout, r).Data;
                return FileBytes(bytes.begin(), bytes.end());
            }();
            for (std::size_t cut = 0; cut < record.size(); ++cut) {
                // The record cut short and moved to the end of the file: nothing follows it.
                PdbBuilder b = PimBuilder("Cut", "");
                b.Creator = std::string(reinterpret_cast<const char*>(file.data() + 64), 4);
                b.Record(FileBytes(record.begin(), record.begin() + static_cast<long>(cut)));
                const Decoded d = Decode(b.Build());
                for (const std::string& text : Texts(d.Result))
                    ASSERT_TRUE(ValidUtf8(text)) << name << " record " << r << " cut " << cut;
                if (cut > 0) {
                    EXPECT_FALSE(d.Result.Findings.empty()) << name << " record " << r << " cut " << cut;
                }
                for (const Finding& f : d.Result.Findings)
                    EXPECT_EQ(f.Code.substr(0, 8), "content-");
            }
        }
    }
}

TEST(Content, EncodingsReplaceVisiblyAndCount) {
    PdbBuilder memo = PimBuilder("MemoDB", "memo");
    memo.Record(FileBytes{'a', 0x81, 'b', 0x8D, 0x8E, 0x8F, 0x90, 0x9D, 0x93, 0});
    // Palm's Latin encoding, the default: cp1252 with the card suits of Palm's fonts.
    const Decoded d = Decode(memo.Build());
    EXPECT_EQ(d.Result.Encoding, "palm-latin");
    EXPECT_EQ(As<Memos>(d).Items[0].Text, "a\uFFFDb\u2666\u2663\u2665\u2660\uFFFD\u201C");
    ASSERT_EQ(Codes(d.Result), (std::vector<std::string_view>{"content-encoding"}));
    EXPECT_NE(d.Result.Findings[0].Message.find("2 bytes"), std::string::npos);
    const Decoded windows = Decode(memo.Build(), "CP1252");
    EXPECT_EQ(As<Memos>(windows).Items[0].Text,
              "a\uFFFDb\uFFFD\u017D\uFFFD\uFFFD\uFFFD\u201C");
    EXPECT_NE(windows.Result.Findings[0].Message.find("5 bytes"), std::string::npos);
    EXPECT_THROW(Decode(memo.Build(), "no-such-encoding"), std::invalid_argument);

    // Japanese category names, but text that is not cp932 (an é before a space): cp1252.
    PdbBuilder latin = PimBuilder("MemoDB", "memo");
    latin.App(CategoryBlock({"\x96\xa2\x95\xaa\x97\xde"})); // 未分類
    latin.Record(Text(std::string("caf\xe9 au lait\0", 14)));
    const Decoded guessed = Decode(latin.Build(), "");
    EXPECT_EQ(guessed.Result.Encoding, "palm-latin");
    EXPECT_EQ(As<Memos>(guessed).Items[0].Text, "caf\u00e9 au lait");

    const auto japanese = Corpus("palmpdb_AddressDB-PalmV-JP.pdb");
    if (!std::filesystem::exists(japanese))
        GTEST_SKIP() << "no corpus file " << japanese;
    const ImagePtr image = LoadNewImage(japanese.string());
    const Structure layout = ReadStructure(*image);
    const Content c = ReadContent(*image, layout); // the encoding detected from the names
    EXPECT_EQ(c.Encoding, "CP932");
    EXPECT_TRUE(c.EncodingDetected);
    ASSERT_NE(c.As<AddressBook>(), nullptr);
    const AddressBook& book = *c.As<AddressBook>();
    EXPECT_EQ(book.Items.at(0).Fields[City], std::nullopt);
    EXPECT_EQ(book.Items.at(0).Fields[State], "\u6771\u4eac\u90fd"); // 東京都
    EXPECT_EQ(c.Categories->Items[1].Name, "\u30d3\u30b8\u30cd\u30b9"); // ビジネス
    EXPECT_TRUE(c.Findings.empty());
}

TEST(Content, CategoryBlocksOfOtherProgramsAreFoundWhenPlausible) {
    PdbBuilder other;
    other.Creator = "Tst1";
    other.App(CategoryBlock({"Unfiled", "Errands"}));
    const Decoded found = Decode(other.Build());
    EXPECT_EQ(found.Result.Format, &UnknownFormat);
    ASSERT_TRUE(found.Result.Categories);
    EXPECT_EQ(found.Result.Categories->Items[1].Name, "Errands");

    FileBytes noise = CategoryBlock({"Unfiled"});
    noise[2 + 2] = 0x07; // a control character inside a name
    other.AppInfo = noise;
    EXPECT_FALSE(Decode(other.Build()).Result.Categories);
    FileBytes sameIds = CategoryBlock({"Unfiled", "Errands"});
    sameIds[2 + 16 * 16 + 1] = 0; // "Errands" with Unfiled's ID: text, not categories
    other.AppInfo = sameIds;
    EXPECT_FALSE(Decode(other.Build()).Result.Categories);
    other.AppInfo = FileBytes(100, 'x');
    EXPECT_FALSE(Decode(other.Build()).Result.Categories);
}

// Later applications that keep the classic layouts: Palm OS 5's Memos (PMem) and Memo32 (pn32)
// read as memos, Mañana (CYCL) as to-dos, each as the classic database of the same bytes.
TEST(Content, LaterApplicationsInTheClassicLayouts) {
    const auto as = [](FileBytes file, const char* creator) {
        std::memcpy(file.data() + 64, creator, 4);
        return Decode(file);
    };
    const Decoded memos = Decode(MemoSample());
    for (const char* creator : {"PMem", "pn32"}) {
        const Decoded d = as(MemoSample(), creator);
        EXPECT_EQ(d.Result.Format->Name, "memo") << creator;
        ASSERT_EQ(As<Memos>(d).Items.size(), As<Memos>(memos).Items.size());
        EXPECT_EQ(As<Memos>(d).Items[1].Text, As<Memos>(memos).Items[1].Text);
        EXPECT_EQ(d.Result.Categories->Items[1].Name, "Business");
    }
    const Decoded todos = Decode(ToDoSample());
    const Decoded manana = as(ToDoSample(), "CYCL");
    EXPECT_EQ(manana.Result.Format->Name, "todo");
    ASSERT_EQ(As<ToDos>(manana).Items.size(), As<ToDos>(todos).Items.size());
    EXPECT_EQ(As<ToDos>(manana).Items[0].Description, As<ToDos>(todos).Items[0].Description);
    EXPECT_EQ(As<ToDos>(manana).Items[0].Due, As<ToDos>(todos).Items[0].Due);
}

// What a record means, exactly: text after its last field reported, the device's "no alarm",
// alarms after the start, ends before starts, and the first day a repeat really falls on.
TEST(ContentMeaning, HiddenTextAfterTheLastFieldIsReported) {
    PdbBuilder memo = PimBuilder("MemoDB", "memo");
    memo.Record(FileBytes{'s', 'e', 'e', 'n', 0, 0, 'h', 'i', '\\', 0x1b, 0});
    memo.Record(FileBytes{'p', 'a', 'd', 'd', 'e', 'd', 0, 0, 0});
    memo.Record(FileBytes{'l', 'e', 'f', 't', 0, '\n'}); // a line end left behind, as real memos have
    const Decoded d = Decode(memo.Build());
    const Memos& memos = As<Memos>(d);
    EXPECT_EQ(memos.Items[0].Text, "seen");
    EXPECT_TRUE(memos.Items[0].Damaged);
    EXPECT_FALSE(memos.Items[1].Damaged); // zeros after the NUL hide nothing
    EXPECT_FALSE(memos.Items[2].Damaged);
    ASSERT_EQ(Codes(d.Result),
              (std::vector<std::string_view>{"content-hidden-text", "content-hidden-text"}));
    EXPECT_EQ(d.Result.Findings[1].Level, Severity::Note);
    const Finding& f = d.Result.Findings[0];
    EXPECT_EQ(f.Offset, d.Layout.Records[0].Offset + 6);
    EXPECT_EQ(f.Level, Severity::Warning);
    EXPECT_EQ(f.Message, "record 1: 5 bytes after the last field's NUL, which the device does not "
                         "show: \"hi\\\\\\x1b\\x00\"");
}

TEST(ContentMeaning, AlarmsTimesAndFirstOccurrences) {
    PdbBuilder date = PimBuilder("DatebookDB", "date");
    const auto event = [&](std::uint16_t when, FileBytes repeat,
                           std::optional<std::pair<int, int>> alarm = {}) {
        TestEvent e;
        e.When = when;
        e.Repeat = std::move(repeat);
        e.Alarm = alarm;
        e.Description = "e";
        date.Record(EventRecord(e));
    };
    const std::uint16_t wednesday = PackDate(2024, 1, 3);
    event(wednesday, RepeatBytes(2, 0xFFFF, 1, 0x02, 0), {{0xFF, 0}});     // Mondays; no alarm
    event(PackDate(2024, 1, 4), RepeatBytes(2, 0xFFFF, 2, 0x02, 0));       // every 2nd Monday
    event(PackDate(2024, 1, 20), RepeatBytes(3, 0xFFFF, 2, 7 + 2, 0));     // 2nd Tuesday, 2 months
    event(PackDate(2024, 1, 20), RepeatBytes(3, 0xFFFF, 1, 4 * 7 + 3, 0)); // last Wednesday
    event(wednesday, RepeatBytes(2, PackDate(2024, 1, 7), 1, 0x02, 0), {{0xFD, 0}}); // ends first
    event(wednesday, RepeatBytes(1, 0xFFFF, 0, 0, 0));                               // frequency 0
    event(wednesday, RepeatBytes(2, 0xFFFF, 1, 0x00, 0));                            // weekly, no day
    TestEvent backwards;
    backwards.StartHour = 10, backwards.StartMinute = 0, backwards.EndHour = 9,
    backwards.EndMinute = 30;
    backwards.When = wednesday;
    date.Record(EventRecord(backwards));
    const Decoded d = Decode(date.Build());
    const Datebook& book = As<Datebook>(d);
    EXPECT_FALSE(book.Items[0].Alarm);
    ASSERT_TRUE(book.Items[4].Alarm);
    EXPECT_EQ(book.Items[4].Alarm->Advance, -3);
    const std::vector<std::optional<Date>> first = {
        Date{2024, 1, 8}, Date{2024, 1, 15}, Date{2024, 3, 12}, Date{2024, 1, 31},
        std::nullopt,     std::nullopt,      std::nullopt,       Date{2024, 1, 3}};
    for (std::size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(FirstOccurrence(book.Items[i]), first[i]) << "event " << i + 1;
    EXPECT_EQ(Codes(d.Result), (std::vector<std::string_view>{
                                   "content-alarm-advance", "content-repeat-never",
                                   "content-repeat-frequency", "content-repeat-day",
                                   "content-end-before-start"}));
}

// Records that share their bytes decode to no more than the file may yield, with one finding;
// the encoding is decided by weighing the whole database's text before any of it is read.
TEST(ContentBound, SharedRecordsStopAtTheBoundWithOneFinding) {
    // 201 entries, 101 of them on one memo of 8 KB: 808 KB of text from a file of 10 KB.
    const FileBytes memo = [] {
        FileBytes text;
        PutText(text, std::string(8192, 'm'));
        return text;
    }();
    const FileBytes file = SharedRecords(PimBuilder("MemoDB", "memo"), memo, 201);
    const Decoded d = Decode(file);
    const auto& items = As<Memos>(d).Items;
    const OutputBound bound(file.size());
    std::uint64_t charged = 0;
    for (const MemoItem& item : items)
        charged += OutputBound::PerItem + OutputBound::PerTextByte * item.Text.size();
    EXPECT_LE(charged, bound.Limit());
    ASSERT_LT(items.size(), 201u);
    EXPECT_GT(items.size(), 20u); // what fits is decoded
    ASSERT_EQ(Codes(d.Result), (std::vector<std::string_view>{"content-output-bound"}));
    EXPECT_NE(d.Result.Findings[0].Message.find("record " + std::to_string(items.size() + 1) + ":"),
              std::string::npos);

    // A datebook event's exceptions are charged too: 2,000 of them, shared by 101 entries.
    FileBytes event{9, 0, 10, 0};
    Put16(event, 0xC6A6); // 2003-05-06
    Put16(event, 0x0800);
    Put16(event, 2000);
    for (int i = 0; i < 2000; ++i)
        Put16(event, 0xC6A7);
    const Decoded dates = Decode(SharedRecords(PimBuilder("DatebookDB", "date"), event, 201));
    std::uint64_t exceptions = 0;
    for (const DatebookItem& item : As<Datebook>(dates).Items)
        exceptions += item.Exceptions.size();
    EXPECT_LE(exceptions * OutputBound::PerException, OutputBound(dates.Image->FileSize).Limit());
    EXPECT_EQ(Codes(dates.Result), (std::vector<std::string_view>{"content-output-bound"}));
}

TEST(ContentEncodingEvidence, TheWholeDatabaseIsWeighedBeforeItIsRead) {
    // Portuguese: a first category name and a city that are valid cp932 (Não, São) read as
    // the Latin letters they are.
    PdbBuilder address = PimBuilder("AddressDB", "addr");
    address.App(CategoryBlock({"N\xe3o arquivado"}));
    FileBytes card;
    Put32(card, 0);
    Put32(card, 1u << City);
    card.push_back(0);
    PutText(card, "S\xe3o Paulo");
    address.Record(card);
    const Decoded latin = Decode(address.Build(), "");
    EXPECT_EQ(latin.Result.Encoding, DefaultEncoding);
    EXPECT_EQ(As<AddressBook>(latin).Items[0].Fields[City], "S\u00e3o Paulo");
    EXPECT_EQ(latin.Result.Evidence.Japanese, 0u);
    EXPECT_EQ(latin.Result.Evidence.Against, 2u);
    EXPECT_TRUE(latin.Result.Findings.empty());

    // A Japanese memo pad, one memo cut inside its last character: still cp932, and only that
    // memo reported.
    PdbBuilder pad = PimBuilder("MemoDB", "memo");
    pad.App(CategoryBlock({"\x96\xa2\x95\xaa\x97\xde"})); // 未分類
    for (int i = 0; i < 3; ++i)
        pad.Record(
            Text(std::string("\x82\xb1\x82\xea\x82\xcd\x83\x81\x83\x82\0", 11))); // これはメモ
    pad.Record(
        Text(std::string("\x93\x8c\x8b\x9e\x82", 5) + std::string(1, '\0'))); // 東京 and a cut lead
    const Decoded japanese = Decode(pad.Build(), "");
    EXPECT_EQ(japanese.Result.Encoding, JapaneseEncoding);
    EXPECT_EQ(As<Memos>(japanese).Items[0].Text, "\u3053\u308c\u306f\u30e1\u30e2");
    EXPECT_EQ(Codes(japanese.Result), (std::vector<std::string_view>{"content-encoding"}));
    EXPECT_EQ(japanese.Result.Evidence.Against, 1u);
    EXPECT_FALSE(japanese.Result.Evidence.Thin);

    // One lone character is all there is: taken, and said to be a guess.
    PdbBuilder lone = PimBuilder("MemoDB", "memo");
    lone.App(CategoryBlock({"Unfiled"}));
    lone.Record(Text(std::string("\x97\xd1\0", 3))); // 林
    const Decoded guess = Decode(lone.Build(), "");
    EXPECT_EQ(guess.Result.Encoding, JapaneseEncoding);
    EXPECT_TRUE(guess.Result.Evidence.Thin);
    EXPECT_EQ(Codes(guess.Result), (std::vector<std::string_view>{"content-encoding-guess"}));
}

// Palm OS 5's Tasks, from a real device: each task's own fields (completion, alarm, repeat from
// its start) and, for every task, the same description, due date and priority as the classic
// ToDoDB the device kept beside it (the same unique IDs).
TEST(Tasks, RealDeviceTasksAndTheirClassicShadow) {
    const auto load = [](const char* name) {
        const ImagePtr image = LoadNewImage(Corpus(name).string());
        const Structure layout = ReadStructure(*image);
        return std::pair{layout, ReadContent(*image, layout)};
    };
    const auto loadedTasks = load("psd_TasksDB-PTod.pdb");
    const auto loadedShadow = load("psd_ToDoDB.pdb");
    const Structure& tasksLayout = loadedTasks.first;
    const Structure& shadowLayout = loadedShadow.first;
    const Content& tasks = loadedTasks.second;
    const Content& shadow = loadedShadow.second;
    EXPECT_EQ(tasks.Format->Name, "tasks");
    EXPECT_TRUE(tasks.Findings.empty());
    ASSERT_NE(tasks.As<Tasks>(), nullptr);
    const std::vector<TaskItem>& items = tasks.As<Tasks>()->Items;
    ASSERT_EQ(items.size(), 4u);

    const TaskItem& daily = items[0];
    EXPECT_EQ(daily.Description, "Test task");
    EXPECT_EQ(daily.Note, "Test note");
    EXPECT_EQ(daily.Due, (Date{2024, 9, 9}));
    EXPECT_EQ(daily.Priority, 2);
    EXPECT_FALSE(daily.Completed);
    ASSERT_TRUE(daily.Alarm);
    EXPECT_EQ(daily.Alarm->At, (Time{16, 45}));
    EXPECT_EQ(daily.Alarm->DaysBefore, 5);
    ASSERT_TRUE(daily.Repeat);
    EXPECT_EQ(daily.RepeatFrom, (Date{2024, 9, 9}));
    EXPECT_EQ(daily.Repeat->Type, RepeatType::Daily);
    EXPECT_EQ(daily.Repeat->End, (Date{2024, 9, 15}));

    const TaskItem& fortnightly = items[1];
    EXPECT_EQ(fortnightly.Description, "Repeat every other week");
    ASSERT_TRUE(fortnightly.Repeat);
    EXPECT_EQ(fortnightly.Repeat->Type, RepeatType::Weekly);
    EXPECT_EQ(fortnightly.Repeat->Frequency, 2);
    EXPECT_EQ(fortnightly.Repeat->Days, std::vector<int>{2}); // Tuesday, the due date's day
    EXPECT_FALSE(fortnightly.Repeat->End);
    EXPECT_EQ(items[2].Repeat->Frequency, 1);
    EXPECT_FALSE(items[3].Due);
    EXPECT_FALSE(items[3].Repeat);
    EXPECT_EQ(tasks.Categories->Items[items[3].Category].Name, "Personal");

    const std::vector<ToDoItem>& classic = shadow.As<ToDos>()->Items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto same = std::find_if(classic.begin(), classic.end(), [&](const ToDoItem& t) {
            return shadowLayout.Records[t.Record - 1].UniqueID ==
                   tasksLayout.Records[items[i].Record - 1].UniqueID;
        });
        ASSERT_NE(same, classic.end()) << "task " << i;
        EXPECT_EQ(same->Description, items[i].Description);
        EXPECT_EQ(same->Due, items[i].Due);
        EXPECT_EQ(same->Priority, items[i].Priority);
        EXPECT_EQ(same->Category, items[i].Category);
    }

    // Cut inside its optional fields, a task keeps what came before and is marked damaged.
    PdbBuilder cut = PimBuilder("Tasks", "PTod");
    cut.Record(FileBytes{0xB8, 0x00, 0x00, 0x00, 0x00, 0x03, 0xF1, 0x29, 0x10});
    const Decoded damaged = Decode(cut.Build());
    ASSERT_EQ(As<Tasks>(damaged).Items.size(), 1u);
    EXPECT_EQ(As<Tasks>(damaged).Items[0].Due, (Date{2024, 9, 9}));
    EXPECT_TRUE(As<Tasks>(damaged).Items[0].Damaged);
    EXPECT_EQ(Codes(damaged.Result).front(), "content-truncated");
}

// The Expense application's records and the owner's currencies, and B.csv as RFC 4180 has it:
// every field quoted, a quote doubled, a comma and a line break kept inside their field.
TEST(Expense, RecordsCurrenciesAndCsv) {
    const Decoded d = Decode(ExpenseSample());
    EXPECT_EQ(d.Result.Format->Name, "expense");
    EXPECT_TRUE(d.Result.Findings.empty());
    const Expenses& e = As<Expenses>(d);
    EXPECT_EQ(e.SortOrder, 1);
    EXPECT_EQ(e.Currencies[1].Name, "Peso");
    EXPECT_EQ(e.Currencies[1].Symbol, "$");
    ASSERT_EQ(e.Items.size(), 2u);
    EXPECT_EQ(e.Items[0].Day, (Date{2004, 3, 1}));
    EXPECT_EQ(ExpenseTypeName(e.Items[0].Type), "Lunch");
    EXPECT_EQ(ExpensePaymentName(e.Items[0].Payment), "Cash");
    EXPECT_EQ(ExpenseCurrencyName(e, e.Items[0].Currency), "United States");
    EXPECT_EQ(e.Items[0].Vendor, "Caf\u00e9 Rouge");
    EXPECT_EQ(ExpenseCurrencyName(e, e.Items[1].Currency), "Peso");
    EXPECT_EQ(ExpenseTypeName(e.Items[1].Type), "Taxi");
    EXPECT_EQ(e.Items[1].Note, "to the\nairport");
    EXPECT_TRUE(e.Items[1].Private);
    EXPECT_EQ(ExpenseCurrencyName(e, 133), "EU (Euro)");
    EXPECT_EQ(ExpenseCurrencyName(e, 99), "");
}

// Palm OS 5's Calendar: the datebook's fields, the location, the time zone block and a block
// it does not read, named.
TEST(Calendar, LocationAndTimeZone) {
    const Decoded d = Decode(CalendarSample());
    EXPECT_EQ(d.Result.Format->Name, "calendar");
    EXPECT_TRUE(d.Result.Findings.empty());
    const Calendar& c = As<Calendar>(d);
    EXPECT_EQ(c.StartOfWeek, 1);
    ASSERT_EQ(c.Items.size(), 2u);
    const CalendarItem& meeting = c.Items[0];
    EXPECT_EQ(meeting.Description, "Standup");
    EXPECT_EQ(meeting.Location, "Room 4");
    EXPECT_EQ(meeting.Start, (Time{9, 0}));
    ASSERT_TRUE(meeting.Repeat);
    EXPECT_EQ(meeting.Repeat->Days, std::vector<int>{5});
    ASSERT_TRUE(meeting.Zone);
    EXPECT_EQ(meeting.Zone->Name, "Europe/Berlin");
    EXPECT_EQ(meeting.Zone->Offset, 60);
    EXPECT_EQ(meeting.Zone->DstAmount, 60);
    EXPECT_EQ(meeting.Zone->Start.Month, 3);
    EXPECT_EQ(meeting.Zone->Start.Week, 4);
    EXPECT_EQ(meeting.Zone->End.Month, 10);
    EXPECT_EQ(meeting.Zone->End.Hour, 3);
    EXPECT_EQ(meeting.UnknownFlags, 0);
    EXPECT_EQ(c.Items[1].Location, "Home");
    EXPECT_FALSE(c.Items[1].Zone);
    ASSERT_EQ(c.Items[1].OtherBlobs.size(), 1u);
    EXPECT_EQ(c.Items[1].OtherBlobs[0].Type, "Bd01");
}

// Palm OS 5's Contacts: the fields the bitmaps announce, each phone, address and messaging
// name with its label, the birthday, the photo; and the corpus's empty template's 49 labels.
TEST(Contacts, FieldsLabelsBirthdayAndPhoto) {
    const Decoded d = Decode(ContactsSample());
    EXPECT_EQ(d.Result.Format->Name, "contacts");
    EXPECT_TRUE(d.Result.Findings.empty());
    const Contacts& c = As<Contacts>(d);
    ASSERT_EQ(c.Items.size(), 1u);
    const ContactItem& ana = c.Items[0];
    EXPECT_EQ(ana.Fields[contact::FirstName], "Ana");
    EXPECT_EQ(ana.Fields[contact::Phone1 + 1], "555-9876");
    EXPECT_EQ(PhoneLabel(c, ana.PhoneLabels[1]), "Mobile");
    EXPECT_EQ(PhoneLabel(c, ana.PhoneLabels[2]), "E-mail");
    EXPECT_EQ(ana.DisplayPhone, 1);
    EXPECT_EQ(ImLabel(c, ana.ImLabels[0]), "AIM");
    EXPECT_EQ(ana.Fields[contact::Website], "http://example.com");
    EXPECT_EQ(ana.Fields[contact::AddressField(0, 1)], "Springfield");
    EXPECT_EQ(ana.Fields[contact::AddressField(1, 1)], "Shelbyville");
    EXPECT_EQ(ana.AddressLabels[0], 1);
    EXPECT_FALSE(ana.Fields[contact::AddressField(2, 0)]);
    EXPECT_EQ(ana.Fields[contact::Note], "Likes tea");
    EXPECT_EQ(ana.Birthday, (Date{1980, 5, 17}));
    EXPECT_EQ(ana.ReminderDays, 3);
    EXPECT_EQ(ana.Photo.size(), 13u);
    EXPECT_EQ(ana.Photo[0], 0xFF);
    ASSERT_EQ(ana.OtherBlobs.size(), 1u);
    EXPECT_EQ(ana.OtherBlobs[0].Type, "Bd05");
    EXPECT_EQ(c.Country, 23);

    const ImagePtr image = LoadNewImage(Corpus("jpilot_empty_ContactsDB-PAdd.pdb").string());
    const Structure layout = ReadStructure(*image);
    const Content empty = ReadContent(*image, layout);
    ASSERT_NE(empty.As<Contacts>(), nullptr);
    const auto& labels = empty.As<Contacts>()->Labels;
    ASSERT_EQ(labels.size(), 49u);
    EXPECT_EQ(labels[0], "Last name");
    EXPECT_EQ(labels[40], "Mobile");
    EXPECT_EQ(labels[42], "AIM");
    EXPECT_EQ(empty.As<Contacts>()->Country, 23);
}
