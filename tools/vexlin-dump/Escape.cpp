#include "Escape.h"

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

void AppendEscape(std::string& out, std::string_view text, std::size_t i, std::size_t length) {
    char escaped[8];
    if (length == 2) {
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(text[i + 1]));
    } else {
        switch (text[i]) {
        case '\t': out += "\\t"; return;
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        default: std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[i]));
        }
    }
    out += escaped;
}

std::string Escape(std::string_view text, bool backslashes) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = ControlAt(text, i)) {
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
        const std::size_t length = ControlAt(json, i);
        if (length == 0 || (length == 1 && json[i] != 0x7F)) {
            out += json[i++];
            continue;
        }
        char escaped[8];
        const auto code = static_cast<unsigned char>(length == 2 ? json[i + 1] : json[i]);
        std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
        out += escaped;
        i += length;
    }
    json = std::move(out);
}

bool HasControl(std::string_view text, std::string_view allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (const std::size_t length = ControlAt(text, i);
            length != 0 && (length == 2 || allowed.find(text[i]) == std::string_view::npos)) {
            return true;
        }
    }
    return false;
}

} // namespace vexlin::dump
