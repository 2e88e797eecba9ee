// The one JSON writer of the streamed arrays (JsonText.h).
#include "JsonText.h"

#include "Escape.h"
#include "Hex.h"
#include "content/text/TextDecoder.h"

#include <array>

namespace vexlin::dump {

std::string DumpJson(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

namespace {

// A string as JSON writes it, every control character (C0, DEL and C1) as \u00XX and every
// invisible one (InvisibleAt) as \uXXXX. Valid UTF-8 (the decoders' text, by construction) is
// copied in runs rather than decoded character by character as the library's serialiser
// does: a third of the time of --json --content on 65,535 memos. Text that may be anything else
// is made valid first (ValidJsonText).
// The bytes that may need escaping (0xC2 leads the C1 controls); the rest are skipped by a
// table look-up each.
constexpr std::array<bool, 256> MayEscape = [] {
    std::array<bool, 256> may{};
    for (unsigned c = 0; c < 0x20; ++c)
        may[c] = true;
    may['"'] = may['\\'] = may[0x7F] = may[0xC2] = true;
    may[0xD8] = may[0xE1] = may[0xE2] = may[0xEF] = true; // the invisible characters' leads
    return may;
}();

void AppendString(std::string& out, const std::string& text) {
    out += '"';
    std::size_t run = 0;
    const auto flush = [&](std::size_t end) {
        out.append(text, run, end - run);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!MayEscape[c])
            continue;
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        // A bidirectional or zero-width character, as EscapeJsonControls has it.
        const std::size_t invisible = c >= 0xD8 ? InvisibleAt(text, i) : 0;
        if (c >= 0x20 && c != '"' && c != '\\' && c != 0x7F && !c1 && invisible == 0)
            continue;
        flush(i);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: {
            AppendCodeEscape(out, invisible ? CodePoint(text, i, invisible)
                                  : c1      ? static_cast<unsigned char>(text[++i])
                                            : c);
            i += invisible ? invisible - 1 : 0;
        }
        }
        run = i + 1;
    }
    flush(text.size());
    out += '"';
}

// A value as Dump writes it, strings through AppendString (anything else, floats say, through
// the library).
} // namespace

std::string ValidJsonText(const std::string& text) {
    if (content::ValidUtf8(text))
        return text;
    // The library's dump replaces each bad sequence by U+FFFD; read back, it is the text.
    return Json::parse(DumpJson(Json(text))).get<std::string>();
}

void AppendJson(std::string& out, const Json& value) {
    switch (value.type()) {
    case Json::value_t::object: {
        out += '{';
        bool first = true;
        for (const auto& [key, member] : value.get_ref<const Json::object_t&>()) {
            if (!first)
                out += ',';
            first = false;
            AppendString(out, key);
            out += ':';
            AppendJson(out, member);
        }
        out += '}';
        break;
    }
    case Json::value_t::array: {
        out += '[';
        bool first = true;
        for (const Json& element : value.get_ref<const Json::array_t&>()) {
            if (!first)
                out += ',';
            first = false;
            AppendJson(out, element);
        }
        out += ']';
        break;
    }
    case Json::value_t::string: AppendString(out, value.get_ref<const std::string&>()); break;
    case Json::value_t::boolean: out += value.get<bool>() ? "true" : "false"; break;
    case Json::value_t::null: out += "null"; break;
    case Json::value_t::number_integer: out += std::to_string(value.get<std::int64_t>()); break;
    case Json::value_t::number_unsigned: out += std::to_string(value.get<std::uint64_t>()); break;
    default: out += DumpJson(value); break;
    }
}

} // namespace vexlin::dump
