#include "content/pim/Contacts.h"

#include "content/core/BigEndian.h"
#include "content/core/Categories.h"
#include "content/core/Content.h"
#include "content/core/Reader.h"
#include "content/pim/Fields.h"

namespace vexlin::content {

namespace {

constexpr std::string_view FieldNames[ContactFieldCount] = {
    "LastName", "FirstName", "Company",  "Title",    "Phone1",   "Phone2",   "Phone3",
    "Phone4",   "Phone5",    "Phone6",   "Phone7",   "IM1",      "IM2",      "Website",
    "Custom1",  "Custom2",   "Custom3",  "Custom4",  "Custom5",  "Custom6",  "Custom7",
    "Custom8",  "Custom9",   "Address1", "City1",    "State1",   "ZipCode1", "Country1",
    "Address2", "City2",     "State2",   "ZipCode2", "Country2", "Address3", "City3",
    "State3",   "ZipCode3",  "Country3", "Note"};

// The second bitmap's bits past its eleven fields.
constexpr std::uint32_t BirthdayBits = 0x1800;
constexpr std::uint32_t ReminderBit = 0x2000;
constexpr std::size_t MostBlobs = 10;

// The app info: the category block and its pad, 26 bytes of the application's own, the
// labels of 16 bytes, then the country and the sort order, each with a pad byte.
constexpr std::size_t LabelsAt = CategoryBlockSize + 2 + 26;

std::string Label(const Contacts& contacts, std::size_t index, std::string_view fallback) {
    return index < contacts.Labels.size() && !contacts.Labels[index].empty()
               ? contacts.Labels[index]
               : std::string(fallback);
}

void DecodeContactsAppInfo(const Bytes& appInfo, Contacts& contacts, Decoding& d) {
    const ByteSpan bytes = appInfo.Data;
    if (bytes.size() < LabelsAt + 4)
        return;
    const std::size_t count = (bytes.size() - LabelsAt - 4) / 16;
    Reader in(appInfo, "app info", d);
    in.Skip(LabelsAt, "app info");
    for (std::size_t i = 0; i < count; ++i)
        contacts.Labels.push_back(in.FixedText(16, "field labels").value_or(""));
    const std::size_t tail = LabelsAt + 16 * count;
    contacts.Country = bytes[tail];
    contacts.SortByCompany = bytes[tail + 2] != 0;
}

} // namespace

std::string_view ContactFieldName(std::size_t field) noexcept {
    return field < ContactFieldCount ? FieldNames[field] : "";
}

std::string PhoneLabel(const Contacts& contacts, int label) {
    static constexpr std::string_view names[] = {"Work", "Home",  "Fax",   "Other",
                                                 "E-mail", "Main", "Pager", "Mobile"};
    if (label < 0 || label > 7)
        return "phone " + std::to_string(label);
    return Label(contacts, label < 7 ? 4 + static_cast<std::size_t>(label) : 40, names[label]);
}

std::string AddressLabel(const Contacts& contacts, int label) {
    static constexpr std::string_view names[] = {"Addr(W)", "Addr(H)", "Addr(O)"};
    if (label < 0 || label > 2)
        return "address " + std::to_string(label);
    return Label(contacts, 23 + 5 * static_cast<std::size_t>(label), names[label]);
}

std::string ImLabel(const Contacts& contacts, int label) {
    static constexpr std::string_view names[] = {"IM", "AIM", "MSN", "Yahoo", "AOL ICQ"};
    if (label < 0 || label > 4)
        return "IM " + std::to_string(label);
    return Label(contacts, 41 + static_cast<std::size_t>(label), names[label]);
}

ContactItem DecodeContact(const Bytes& record, const std::string& where, Decoding& d) {
    Reader in(record, where, d);
    ContactItem item;
    if (record.Data.empty())
        return item;
    const auto phones = in.U32("phone labels");
    const auto others = in.U32("address and messaging labels");
    const auto present1 = in.U32("field map");
    const auto present2 = in.U32("field map");
    in.Skip(1, "company offset");
    if (!phones || !others || !present1 || !present2)
        return Finished(std::move(item), in);
    item.DisplayPhone = static_cast<int>(*phones >> 28);
    for (std::size_t i = 0; i < ContactPhoneCount; ++i)
        item.PhoneLabels[i] = static_cast<int>(*phones >> (4 * i) & 0xF);
    for (std::size_t i = 0; i < ContactAddressCount; ++i)
        item.AddressLabels[i] = static_cast<int>(*others >> (16 + 4 * i) & 0xF);
    for (std::size_t i = 0; i < ContactImCount; ++i)
        item.ImLabels[i] = static_cast<int>(*others >> (4 * i) & 0xF);
    for (std::size_t field = 0; field < ContactFieldCount; ++field) {
        const bool present =
            field < 28 ? (*present1 >> field & 1) != 0 : (*present2 >> (field - 28) & 1) != 0;
        if (present)
            item.Fields[field] = TextField(in, FieldNames[field]);
    }
    if (*present2 & BirthdayBits) {
        if (const auto day = in.U16("birthday"))
            item.Birthday = ReadDate(in, *day, "birthday");
        in.Skip(2, "birthday");
        if (*present2 & ReminderBit) {
            if (const auto days = in.U8("birthday reminder"))
                item.ReminderDays = *days;
        }
    }
    ReadTaggedBlocks(in, record, MostBlobs,
                     [&](const std::string& type, ByteSpan data, std::size_t) {
                         // The photo: two bytes the application keeps, then the JPEG.
                         if (type == "Bd00" && data.size() > 2)
                             item.Photo.assign(data.begin() + 2, data.end());
                         else
                             item.OtherBlobs.push_back({type, data.size()});
                     });
    return Finished(std::move(item), in);
}

std::uint64_t Charge(const ContactItem& item) noexcept {
    std::uint64_t charge = TextCharge({}) + OutputBound::PerTextByte * item.Photo.size();
    for (const auto& field : item.Fields)
        charge += field ? OutputBound::PerTextByte * field->size() : 0;
    return charge;
}

namespace {

constexpr std::string_view ContactsClaims[] = {"DATAPAdd"};

} // namespace

const FormatDescriptor ContactsFormat{
    .Name = "contacts",
    .Claims = ContactsClaims,
    .Categories = true,
    // The labels after the category block, then the fields after each record's bitmaps.
    .WeighText =
        [](const Database& database, EncodingEvidence& evidence) {
            Weigh(Sub(database.AppInfo().Data, LabelsAt, 53 * 16), evidence);
            WeighRecords(database, evidence, [](ByteSpan) { return std::size_t{17}; });
        },
    .Read =
        [](const Database& database, Decoding& decoding, Content& content) {
            auto contacts = std::make_shared<Contacts>();
            DecodeContactsAppInfo(database.AppInfo(), *contacts, decoding);
            ReadItems(database, decoding, *contacts, DecodeContact);
            content.Decoded = std::move(contacts);
        },
};

} // namespace vexlin::content
