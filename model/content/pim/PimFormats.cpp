// The descriptors of the built-in applications' databases: each of type DATA under its
// application's creator, its app info starting with the category block, one item per record.
#include "content/core/Content.h"
#include "content/pim/Fields.h"
#include "content/pim/Pim.h"

namespace vexlin::content {

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

namespace {

// A decoder of one item per record, as a descriptor's Read.
template <typename Payload, auto Decode>
void ReadRecords(const Database& database, Decoding& decoding, Content& content) {
    auto payload = std::make_shared<Payload>();
    ReadItems(database, decoding, *payload, Decode);
    content.Decoded = std::move(payload);
}

template <std::size_t Start> void WeighFrom(const Database& database, EncodingEvidence& evidence) {
    WeighRecords(database, evidence, [](ByteSpan) { return Start; });
}

// The classic applications' databases, and those that later applications keep in the same
// layout: the Memos of Palm OS 5 (PMem) and Memo32 (pn32) as memos, Mañana (CYCL) as to-dos.
constexpr std::string_view MemoClaims[] = {"DATAmemo", "DATAPMem", "DATApn32"};
constexpr std::string_view ToDoClaims[] = {"DATAtodo", "DATACYCL"};
constexpr std::string_view DatebookClaims[] = {"DATAdate"};
constexpr std::string_view AddressClaims[] = {"DATAaddr"};
constexpr std::string_view MailClaims[] = {"DATAmail"};

} // namespace

const FormatDescriptor MemoFormat{
    .Name = "memo",
    .Claims = MemoClaims,
    .Categories = true,
    .WeighText = WeighFrom<0>,
    .Read = ReadRecords<Memos, DecodeMemo>,
};

const FormatDescriptor ToDoFormat{
    .Name = "todo",
    .Claims = ToDoClaims,
    .Categories = true,
    .WeighText = WeighFrom<3>, // after the due date and the priority
    .Read = ReadRecords<ToDos, DecodeToDo>,
};

const FormatDescriptor DatebookFormat{
    .Name = "datebook",
    .Claims = DatebookClaims,
    .Categories = true,
    .WeighText = WeighEventTexts,
    .Read = ReadEvents<Datebook, DecodeDatebook>,
};

const FormatDescriptor AddressFormat{
    .Name = "address",
    .Claims = AddressClaims,
    .Categories = true,
    // The labels after the category block, then the fields after each record's flags.
    .WeighText =
        [](const Database& database, EncodingEvidence& evidence) {
            Weigh(Sub(database.AppInfo().Data, CategoryBlockSize + 6, AddressLabelCount * 16),
                  evidence);
            WeighRecords(database, evidence, [](ByteSpan) { return std::size_t{9}; });
        },
    .Read =
        [](const Database& database, Decoding& decoding, Content& content) {
            auto book = std::make_shared<AddressBook>();
            DecodeAddressAppInfo(database.AppInfo(), *book, decoding);
            ReadItems(database, decoding, *book, DecodeAddress);
            content.Decoded = std::move(book);
        },
};

const FormatDescriptor MailFormat{
    .Name = "mail",
    .Claims = MailClaims,
    .Categories = true,
    .WeighText = WeighFrom<6>, // after the date, the time and the flags
    .Read = ReadRecords<MailBox, DecodeMail>,
};

} // namespace vexlin::content
