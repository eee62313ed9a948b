#include "text/line_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

#include "text/conversion_error.hpp"

namespace torvane {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;
constexpr std::size_t kMaxFileNameLength = 255;

[[noreturn]] void ThrowIoError(const std::filesystem::path& file, Failure kind, int error) {
    throw ConversionError(kind, file, {}, {}, error);
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
        for (const char* p = begin; p != end; ++p) {
            if (*p == '\n' || *p == '\r') {
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
        buffer_.resize(kBufferSize);
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
            pos_ += splitter_.SkipLfAfterCr(std::string_view(buffer_.data() + pos_, size_ - pos_));
            if (pos_ == size_) continue;
            std::size_t used = 0;
            const bool done = splitter_.Take(std::string_view(buffer_.data() + pos_, size_ - pos_), line, used);
            pos_ += used;
            if (done) return true;
            have_bytes = true;
        }
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
        size_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        if (size_ < buffer_.size()) {
            if (std::ferror(file_)) ThrowIoError(path_, Failure::kRead, errno ? errno : EIO);
            eof_ = true;
        }
    }

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::string buffer_;
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

private:
    std::string bytes_;
    MemoryLineSource source_;
};

mode_t CreationMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

class DiskLineSink final : public LineSink {
public:
    explicit DiskLineSink(std::filesystem::path destination) : destination_(std::move(destination)) {
        const auto folder = destination_.has_parent_path() ? destination_.parent_path() : std::filesystem::path(".");
        // The temporary file carries the destination's name, so that one left
        // by a crash tells what it was; a name near the file system's limit
        // would get too long, and takes a short one instead.
        std::string temporary_name = ".";
        temporary_name.append(destination_.filename().string()).append(".XXXXXX");
        if (temporary_name.size() > kMaxFileNameLength) temporary_name = ".torvane.XXXXXX";
        std::string pattern = (folder / temporary_name).string();
        fd_ = ::mkstemp(pattern.data());
        if (fd_ < 0) ThrowIoError(destination_, Failure::kCreate, errno);
        temporary_ = pattern;
        struct stat existing {};
        const mode_t mode = ::stat(destination_.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : CreationMode();
        ::fchmod(fd_, mode);
        buffer_.reserve(kBufferSize + 1024);
    }
    ~DiskLineSink() override {
        if (fd_ >= 0) ::close(fd_);
        if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    }
    DiskLineSink(const DiskLineSink&) = delete;
    DiskLineSink& operator=(const DiskLineSink&) = delete;

    void WriteLine(std::string_view line) override {
        if (line.size() >= kBufferSize) {
            Flush();
            WriteAll(line);
            WriteAll("\r\n");
            return;
        }
        buffer_.append(line).append("\r\n");
        if (buffer_.size() >= kBufferSize) Flush();
    }

    void Commit() override {
        Flush();
        if (::fsync(fd_) != 0) ThrowIoError(destination_, Failure::kWrite, errno);
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0) ThrowIoError(destination_, Failure::kWrite, errno);
        if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) {
            ThrowIoError(destination_, Failure::kReplace, errno);
        }
        committed_ = true;
    }

private:
    void Flush() {
        WriteAll(buffer_);
        buffer_.clear();
    }
    void WriteAll(std::string_view bytes) {
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
    std::string temporary_;
    int fd_ = -1;
    bool committed_ = false;
    std::string buffer_;
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

}  // namespace torvane
