// Options through CLI11, set up from OptionTable as --help's list is; CLI11's errors become
// usage errors (exit status 2) with vexlin-dump's own usage text.
#include "Options.h"
#include "OptionTable.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <type_traits>
#include <vector>

namespace vexlin::dump {

namespace {

// The synopsis and the closing lines of --help; the options between them come from OptionTable.
const char* const Synopsis =
    "Usage: vexlin-dump [--header] [--app-info] [--sort-info] [--records | --record N] FILE...\n"
    "       vexlin-dump [--info] [--list] [--check] FILE...\n"
    "       vexlin-dump --json | --summary [--check] FILE...\n"
    "       vexlin-dump --raw --record N | --app-info | --sort-info FILE > OUT\n"
    "       vexlin-dump [--content] [--json] [--export DIR [--force] [-v]]\n"
    "                   [--encoding NAME] FILE...\n"
    "       vexlin-dump --help | --version\n"
    "Prints the views of Palm database files and inspects them. Without a selector, the\n"
    "four dump sections.\n";
const char* const Closing =
    "A FILE of - reads standard input (once). Exit status: 0 success, 1 a file could\n"
    "not be read or exported or lacks what was asked for (--export: nothing to\n"
    "export), 2 usage error, 3 --check found an error or warning.\n";

std::string_view GroupHeading(OptionGroup group) {
    switch (group) {
    case OptionGroup::Dump:
        return "The dump sections:\n";
    case OptionGroup::Inspection:
        return "Inspection:\n";
    case OptionGroup::Content:
        return "Content:\n";
    case OptionGroup::Other:
        break;
    }
    return "Other:\n";
}

// "  --record N    only record N ...": the help from column 16 (after two spaces when the
// name is longer), its words wrapped there to lines of at most 88 characters.
void AppendOption(std::string& text, const OptionEntry& option) {
    constexpr std::size_t HelpColumn = 16;
    constexpr std::size_t Width = 88;
    std::string line = "  ";
    if (!option.Short.empty()) {
        line += option.Short;
        line += option.Long.empty() ? "" : ", ";
    }
    line += option.Long;
    if (!option.Argument.empty()) {
        line += ' ';
        line += option.Argument;
    }
    line.resize(std::max(line.size() + 2, HelpColumn), ' ');
    bool first = true;
    std::string_view rest = option.Help;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find(' '), rest.size());
        const std::string_view word = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!first && line.size() + 1 + word.size() > Width) {
            text += line + '\n';
            line.assign(HelpColumn, ' ');
            first = true;
        }
        if (!first) {
            line += ' ';
        }
        line += word;
        first = false;
    }
    text += line + '\n';
}

std::string Usage() {
    std::string text = Synopsis;
    std::optional<OptionGroup> group;
    for (const OptionEntry& option : OptionTable) {
        if (option.Group != group) {
            group = option.Group;
            text += GroupHeading(option.Group);
        }
        AppendOption(text, option);
    }
    return text + Closing;
}

const std::string UsageString = Usage();

} // namespace

const char* const UsageText = UsageString.c_str();

const char* const VersionText = "vexlin-dump " VEXLIN_VERSION "\n";

Options ParseOptions(int argc, char** argv) {
    Options o;
    CLI::App app("vexlin-dump", "vexlin-dump");
    app.set_help_flag();
    std::vector<std::string_view> flags;
    // A number is taken as text, so that a bad one gets a message of vexlin-dump's own.
    std::array<std::optional<std::string>, std::size(OptionTable)> numbers;
    for (std::size_t i = 0; i < std::size(OptionTable); ++i) {
        const OptionEntry& option = OptionTable[i];
        std::string names(option.Short);
        if (!option.Short.empty() && !option.Long.empty()) {
            names += ',';
        }
        names += option.Long;
        std::visit(
            [&](auto target) {
                using Target = decltype(target);
                if constexpr (std::is_same_v<Target, std::monostate>) {
                    // --help and --version: answered before parsing.
                } else if constexpr (std::is_same_v<Target, bool Options::*>) {
                    app.add_flag(names, o.*target);
                    flags.push_back(option.Name());
                } else if constexpr (std::is_same_v<Target, std::optional<long> Options::*>) {
                    app.add_option(names, numbers[i])->type_name(std::string(option.Argument));
                } else {
                    app.add_option(names, o.*target)->type_name(std::string(option.Argument));
                }
            },
            option.Target);
    }
    app.add_option("FILE", o.Files);
    app.allow_extras(false);
    // A flag takes no value: --check=0 would otherwise turn the mode off unseen.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            break;
        }
        const auto equals = arg.find('=');
        if (equals != std::string_view::npos &&
            std::find(flags.begin(), flags.end(), arg.substr(0, equals)) != flags.end()) {
            throw UsageError{std::string(arg.substr(0, equals)) + " takes no value"};
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        throw UsageError{e.what()};
    }

    for (std::size_t i = 0; i < std::size(OptionTable); ++i) {
        const auto* target = std::get_if<std::optional<long> Options::*>(&OptionTable[i].Target);
        const std::optional<std::string>& text = numbers[i];
        if (!target || !text) {
            continue;
        }
        long value = 0;
        const char* end = text->data() + text->size();
        const auto [stop, ec] = std::from_chars(text->data(), end, value);
        if (ec != std::errc() || stop != end) {
            // --record is the one number.
            throw UsageError{std::string(OptionTable[i].Name()) + " needs a record number, not '" +
                             *text + "'"};
        }
        o.*(*target) = value;
    }
    if (o.Files.empty()) {
        throw UsageError{"no FILE given"};
    }
    if (std::count(o.Files.begin(), o.Files.end(), "-") > 1) {
        throw UsageError{"standard input can be read only once: - is given more than once"};
    }
    if (o.Records && o.Record) {
        throw UsageError{"--records and --record cannot be used together"};
    }
    const bool dumps = o.Header || o.AppInfo || o.SortInfo || o.Records || o.Record;
    const bool inspection = o.Info || o.List;
    if (o.Json && o.Summary) {
        throw UsageError{"--json and --summary cannot be used together"};
    }
    if ((o.Json || o.Summary) && (dumps || inspection || o.Raw)) {
        throw UsageError{std::string(o.Json ? "--json" : "--summary") +
                         " can be combined with --check only"};
    }
    if (o.Summary && (o.Content || o.ExportDir)) {
        throw UsageError{"--summary cannot be combined with --content or --export"};
    }
    if (o.Raw && (o.Content || o.ExportDir)) {
        throw UsageError{"--raw cannot be combined with --content or --export"};
    }
    if ((o.Force || o.Verbose) && !o.ExportDir) {
        throw UsageError{std::string(o.Force ? "--force" : "-v") + " goes with --export only"};
    }
    if (o.ExportDir && o.ExportDir->empty()) {
        throw UsageError{"--export needs a folder"};
    }
    if (o.Raw) {
        const int stretches = (o.Record ? 1 : 0) + (o.AppInfo ? 1 : 0) + (o.SortInfo ? 1 : 0);
        if (stretches != 1 || o.Header || o.Records || inspection || o.Check) {
            throw UsageError{"--raw takes exactly one of --record N, --app-info, --sort-info"};
        }
        if (o.Files.size() != 1) {
            throw UsageError{"--raw takes one FILE"};
        }
    }
    if (!dumps && !inspection && !o.Check && !o.Json && !o.Summary && !o.Content &&
        !o.ExportDir) {
        o.Header = o.AppInfo = o.SortInfo = o.Records = true;
    }
    return o;
}

} // namespace vexlin::dump
