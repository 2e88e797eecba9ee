// vexlin-dump's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vexlin::dump {

struct Options {
    // The dump sections, as the viewer shows them.
    bool Header = false;
    bool AppInfo = false;
    bool SortInfo = false;
    bool Records = false;
    std::optional<long> Record; // counted from 1
    // The inspection modes.
    bool Info = false;
    bool List = false;
    bool Check = false;
    bool Json = false;
    bool Summary = false;
    bool Raw = false;
    // The content modes.
    bool Content = false;
    std::optional<std::string> ExportDir;
    std::string Encoding; // empty: detected
    bool Force = false;
    bool Verbose = false;
    std::vector<std::string> Files; // "-" is standard input

    // A dump section needs the whole file in the image; the other modes only its structure.
    [[nodiscard]] bool NeedsWholeFile() const {
        return Header || AppInfo || SortInfo || Records || Record || Raw || Content || ExportDir;
    }
};

struct UsageError {
    std::string Message;
};

// --help's text: the synopsis, then OptionTable's options under their headings.
extern const char* const UsageText;
// --version's line: "vexlin-dump 1.1".
extern const char* const VersionText;

// Throws UsageError. --help and --version are answered before parsing.
[[nodiscard]] Options ParseOptions(int argc, char** argv);

} // namespace vexlin::dump
