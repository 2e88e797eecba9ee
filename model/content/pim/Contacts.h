// The Contacts of Palm OS 5 (ContactsDB-PAdd, DATA/PAdd): 39 text fields (names, company,
// title, seven phones, two instant-messaging names, a web site, nine custom fields, three
// addresses, a note) as presence bitmaps announce them, each phone, address and messaging name
// with its label, a birthday and its reminder, and tagged blocks after them (Bd00: a photo).
#pragma once

#include "content/core/Format.h"
#include "content/pim/Pim.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlin::content {

inline constexpr std::size_t ContactFieldCount = 39;
inline constexpr std::size_t ContactPhoneCount = 7;
inline constexpr std::size_t ContactAddressCount = 3;
inline constexpr std::size_t ContactImCount = 2;

// The fields in the record's order; an address is five fields (street, city, state, postal
// code, country) from AddressField(n).
namespace contact {
enum Field : std::size_t {
    LastName, FirstName, Company, Title, Phone1, Im1 = Phone1 + ContactPhoneCount,
    Website = Im1 + ContactImCount, Custom1, Address1 = Custom1 + 9, Note = Address1 + 15
};
static_assert(Note == ContactFieldCount - 1);
[[nodiscard]] constexpr std::size_t AddressField(std::size_t address, std::size_t part) noexcept {
    return Address1 + 5 * address + part;
}
} // namespace contact

// "LastName", "FirstName", "Company", "Title", "Phone1" ... "Phone7", "IM1", "IM2",
// "Website", "Custom1" ... "Custom9", "Address1", "City1", "State1", "ZipCode1",
// "Country1", ... "Country3", "Note": the JSON keys.
[[nodiscard]] std::string_view ContactFieldName(std::size_t field) noexcept;

struct ContactItem : Item {
    std::array<std::optional<std::string>, ContactFieldCount> Fields;
    // Labels as the record gives them: a phone's 0 Work, 1 Home, 2 Fax, 3 Other, 4 E-mail,
    // 5 Main, 6 Pager, 7 Mobile; an address's 0 Work, 1 Home, 2 Other; a messaging name's
    // 0 IM, 1 AIM, 2 MSN, 3 Yahoo, 4 AOL ICQ.
    std::array<int, ContactPhoneCount> PhoneLabels{};
    std::array<int, ContactAddressCount> AddressLabels{};
    std::array<int, ContactImCount> ImLabels{};
    int DisplayPhone = 0; // which phone the list shows (0 = Phone1)
    std::optional<Date> Birthday;
    std::optional<int> ReminderDays; // the birthday's reminder, so many days before
    std::vector<std::uint8_t> Photo; // a JPEG, as the record holds it
    std::vector<TaggedBlock> OtherBlobs;
};

struct Contacts : Payload {
    std::vector<ContactItem> Items;
    // The app info's labels (49, or 53 in the later layout): the fields' names, then the
    // phone, messaging and other labels the records' label numbers name.
    std::vector<std::string> Labels;
    int Country = 0;
    bool SortByCompany = false;
};

// The label a record's label number names, from the app info (or the device's default).
[[nodiscard]] std::string PhoneLabel(const Contacts& contacts, int label);
[[nodiscard]] std::string AddressLabel(const Contacts& contacts, int label);
[[nodiscard]] std::string ImLabel(const Contacts& contacts, int label);

// Eight bytes of label numbers, two presence bitmaps (with the birthday and reminder bits), the
// company's offset, the present fields NUL-terminated, the birthday, then tagged blocks.
[[nodiscard]] ContactItem DecodeContact(const Bytes& record, const std::string& where,
                                        Decoding& d);
[[nodiscard]] std::uint64_t Charge(const ContactItem& item) noexcept;

// The format's descriptor: "contacts".
extern const FormatDescriptor ContactsFormat;

} // namespace vexlin::content
