// HUFF/CDIC compression of Mobipocket text. A HUFF record holds the code tables: a table of
// 256 entries looked up by a code's first byte (its length when that decides it, and the
// value that turns the code into a phrase number), and the least and greatest codes of each
// length from 1 to 32 bits. The CDIC records after it hold the phrases, numbered in order;
// a phrase is literal text or, unflagged, itself a string of codes. A text record is a string
// of codes, read from its high bits down, each standing for its phrase.
//
// Bounded whatever the records hold: codes are read only inside a record, a phrase is
// expanded once and kept (never more than PalmDocRecordMax bytes of it, the most a record
// can use), a phrase that holds itself, or nests deeper than MaxNesting, expands to nothing,
// and what all the kept phrases may take, and the codes their expansions read, are capped by
// the size of the CDIC records.
#pragma once

#include "Structure.h"
#include "content/core/BigEndian.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vexlin::content {

// What went wrong while one record was decoded. A bad code (one the tables do not place, or
// a phrase number not held) ends the record, or the phrase it lies in.
struct HuffCdicFaults {
    bool BadCode = false;       // in the record's own codes: the rest of it is dropped
    std::size_t BadPhrases = 0; // phrases cut short by one (each met once, then kept so)
    std::size_t Loops = 0;      // phrases that hold themselves or nest too deep, left out
    bool OverBudget = false;    // phrases would expand to, or read, more than the tables justify
    bool Overflow = false;      // more than the limit: the rest is dropped
};

class HuffCdicDecoder {
  public:
    static constexpr int MaxNesting = 32;

    // Reads the tables of `huff` and the phrases of `cdics` (spans into the image, which must
    // outlive the decoder). Faults in them are appended to `problems` as plain sentences;
    // Usable() says whether any text can be decoded.
    HuffCdicDecoder(ByteSpan huff, const std::vector<ByteSpan>& cdics,
                    std::vector<std::string>& problems);

    [[nodiscard]] bool Usable() const noexcept { return Tables; }
    [[nodiscard]] std::size_t PhraseCount() const noexcept { return Phrases.size(); }

    // Decodes one text record into `text`, which is cleared first and ends at most `limit`
    // bytes long.
    void Decode(ByteSpan record, std::string& text, std::size_t limit, HuffCdicFaults& faults);

  private:
    struct Code {
        std::uint8_t Length = 0; // 0: no code starts with this byte
        bool Decided = false;    // the first byte decides the length
        std::uint64_t Max = 0;   // left-aligned, phrase number = (Max - code) >> (32 - Length)
    };
    struct Phrase {
        ByteSpan Data;
        bool Literal = false;
        std::uint8_t State = 0; // 0 not expanded, 1 being expanded, 2 expanded into Text
        bool Whole = true;      // Text is the whole expansion, not cut at PalmDocRecordMax
        std::string Text;
    };

    // Appends the phrases of the codes in `bits` to out, up to limit; false when they did not
    // all fit.
    bool Unpack(ByteSpan bits, std::string& out, std::size_t limit, int depth,
                HuffCdicFaults& faults);
    bool Append(Phrase& phrase, std::string& out, std::size_t limit, int depth,
                HuffCdicFaults& faults);

    bool Tables = false;
    std::array<Code, 256> First{};
    std::array<std::uint64_t, 33> MinCode{}; // left-aligned, by length
    std::array<std::uint64_t, 33> MaxCode{};
    std::vector<Phrase> Phrases;
    std::size_t Budget = 0;      // bytes the expanded phrases may still take
    std::uint64_t CodesLeft = 0; // codes the phrases' expansions may still read
};

} // namespace vexlin::content
