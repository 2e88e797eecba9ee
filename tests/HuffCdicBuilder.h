// HUFF/CDIC compressed text for tests and fuzz seeds: a complete code of 254 phrases with
// 8-bit codes (first bytes 0xFF down to 0x02) and 32 with 12-bit codes (first bytes 0x01 and
// 0x00), the HUFF record that describes it, CDIC records holding the phrases, and the code
// strings of text records and of phrases that are themselves codes.
#pragma once

#include "PdbBuilder.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vexlin::test {

struct TestHuffCdic {
    static constexpr std::size_t Short = 254; // phrases 0..253: 8-bit codes
    static constexpr std::size_t Long = 32;   // phrases 254..285: 12-bit codes

    std::vector<Bytes> Phrases = std::vector<Bytes>(Short + Long);
    std::vector<std::vector<std::size_t>> Parts =
        std::vector<std::vector<std::size_t>>(Short + Long);

    // The code string of a list of phrases, high bit first, padded with zero bits.
    [[nodiscard]] static Bytes Codes(const std::vector<std::size_t>& phrases) {
        Bytes out;
        std::uint64_t bits = 0;
        int count = 0;
        for (const std::size_t p : phrases) {
            const bool shortCode = p < Short;
            bits = bits << (shortCode ? 8 : 12) | (shortCode ? 255 - p : 31 - (p - Short));
            count += shortCode ? 8 : 12;
            for (; count >= 8; count -= 8)
                out.push_back(static_cast<std::uint8_t>(bits >> (count - 8)));
        }
        if (count > 0)
            out.push_back(static_cast<std::uint8_t>(bits << (8 - count)));
        return out;
    }

    // Phrase p as text, or as the codes of other phrases.
    void Literal(std::size_t p, const std::string& text) {
        Phrases[p] = Bytes(text.begin(), text.end());
        Parts[p].clear();
    }
    void Coded(std::size_t p, std::vector<std::size_t> parts) {
        Phrases[p] = Codes(parts);
        Parts[p] = std::move(parts);
    }

    // The text a list of phrases stands for, coded phrases expanded.
    [[nodiscard]] std::string Text(const std::vector<std::size_t>& phrases) const {
        std::string text;
        for (const std::size_t p : phrases)
            text += Parts[p].empty() ? std::string(Phrases[p].begin(), Phrases[p].end())
                                     : Text(Parts[p]);
        return text;
    }

    // A code whose short phrases are single characters and whose long ones are words, two of
    // them codes of other phrases (one nested in the other), one empty.
    [[nodiscard]] static TestHuffCdic Words() {
        TestHuffCdic h;
        for (std::size_t p = 0; p < TestHuffCdic::Short; ++p)
            h.Literal(p, std::string(1, static_cast<char>(p < 200 ? 32 + p % 95 : 0xA0 + p % 96)));
        const char* const words[] = {"Mississippi ", "the ", "\n", "caf\xE9 ", "river ", ""};
        for (std::size_t p = 254; p <= 285; ++p)
            h.Literal(p, words[p % 6] + std::to_string(p));
        h.Coded(280, {254, 255, 3, 282});
        h.Coded(281, {280, 17, 280});
        return h;
    }

    // The tables big-endian, then (as the compressor also writes them) little-endian.
    [[nodiscard]] static Bytes Huff() {
        Bytes h(24 + 2 * (1024 + 256), 0);
        std::memcpy(h.data(), "HUFF", 4);
        PutBE32(h, 4, 24);
        PutBE32(h, 8, 24);
        PutBE32(h, 12, 24 + 1024);
        PutBE32(h, 16, 24 + 1280);
        PutBE32(h, 20, 24 + 1280 + 1024);
        // First byte 2 and up: an 8-bit code, phrase 255 - byte. Below: at least 9 bits.
        for (std::uint32_t b = 0; b < 256; ++b)
            PutBE32(h, 24 + 4 * b, b >= 2 ? (255u << 8 | 0x80 | 8) : 9u);
        for (std::uint32_t length = 1; length <= 32; ++length) {
            const std::size_t at = 24 + 1024 + 8 * (length - 1);
            const std::uint32_t least = length == 8 ? 2 : length == 12 ? 0 : 0xFFFFFFFF;
            const std::uint32_t most = length == 8 ? 255 : length == 12 ? Short + 31 : 0;
            PutBE32(h, at, least);
            PutBE32(h, at + 4, most);
        }
        for (std::size_t at = 24; at < 24 + 1280; at += 4)
            for (std::size_t k = 0; k < 4; ++k)
                h[at + 1280 + k] = h[at + 3 - k];
        return h;
    }

    // The phrases in CDIC records of up to 2^bits phrases each.
    [[nodiscard]] std::vector<Bytes> Cdics(std::uint32_t bits) const {
        std::vector<Bytes> records;
        for (std::size_t first = 0; first < Phrases.size(); first += std::size_t{1} << bits) {
            const std::size_t n = std::min(Phrases.size() - first, std::size_t{1} << bits);
            Bytes c(16 + 2 * n, 0);
            std::memcpy(c.data(), "CDIC", 4);
            PutBE32(c, 4, 16);
            PutBE32(c, 8, static_cast<std::uint32_t>(Phrases.size()));
            PutBE32(c, 12, bits);
            for (std::size_t i = 0; i < n; ++i) {
                const Bytes& data = Phrases[first + i];
                PutBE16(c, 16 + 2 * i, static_cast<std::uint16_t>(c.size() - 16));
                const std::size_t at = c.size();
                c.resize(at + 2);
                PutBE16(c, at,
                        static_cast<std::uint16_t>(data.size() |
                                                   (Parts[first + i].empty() ? 0x8000 : 0)));
                c.insert(c.end(), data.begin(), data.end());
            }
            records.push_back(std::move(c));
        }
        return records;
    }
};

} // namespace vexlin::test
