#include "content/text/EncodingEvidence.h"

namespace vexlin::content {

// Weighs text as cp932 (see EncodingEvidence): each character of two bytes, or half-width
// kana, beside another such character, or alone between bytes that are no letter or digit,
// speaks for it; a byte cp932 has no character for, a lone character beside an ASCII letter
// or digit, or a pair that cp1252 reads as an accented letter before a letter, against it.
void Weigh(ByteSpan text, EncodingEvidence& evidence) {
    const auto lead = [](std::uint8_t b) {
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    };
    const auto trail = [](std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; };
    const auto alnum = [](std::uint8_t b) {
        return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    };
    // The length of the character at i: 2 or 1 for cp932 text, 0 for a byte it has none for.
    const auto length = [&](std::size_t i) -> std::size_t {
        const std::uint8_t b = text[i];
        if (b >= 0xA1 && b <= 0xDF)
            return 1;
        if (lead(b) && i + 1 < text.size() && trail(text[i + 1]))
            return 2;
        return 0;
    };
    evidence.Weighed += text.size();
    bool previousWide = false; // the character before was one of cp932's own
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] < 0x80) {
            previousWide = false;
            ++i;
            continue;
        }
        const std::size_t size = length(i);
        if (size == 0) {
            ++evidence.Against;
            previousWide = false;
            ++i;
            continue;
        }
        const std::size_t next = i + size;
        const bool nextWide = next < text.size() && text[next] >= 0x80 && length(next) > 0;
        const bool besideLetter =
            (i > 0 && alnum(text[i - 1])) || (next < text.size() && alnum(text[next]));
        // A lead from 0xE0 on (à to ü in cp1252) before a letter (ASCII, or À to ÿ) is how
        // Latin text reads (São, ação, élène); cp932's kana and common kanji lead below it.
        const bool latinPair = size == 2 && text[i] >= 0xE0 &&
                               (text[i + 1] >= 0xC0 || (alnum(text[i + 1]) && text[i + 1] > '9'));
        if (latinPair)
            ++evidence.Against;
        else if (previousWide || nextWide || !besideLetter)
            ++evidence.Japanese;
        else
            ++evidence.Against;
        previousWide = true;
        i = next;
    }
}

} // namespace vexlin::content
