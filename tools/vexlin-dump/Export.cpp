// --export: the dispatcher, the files it writes (never over an existing one without --force),
// and the memo pad's export, one plain text file per memo in a folder of the database's name.
#include "ContentModes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace vexlin::dump {

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

void WriteAll(int fd, const std::filesystem::path& path, std::string_view bytes) {
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

} // namespace

ExportTarget::~ExportTarget() {
    for (const AppendedFile& file : Appended)
        ::close(file.Fd);
    if (FolderFd >= 0)
        ::close(FolderFd);
}

int ExportTarget::Create(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.parent_path();
    // The folder is made and opened once; each file is then created relative to it, which
    // spares the kernel a walk of the whole path for each of thousands of memos.
    if (FolderFd < 0 || folder != MadeFolder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec)
            throw ExportError(folder.string() + ": " + ec.message());
        if (FolderFd >= 0)
            ::close(FolderFd);
        FolderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (FolderFd < 0)
            throw ExportError(folder.string() + ": " + Reason(errno));
        MadeFolder = folder;
    }
    // O_EXCL makes "does it exist" and "create it" one step: nothing is overwritten unasked.
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | (Options.Force ? O_TRUNC : O_EXCL);
    const int fd = ::openat(FolderFd, path.filename().c_str(), flags, 0666);
    if (fd < 0) {
        const int error = errno;
        throw ExportError(path.string() + ": " +
                          (error == EEXIST ? "exists (--force overwrites it)" : Reason(error)));
    }
    return fd;
}

// Closes a file written whole; counts it and with -v names it.
void ExportTarget::Finish(int fd, const std::filesystem::path& path, std::size_t bytes) {
    if (::close(fd) != 0)
        throw ExportError(path.string() + ": " + Reason(errno));
    ++Count;
    if (Options.Verbose)
        std::fprintf(stderr, "vexlin-dump: wrote %s (%zu bytes)\n", path.c_str(), bytes);
}

void ExportTarget::Write(const std::string& name, std::string_view bytes) {
    const std::filesystem::path path = Options.Directory / name;
    const int fd = Create(path);
    try {
        WriteAll(fd, path, bytes);
    } catch (const ExportError&) {
        ::close(fd);
        throw;
    }
    Finish(fd, path, bytes.size());
}

void ExportTarget::Append(const std::string& name, std::string_view bytes) noexcept {
    const std::filesystem::path path = Options.Directory / name;
    auto file = std::find_if(Appended.begin(), Appended.end(),
                             [&](const AppendedFile& f) { return f.Name == name; });
    try {
        if (file == Appended.end()) {
            file = Appended.insert(Appended.end(), AppendedFile{name, -1, 0, {}});
            file->Fd = Create(path);
        }
        if (!file->Failure.empty())
            return;
        WriteAll(file->Fd, path, bytes);
        file->Bytes += bytes.size();
    } catch (const std::exception& e) { // or the folder's path, out of memory
        if (file != Appended.end())
            file->Failure = dynamic_cast<const ExportError*>(&e) ? std::string(e.what())
                                                                 : path.string() + ": " + e.what();
    }
}

void ExportTarget::CloseAppended() {
    std::vector<AppendedFile> files;
    files.swap(Appended);
    std::string failure;
    for (AppendedFile& file : files) {
        if (file.Fd >= 0 && file.Failure.empty()) {
            try {
                Finish(file.Fd, Options.Directory / file.Name, file.Bytes);
            } catch (const ExportError& e) {
                file.Failure = e.what();
            }
        } else if (file.Fd >= 0) {
            ::close(file.Fd);
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

bool Export(ExportTarget& target, const content::Content& c) {
    return std::visit(
        [&](const auto& payload) {
            if constexpr (std::is_same_v<std::decay_t<decltype(payload)>, std::monostate>) {
                return false;
            } else {
                ExportPayload(target, c, payload);
                return true;
            }
        },
        c.Payload);
}

void ExportPayload(ExportTarget& target, const content::Content&, const content::Memos& p) {
    char name[32];
    for (const content::MemoItem& item : p.Items) {
        if (item.Deleted)
            continue;
        std::snprintf(name, sizeof name, "/%04zu.txt", item.Record);
        std::string text = item.Text;
        if (!text.empty() && text.back() != '\n')
            text += '\n';
        target.Write(target.BaseName() + name, text);
    }
}

} // namespace vexlin::dump
