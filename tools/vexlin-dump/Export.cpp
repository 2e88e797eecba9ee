// --export: the dispatcher, the files it writes (inside DIR only, following no link below it,
// each whole or not at all, never over an existing one without --force), and the memo pad's
// export, one plain text file per memo in a folder of the database's name.
#include "ContentModes.h"
#include "Escape.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexlin::dump {

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

// A name that stands for itself in a folder: not empty, not "." or "..", no "/" and no
// control character.
bool PlainName(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b == '/' || b < 0x20 || b == 0x7F;
    });
}

// What stands at a name, for the message that refuses it.
std::string KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return "a file";
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    return "a device";
}

const char* const ExistsText = "exists (--force overwrites it)";

// The temporaries that exist at this moment, for the handler of the signals that end a run
// (Ctrl-C, kill, a closed terminal): a fixed array it walks without a lock or an allocation,
// removing each with unlinkat, the one thing it may safely do. A slot is in use while its
// Folder is not -1; the run has one thread, which the handler interrupts, never runs beside.
struct OpenTemporary {
    std::atomic<int> Folder{-1};
    char Name[NAME_MAX + 1] = {};
};
static_assert(std::atomic<int>::is_always_lock_free);
// A book's .txt and .html are open together; any other file is written and closed at once.
OpenTemporary Temporaries[8];

const int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

sigset_t EndingSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : EndingSignals)
        sigaddset(&set, signal);
    return set;
}

void RemoveTemporaries(int signal) {
    for (OpenTemporary& t : Temporaries) {
        const int folder = t.Folder.load(std::memory_order_relaxed);
        if (folder >= 0)
            ::unlinkat(folder, t.Name, 0);
    }
    // SA_RESETHAND has put the default action back: the signal, blocked in here, ends the
    // run as it would have when the handler returns.
    ::raise(signal);
}

// Creates the temporary (an fd, or -1 with errno) and remembers it; the signals wait
// meanwhile, so that no file is made that the handler does not know.
int CreateRemembered(int folder, const std::string& name) {
    OpenTemporary* slot = std::find_if(std::begin(Temporaries), std::end(Temporaries),
                                       [](const OpenTemporary& t) { return t.Folder < 0; });
    if (slot == std::end(Temporaries) || name.size() > NAME_MAX) {
        errno = EMFILE;
        return -1;
    }
    std::memcpy(slot->Name, name.c_str(), name.size() + 1);
    const sigset_t ending = EndingSet();
    sigset_t before;
    ::pthread_sigmask(SIG_BLOCK, &ending, &before);
    const int fd = ::openat(folder, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    const int error = errno;
    if (fd >= 0)
        slot->Folder.store(folder, std::memory_order_relaxed);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return fd;
}

// After the temporary has been renamed or removed: a signal before that still removes it.
void Forget(int folder, const std::string& name) noexcept {
    for (OpenTemporary& t : Temporaries) {
        if (t.Folder == folder && name == t.Name) {
            t.Folder = -1;
            return;
        }
    }
}

} // namespace

void RemoveTemporariesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaries;
    action.sa_mask = EndingSet(); // one handler at a time
    action.sa_flags = SA_RESETHAND;
    for (const int signal : EndingSignals) {
        struct sigaction before {};
        // A signal ignored when the run started (nohup, a background job's SIGINT) stays so.
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
}

std::string ExportBaseName(const std::string& file) {
    if (file == "-")
        return "stdin";
    const std::string stem = std::filesystem::path(file).stem().string();
    std::string name;
    name.reserve(stem.size() + 1);
    bool leading = true;
    for (std::size_t i = 0; i < stem.size(); ++i) {
        const auto b = static_cast<unsigned char>(stem[i]);
        const bool c1 = b == 0xC2 && i + 1 < stem.size() &&
                        static_cast<unsigned char>(stem[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(stem[i + 1]) <= 0x9F;
        if (b < 0x20 || b == 0x7F || c1 || (leading && b == '.')) {
            name += '_';
            i += c1 ? 1 : 0;
        } else {
            name += stem[i];
            leading = false;
        }
    }
    return name.empty() ? "_" : name;
}

bool ExportError::Exists() const noexcept {
    const std::string_view message = what();
    const std::string_view exists = ExistsText;
    return message.size() > exists.size() + 2 && message.ends_with(exists) &&
           message.substr(message.size() - exists.size() - 2, 2) == ": ";
}

ExportTarget::~ExportTarget() {
    for (const AppendedFile& file : Appended) {
        if (file.Fd >= 0) {
            ::close(file.Fd);
            ::unlinkat(file.Where.Folder, file.Temporary.c_str(), 0);
            Forget(file.Where.Folder, file.Temporary);
        }
    }
    for (const auto& [folder, fd] : Folders)
        ::close(fd);
}

// DIR itself is opened as the user named it, a link of theirs included; each folder below it
// is made and opened with O_NOFOLLOW, relative to the one above, so that a link planted
// there is refused, never followed. Each folder is opened once: the files are then created
// relative to it, which spares the kernel a walk of the whole path for each of thousands of
// memos.
int ExportTarget::OpenFolder(const std::string& folder) {
    if (const auto open = Folders.find(folder); open != Folders.end())
        return open->second;
    const std::filesystem::path path = Options.Directory / folder;
    int fd = -1;
    if (folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(Options.Directory, ec);
        if (ec)
            throw ExportError(Options.Directory.string() + ": " + ec.message());
        fd = ::open(Options.Directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            throw ExportError(Options.Directory.string() + ": " + Reason(errno));
    } else {
        const std::size_t slash = folder.rfind('/');
        const int parent = OpenFolder(slash == std::string::npos ? "" : folder.substr(0, slash));
        const std::string leaf = slash == std::string::npos ? folder : folder.substr(slash + 1);
        if (::mkdirat(parent, leaf.c_str(), 0777) != 0 && errno != EEXIST)
            throw ExportError(path.string() + ": " + Reason(errno));
        fd = ::openat(parent, leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            struct stat status {};
            if (::fstatat(parent, leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                !S_ISDIR(status.st_mode))
                throw ExportError(path.string() + ": is " + KindOf(status.st_mode) +
                                  ", not a folder (not followed)");
            throw ExportError(path.string() + ": " + Reason(error));
        }
    }
    Folders.emplace(folder, fd);
    return fd;
}

ExportTarget::Place ExportTarget::Locate(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash);
    Place place;
    place.Leaf = slash == std::string::npos ? name : name.substr(slash + 1);
    place.Path = Options.Directory / name;
    // The names come from the database's base name and its records: each part must be one
    // plain name, so that nothing is written outside DIR.
    bool plain = PlainName(place.Leaf);
    for (std::size_t start = 0; plain && !folder.empty() && start <= folder.size();) {
        const std::size_t end = std::min(folder.find('/', start), folder.size());
        plain = PlainName(std::string_view(folder).substr(start, end - start));
        start = end + 1;
    }
    if (!plain)
        throw ExportError(place.Path.string() + ": not a plain file name inside " +
                          Options.Directory.string());
    place.Folder = OpenFolder(folder);
    return place;
}

// A new file beside the one it is to become, named ".LEAF.XXXXXX": O_EXCL and O_NOFOLLOW make
// it a file of this run's own, never one planted there (a link, a pipe) or left by another.
int ExportTarget::CreateTemporary(const Place& place, std::string& temporary) {
    static std::minstd_rand random{std::random_device{}()};
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = "." + place.Leaf.substr(0, 200) + ".";
        for (int i = 0; i < 6; ++i)
            temporary += letters[random() % (sizeof letters - 1)];
        const int fd = CreateRemembered(place.Folder, temporary);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            throw ExportError(place.Path.string() + ": " + Reason(errno));
    }
    throw ExportError(place.Path.string() + ": no free temporary name beside it");
}

// Throws when the file may not be written: it exists and --force is not given, or with
// --force it is not a regular file (a link, a pipe, a folder), which is never replaced.
void ExportTarget::Refuse(const Place& place) const {
    struct stat status {};
    if (::fstatat(place.Folder, place.Leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (!Options.Force)
        throw ExportError(place.Path.string() + ": " + ExistsText);
    if (!S_ISREG(status.st_mode))
        throw ExportError(place.Path.string() + ": is " + KindOf(status.st_mode) +
                          ", not a regular file: --force replaces only regular files");
}

// Gives the temporary its name: without --force never over anything that stands there
// (renameat2's RENAME_NOREPLACE, or a hard link where the file system lacks it); with --force
// over a regular file only. The rename swaps names, so that a link at the name is replaced,
// never followed. On failure the temporary is left to the caller to remove.
void ExportTarget::Commit(const Place& place, const std::string& temporary) {
    const char* from = temporary.c_str();
    const char* to = place.Leaf.c_str();
    if (::renameat2(place.Folder, from, place.Folder, to, RENAME_NOREPLACE) == 0)
        return;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        if (::linkat(place.Folder, from, place.Folder, to, 0) == 0) {
            ::unlinkat(place.Folder, from, 0);
            return;
        }
        error = errno;
        struct stat status {};
        if (error != EEXIST && ::fstatat(place.Folder, to, &status, AT_SYMLINK_NOFOLLOW) != 0 &&
            errno == ENOENT) {
            // No hard links either (FAT): nothing stands there a moment ago.
            if (::renameat(place.Folder, from, place.Folder, to) == 0)
                return;
            throw ExportError(place.Path.string() + ": " + Reason(errno));
        }
        error = EEXIST;
    }
    if (error != EEXIST)
        throw ExportError(place.Path.string() + ": " + Reason(error));
    Refuse(place);
    if (::renameat(place.Folder, from, place.Folder, to) != 0)
        throw ExportError(place.Path.string() + ": " + Reason(errno));
}

void ExportTarget::Put(int fd, const std::filesystem::path& path, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw ExportError(path.string() + ": " + Reason(n < 0 ? errno : EIO));
        done += static_cast<std::size_t>(n);
    }
}

// Counts a file written whole and with -v names it.
void ExportTarget::Finished(const std::filesystem::path& path, std::size_t bytes) {
    ++Count;
    Paths.push_back(path);
    if (Options.Verbose)
        std::fprintf(stderr, "vexlin-dump: wrote %s (%zu bytes)\n", // escaped as the messages
                     ControlsEscaped(path.string()).c_str(), bytes);
}

void ExportTarget::Write(const std::string& name, std::string_view bytes) {
    const Place place = Locate(name);
    std::string temporary;
    int fd = CreateTemporary(place, temporary);
    try {
        Put(fd, place.Path, bytes);
        const int closed = ::close(std::exchange(fd, -1));
        if (closed != 0)
            throw ExportError(place.Path.string() + ": " + Reason(errno));
        Commit(place, temporary);
    } catch (...) {
        if (fd >= 0)
            ::close(fd);
        ::unlinkat(place.Folder, temporary.c_str(), 0);
        Forget(place.Folder, temporary);
        throw;
    }
    Forget(place.Folder, temporary);
    Finished(place.Path, bytes.size());
}

void ExportTarget::Append(const std::string& name, std::string_view bytes) noexcept {
    auto file = std::find_if(Appended.begin(), Appended.end(),
                             [&](const AppendedFile& f) { return f.Name == name; });
    if (file == Appended.end() && bytes.empty())
        return; // a file only for text that holds bytes
    try {
        if (file == Appended.end()) {
            file = Appended.insert(Appended.end(), AppendedFile{name, {}, {}, -1, 0, {}});
            file->Where = Locate(name);
            // Refused before the first byte rather than after the last.
            Refuse(file->Where);
            file->Fd = CreateTemporary(file->Where, file->Temporary);
        }
        if (!file->Failure.empty())
            return;
        Put(file->Fd, file->Where.Path, bytes);
        file->Bytes += bytes.size();
    } catch (const std::exception& e) { // or the folder's path, out of memory
        if (file != Appended.end())
            file->Failure = dynamic_cast<const ExportError*>(&e)
                                ? std::string(e.what())
                                : (Options.Directory / name).string() + ": " + e.what();
    }
}

void ExportTarget::CloseAppended() {
    std::vector<AppendedFile> files;
    files.swap(Appended);
    std::string failure;
    for (AppendedFile& file : files) {
        if (file.Fd < 0) {
            // Refused or not made: nothing to remove.
        } else if (!file.Failure.empty()) {
            ::close(file.Fd);
            ::unlinkat(file.Where.Folder, file.Temporary.c_str(), 0);
            Forget(file.Where.Folder, file.Temporary);
        } else {
            try {
                if (::close(std::exchange(file.Fd, -1)) != 0)
                    throw ExportError(file.Where.Path.string() + ": " + Reason(errno));
                Commit(file.Where, file.Temporary);
                Forget(file.Where.Folder, file.Temporary);
                Finished(file.Where.Path, file.Bytes);
            } catch (const ExportError& e) {
                ::unlinkat(file.Where.Folder, file.Temporary.c_str(), 0);
                Forget(file.Where.Folder, file.Temporary);
                file.Failure = e.what();
            }
        }
        if (failure.empty())
            failure = file.Failure;
    }
    if (!failure.empty())
        throw ExportError(failure);
}

std::string ExportTarget::Distinct(const std::string& stem) {
    const std::size_t seen = ++Stems[stem];
    return seen == 1 ? stem : stem + "-" + std::to_string(seen);
}

void ExportTarget::Keep(const std::function<void()>& write) noexcept {
    if (!Kept.empty())
        return;
    try {
        write();
    } catch (const ExportError& e) {
        Kept = e.what();
    } catch (const std::exception& e) {
        Kept = Options.Directory.string() + ": " + e.what();
    }
}

void ExportTarget::ThrowKept() {
    if (!Kept.empty())
        throw ExportError(std::exchange(Kept, {}));
}

std::string ExportCategory(const content::Content& c, std::uint8_t index) {
    if (index == 0 || !c.Categories)
        return {};
    return c.Categories->Items[index].Name;
}

namespace {

// Whether a database holds an item its export writes. One rule for every format: a database
// without one writes no file (not an empty .vcf, nor a calendar of no events) and is "nothing
// to export".
template <typename Items> bool AnyLive(const Items& items) {
    return std::any_of(items.begin(), items.end(), [](const auto& item) { return !item.Deleted; });
}
bool HasItems(const ExportTarget&, const content::Memos& p) {
    return AnyLive(p.Items);
}
bool HasItems(const ExportTarget&, const content::ToDos& p) {
    return AnyLive(p.Items);
}
bool HasItems(const ExportTarget&, const content::Tasks& p) {
    return AnyLive(p.Items);
}
bool HasItems(const ExportTarget&, const content::Calendar& p) {
    return std::any_of(p.Items.begin(), p.Items.end(), [](const content::CalendarItem& item) {
        return !item.Deleted && Exportable(item);
    });
}
bool HasItems(const ExportTarget&, const content::NotePad& p) {
    return std::any_of(p.Items.begin(), p.Items.end(), [](const auto& item) {
        return !item.Deleted && !(item.Png.empty() && item.Ink.empty());
    });
}
bool HasItems(const ExportTarget&, const content::Contacts& p) {
    return AnyLive(p.Items);
}
bool HasItems(const ExportTarget&, const content::Expenses& p) {
    return AnyLive(p.Items);
}
bool HasItems(const ExportTarget&, const content::Photos& p) {
    return p.Picture ? !p.Jpeg.empty()
                     : std::any_of(p.Items.begin(), p.Items.end(), [](const auto& item) {
                           return !item.Deleted && !item.Thumbnail.empty();
                       });
}
bool HasItems(const ExportTarget&, const content::Datebook& p) {
    // The events the calendar holds (Ical.cpp): not one without a date, one that ends before
    // it starts, or a repeat that never occurs.
    return std::any_of(p.Items.begin(), p.Items.end(), [](const content::DatebookItem& item) {
        return !item.Deleted && Exportable(item);
    });
}
bool HasItems(const ExportTarget&, const content::AddressBook& p) {
    return AnyLive(p.Items);
}
bool HasItems(const ExportTarget&, const content::MailBox& p) {
    return AnyLive(p.Items);
}
bool HasItems(const ExportTarget& target, const content::Book& p) {
    // Written while decoded (Appending), or held whole.
    return p.TextRead && (target.Appending() || !p.Text.empty());
}
// Bitmaps, fonts, applications and the rest: by the files they write.
template <typename Payload> bool HasItems(const ExportTarget&, const Payload&) {
    return true;
}

} // namespace

content::ContentOptions ExportContentOptions(std::string encoding, ExportTarget* target,
                                             bool printing) {
    content::ContentOptions options;
    options.Encoding = std::move(encoding);
    if (target && !printing) {
        options.BookText = [target](const content::Book& book, std::string_view piece) {
            AppendBookText(*target, book, piece);
        };
    }
    if (target) {
        options.Bitmaps = [target](const content::BitmapEntry& entry) {
            ExportBitmapEntry(*target, entry);
        };
    } else {
        options.Pixels = false;
    }
    return options;
}

bool ExportDatabase(ExportTarget& target, const DatabaseImage& image, const Structure& structure,
                    std::string encoding) {
    const content::Content c =
        content::ReadContent(image, structure, ExportContentOptions(std::move(encoding), &target, false));
    return Export(target, c);
}

bool Export(ExportTarget& target, const content::Content& c) {
    bool wrote = false;
    WithPayload(c, [&](const auto& payload) {
        if (HasItems(target, payload)) {
            ExportPayload(target, c, payload);
            wrote = target.Written() > 0;
        }
    });
    return wrote;
}

// Each memo exactly as its text decodes, nothing added: "x" and "x\n" stay apart.
void ExportPayload(ExportTarget& target, const content::Content&, const content::Memos& p) {
    char name[32];
    for (const content::MemoItem& item : p.Items) {
        if (item.Deleted)
            continue;
        std::snprintf(name, sizeof name, "/%04zu.txt", item.Record);
        target.Write(target.BaseName() + name, item.Text);
    }
}

} // namespace vexlin::dump
