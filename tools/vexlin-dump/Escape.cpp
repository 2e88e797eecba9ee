#include "Escape.h"
#include "Hex.h"

#include <cstdio>
#include <utility>

namespace vexlin::dump {

namespace {

// The length of the control character at text[i] (1 for C0 and DEL, 2 for a C1 control in
// UTF-8), or 0.
std::size_t ControlAt(std::string_view text, std::size_t i) noexcept {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
        return 1;
    }
    if (byte == 0xC2 && i + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[i + 1]);
        if (next >= 0x80 && next <= 0x9F) {
            return 2;
        }
    }
    return 0;
}

} // namespace

std::size_t InvisibleAt(std::string_view text, std::size_t i) noexcept {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    if (i + 1 < text.size() && at(0) == 0xD8 && at(1) == 0x9C)
        return 2;
    if (i + 2 >= text.size() || (at(0) & 0xF0) != 0xE0 || (at(1) & 0xC0) != 0x80 ||
        (at(2) & 0xC0) != 0x80)
        return 0;
    const unsigned code = (at(0) & 0x0F) << 12 | (at(1) & 0x3F) << 6 | (at(2) & 0x3F);
    const bool invisible = code == 0x180E || (code >= 0x200B && code <= 0x200F) ||
                           (code >= 0x2028 && code <= 0x202E) ||
                           (code >= 0x2060 && code <= 0x2064) ||
                           (code >= 0x2066 && code <= 0x2069) || code == 0xFEFF;
    return invisible ? 3 : 0;
}

unsigned CodePoint(std::string_view text, std::size_t i, std::size_t length) noexcept {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    return length == 2 ? (at(0) & 0x1F) << 6 | (at(1) & 0x3F)
                       : (at(0) & 0x0F) << 12 | (at(1) & 0x3F) << 6 | (at(2) & 0x3F);
}

namespace {

void AppendEscape(std::string& out, std::string_view text, std::size_t i, std::size_t length) {
    if (length > 1)
        return AppendCodeEscape(out, CodePoint(text, i, length));
    switch (text[i]) {
    case '\t': out += "\\t"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    default: AppendByteEscape(out, static_cast<unsigned char>(text[i]));
    }
}

std::string Escape(std::string_view text, bool backslashes) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length =
                ControlAt(text, i) ? ControlAt(text, i) : InvisibleAt(text, i)) {
            AppendEscape(out, text, i, length);
            i += length;
            continue;
        }
        if (backslashes && text[i] == '\\') {
            out += '\\';
        }
        out += text[i++];
    }
    return out;
}

} // namespace

std::string Escaped(std::string_view text) {
    return Escape(text, true);
}

std::string ControlsEscaped(std::string_view text) {
    return Escape(text, false);
}

void EscapeJsonControls(std::string& json) {
    if (!HasControl(json)) {
        return;
    }
    std::string out;
    out.reserve(json.size() + 16);
    for (std::size_t i = 0; i < json.size();) {
        const std::size_t length = ControlAt(json, i) ? ControlAt(json, i) : InvisibleAt(json, i);
        if (length == 0 || (length == 1 && json[i] != 0x7F)) {
            out += json[i++];
            continue;
        }
        AppendCodeEscape(out, length == 1 ? static_cast<unsigned char>(json[i])
                                          : CodePoint(json, i, length));
        i += length;
    }
    json = std::move(out);
}

bool HasControl(std::string_view text, std::string_view allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (InvisibleAt(text, i) != 0) {
            return true;
        }
        if (const std::size_t length = ControlAt(text, i);
            length != 0 && (length == 2 || allowed.find(text[i]) == std::string_view::npos)) {
            return true;
        }
    }
    return false;
}

std::string ExportText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = ControlAt(text, i);
        if (length == 0 || text[i] == '\t' || text[i] == '\n') {
            out += text[i++];
        } else if (text[i] == '\r') {
            out += '\n';
            i += i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
        } else {
            out += "\xEF\xBF\xBD"; // U+FFFD
            i += length;
        }
    }
    return out;
}

std::string UidText(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = name[i] == '%' ? 1 : ControlAt(name, i);
        if (length == 0) {
            out += name[i++];
            continue;
        }
        for (const std::size_t end = i + length; i < end; ++i) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(name[i]));
            out += escaped;
        }
    }
    return out;
}

} // namespace vexlin::dump
