// vexlin-dump's content modes: the [Content] section (--content), the JSON "Content" object
// (--json --content) and the standard files of --export. Each mode is a small dispatcher that
// hands the payload to one function per format, declared here and defined in a file of the
// format family's own (ContentText.cpp, ContentJson.cpp, Vcard.cpp, Ical.cpp, Mbox.cpp, ...):
// a new format adds an overload for each mode and nothing else.
#pragma once

#include "Output.h"
#include "content/Content.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vexlin::dump {

// --content: "[Content]", the format, the encoding, the categories, then the items.
void PrintContent(StreamTarget& out, const content::Content& c);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Memos& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::ToDos& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Datebook& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::AddressBook& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::MailBox& p);

// --json --content: the text of the "Content" object (valid UTF-8). The per-format functions
// that add "Items" and the format's own keys are declared in ContentJson.h.
[[nodiscard]] std::string ContentJson(const content::Content& c);

// --export DIR: the standard files of one database.
struct ExportOptions {
    std::filesystem::path Directory;
    bool Force = false;   // overwrite files that exist
    bool Verbose = false; // name each file written on standard error
};

// A file that cannot be written, or exists without --force. what() names the file.
class ExportError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Where one database's files go: named after its base name, written whole, never over an
// existing file without --force.
class ExportTarget {
  public:
    ExportTarget(const ExportOptions& options, std::string baseName)
        : Options(options), Base(std::move(baseName)) {}
    // The database file's base name without its extension: "MemoDB" for "a/MemoDB.pdb".
    [[nodiscard]] const std::string& BaseName() const noexcept { return Base; }
    // Writes bytes to DIR/name (name may hold one folder level, made when missing).
    void Write(const std::string& name, std::string_view bytes);
    [[nodiscard]] std::size_t Written() const noexcept { return Count; }

  private:
    const ExportOptions& Options;
    std::string Base;
    std::size_t Count = 0;
};

// Writes the files of a decoded database; false when its format has no export. Throws
// ExportError.
bool Export(ExportTarget& target, const content::Content& c);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Memos& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::ToDos& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Datebook& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::AddressBook& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::MailBox& p);

} // namespace vexlin::dump
