// The address book as vCard 3.0 (RFC 2426): one card a record, UTF-8, lines ended by CRLF
// and folded at 75 octets, text escaped as the RFC says. Debian has no well-kept C++ vCard
// library, so the one helper below does the escaping and folding.
#include "ContentModes.h"
#include "Escape.h"

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
    if (const std::string category = ExportCategory(c, item.Category); !category.empty())
        AddLine(card, "CATEGORIES:" + Value(category));
    if (item.Private)
        AddLine(card, "CLASS:PRIVATE");
    AddLine(card, "END:VCARD");
    return card;
}

} // namespace

void ExportPayload(ExportTarget& target, const Content& c, const AddressBook& p) {
    std::string cards;
    for (const AddressItem& item : p.Items) {
        if (!item.Deleted)
            cards += Card(c, target.UidBase(), item);
    }
    target.Write(target.BaseName() + ".vcf", cards);
}

} // namespace vexlin::dump
