// vexlin-dump's standard output: lines go through a buffer of its own, so a dump is never
// held in memory whole and the stream is not locked once per line.
#pragma once

#include "HexDump.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace vexlin::dump {

class StreamTarget final : public DumpTarget {
  public:
    explicit StreamTarget(std::FILE* out) : Out(out) {}
    ~StreamTarget() override { Flush(); }
    StreamTarget(const StreamTarget&) = delete;
    StreamTarget& operator=(const StreamTarget&) = delete;

    void Clear() override {}
    void Add(std::string_view line) override {
        Write(line);
        Write("\n");
    }
    void Write(std::string_view text) {
        if (Used + text.size() > sizeof Buffer) {
            Flush();
            if (text.size() > sizeof Buffer) {
                Put(text.data(), text.size());
                return;
            }
        }
        std::memcpy(Buffer + Used, text.data(), text.size());
        Used += text.size();
    }
    void AddLines(const DatabaseImage& image, DumpStretch stretch) override {
        const std::size_t lines = DumpLineCount(stretch);
        for (std::size_t line = 0; line < lines;) {
            std::size_t room = (sizeof Buffer - Used) / (DumpLineMax + 1);
            if (room == 0) {
                Flush();
                room = sizeof Buffer / (DumpLineMax + 1);
            }
            const std::size_t count = std::min(room, lines - line);
            Used += FormatDumpText(image, stretch, line, count, Buffer + Used);
            line += count;
        }
    }
    void Flush() {
        Put(Buffer, Used);
        Used = 0;
    }
    // The reason (an errno value) the first failed write gave, or 0.
    [[nodiscard]] int WriteError() const noexcept { return Error; }

  private:
    void Put(const char* data, std::size_t size) {
        if (size != 0 && Error == 0 && std::fwrite(data, 1, size, Out) != size) {
            Error = errno != 0 ? errno : EIO;
        }
    }
    std::FILE* Out;
    int Error = 0;
    std::size_t Used = 0;
    char Buffer[1 << 16];
};

} // namespace vexlin::dump
