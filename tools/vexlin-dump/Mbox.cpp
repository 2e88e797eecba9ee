// Mail as an mboxrd file (RFC 4155): each message an RFC 5322 message with Date, From, To,
// Cc, Bcc, Reply-To and Subject, a UTF-8 plain-text body, "From " lines in the body quoted
// with one more '>'. mbox lines end in LF, as the format has it. Header text that is not
// ASCII is written as RFC 2047 encoded words; Debian has no well-kept C++ library for this,
// so one helper below does it.
#include "ContentModes.h"

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
// sequences, joined by folding white space.
std::string EncodedWords(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        std::size_t cut = std::min<std::size_t>(45, text.size());
        while (cut < text.size() && cut > 1 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        out += (out.empty() ? "" : "\n ") + std::string("=?UTF-8?B?") +
               Base64(text.substr(0, cut)) + "?=";
        text.remove_prefix(cut);
    }
    return out;
}

// A header line. ASCII text is kept (line ends inside it folded away); other text becomes
// encoded words, an address in angle brackets kept outside them.
std::string Header(std::string_view name, std::string_view value, bool address = false) {
    std::string line(name);
    line += ": ";
    if (Ascii(value)) {
        line += value;
    } else if (const std::size_t open = value.rfind('<');
               address && open != std::string_view::npos && Ascii(value.substr(open))) {
        std::string_view display = value.substr(0, open);
        while (!display.empty() && display.back() == ' ')
            display.remove_suffix(1);
        line += EncodedWords(display) + " " + std::string(value.substr(open));
    } else {
        line += EncodedWords(value);
    }
    return line + "\n";
}

// The address for the "From " line: within angle brackets, else a word with an @.
std::string Sender(const std::string& from) {
    const std::size_t open = from.find('<');
    const std::size_t close = from.find('>', open);
    if (open != std::string::npos && close != std::string::npos && close > open + 1)
        return from.substr(open + 1, close - open - 1);
    std::size_t start = 0;
    while (start < from.size()) {
        std::size_t end = from.find_first_of(" ,", start);
        if (end == std::string::npos)
            end = from.size();
        const std::string word = from.substr(start, end - start);
        if (word.find('@') != std::string::npos && Ascii(word))
            return word;
        start = end + 1;
    }
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
        std::snprintf(line, sizeof line, "From %s %s %s %2d %02d:%02d:00 %04d\n",
                      Sender(item.From).c_str(), Days[WeekDay(*item.Day)],
                      Months[item.Day->Month - 1], item.Day->Day, at.Hour, at.Minute,
                      item.Day->Year);
    } else {
        std::snprintf(line, sizeof line, "From %s Thu Jan  1 00:00:00 1970\n",
                      Sender(item.From).c_str());
    }
    std::string m = line;
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
    m += "MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
         "Content-Transfer-Encoding: 8bit\n\n";
    // The body, its line ends made LF, each line that would read as a "From " line (after
    // any '>') quoted once more.
    std::size_t start = 0;
    const std::string& body = item.Body;
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string::npos)
            end = body.size();
        std::string_view text(body.data() + start, end - start);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
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
