// Whether a database's text is Japanese (cp932) or the default encoding, weighed from the text
// itself before any of it is decoded. Standard library only.
#pragma once

#include "content/core/BigEndian.h"

#include <cstdint>

namespace vexlin::content {

// What the encoding was decided on, before the payload is read: the database's text read as
// cp932 (category names, labels, the records' text fields, an application's names), weighed
// whole. A character of two bytes (or a half-width kana) beside another, or standing alone
// between spaces and punctuation, speaks for cp932; a byte cp932 has no character for, a lone
// one beside a Latin letter or digit (don’t, “Hello”), or a pair that reads in cp1252 as an
// accented letter before a letter (São, ação), against. cp932 is taken when it has at least
// four times the evidence against it.
struct EncodingEvidence {
    std::uint64_t Weighed = 0;  // bytes of text weighed
    std::uint64_t Japanese = 0; // characters that read as cp932 text
    std::uint64_t Against = 0;  // bytes or characters that do not
    // Some evidence for cp932, but fewer than EncodingEvidenceEnough characters either way, or
    // (read as the default) at least as many for cp932 as against: reported as
    // content-encoding-guess.
    bool Thin = false;
};
inline constexpr std::uint64_t EncodingEvidenceEnough = 8;

// Adds text (bytes as the file holds them) to the evidence.
void Weigh(ByteSpan text, EncodingEvidence& evidence);

} // namespace vexlin::content
