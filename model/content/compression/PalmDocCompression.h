// PalmDOC compression (LZ77 with byte pairs for a space and a character), as PalmDOC books,
// Mobipocket books and the other readers' formats that share it store their text records.
// Standard library only; never reads outside the input nor writes past the room it is given.
#pragma once

#include "content/core/BigEndian.h"

#include <cstddef>

namespace vexlin::content {

inline constexpr std::size_t PalmDocRecordMax = 4096;
// Bytes past a record's text that decompression may write over (it copies in whole words).
inline constexpr std::size_t PalmDocSlack = 16;

// What went wrong while one record was decompressed; the record is decoded past each fault.
struct DecompressFaults {
    std::size_t BadReferences = 0; // back-references before the start of the record's text
    std::size_t FirstBadAt = 0;    // input offset of the first one
    bool Overflow = false;         // more than the limit: the rest is dropped
    bool Cut = false;              // a pair or literal run cut by the record's end
    [[nodiscard]] bool Any() const noexcept { return BadReferences || Overflow || Cut; }
};

// Decompresses `in` (PalmDOC compression) into text, which holds limit + PalmDocSlack bytes;
// returns the size of the text, at most `limit` (itself at most PalmDocRecordMax).
[[nodiscard]] std::size_t DecompressPalmDoc(ByteSpan in, char* text, std::size_t limit,
                                            DecompressFaults& faults);

} // namespace vexlin::content
