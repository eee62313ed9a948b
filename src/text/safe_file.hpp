#pragma once
// What the files of line_io share: the temporary file that every destination
// is written into, and the errors of reading and writing files.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "text/conversion_error.hpp"
#include "text/line_io.hpp"
#include "text/temp_files.hpp"

namespace torvane {

inline constexpr std::size_t kBufferSize = 1 << 16;
inline constexpr std::size_t kMaxFileNameLength = 255;

[[noreturn]] void ThrowIoError(const std::filesystem::path& file, Failure kind, int error);

// A source that reads the file `path` line by line.
[[nodiscard]] std::unique_ptr<LineSource> OpenFileLineSource(const std::filesystem::path& path);

// The mode a new file gets: 0666 less the umask.
[[nodiscard]] mode_t CreationMode();

[[nodiscard]] bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The folder of `file`; "." for a bare name.
[[nodiscard]] std::filesystem::path FolderOf(const std::filesystem::path& file);

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

}  // namespace torvane
