// The address book and Palm OS 5's contacts as vCard 3.0 (RFC 2426): one card a record, UTF-8, lines ended by CRLF
// and folded at 75 octets, text escaped as the RFC says. Debian has no well-kept C++ vCard
// library, so the one helper below does the escaping and folding.
#include "ContentModes.h"
#include "Escape.h"

#include <algorithm>

namespace vexlin::dump {

namespace {

using namespace content;

// A text value: backslash, comma, semicolon and line ends escaped, a tab kept (both RFCs
// allow it), other control characters, which have no place in a vCard, as U+FFFD.
std::string Value(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : ExportText(text)) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case ',': out += "\\,"; break;
        case ';': out += "\\;"; break;
        case '\n': out += "\\n"; break;
        default:
            out += c;
        }
    }
    return out;
}

// Appends one content line, folded so that no line passes 75 octets and no UTF-8 sequence is
// split; each continuation starts with a space.
void AddLine(std::string& card, std::string_view line) {
    std::size_t width = 75;
    while (line.size() > width) {
        std::size_t cut = width;
        while (cut > 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        card.append(line.substr(0, cut));
        card += "\r\n ";
        line.remove_prefix(cut);
        width = 74; // the leading space counts
    }
    card.append(line);
    card += "\r\n";
}

// The lines every card ends with: CATEGORIES, CLASS for a private record, END.
void EndCard(std::string& card, const Content& c, const Item& item) {
    if (const std::string category = ExportCategory(c, item.Category); !category.empty())
        AddLine(card, "CATEGORIES:" + Value(category));
    if (item.Private)
        AddLine(card, "CLASS:PRIVATE");
    AddLine(card, "END:VCARD");
}

// The TYPE of a phone by its label (0 Work ... 7 Mobile); E-mail is written as EMAIL.
std::string_view PhoneType(int label) {
    static constexpr std::string_view types[] = {"WORK,VOICE", "HOME,VOICE", "FAX",   "VOICE",
                                                 "INTERNET",   "X-MAIN",     "PAGER", "CELL"};
    return label >= 0 && label < 8 ? types[label] : "VOICE";
}

// Japanese devices keep a name's reading after it, behind a 0x01: "田中\x01たなか".
std::pair<std::string, std::string> NameAndReading(const std::optional<std::string>& value) {
    if (!value)
        return {};
    const std::size_t mark = value->find('\x01');
    if (mark == std::string::npos)
        return {*value, {}};
    return {value->substr(0, mark), value->substr(mark + 1)};
}

std::string Field(const AddressItem& item, std::size_t field) {
    if (field == LastName || field == FirstName)
        return Value(NameAndReading(item.Fields[field]).first);
    return item.Fields[field] ? Value(*item.Fields[field]) : std::string();
}

std::string Card(const Content& c, const std::string& base, const AddressItem& item) {
    std::string card;
    AddLine(card, "BEGIN:VCARD");
    AddLine(card, "VERSION:3.0");
    AddLine(card, "UID:" + Value(UidText(base)) + "-" + std::to_string(item.Record) + "@palm");
    AddLine(card, "N:" + Field(item, LastName) + ";" + Field(item, FirstName) + ";;;");
    const auto [last, lastReading] = NameAndReading(item.Fields[LastName]);
    const auto [first, firstReading] = NameAndReading(item.Fields[FirstName]);
    std::string formatted = first;
    if (!last.empty())
        formatted += (formatted.empty() ? "" : " ") + last;
    if (formatted.empty())
        formatted = item.Fields[Company].value_or("");
    AddLine(card, "FN:" + Value(formatted));
    if (!lastReading.empty())
        AddLine(card, "X-PHONETIC-LAST-NAME:" + Value(lastReading));
    if (!firstReading.empty())
        AddLine(card, "X-PHONETIC-FIRST-NAME:" + Value(firstReading));
    if (item.Fields[Company])
        AddLine(card, "ORG:" + Field(item, Company));
    if (item.Fields[Title])
        AddLine(card, "TITLE:" + Field(item, Title));
    for (std::size_t phone = 0; phone < PhoneCount; ++phone) {
        if (!item.Fields[Phone1 + phone])
            continue;
        const int label = item.PhoneLabels[phone];
        const std::string type = std::string(PhoneType(label)) +
                                 (static_cast<int>(phone) == item.DisplayPhone ? ",PREF" : "");
        AddLine(card, std::string(label == 4 ? "EMAIL" : "TEL") + ";TYPE=" + type + ":" +
                          Field(item, Phone1 + phone));
    }
    const bool address = item.Fields[Address] || item.Fields[City] || item.Fields[State] ||
                         item.Fields[ZipCode] || item.Fields[Country];
    if (address)
        AddLine(card, "ADR:;;" + Field(item, Address) + ";" + Field(item, City) + ";" +
                          Field(item, State) + ";" + Field(item, ZipCode) + ";" +
                          Field(item, Country));
    for (std::size_t custom = Custom1; custom <= Custom4; ++custom) {
        if (item.Fields[custom])
            AddLine(card, "X-PALM-CUSTOM" + std::to_string(custom - Custom1 + 1) + ":" +
                              Field(item, custom));
    }
    if (item.Fields[Note])
        AddLine(card, "NOTE:" + Field(item, Note));
    EndCard(card, c, item);
    return card;
}

// Base64 (RFC 4648) for a photo: a handful of lines, not worth a library.
std::string Base64(const std::vector<std::uint8_t>& bytes) {
    static constexpr char digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t n = std::uint32_t{bytes[i]} << 16 |
                                (i + 1 < bytes.size() ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += digits[n >> 18 & 63];
        out += digits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? digits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

// A Palm OS 5 contact: the classic card's lines, seven phones, the messaging names as IMPP
// (RFC 4770) and the X- property of their service, the web site, three addresses with TYPE,
// the birthday, the photo, nine custom fields.
std::string ContactCard(const Content& c, const std::string& base, const ContactItem& item) {
    const auto field = [&](std::size_t f) {
        return item.Fields[f] ? Value(*item.Fields[f]) : std::string();
    };
    std::string card;
    AddLine(card, "BEGIN:VCARD");
    AddLine(card, "VERSION:3.0");
    AddLine(card, "UID:" + Value(UidText(base)) + "-" + std::to_string(item.Record) + "@palm");
    AddLine(card, "N:" + field(contact::LastName) + ";" + field(contact::FirstName) + ";;;");
    std::string formatted = item.Fields[contact::FirstName].value_or("");
    if (item.Fields[contact::LastName])
        formatted += (formatted.empty() ? "" : " ") + *item.Fields[contact::LastName];
    if (formatted.empty())
        formatted = item.Fields[contact::Company].value_or("");
    AddLine(card, "FN:" + Value(formatted));
    if (item.Fields[contact::Company])
        AddLine(card, "ORG:" + field(contact::Company));
    if (item.Fields[contact::Title])
        AddLine(card, "TITLE:" + field(contact::Title));
    for (std::size_t phone = 0; phone < ContactPhoneCount; ++phone) {
        if (!item.Fields[contact::Phone1 + phone])
            continue;
        const int label = item.PhoneLabels[phone];
        const std::string type = std::string(PhoneType(label)) +
                                 (static_cast<int>(phone) == item.DisplayPhone ? ",PREF" : "");
        AddLine(card, std::string(label == 4 ? "EMAIL" : "TEL") + ";TYPE=" + type + ":" +
                          field(contact::Phone1 + phone));
    }
    static constexpr std::string_view schemes[] = {"x-im", "aim", "msnim", "ymsgr", "icq"};
    static constexpr std::string_view services[] = {"X-IM", "X-AIM", "X-MSN", "X-YAHOO", "X-ICQ"};
    for (std::size_t im = 0; im < ContactImCount; ++im) {
        if (!item.Fields[contact::Im1 + im])
            continue;
        const auto service = static_cast<std::size_t>(std::clamp(item.ImLabels[im], 0, 4));
        AddLine(card, "IMPP:" + std::string(schemes[service]) + ":" + field(contact::Im1 + im));
        AddLine(card, std::string(services[service]) + ":" + field(contact::Im1 + im));
    }
    if (item.Fields[contact::Website])
        AddLine(card, "URL:" + field(contact::Website));
    static constexpr std::string_view places[] = {"WORK", "HOME", "X-OTHER"};
    for (std::size_t a = 0; a < ContactAddressCount; ++a) {
        bool any = false;
        for (std::size_t part = 0; part < 5; ++part)
            any = any || item.Fields[contact::AddressField(a, part)].has_value();
        if (!any)
            continue;
        const auto place = static_cast<std::size_t>(std::clamp(item.AddressLabels[a], 0, 2));
        AddLine(card, "ADR;TYPE=" + std::string(places[place]) + ":;;" +
                          field(contact::AddressField(a, 0)) + ";" + field(contact::AddressField(a, 1)) + ";" +
                          field(contact::AddressField(a, 2)) + ";" + field(contact::AddressField(a, 3)) + ";" +
                          field(contact::AddressField(a, 4)));
    }
    if (item.Birthday)
        AddLine(card, "BDAY:" + item.Birthday->Iso());
    if (!item.Photo.empty())
        AddLine(card, "PHOTO;ENCODING=b;TYPE=JPEG:" + Base64(item.Photo));
    for (std::size_t custom = 0; custom < 9; ++custom) {
        if (item.Fields[contact::Custom1 + custom])
            AddLine(card, "X-PALM-CUSTOM" + std::to_string(custom + 1) + ":" +
                              field(contact::Custom1 + custom));
    }
    if (item.Fields[contact::Note])
        AddLine(card, "NOTE:" + field(contact::Note));
    EndCard(card, c, item);
    return card;
}

} // namespace

namespace {

// B.vcf: a card for each item not deleted.
template <typename Items, typename MakeCard>
void WriteCards(ExportTarget& target, const Content& c, const Items& items, MakeCard card) {
    std::string cards;
    for (const auto& item : items) {
        if (!item.Deleted)
            cards += card(c, target.UidBase(), item);
    }
    target.Write(target.BaseName() + ".vcf", cards);
}

} // namespace

void ExportPayload(ExportTarget& target, const Content& c, const Contacts& p) {
    WriteCards(target, c, p.Items, ContactCard);
}

void ExportPayload(ExportTarget& target, const Content& c, const AddressBook& p) {
    WriteCards(target, c, p.Items, Card);
}

} // namespace vexlin::dump
