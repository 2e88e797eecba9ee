// Options through CLI11; its errors become usage errors (exit status 2) with vexlin-dump's own
// usage text.
#include "Options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

namespace vexlin::dump {

const char* const UsageText =
    "Usage: vexlin-dump [--header] [--app-info] [--sort-info] [--records | --record N] FILE...\n"
    "       vexlin-dump [--info] [--list] [--check] FILE...\n"
    "       vexlin-dump --json | --summary [--check] FILE...\n"
    "       vexlin-dump --raw --record N | --app-info | --sort-info FILE > OUT\n"
    "       vexlin-dump [--content] [--json] [--export DIR [--force] [-v]]\n"
    "                   [--encoding NAME] FILE...\n"
    "Prints the views of Palm database files and inspects them. Without a selector, the\n"
    "four dump sections.\n"
    "  --header      the header report\n"
    "  --app-info    a hex dump of the app info area\n"
    "  --sort-info   a hex dump of the sort info area\n"
    "  --records     every record: its status line, then its hex dump\n"
    "  --record N    only record N (counted from 1)\n"
    "  --info        the header decoded: kind, attribute names, dates, areas\n"
    "  --list        the record list (or resource list), one entry a line\n"
    "  --check       every structural finding; exit status 3 on an error or warning\n"
    "  --json        one JSON object per file (JSON Lines for several)\n"
    "  --summary     one tab-separated line per file, under a header row\n"
    "  --raw         the bytes of one record or area, unchanged (not to a terminal)\n"
    "  --content     what the records hold, decoded (memos, to-dos, datebook, addresses,\n"
    "                mail); with --json the object's \"Content\"\n"
    "  --export DIR  standard files in DIR: B.vcf, B.ics, B/NNNN.txt, B.mbox\n"
    "  --force       let --export replace regular files that exist\n"
    "  -v            name each file --export writes, on standard error\n"
    "  --encoding NAME  the device's 8-bit text encoding (iconv name); without it\n"
    "                cp932 for a Japanese device's databases, else palm-latin\n"
    "                (cp1252 with Palm's card suits at 0x8D-0x90)\n"
    "  --help        this text\n"
    "A FILE of - reads standard input (once). Exit status: 0 success, 1 a file could\n"
    "not be read or exported or lacks what was asked for (--export: nothing to\n"
    "export), 2 usage error, 3 --check found an error or warning.\n";

Options ParseOptions(int argc, char** argv) {
    Options o;
    CLI::App app("vexlin-dump", "vexlin-dump");
    app.set_help_flag();
    std::vector<std::string_view> flags;
    const auto flag = [&](const char* name, bool& value) {
        app.add_flag(name, value);
        flags.emplace_back(name);
    };
    flag("--header", o.Header);
    flag("--app-info", o.AppInfo);
    flag("--sort-info", o.SortInfo);
    flag("--records", o.Records);
    std::optional<std::string> record;
    app.add_option("--record", record)->type_name("N");
    flag("--info", o.Info);
    flag("--list", o.List);
    flag("--check", o.Check);
    flag("--json", o.Json);
    flag("--summary", o.Summary);
    flag("--raw", o.Raw);
    flag("--content", o.Content);
    app.add_option("--export", o.ExportDir)->type_name("DIR");
    flag("--force", o.Force);
    flag("-v", o.Verbose);
    app.add_option("--encoding", o.Encoding)->type_name("NAME");
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

    if (record) {
        long value = 0;
        const char* end = record->data() + record->size();
        const auto [stop, ec] = std::from_chars(record->data(), end, value);
        if (ec != std::errc() || stop != end) {
            throw UsageError{"--record needs a record number, not '" + *record + "'"};
        }
        o.Record = value;
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
