// vexlin-dump's content modes: the [Content] section (--content), the JSON "Content" object
// (--json --content) and the standard files of --export. Each mode is a small dispatcher that
// hands the payload to one function per format, declared here and defined in a file of the
// format family's own (ContentText.cpp, ContentJson.cpp, Vcard.cpp, Ical.cpp, Mbox.cpp, ...):
// a new format adds an overload for each mode and nothing else.
#pragma once

#include "Output.h"
#include "content/core/Content.h"

#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vexlin::dump {

// Calls view with the content's payload as the type its format decodes to; nothing for a
// database no format claims.
template <typename View> void WithPayload(const content::Content& c, View&& view) {
    using namespace content;
    if (const auto* p = c.As<Memos>()) view(*p);
    else if (const auto* p = c.As<ToDos>()) view(*p);
    else if (const auto* p = c.As<Datebook>()) view(*p);
    else if (const auto* p = c.As<AddressBook>()) view(*p);
    else if (const auto* p = c.As<MailBox>()) view(*p);
    else if (const auto* p = c.As<Book>()) view(*p);
    else if (const auto* p = c.As<BitmapSet>()) view(*p);
    else if (const auto* p = c.As<Application>()) view(*p);
    else if (const auto* p = c.As<Preferences>()) view(*p);
    else if (const auto* p = c.As<Tasks>()) view(*p);
    else if (const auto* p = c.As<Photos>()) view(*p);
    else if (const auto* p = c.As<Expenses>()) view(*p);
    else if (const auto* p = c.As<Calendar>()) view(*p);
    else if (const auto* p = c.As<Contacts>()) view(*p);
    else if (const auto* p = c.As<NotePad>()) view(*p);
}

// --content: "[Content]", the format, the encoding, the categories, then the items.
void PrintContent(StreamTarget& out, const content::Content& c);
// Its pieces: "  Label: value"; a text of several lines, the rest indented further (nothing
// for an empty one); "Record N (category, private, deleted, damaged)".
void Line(StreamTarget& out, std::string_view label, const std::string& value);
void TextLines(StreamTarget& out, std::string_view label, std::string_view text);
void ItemHeading(StreamTarget& out, const content::Content& c, const content::Item& item);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Memos& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::ToDos& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Datebook& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::AddressBook& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::MailBox& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Book& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::BitmapSet& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Application& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Preferences& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Tasks& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Photos& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Expenses& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Calendar& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::Contacts& p);
void PrintPayload(StreamTarget& out, const content::Content& c, const content::NotePad& p);

// --json --content: writes the file's JSON object (its text as JsonObject gives it) with
// "Content" added as its last key, and the line end. The per-format parts are declared in
// ContentJson.h.
void WriteWithContent(StreamTarget& out, std::string_view object, const content::Content& c);
// The same after an object written open (WriteJsonObject): from ,"Content": to the line end.
void WriteContentKey(StreamTarget& out, const content::Content& c);

// --export DIR: the standard files of one database.
struct ExportOptions {
    std::filesystem::path Directory;
    bool Force = false;   // replace regular files that exist
    bool Verbose = false; // name each file written on standard error
};

// A file that cannot be written, or exists without --force. what() names the file.
class ExportError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    // Whether it refuses a file that exists (without --force): "PATH: exists (--force ...)".
    [[nodiscard]] bool Exists() const noexcept;
};

// The name a FILE's exports take: its base name without the extension ("MemoDB" for
// "a/MemoDB.pdb", "stdin" for -), made one plain name inside DIR: each control character
// (C0, DEL, C1) becomes "_", and so does each leading dot, so that the name is never "." or
// "..", never hidden and never taken for one of the export's temporaries.
[[nodiscard]] std::string ExportBaseName(const std::string& file);

// Where one database's files go: named after its base name, inside DIR and nowhere else. DIR
// is opened once; nothing below it is followed: its folders are made and opened without
// following a link, each file is written under a temporary name beside its own and renamed
// to it when whole, never over an existing file without --force, and with --force only over
// a regular file. A file that fails is removed.
class ExportTarget {
  public:
    // uidBase: the file's own stem, control bytes and all, for the UIDs of its items: two
    // files whose base names were made the same (".." and "_") keep distinct UIDs.
    ExportTarget(ExportOptions options, std::string baseName, std::string uidBase)
        : Options(std::move(options)), Base(std::move(baseName)), UidStem(std::move(uidBase)) {}
    ~ExportTarget(); // removes the temporaries of files not finished
    ExportTarget(const ExportTarget&) = delete;
    ExportTarget& operator=(const ExportTarget&) = delete;
    // The database's ExportBaseName: "MemoDB" for "a/MemoDB.pdb".
    [[nodiscard]] const std::string& BaseName() const noexcept { return Base; }
    // What the UIDs of the exported items start with, as UidText writes it.
    [[nodiscard]] const std::string& UidBase() const noexcept { return UidStem; }
    // Writes bytes to DIR/name (name may hold a folder, made when missing; each part a plain
    // name, else ExportError); with -v says so.
    void Write(const std::string& name, std::string_view bytes);
    // Appends bytes to DIR/name, made as Write makes it on the first piece that holds bytes
    // and kept open until CloseAppended. Never throws (the pieces come from inside the
    // content reader): a failure is kept with its file, whose later pieces are dropped; the
    // other files go on.
    void Append(const std::string& name, std::string_view bytes) noexcept;
    // Whether Append has made a file (and CloseAppended not yet closed it).
    [[nodiscard]] bool Appending() const noexcept { return !Appended.empty(); }
    // Gives the files Append made their names; with -v names those written whole. Throws the
    // first failure.
    void CloseAppended();
    // Runs writes from inside the content reader (a bitmap entry's files): the first
    // ExportError is kept and the writes after it are skipped; ThrowKept throws it.
    void Keep(const std::function<void()>& write) noexcept;
    void ThrowKept();
    // Set by the bitmap sink: the entries were written while they were read.
    bool EntriesStreamed = false;
    // A file name stem not handed out before in this database: "Tbmp-1000", then
    // "Tbmp-1000-2" for a second resource of that type and ID.
    [[nodiscard]] std::string Distinct(const std::string& stem);
    // The files written whole so far, and their paths.
    [[nodiscard]] std::size_t Written() const noexcept { return Count; }
    [[nodiscard]] const std::vector<std::filesystem::path>& Files() const noexcept {
        return Paths;
    }

  private:
    // Where a file goes: the folder it is in (opened), its own name, and its path for
    // messages.
    struct Place {
        int Folder = -1;
        std::string Leaf;
        std::filesystem::path Path;
    };
    struct AppendedFile {
        std::string Name;
        Place Where;
        std::string Temporary; // its name while it is written
        int Fd = -1;
        std::size_t Bytes = 0;
        std::string Failure; // what() of its ExportError
    };
    Place Locate(const std::string& name);
    int OpenFolder(const std::string& folder);
    int CreateTemporary(const Place& place, std::string& temporary);
    void Refuse(const Place& place) const;
    void Commit(const Place& place, const std::string& temporary);
    // Every byte of the export goes through here.
    void Put(int fd, const std::filesystem::path& path, std::string_view bytes);
    void Finished(const std::filesystem::path& path, std::size_t bytes);

    const ExportOptions Options;
    std::string Base;
    std::string UidStem;
    // DIR ("") and the folders made in it, opened once each.
    std::map<std::string, int, std::less<>> Folders;
    std::vector<AppendedFile> Appended;
    std::string Kept; // what() of the first ExportError Keep met
    std::map<std::string, std::size_t> Stems; // handed out by Distinct, and how often
    std::size_t Count = 0;
    std::vector<std::filesystem::path> Paths;
};

// Makes SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE first remove the temporaries of the files
// being written, then end the run as they would have; a signal ignored when the run started
// stays ignored.
void RemoveTemporariesOnSignals();

// Whether an event goes into the calendar: it has a date, occurs (FirstOccurrence) and does
// not end before it starts (Ical.cpp).
[[nodiscard]] bool Exportable(const content::DatebookItem& item);

// A bitmap entry's PNG files as the content reader decodes it (a BitmapSink, through Keep).
void ExportBitmapEntry(ExportTarget& target, const content::BitmapEntry& entry);

// A book's text piece by piece as the content reader decodes it (a BookTextSink): B.txt, and
// for Mobipocket B.html; ExportPayload for the book then closes them.
void AppendBookText(ExportTarget& target, const content::Book& book, std::string_view piece);

// The content options of a run that reads with encoding ("" detected) and exports into target
// (null: no export), printing the content too when printing: a book's text goes straight to
// the files unless it is printed as well; bitmaps go to theirs as each is decoded, and without
// an export their pixels are dropped.
[[nodiscard]] content::ContentOptions ExportContentOptions(std::string encoding,
                                                           ExportTarget* target, bool printing);

// The export of one database as --export makes it: its content read for the export, then its
// files written (Export). Throws ExportError.
bool ExportDatabase(ExportTarget& target, const DatabaseImage& image, const Structure& structure,
                    std::string encoding);

// Writes the files of a decoded database; false when there is nothing to export: a format
// without an export, or a database with no item to write (no file is then made). Throws
// ExportError. Records marked deleted (kept by a backup until the next sync) are left out.
bool Export(ExportTarget& target, const content::Content& c);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Memos& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::ToDos& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Tasks& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Photos& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Expenses& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Calendar& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Contacts& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::NotePad& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Datebook& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::AddressBook& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::MailBox& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Book& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::BitmapSet& p);
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Application& p);
// Preferences are listed, not exported: this writes nothing.
void ExportPayload(ExportTarget& target, const content::Content& c, const content::Preferences& p);

// The name of an item's category for CATEGORIES and the like: "" for Unfiled (index 0) and for
// a category without a name.
[[nodiscard]] std::string ExportCategory(const content::Content& c, std::uint8_t index);

} // namespace vexlin::dump
