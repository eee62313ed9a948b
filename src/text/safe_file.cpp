#include "text/safe_file.hpp"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <mutex>
#include <set>
#include <unordered_set>
#include <system_error>
#include <utility>
#include <vector>

namespace torvane {

void ThrowIoError(const std::filesystem::path& file, Failure kind, int error) {
    throw ConversionError(kind, file, {}, {}, error);
}

// The mode a new file gets: 0666 less the umask. The umask is read from
// /proc, since setting it to read it back would, for a moment, give every
// file and folder that another thread creates the wrong mode.
mode_t CreationMode() {
    static const mode_t mode = [] {
        mode_t mask = 022;
        bool found = false;
        if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            unsigned value = 0;
            while (std::fgets(line, sizeof line, status) != nullptr) {
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    mask = static_cast<mode_t>(value);
                    found = true;
                    break;
                }
            }
            std::fclose(status);
        }
        if (!found) {
            mask = ::umask(0);
            ::umask(mask);
        }
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

std::optional<mode_t> LookAtDestination(const std::filesystem::path& destination,
                                        const std::filesystem::path& source) {
    // A destination that is not there yet, the usual case, needs no look at
    // the source.
    struct stat there {};
    if (destination.empty() || ::stat(destination.c_str(), &there) != 0) return std::nullopt;
    struct stat read {};
    if (!source.empty() && ::stat(source.c_str(), &read) == 0 && there.st_dev == read.st_dev &&
        there.st_ino == read.st_ino) {
        throw ConversionError(Failure::kSourceIsDestination, destination);
    }
    return static_cast<mode_t>(there.st_mode & 07777);
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

namespace {

// Unnamed files need a kernel and file system that know O_TMPFILE, and
// /proc to give them a name later.
bool CanLinkUnnamed() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

// Links the open unnamed file `fd` under `name`, whose last six characters
// are made up anew until the name is free: 0 or the errno.
int LinkUnnamed(int fd, TempFileName& name) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name.MakeUp();
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.Path(), AT_SYMLINK_FOLLOW) == 0) return 0;
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

bool ProcessRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

std::string TempFilePattern(const std::filesystem::path& destination) {
    const std::string suffix = ".tv" + std::to_string(::getpid()) + ".XXXXXX";
    std::string name = ".";
    name.append(destination.filename().string()).append(suffix);
    if (name.size() > kMaxFileNameLength) name = ".torvane" + suffix;
    return (FolderOf(destination) / name).string();
}

pid_t TempFileOwner(std::string_view name) {
    // ".NAME.tvPID.XXXXXX"
    if (name.size() < 1 + 4 + 1 + 7 || name.front() != '.') return 0;
    const std::size_t random = name.size() - 6;
    if (name[random - 1] != '.') return 0;
    for (std::size_t i = random; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return 0;
    }
    std::size_t digits = random - 1;
    pid_t pid = 0;
    std::size_t count = 0;
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') {
        --digits;
        ++count;
    }
    if (count == 0 || count > 9 || digits < 4 || name.substr(digits - 3, 3) != ".tv") return 0;
    for (std::size_t i = digits; i < random - 1; ++i) pid = pid * 10 + (name[i] - '0');
    return pid;
}

void RemoveStaleTempFiles(const std::filesystem::path& folder) {
    static std::mutex mutex;
    static std::unordered_set<std::string> done;
    {
        const std::lock_guard lock(mutex);
        if (!done.insert(folder.native()).second) return;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t owner = TempFileOwner(entry->d_name);
        if (owner <= 0 || owner == self || ProcessRuns(owner)) continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

pid_t ScratchFolderOwner(std::string_view prefix, std::string_view name) {
    // "PREFIX-PID-XXXXXX"
    if (name.size() < prefix.size() + 1 + 1 + 7 || !name.starts_with(prefix) || name[prefix.size()] != '-') return 0;
    const std::size_t random = name.size() - 6;
    if (name[random - 1] != '-') return 0;
    const std::string_view digits = name.substr(prefix.size() + 1, random - 1 - (prefix.size() + 1));
    if (digits.empty() || digits.size() > 9 || digits.front() == '0') return 0;
    pid_t pid = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

std::filesystem::path MakeScratchFolder(const std::filesystem::path& parent, std::string_view prefix) {
    static std::mutex mutex;
    static std::set<std::pair<std::filesystem::path, std::string>> done;
    bool first = false;
    {
        const std::lock_guard lock(mutex);
        first = done.emplace(parent, std::string(prefix)).second;
    }
    if (first) {
        if (DIR* dir = ::opendir(parent.c_str())) {
            const pid_t self = ::getpid();
            std::vector<std::string> stale;
            while (const dirent* entry = ::readdir(dir)) {
                const pid_t owner = ScratchFolderOwner(prefix, entry->d_name);
                if (owner <= 0 || owner == self || ProcessRuns(owner)) continue;
                struct stat info {};
                if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode) &&
                    info.st_uid == ::geteuid()) {
                    stale.emplace_back(entry->d_name);
                }
            }
            ::closedir(dir);
            for (const std::string& name : stale) {
                std::error_code ec;
                std::filesystem::remove_all(parent / name, ec);
            }
        }
    }
    std::string name = (parent / (std::string(prefix) + '-' + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (::mkdtemp(name.data()) == nullptr) throw ConversionError(Failure::kCreate, name, "", "", errno);
    return name;
}

namespace {

std::optional<mode_t> ModeOfFileAt(const std::filesystem::path& file) {
    struct stat existing {};
    if (::stat(file.c_str(), &existing) != 0) return std::nullopt;
    return static_cast<mode_t>(existing.st_mode & 07777);
}

}  // namespace

TempFile::TempFile(std::filesystem::path destination) : TempFile(destination, ModeOfFileAt(destination)) {}

TempFile::TempFile(std::filesystem::path destination, std::optional<mode_t> existing_mode)
    : destination_(std::move(destination)), destination_was_free_(!existing_mode) {
    const std::filesystem::path folder = FolderOf(destination_);
    RemoveStaleTempFiles(folder);
    const mode_t mode = existing_mode.value_or(CreationMode());
    if (CanLinkUnnamed()) {
        // No one can open an unnamed file, so a new one is made with its
        // final mode (which the umask leaves as it is).
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, existing_mode ? 0600 : mode);
        unnamed_ = fd_ >= 0;
    }
    if (fd_ < 0) {
        name_ = std::make_unique<TempFileName>(TempFilePattern(destination_));
        fd_ = name_->Create();
        if (fd_ < 0) {
            const int error = errno;
            name_->Forget();
            ThrowIoError(destination_, Failure::kCreate, error);
        }
    }
    if (!unnamed_ || existing_mode) ::fchmod(fd_, mode);
    buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
}

TempFile::~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (name_ != nullptr && !unnamed_) ::unlink(name_->Path());
}

void TempFile::WriteAll(std::string_view bytes) {
    bytes_ += bytes.size();
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowIoError(destination_, Failure::kWrite, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void TempFile::Close(bool sync) {
    Flush();
    // A closed file may wait long for its group to be put in place, beside
    // hundreds of others: it keeps no buffer meanwhile.
    buffer_.reset();
    if (sync && ::fdatasync(fd_) != 0) ThrowIoError(destination_, Failure::kWrite, errno);
}

int TempFile::Sync() { return ::fdatasync(fd_) == 0 ? 0 : errno; }

void TempFile::Link() {
    if (unnamed_) {
        if (name_ == nullptr) name_ = std::make_unique<TempFileName>(TempFilePattern(destination_));
        const int error = LinkUnnamed(fd_, *name_);
        if (error != 0) ThrowIoError(destination_, Failure::kCreate, error);
        unnamed_ = false;
    }
    if (fd_ >= 0) {
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0) ThrowIoError(destination_, Failure::kWrite, errno);
    }
}

int TempFile::PutInPlace(bool no_replace) {
    int error = 0;
    if (!no_replace) {
        error = std::rename(name_->Path(), destination_.c_str()) == 0 ? 0 : errno;
    } else if (::renameat2(AT_FDCWD, name_->Path(), AT_FDCWD, destination_.c_str(), RENAME_NOREPLACE) != 0) {
        error = errno;
        // A file system without the flag: a link fails as well when the name is taken.
        if (error == EINVAL || error == ENOSYS) {
            error = ::link(name_->Path(), destination_.c_str()) == 0 ? 0 : errno;
            if (error == 0) ::unlink(name_->Path());
        }
    }
    if (error == 0) {
        name_->Forget();
        name_.reset();
    }
    return error;
}

int TempFile::LinkAsDestination() {
    if (!unnamed_ || !destination_was_free_ || fd_ < 0) return ENOTSUP;
    const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, destination_.c_str(), AT_SYMLINK_FOLLOW) != 0) return errno;
    unnamed_ = false;
    if (::close(std::exchange(fd_, -1)) != 0) {
        // As when a temporary file fails to close: no file is left for it.
        const int error = errno;
        ::unlink(destination_.c_str());
        ThrowIoError(destination_, Failure::kWrite, error);
    }
    return 0;
}

void TempFile::Replace() {
    if (LinkAsDestination() == 0) return;
    Link();
    if (const int error = PutInPlace(false); error != 0) ThrowIoError(destination_, Failure::kReplace, error);
}

namespace {

// The file a path leads to: a symbolic link followed to its end, even when
// that end does not exist yet.
std::filesystem::path FollowLinks(const std::filesystem::path& path) {
    std::filesystem::path at = path;
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(at, ec))) return at;
        const std::filesystem::path target = std::filesystem::read_symlink(at, ec);
        if (ec) return at;
        at = target.is_absolute() ? target : FolderOf(at) / target;
    }
    throw ConversionError(Failure::kCreate, path, {}, {}, ELOOP);
}

}  // namespace

ReportFile::ReportFile(const std::filesystem::path& path) : path_(path), target_(FollowLinks(path)) {
    struct stat info {};
    if (::stat(target_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) ThrowIoError(path_, Failure::kCreate, EISDIR);
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd_ < 0) ThrowIoError(path_, Failure::kCreate, errno);
        return;
    }
    // The folder must take a new file: one made and removed at once.
    const std::filesystem::path folder = FolderOf(target_);
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EACCES && errno != EROFS && errno != ENOENT && errno != ENOTDIR && errno != ENOSPC) {
        TempFileName name(TempFilePattern(target_));
        fd = name.Create();
        if (fd >= 0) ::unlink(name.Path());
        name.Forget();
    }
    if (fd < 0) ThrowIoError(path_, Failure::kCreate, errno);
    ::close(fd);
}

ReportFile::~ReportFile() {
    if (fd_ >= 0) ::close(fd_);
}

void ReportFile::Write(std::string_view bytes) {
    if (fd_ < 0) {
        TempFile temp(target_);
        temp.Write(bytes);
        temp.Close(true);
        temp.Replace();
        return;
    }
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowIoError(path_, Failure::kWrite, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace torvane
