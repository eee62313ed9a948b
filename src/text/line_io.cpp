#include "text/line_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <system_error>
#include <utility>

#include "text/conversion_error.hpp"
#include "text/temp_files.hpp"

namespace torvane {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;
constexpr std::size_t kMaxFileNameLength = 255;

[[noreturn]] void ThrowIoError(const std::filesystem::path& file, Failure kind, int error) {
    throw ConversionError(kind, file, {}, {}, error);
}

// The first CR or LF from `p`, or `end`. Eight bytes at a time: the scan for
// line ends is most of the cost of reading the many short lines of a chart.
const char* FindLineEnd(const char* p, const char* end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    while (std::endian::native == std::endian::little && end - p >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, sizeof word);
        const std::uint64_t lf = word ^ (kOnes * '\n');
        const std::uint64_t cr = word ^ (kOnes * '\r');
        // A byte of zero in lf or cr: the classic test, exact for the lowest such byte.
        const std::uint64_t found = ((lf - kOnes) & ~lf & kHighs) | ((cr - kOnes) & ~cr & kHighs);
        if (found != 0) return p + (std::countr_zero(found) / 8);
        p += 8;
    }
    while (p != end && *p != '\n' && *p != '\r') ++p;
    return p;
}

// Splits bytes into lines at CR LF, LF and lone CR. Keeps the state of a CR
// that ended one chunk so that an LF opening the next is not a second line end.
class LineSplitter {
public:
    // Takes bytes from `chunk` into `line` until a line end. Returns true when
    // a line is complete; `used` tells how many bytes were consumed.
    bool Take(std::string_view chunk, std::string& line, std::size_t& used) {
        used = SkipLfAfterCr(chunk);
        const char* begin = chunk.data() + used;
        const char* end = chunk.data() + chunk.size();
        const char* p = FindLineEnd(begin, end);
        if (p != end) {
            line.append(begin, p);
            used = static_cast<std::size_t>(p - chunk.data()) + 1;
            if (*p == '\r') {
                if (p + 1 != end) {
                    if (p[1] == '\n') ++used;
                } else {
                    after_cr_ = true;
                }
            }
            return true;
        }
        line.append(begin, end);
        used = chunk.size();
        return false;
    }
    // The LF of a CR LF split between two chunks; returns the bytes to skip.
    std::size_t SkipLfAfterCr(std::string_view chunk) {
        if (!after_cr_ || chunk.empty()) return 0;
        after_cr_ = false;
        return chunk.front() == '\n' ? 1 : 0;
    }
    void Reset() { after_cr_ = false; }

private:
    bool after_cr_ = false;
};

class FileLineSource final : public LineSource {
public:
    explicit FileLineSource(std::filesystem::path path) : path_(std::move(path)) {
        file_ = std::fopen(path_.c_str(), "rb");
        if (file_ == nullptr) ThrowIoError(path_, Failure::kOpenForReading, errno);
        // Not zeroed: a library's files are small, and zeroing 64 KiB for
        // each would cost more than reading it.
        buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
    }
    ~FileLineSource() override {
        if (file_ != nullptr) std::fclose(file_);
    }
    FileLineSource(const FileLineSource&) = delete;
    FileLineSource& operator=(const FileLineSource&) = delete;

    bool ReadLine(std::string& line) override {
        line.clear();
        bool have_bytes = false;
        for (;;) {
            if (pos_ == size_) {
                if (eof_) return have_bytes;
                Fill();
                if (pos_ == size_) return have_bytes;
            }
            pos_ += splitter_.SkipLfAfterCr(std::string_view(buffer_.get() + pos_, size_ - pos_));
            if (pos_ == size_) continue;
            std::size_t used = 0;
            const bool done = splitter_.Take(std::string_view(buffer_.get() + pos_, size_ - pos_), line, used);
            pos_ += used;
            if (done) return true;
            have_bytes = true;
        }
    }

    std::size_t ReadBytes(char* buffer, std::size_t size) override {
        if (pos_ < size_) {
            const std::size_t n = std::min(size, size_ - pos_);
            std::memcpy(buffer, buffer_.get() + pos_, n);
            pos_ += n;
            return n;
        }
        if (eof_) return 0;
        const std::size_t n = std::fread(buffer, 1, size, file_);
        if (n < size) {
            if (std::ferror(file_)) ThrowIoError(path_, Failure::kRead, errno ? errno : EIO);
            eof_ = n == 0;
        }
        return n;
    }

    void Rewind() override {
        if (std::fseek(file_, 0, SEEK_SET) != 0) ThrowIoError(path_, Failure::kRead, errno);
        std::clearerr(file_);
        pos_ = size_ = 0;
        eof_ = false;
        splitter_.Reset();
    }

private:
    void Fill() {
        pos_ = 0;
        size_ = std::fread(buffer_.get(), 1, kBufferSize, file_);
        if (size_ < kBufferSize) {
            if (std::ferror(file_)) ThrowIoError(path_, Failure::kRead, errno ? errno : EIO);
            eof_ = true;
        }
    }

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    bool eof_ = false;
    LineSplitter splitter_;
};

class MemoryLineSource final : public LineSource {
public:
    explicit MemoryLineSource(std::string_view bytes) : bytes_(bytes) {}
    bool ReadLine(std::string& line) override {
        line.clear();
        if (pos_ >= bytes_.size()) return false;
        std::size_t used = 0;
        splitter_.Take(bytes_.substr(pos_), line, used);
        pos_ += used;
        return true;
    }
    void Rewind() override {
        pos_ = 0;
        splitter_.Reset();
    }
    std::size_t ReadBytes(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, bytes_.size() - std::min(pos_, bytes_.size()));
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    LineSplitter splitter_;
};

// Owns the bytes for a source opened from MemoryStorage.
class OwningMemorySource final : public LineSource {
public:
    explicit OwningMemorySource(std::string bytes) : bytes_(std::move(bytes)), source_(bytes_) {}
    bool ReadLine(std::string& line) override { return source_.ReadLine(line); }
    void Rewind() override { source_.Rewind(); }
    std::size_t ReadBytes(char* buffer, std::size_t size) override { return source_.ReadBytes(buffer, size); }

private:
    std::string bytes_;
    MemoryLineSource source_;
};

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

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

// A temporary file beside `destination`, written through a buffer. It is
// removed when the object goes, unless Release() took it away first.
class TempFile {
public:
    explicit TempFile(std::filesystem::path destination) : destination_(std::move(destination)) {
        // The temporary file carries the destination's name, so that one left
        // by a crash tells what it was; a name near the file system's limit
        // would get too long, and takes a short one instead.
        std::string temporary_name = ".";
        temporary_name.append(destination_.filename().string()).append(".XXXXXX");
        if (temporary_name.size() > kMaxFileNameLength) temporary_name = ".torvane.XXXXXX";
        name_ = std::make_unique<TempFileName>((FolderOf(destination_) / temporary_name).string());
        fd_ = name_->Create();
        if (fd_ < 0) {
            const int error = errno;
            name_->Forget();
            ThrowIoError(destination_, Failure::kCreate, error);
        }
        struct stat existing {};
        const mode_t mode = ::stat(destination_.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : CreationMode();
        ::fchmod(fd_, mode);
        buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
    }
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (name_ != nullptr) ::unlink(name_->Path());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Most lines are a dozen bytes: copied into a plain buffer, which a
    // string's growth checks would make the larger part of writing them.
    void WriteLine(std::string_view line) {
        if (line.size() + 2 > kBufferSize - used_) {
            Flush();
            if (line.size() + 2 > kBufferSize) {
                WriteAll(line);
                WriteAll("\r\n");
                return;
            }
        }
        char* at = buffer_.get() + used_;
        std::memcpy(at, line.data(), line.size());
        at[line.size()] = '\r';
        at[line.size() + 1] = '\n';
        used_ += line.size() + 2;
    }

    void Write(std::string_view bytes) {
        Flush();
        WriteAll(bytes);
    }

    // Writes what is buffered, syncs the file's data when `sync`, and closes it.
    void Close(bool sync) {
        Flush();
        if (sync && ::fdatasync(fd_) != 0) ThrowIoError(destination_, Failure::kWrite, errno);
        if (!sync) {
            struct stat written {};
            if (::fstat(fd_, &written) == 0) device_ = written.st_dev;
        }
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0) ThrowIoError(destination_, Failure::kWrite, errno);
    }

    // Renames the closed file over the destination.
    void Replace() {
        if (std::rename(name_->Path(), destination_.c_str()) != 0) ThrowIoError(destination_, Failure::kReplace, errno);
        name_->Forget();
        name_.reset();
    }

    [[nodiscard]] const std::filesystem::path& Destination() const { return destination_; }
    [[nodiscard]] std::uintmax_t Bytes() const { return bytes_; }
    [[nodiscard]] dev_t Device() const { return device_; }
    // The temporary file's name, for whoever takes the file over.
    [[nodiscard]] std::unique_ptr<TempFileName> Release() { return std::move(name_); }

private:
    void Flush() {
        WriteAll(std::string_view(buffer_.get(), used_));
        used_ = 0;
    }
    void WriteAll(std::string_view bytes) {
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

    std::filesystem::path destination_;
    std::unique_ptr<TempFileName> name_;
    int fd_ = -1;
    std::uintmax_t bytes_ = 0;
    dev_t device_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

// One file made durable and put in place by itself.
class DiskLineSink final : public LineSink {
public:
    explicit DiskLineSink(std::filesystem::path destination) : file_(std::move(destination)) {}

    void WriteLine(std::string_view line) override { file_.WriteLine(line); }

    void Commit() override {
        file_.Close(true);
        file_.Replace();
    }

private:
    TempFile file_;
};

class GroupSink final : public LineSink {
public:
    GroupSink(std::filesystem::path destination, std::function<void(TempFile&)> complete)
        : file_(std::move(destination)), complete_(std::move(complete)) {}

    void WriteLine(std::string_view line) override { file_.WriteLine(line); }

    void Commit() override {
        file_.Close(false);
        complete_(file_);
    }

private:
    TempFile file_;
    std::function<void(TempFile&)> complete_;
};

class DiskStorageImpl final : public Storage {
public:
    std::unique_ptr<LineSource> OpenSource(const std::filesystem::path& source) override {
        std::error_code ec;
        if (std::filesystem::is_directory(source, ec)) ThrowIoError(source, Failure::kRead, EISDIR);
        return std::make_unique<FileLineSource>(source);
    }
    std::unique_ptr<LineSink> CreateDestination(const std::filesystem::path& destination,
                                                const std::filesystem::path& source) override {
        if (IsSameFile(destination, source)) {
            throw ConversionError(Failure::kSourceIsDestination, destination);
        }
        return std::make_unique<DiskLineSink>(destination);
    }
};

class MemoryLineSink final : public LineSink {
public:
    MemoryLineSink(MemoryStorage& storage, std::filesystem::path destination)
        : storage_(storage), destination_(std::move(destination)) {}
    void WriteLine(std::string_view line) override { content_.append(line).append("\r\n"); }
    void Commit() override { storage_.files[destination_] = std::move(content_); }

private:
    MemoryStorage& storage_;
    std::filesystem::path destination_;
    std::string content_;
};

}  // namespace

std::size_t LineSource::ReadBytes(char* buffer, std::size_t size) {
    std::size_t n = 0;
    while (n < size) {
        if (pending_.empty()) {
            if (!ReadLine(pending_)) break;
            pending_ += '\n';
        }
        const std::size_t take = std::min(size - n, pending_.size());
        std::memcpy(buffer + n, pending_.data(), take);
        pending_.erase(0, take);
        n += take;
    }
    return n;
}

Storage& DiskStorage() {
    static DiskStorageImpl storage;
    return storage;
}

std::unique_ptr<LineSource> MemoryStorage::OpenSource(const std::filesystem::path& source) {
    const auto it = files.find(source);
    if (it == files.end()) ThrowIoError(source, Failure::kOpenForReading, ENOENT);
    return std::make_unique<OwningMemorySource>(it->second);
}

std::unique_ptr<LineSink> MemoryStorage::CreateDestination(const std::filesystem::path& destination,
                                                           const std::filesystem::path& source) {
    if (destination == source) {
        throw ConversionError(Failure::kSourceIsDestination, destination);
    }
    return std::make_unique<MemoryLineSink>(*this, destination);
}

struct DestinationGroup::Writes::Completed {
    std::filesystem::path destination;
    std::unique_ptr<TempFileName> name;
    std::uintmax_t bytes = 0;
    dev_t device = 0;
};

struct DestinationGroup::Pending {
    std::size_t owner = 0;
    Writes::Completed file;
};

namespace {

void Unlink(const std::unique_ptr<TempFileName>& name) {
    if (name != nullptr && name->Path() != nullptr) ::unlink(name->Path());
}

// Runs `sync` on an open descriptor of `folder`; 0 or the errno.
int SyncFolder(const std::filesystem::path& folder, int (*sync)(int)) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = sync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// Renames without replacing: 0, or the errno (EEXIST when the destination is there).
int RenameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: a link fails as well when the name is taken.
    if (::link(from, to) != 0) return errno;
    ::unlink(from);
    return 0;
}

}  // namespace

DestinationGroup::Writes::Writes(Storage& sources) : sources_(sources) {}

DestinationGroup::Writes::~Writes() { Discard(); }

std::unique_ptr<LineSource> DestinationGroup::Writes::OpenSource(const std::filesystem::path& source) {
    return sources_.OpenSource(source);
}

std::unique_ptr<LineSink> DestinationGroup::Writes::CreateDestination(const std::filesystem::path& destination,
                                                                      const std::filesystem::path& source) {
    if (IsSameFile(destination, source)) throw ConversionError(Failure::kSourceIsDestination, destination);
    return std::make_unique<GroupSink>(destination, [this](TempFile& file) {
        const dev_t device = file.Device();
        Complete(file.Destination(), file.Release(), file.Bytes(), device);
    });
}

void DestinationGroup::Writes::Complete(std::filesystem::path destination, std::unique_ptr<TempFileName> name,
                                        std::uintmax_t bytes, dev_t device) {
    // A file written again by the same source (a later chart of the same
    // style and difficulty) replaces the earlier one.
    for (auto it = completed_.begin(); it != completed_.end(); ++it) {
        if (it->destination == destination) {
            Unlink(it->name);
            completed_.erase(it);
            break;
        }
    }
    completed_.push_back(Completed{std::move(destination), std::move(name), bytes, device});
}

void DestinationGroup::Writes::Discard() {
    for (auto& file : completed_) Unlink(file.name);
    completed_.clear();
}

DestinationGroup::DestinationGroup(bool no_clobber) : no_clobber_(no_clobber) {}

DestinationGroup::~DestinationGroup() {
    for (auto& pending : pending_) Unlink(pending.file.name);
}

void DestinationGroup::Add(Writes& writes, std::size_t owner) {
    for (auto& file : writes.completed_) {
        bytes_ += file.bytes;
        pending_.push_back(Pending{owner, std::move(file)});
    }
    writes.completed_.clear();
}

std::size_t DestinationGroup::Files() const { return pending_.size(); }

std::vector<DestinationGroup::Result> DestinationGroup::Commit() {
    std::vector<Result> results(pending_.size());
    const auto fail = [&](std::size_t i, Failure kind, const std::filesystem::path& file, int error) {
        results[i].outcome = Outcome::kFailed;
        results[i].failure = std::make_shared<const ConversionError>(kind, file, std::string(), std::string(), error);
    };
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        results[i].owner = pending_[i].owner;
        results[i].destination = pending_[i].file.destination;
    }

    // Durable first: one syncfs per file system, or each file's data.
    std::map<dev_t, std::vector<std::size_t>> by_device;
    for (std::size_t i = 0; i < pending_.size(); ++i) by_device[pending_[i].file.device].push_back(i);
    for (const auto& [device, files] : by_device) {
        if (SyncFolder(FolderOf(pending_[files.front()].file.destination), ::syncfs) == 0) continue;
        for (const std::size_t i : files) {
            const int fd = ::open(pending_[i].file.name->Path(), O_RDONLY | O_CLOEXEC);
            const int error = fd < 0 ? errno : ::fdatasync(fd) == 0 ? 0 : errno;
            if (fd >= 0) ::close(fd);
            if (error != 0) fail(i, Failure::kWrite, pending_[i].file.destination, error);
        }
    }

    // Then in place, in order.
    std::vector<std::filesystem::path> folders;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        Writes::Completed& file = pending_[i].file;
        if (results[i].outcome == Outcome::kFailed) {
            Unlink(file.name);
            continue;
        }
        const int error = no_clobber_ ? RenameNoReplace(file.name->Path(), file.destination.c_str())
                          : std::rename(file.name->Path(), file.destination.c_str()) == 0 ? 0
                                                                                            : errno;
        if (error == 0) {
            file.name->Forget();
            const auto folder = FolderOf(file.destination);
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
        } else if (error == EEXIST && no_clobber_) {
            results[i].outcome = Outcome::kExisted;
            Unlink(file.name);
        } else {
            fail(i, Failure::kReplace, file.destination, error);
            Unlink(file.name);
        }
    }

    // The renames themselves durable: each folder once.
    for (const auto& folder : folders) {
        const int error = SyncFolder(folder, ::fsync);
        if (error == 0 || error == EINVAL) continue;
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            if (results[i].outcome == Outcome::kPlaced && FolderOf(results[i].destination) == folder) {
                fail(i, Failure::kWrite, folder, error);
            }
        }
    }
    pending_.clear();
    bytes_ = 0;
    return results;
}

std::unique_ptr<LineSource> MakeBorrowedMemorySource(std::string_view bytes) {
    return std::make_unique<MemoryLineSource>(bytes);
}

void ReplaceFileSafely(const std::filesystem::path& file, std::string_view bytes) {
    TempFile temp(file);
    temp.Write(bytes);
    temp.Close(true);
    temp.Replace();
}

}  // namespace torvane
