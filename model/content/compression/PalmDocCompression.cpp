#include "content/compression/PalmDocCompression.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vexlin::content {

std::size_t DecompressPalmDoc(ByteSpan in, char* text, std::size_t limit,
                              DecompressFaults& faults) {
    // Back-references reach only into this record's text.
    limit = std::min(limit, PalmDocRecordMax);
    std::size_t n = 0;
    std::size_t i = 0;
    const std::uint8_t* const bytes = in.data();
    const std::size_t size = in.size();
    // While any code fits in what is left of the input and of the room, nothing needs
    // checking but the back-reference's distance.
    while (size - i >= 9 && limit - n >= 10) {
        const std::uint8_t c = bytes[i++];
        if (c >= 0x01 && c <= 0x08) {
            std::memcpy(text + n, bytes + i, 8); // the run and what follows it, overwritten later
            n += c;
            i += c;
        } else if (c < 0x80) {
            text[n++] = static_cast<char>(c);
        } else if (c >= 0xC0) {
            text[n] = ' ';
            text[n + 1] = static_cast<char>(c ^ 0x80);
            n += 2;
        } else {
            const unsigned pair = (static_cast<unsigned>(c) << 8 | bytes[i++]) & 0x3FFF;
            const std::size_t distance = pair >> 3;
            const std::size_t length = (pair & 7) + 3;
            if (distance == 0 || distance > n) {
                if (faults.BadReferences++ == 0)
                    faults.FirstBadAt = i - 2;
                continue;
            }
            if (distance >= 16) { // 16 bytes at once, all of them written before
                std::memcpy(text + n, text + n - distance, 16);
                n += length;
            } else {
                for (std::size_t k = 0; k < length; ++k, ++n)
                    text[n] = text[n - distance];
            }
        }
    }
    // The end of the record, every code checked.
    while (i < size) {
        const std::uint8_t c = bytes[i++];
        if (c >= 0x01 && c <= 0x08) { // a run of literal bytes
            std::size_t run = c;
            if (run > size - i) {
                run = size - i;
                faults.Cut = true;
            }
            if (run > limit - n) {
                run = limit - n;
                faults.Overflow = true;
            }
            std::memcpy(text + n, bytes + i, run);
            n += run;
            i += run;
            if (faults.Overflow)
                break;
        } else if (c < 0x80) { // a literal
            if (n == limit) {
                faults.Overflow = true;
                break;
            }
            text[n++] = static_cast<char>(c);
        } else if (c >= 0xC0) { // a space and a character
            if (limit - n < 2) {
                faults.Overflow = true;
                break;
            }
            text[n] = ' ';
            text[n + 1] = static_cast<char>(c ^ 0x80);
            n += 2;
        } else { // 11-bit distance, 3-bit length
            if (i == size) {
                faults.Cut = true;
                break;
            }
            const unsigned pair = (static_cast<unsigned>(c) << 8 | bytes[i++]) & 0x3FFF;
            const std::size_t distance = pair >> 3;
            std::size_t length = (pair & 7) + 3;
            if (distance == 0 || distance > n) {
                if (faults.BadReferences++ == 0)
                    faults.FirstBadAt = i - 2;
                continue;
            }
            if (length > limit - n) {
                length = limit - n;
                faults.Overflow = true;
            }
            // Byte by byte: the copy may overlap what it writes ("Mississippi").
            for (std::size_t k = 0; k < length; ++k, ++n)
                text[n] = text[n - distance];
            if (faults.Overflow)
                break;
        }
    }
    return n;
}

} // namespace vexlin::content
