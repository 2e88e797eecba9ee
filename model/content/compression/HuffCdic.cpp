#include "content/compression/HuffCdic.h"

#include "content/book/PalmDoc.h"

#include <algorithm>
#include <cstring>

namespace vexlin::content {

namespace {

bool Begins(ByteSpan bytes, const char (&magic)[5]) noexcept {
    return bytes.size() >= 16 && std::memcmp(bytes.data(), magic, 4) == 0;
}

// The 32 bits from bit `at` on (the high bit of the first byte is bit 0); bits past the end of
// the bytes read as zeros.
std::uint32_t Peek32(ByteSpan bytes, std::uint64_t at) noexcept {
    const std::uint64_t byte = at >> 3;
    std::uint64_t window = 0;
    if (byte + 8 <= bytes.size()) {
        for (std::size_t k = 0; k < 8; ++k)
            window = window << 8 | bytes[byte + k];
    } else {
        for (std::uint64_t k = byte; k < byte + 8; ++k)
            window = window << 8 | (k < bytes.size() ? bytes[k] : 0u);
    }
    return static_cast<std::uint32_t>((window << (at & 7)) >> 32);
}

// A bad code ends the record, or the phrase it lies in.
void Bad(int depth, HuffCdicFaults& faults) noexcept {
    if (depth == 0)
        faults.BadCode = true;
    else
        ++faults.BadPhrases;
}

// Appends bytes to out up to limit; false when they did not all fit.
bool Put(std::string& out, std::string_view bytes, std::size_t limit) {
    const std::size_t room = limit > out.size() ? limit - out.size() : 0;
    out.append(bytes.data(), std::min(room, bytes.size()));
    return bytes.size() <= room;
}

} // namespace

HuffCdicDecoder::HuffCdicDecoder(ByteSpan huff, const std::vector<ByteSpan>& cdics,
                                 std::vector<std::string>& problems) {
    if (!Begins(huff, "HUFF")) {
        problems.push_back("the HUFF record does not begin with \"HUFF\"");
        return;
    }
    const std::uint32_t firstAt = *Be32(huff, 8);
    const std::uint32_t rangesAt = *Be32(huff, 12);
    if (!Holds(huff, firstAt, 256 * 4) || !Holds(huff, rangesAt, 64 * 4)) {
        problems.push_back("the HUFF record's code tables lie outside its " +
                           std::to_string(huff.size()) + " bytes");
        return;
    }
    std::size_t unusable = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        const std::uint32_t v = *Be32(huff, firstAt + 4 * i);
        const unsigned length = v & 0x1F;
        const bool decided = (v & 0x80) != 0;
        // A code of 8 bits or fewer is whole in its first byte, so its length must be decided.
        if (length == 0 || (length <= 8 && !decided)) {
            ++unusable;
            continue;
        }
        First[i] = {static_cast<std::uint8_t>(length), decided,
                    ((std::uint64_t{v >> 8} + 1) << (32 - length)) - 1};
    }
    if (unusable)
        problems.push_back(std::to_string(unusable) +
                           " of the HUFF record's 256 first-byte entries give no code length; "
                           "codes beginning so are not read");
    for (unsigned length = 1; length <= 32; ++length) {
        const std::size_t at = rangesAt + 8 * (length - 1);
        MinCode[length] = std::uint64_t{*Be32(huff, at)} << (32 - length);
        MaxCode[length] = ((std::uint64_t{*Be32(huff, at + 4)} + 1) << (32 - length)) - 1;
    }
    Tables = true;

    std::size_t stored = 0;
    for (std::size_t k = 0; k < cdics.size(); ++k) {
        const ByteSpan cdic = cdics[k];
        const std::string name = "CDIC record " + std::to_string(k + 1);
        if (!Begins(cdic, "CDIC")) {
            problems.push_back(name + " does not begin with \"CDIC\"; it and those after it "
                                      "are not read");
            break;
        }
        stored += cdic.size();
        const std::uint32_t total = *Be32(cdic, 8);
        const std::uint32_t bits = *Be32(cdic, 12);
        // Each record holds up to 2^bits phrases, until the total the records declare.
        const std::uint64_t most = bits >= 32 ? std::uint64_t{1} << 32 : std::uint64_t{1} << bits;
        std::uint64_t count =
            total > Phrases.size() ? std::min<std::uint64_t>(most, total - Phrases.size()) : 0;
        const std::size_t held = (cdic.size() - 16) / 2;
        if (count > held) {
            problems.push_back(name + " declares " + std::to_string(count) +
                               " phrases but holds room for the offsets of " +
                               std::to_string(held));
            count = held;
        }
        std::size_t outside = 0;
        for (std::size_t i = 0; i < count; ++i) {
            Phrase phrase;
            const std::size_t at = 16 + std::size_t{*Be16(cdic, 16 + 2 * i)};
            if (const auto length = Be16(cdic, at)) {
                phrase.Literal = (*length & 0x8000) != 0;
                phrase.Data = Sub(cdic, at + 2, *length & 0x7FFF);
                if (phrase.Data.size() != (*length & 0x7FFFu))
                    ++outside;
            } else {
                ++outside;
                phrase.Literal = true;
            }
            Phrases.push_back(std::move(phrase));
        }
        if (outside)
            problems.push_back(name + ": " + std::to_string(outside) +
                               " phrase(s) reach past its end, kept as far as they go");
    }
    // Expanded phrases are kept; what they may take together is a generous multiple of the
    // stored phrases (a phrase of codes rarely expands to more than a few times its size).
    Budget = 16 * stored + (std::size_t{1} << 20);
    // Expanding every phrase once reads at most 8 codes a byte of the phrases; phrases that
    // share their bytes could otherwise be made to read the same codes over and over.
    CodesLeft = 8 * std::uint64_t{stored} + (std::uint64_t{1} << 20);
}

void HuffCdicDecoder::Decode(ByteSpan record, std::string& text, std::size_t limit,
                             HuffCdicFaults& faults) {
    text.clear();
    if (!Unpack(record, text, limit, 0, faults))
        faults.Overflow = true;
}

bool HuffCdicDecoder::Unpack(ByteSpan bits, std::string& out, std::size_t limit, int depth,
                             HuffCdicFaults& faults) {
    // The last code ends at or before the last bit; the bits after it (fewer than a code)
    // are padding.
    std::uint64_t left = std::uint64_t{bits.size()} * 8;
    for (std::uint64_t at = 0;;) {
        const std::uint64_t code = Peek32(bits, at);
        const Code& first = First[code >> 24];
        unsigned length = first.Length;
        std::uint64_t max = first.Max;
        if (length == 0) {
            Bad(depth, faults);
            return true;
        }
        if (!first.Decided) {
            while (length <= 32 && length <= left && code < MinCode[length])
                ++length;
            if (length <= 32 && length <= left)
                max = MaxCode[length];
        }
        if (length > left)
            return true;
        if (length > 32) {
            Bad(depth, faults);
            return true;
        }
        if (depth > 0 && CodesLeft-- == 0) {
            CodesLeft = 0;
            faults.OverBudget = true;
            return true;
        }
        left -= length;
        at += length;
        const std::uint64_t number = max >= code ? (max - code) >> (32 - length) : UINT64_MAX;
        if (number >= Phrases.size()) {
            Bad(depth, faults);
            return true;
        }
        if (!Append(Phrases[number], out, limit, depth, faults))
            return false;
    }
}

bool HuffCdicDecoder::Append(Phrase& phrase, std::string& out, std::size_t limit, int depth,
                             HuffCdicFaults& faults) {
    if (phrase.Literal)
        return Put(out, {reinterpret_cast<const char*>(phrase.Data.data()), phrase.Data.size()},
                   limit);
    if (phrase.State == 1 || depth >= MaxNesting) {
        ++faults.Loops;
        return true;
    }
    if (phrase.State == 0) {
        phrase.State = 1;
        std::string text;
        phrase.Whole = Unpack(phrase.Data, text, PalmDocRecordMax, depth + 1, faults);
        if (text.size() > Budget) {
            faults.OverBudget = true;
            text.clear();
        }
        Budget -= text.size();
        phrase.Text = std::move(text);
        phrase.State = 2;
    }
    return Put(out, phrase.Text, limit) && phrase.Whole;
}

} // namespace vexlin::content
