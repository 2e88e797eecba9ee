// What one database may yield: whatever its entries claim, the text its decoders make (and so
// the files, JSON and [Content] lines made from that text) is at most 64 bytes for each byte
// of the file and 1 MiB more. Records or text records that share their bytes would otherwise
// be decoded once for each entry that points at them: 65,535 entries on one record of a few
// kilobytes ask for gigabytes.
//
// The decoders charge what they make: each byte of text eight times (the most the exports'
// escapes, encoded words and repeated fields make of it), each item and each datebook exception
// a fixed amount (its lines or keys beside the text). A database whose entries do not overlap
// never reaches the bound: its records' 8-byte entries and their bytes pay for more than that.
#pragma once

#include <cstdint>

namespace vexlin::content {

class OutputBound {
  public:
    static constexpr std::uint64_t PerFileByte = 64;
    static constexpr std::uint64_t Slack = std::uint64_t{1} << 20;
    static constexpr std::uint64_t PerTextByte = 8;
    static constexpr std::uint64_t PerItem = 512;
    static constexpr std::uint64_t PerException = 128;

    explicit OutputBound(std::uint64_t fileSize) noexcept
        : Total(PerFileByte * fileSize + Slack), Left(Total) {}

    // Takes `charge` when it is left, and says so; once a charge fails the bound is spent and
    // every later one fails too (what follows is not decoded, whatever its size).
    bool Take(std::uint64_t charge) noexcept {
        if (Spent || charge > Left) {
            Spent = true;
            return false;
        }
        Left -= charge;
        return true;
    }
    // What is left, in bytes of text (for cutting a book's text at the bound).
    [[nodiscard]] std::uint64_t TextLeft() const noexcept { return Spent ? 0 : Left / PerTextByte; }
    [[nodiscard]] bool Reached() const noexcept { return Spent; }
    [[nodiscard]] std::uint64_t Limit() const noexcept { return Total; }

  private:
    std::uint64_t Total;
    std::uint64_t Left;
    bool Spent = false;
};

} // namespace vexlin::content
