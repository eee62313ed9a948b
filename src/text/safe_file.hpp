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
#include <optional>
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

// One look at a destination before it is written: the mode of the file that
// is there, or none when nothing is. Throws ConversionError
// (kSourceIsDestination) when that file is `source` itself.
[[nodiscard]] std::optional<mode_t> LookAtDestination(const std::filesystem::path& destination,
                                                      const std::filesystem::path& source);

// The folder of `file`; "." for a bare name.
[[nodiscard]] std::filesystem::path FolderOf(const std::filesystem::path& file);

// A temporary file beside `destination`, written through a buffer. Where
// the file system allows, it is an unnamed file (O_TMPFILE) that gets a name
// only when it is put in place, so that even a killed program leaves no
// temporary file behind; elsewhere a named one from the start. Every name
// carries the process id (".song.d2r.tv1234.Ab3xYz"), so that a later run can
// tell the leftovers of a program that no longer runs. The file is removed
// when the object goes, unless it was put in place.
class TempFile {
public:
    explicit TempFile(std::filesystem::path destination);
    // For a destination already looked at: `existing_mode` is the mode of the
    // file there, none when the name is free. A new file is made with its
    // mode at once; one that replaces a file takes that file's mode.
    TempFile(std::filesystem::path destination, std::optional<mode_t> existing_mode);
    ~TempFile();
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
    // Bytes of whole lines, line ends included, through the buffer.
    void WriteText(std::string_view bytes) {
        if (bytes.size() > kBufferSize - used_) {
            Flush();
            if (bytes.size() > kBufferSize) {
                WriteAll(bytes);
                return;
            }
        }
        std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
    }

    // Writes what is buffered, and syncs the file's data when `sync`. The
    // file stays open (an unnamed file is only reachable through it), and
    // takes no more writes.
    void Close(bool sync);
    // Syncs the file's data; 0 or the errno.
    [[nodiscard]] int Sync();
    // Gives the file its temporary name beside the destination (a named
    // file has it already) and closes it.
    void Link();
    // Renames the file over the destination, or with `no_replace` only when
    // the destination is not there: 0 or the errno (EEXIST). On success the
    // file is no longer this object's.
    [[nodiscard]] int PutInPlace(bool no_replace);
    // Puts an unnamed file in place under the destination's own name when
    // that name was free as the file was made: one link, without a temporary
    // name or a rename, and never over a file. 0 (the file is closed and no
    // longer this object's), EEXIST when the name is taken now, or another
    // errno, ENOTSUP for a file that cannot be placed so; then Link() and
    // PutInPlace() still can. Throws when the file fails to close.
    [[nodiscard]] int LinkAsDestination();
    // LinkAsDestination(), or Link() and PutInPlace(false), throwing on failure.
    void Replace();

    [[nodiscard]] const std::filesystem::path& Destination() const { return destination_; }
    [[nodiscard]] std::uintmax_t Bytes() const { return bytes_; }
    [[nodiscard]] bool Unnamed() const { return unnamed_; }

private:
    void Flush() {
        WriteAll(std::string_view(buffer_.get(), used_));
        used_ = 0;
    }
    void WriteAll(std::string_view bytes);

    std::filesystem::path destination_;
    std::unique_ptr<TempFileName> name_;  // an unnamed file's only once it is linked
    int fd_ = -1;
    bool unnamed_ = false;
    bool destination_was_free_ = false;
    std::uintmax_t bytes_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

// The name pattern of a temporary file beside `destination` for this
// process: ".NAME.tvPID.XXXXXX", or ".torvane.tvPID.XXXXXX" for a name near
// the file system's limit.
[[nodiscard]] std::string TempFilePattern(const std::filesystem::path& destination);

// The process id in a temporary file's name of that pattern, or 0 when the
// name is not one.
[[nodiscard]] pid_t TempFileOwner(std::string_view file_name);

// Removes from `folder` the temporary files of processes that no longer run;
// once per folder and process. Never those of a process that still runs.
void RemoveStaleTempFiles(const std::filesystem::path& folder);

// The process id in the name of a scratch folder, "PREFIX-PID-XXXXXX", or 0
// when the name is not one of `prefix`.
[[nodiscard]] pid_t ScratchFolderOwner(std::string_view prefix, std::string_view folder_name);

// Makes a scratch folder of this process in `parent`, "PREFIX-PID-XXXXXX",
// mode 0700. First, once per parent, prefix and process, removes with what
// they hold the scratch folders of `prefix` that belong to this user and to
// processes that no longer run (a run that was killed leaves its own), never
// those of a process that runs. Throws ConversionError when it cannot make it.
[[nodiscard]] std::filesystem::path MakeScratchFolder(const std::filesystem::path& parent, std::string_view prefix);

// A file that a report or a log is written to, checked before the batch
// starts. A symbolic link is followed: its target is replaced, the link kept.
// A path that is not a regular file (a device, a FIFO) is opened at once and
// written in place, never replaced. A regular file, or a new one, is
// replaced safely at the end; its folder must let a file be made in it.
class ReportFile {
public:
    // Throws ConversionError when the file cannot be written.
    explicit ReportFile(const std::filesystem::path& path);
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    void Write(std::string_view bytes);
    [[nodiscard]] const std::filesystem::path& Target() const { return target_; }

private:
    std::filesystem::path path_;
    std::filesystem::path target_;
    int fd_ = -1;  // of a special file
};

}  // namespace torvane
