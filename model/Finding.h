// A fault found in a database, structural or in what its records hold: where it lies, how bad
// it is, its stable code (FindingCodes.h lists them all) and a message for people.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexlin {

enum class Severity { Error, Warning, Note };

[[nodiscard]] constexpr std::string_view SeverityName(Severity severity) noexcept {
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Note: break;
    }
    return "note";
}

struct Finding {
    std::uint32_t Offset = 0; // file offset the finding is about
    Severity Level = Severity::Note;
    std::string_view Code;    // stable: "record-past-end", ...
    std::string Message;
};

} // namespace vexlin
