// Mail as an mboxrd file (RFC 4155): each message an RFC 5322 message with Date, From, To,
// Cc, Bcc, Reply-To and Subject, a UTF-8 plain-text body, "From " lines in the body quoted
// with one more '>'. mbox lines end in LF, as the format has it. Header text that is not
// ASCII is written as RFC 2047 encoded words, addresses outside them; Debian has no
// well-kept C++ library for this, so one helper below does it. A header's value is one line
// whatever the record holds, and a private record says so (Sensitivity: Private).
#include "ContentModes.h"
#include "Escape.h"

#include <algorithm>
#include <cstdio>

namespace vexlin::dump {

namespace {

using namespace content;

bool Ascii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\n' || c == '\r')
            return false;
    }
    return true;
}

// Text a reader takes as it stands: ASCII without what would read as an encoded word ("=?"),
// which a reader would decode into other text.
bool Plain(std::string_view text) {
    return Ascii(text) && text.find("=?") == std::string_view::npos;
}

std::string Base64(std::string_view bytes) {
    static constexpr char digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        out += digits[group >> 18 & 63];
        out += digits[group >> 12 & 63];
        out += i + 1 < bytes.size() ? digits[group >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? digits[group & 63] : '=';
    }
    return out;
}

// Encoded words of at most 45 bytes of text each (75 characters encoded), split between UTF-8
// sequences, joined by folding white space; the first fits in a line of 78 after `used`
// characters (a header's name) where that leaves room for one.
std::string EncodedWords(std::string_view text, std::size_t used = 0) {
    std::string out;
    while (!text.empty()) {
        const std::size_t room = out.empty() && used + 16 < 78 ? (78 - used - 12) / 4 * 3 : 45;
        std::size_t cut = std::min<std::size_t>({room, 45, text.size()});
        while (cut < text.size() && cut > 1 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        out += (out.empty() ? "" : "\n ") + std::string("=?UTF-8?B?") +
               Base64(text.substr(0, cut)) + "?=";
        text.remove_prefix(cut);
    }
    return out;
}

// What an address may hold here: printable ASCII without spaces, at most the 254 bytes that
// mail allows a path, so that it can neither start a line nor run the "From " line long.
bool AddressText(std::string_view text) {
    return !text.empty() && text.size() <= 254 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

// The first word of text with an @ that can be an address (its start, its length in
// `length`); npos when none.
std::size_t AddressWord(std::string_view text, std::size_t& length) {
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find_first_of(" ,", start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view word = text.substr(start, end - start);
        if (word.find('@') != std::string_view::npos && AddressText(word)) {
            length = word.size();
            return start;
        }
        start = end + 1;
    }
    return std::string_view::npos;
}

// One mailbox of an address list that is not all ASCII: its display name as encoded words,
// its address outside them in angle brackets ("René alice@x" as "=?UTF-8?B?...?= <alice@x>"),
// for a reader finds no address inside an encoded word. Without an address, all encoded.
std::string Mailbox(std::string_view part) {
    const std::size_t begin = part.find_first_not_of(' ');
    if (begin == std::string_view::npos || Plain(part))
        return std::string(part);
    std::string out(part.substr(0, begin));
    std::string_view text = part.substr(begin);
    while (text.back() == ' ')
        text.remove_suffix(1);
    std::string display;
    std::string_view address;
    std::size_t length = 0;
    if (const std::size_t open = text.rfind('<');
        open != std::string_view::npos && text.back() == '>' &&
        AddressText(text.substr(open + 1, text.size() - open - 2))) {
        address = text.substr(open + 1, text.size() - open - 2);
        display = text.substr(0, open);
    } else if (const std::size_t at = AddressWord(text, length); at != std::string_view::npos) {
        address = text.substr(at, length);
        display = std::string(text.substr(0, at)) + std::string(text.substr(at + length));
    } else {
        return out + EncodedWords(text);
    }
    while (!display.empty() && display.back() == ' ')
        display.pop_back();
    display.erase(0, display.find_first_not_of(' '));
    return out + EncodedWords(display) + (display.empty() ? "<" : " <") + std::string(address) +
           ">";
}

// An address list that is not all ASCII, mailbox by mailbox: split at the commas outside
// quotes and angle brackets, each comma and the spaces after it kept.
std::string AddressList(std::string_view value) {
    std::string out;
    bool quoted = false;
    int angle = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= value.size(); ++i) {
        const char c = i < value.size() ? value[i] : ',';
        if (c == '"' && (i == 0 || value[i - 1] != '\\'))
            quoted = !quoted;
        else if (!quoted && c == '<')
            ++angle;
        else if (!quoted && c == '>' && angle > 0)
            --angle;
        else if (!quoted && angle == 0 && c == ',') {
            out += Mailbox(value.substr(start, i - start));
            if (i < value.size())
                out += ',';
            start = i + 1;
        }
    }
    if (start < value.size()) // an open quote or bracket to the end
        out += Mailbox(value.substr(start));
    return out;
}

// Whether text holds a word that no folding could fit on a line of 998 characters.
bool LongWord(std::string_view text) {
    std::size_t run = 0;
    for (const char c : text) {
        run = c == ' ' ? 0 : run + 1;
        if (run > 900)
            return true;
    }
    return false;
}

// A header line folded before spaces (RFC 5322: a reader takes the line end out and keeps the
// space), so that each line keeps to 78 characters where its words allow it.
std::string Folded(const std::string& line) {
    constexpr std::size_t Width = 78;
    std::string out;
    std::size_t lineStart = 0; // in out
    const std::size_t value = line.find(' ') + 1; // the value starts after "Name: "
    std::size_t word = value;
    out.append(line, 0, word);
    while (word < line.size()) {
        const std::size_t space = line.find(' ', word + 1);
        const std::size_t end = space == std::string::npos ? line.size() : space;
        // The next piece starts with its space (or is the value's first word).
        if (word != value && out.size() - lineStart + (end - word) > Width && out.back() != '\n') {
            out += '\n';
            lineStart = out.size();
        }
        out.append(line, word, end - word);
        if (const std::size_t folded = out.rfind('\n'); folded != std::string::npos)
            lineStart = std::max(lineStart, folded + 1); // encoded words come folded
        word = end;
    }
    return out;
}

// A header line, its value on one line: a line end in the record's text as a space (a header
// holds none; a reader would refuse the message or read a forged header after it), other
// control characters as U+FFFD (ExportText). ASCII is kept; other text becomes encoded words,
// addresses outside them.
std::string Header(std::string_view name, std::string_view raw, bool address = false) {
    std::string value = ExportText(raw);
    std::replace(value.begin(), value.end(), '\n', ' ');
    std::string line(name);
    line += ": ";
    if (Plain(value) && (address || !LongWord(value)))
        line += value;
    else if (address)
        line += AddressList(value);
    else
        line += EncodedWords(value, line.size());
    return Folded(line) + "\n";
}

// The address for the "From " line: within angle brackets, else a word with an @; one that
// could break or stretch the line is none.
std::string Sender(const std::string& from) {
    const std::size_t open = from.find('<');
    const std::size_t close = from.find('>', open);
    if (open != std::string::npos && close != std::string::npos && close > open + 1 &&
        AddressText(std::string_view(from).substr(open + 1, close - open - 1)))
        return from.substr(open + 1, close - open - 1);
    std::size_t length = 0;
    if (const std::size_t at = AddressWord(from, length); at != std::string::npos)
        return from.substr(at, length);
    return "MAILER-DAEMON";
}

int WeekDay(const Date& d) {
    // Sakamoto's method: 0 = Sunday.
    static constexpr int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int year = d.Month < 3 ? d.Year - 1 : d.Year;
    return (year + year / 4 - year / 100 + year / 400 + offsets[d.Month - 1] + d.Day) % 7;
}

const char* const Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string Message(const MailItem& item) {
    const Time at = item.At.value_or(Time{});
    char line[96];
    if (item.Day) {
        std::snprintf(line, sizeof line, " %s %s %2d %02d:%02d:00 %04d\n", Days[WeekDay(*item.Day)],
                      Months[item.Day->Month - 1], item.Day->Day, at.Hour, at.Minute,
                      item.Day->Year);
    } else {
        std::snprintf(line, sizeof line, " Thu Jan  1 00:00:00 1970\n");
    }
    std::string m = "From " + Sender(item.From) + line;
    if (item.Day) {
        // The device kept local time without a zone: -0000 says the zone is unknown.
        std::snprintf(line, sizeof line, "Date: %s, %02d %s %04d %02d:%02d:00 -0000\n",
                      Days[WeekDay(*item.Day)], item.Day->Day, Months[item.Day->Month - 1],
                      item.Day->Year, at.Hour, at.Minute);
        m += line;
    }
    const std::pair<const char*, const std::string*> addresses[] = {
        {"From", &item.From}, {"To", &item.To},           {"Cc", &item.Cc},
        {"Bcc", &item.Bcc},   {"Reply-To", &item.ReplyTo}, {"X-Palm-Sent-To", &item.SentTo}};
    for (const auto& [name, value] : addresses) {
        if (!value->empty())
            m += Header(name, *value, true);
    }
    m += Header("Subject", item.Subject);
    m += item.Read ? "Status: RO\n" : "Status: O\n";
    static const char* const priorities[] = {"1 (Highest)", "3 (Normal)", "5 (Lowest)", "3 (Normal)"};
    m += "X-Priority: " + std::string(priorities[item.Priority & 3]) + "\n";
    const std::string notify = item.ReplyTo.empty() ? item.From : item.ReplyTo;
    if (item.ConfirmRead && !notify.empty())
        m += Header("Disposition-Notification-To", notify, true);
    if (item.ConfirmDelivery && !notify.empty())
        m += Header("Return-Receipt-To", notify, true);
    if (item.Signature)
        m += "X-Palm-Signature: yes\n";
    // A private record (the secret attribute), as RFC 2156's header says it.
    if (item.Private)
        m += "Sensitivity: Private\n";
    m += "MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
         "Content-Transfer-Encoding: 8bit\n\n";
    // The body, its line ends made LF and its other control characters U+FFFD (ExportText),
    // each line that would read as a "From " line (after any '>') quoted once more.
    std::size_t start = 0;
    const std::string body = ExportText(item.Body);
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string_view text(body.data() + start, end - start);
        const std::size_t quotes = text.find_first_not_of('>');
        if (quotes != std::string_view::npos && text.substr(quotes).starts_with("From "))
            m += '>';
        m += text;
        m += '\n';
        start = end + 1;
    }
    m += '\n';
    return m;
}

} // namespace

void ExportPayload(ExportTarget& target, const Content&, const MailBox& p) {
    std::string box;
    for (const MailItem& item : p.Items) {
        if (!item.Deleted)
            box += Message(item);
    }
    target.Write(target.BaseName() + ".mbox", box);
}

} // namespace vexlin::dump
