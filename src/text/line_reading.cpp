#include "text/line_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "text/byte_masks.hpp"
#include "text/safe_file.hpp"

namespace torvane {
namespace {

// The first CR or LF from `p`, or `end`. Sixteen bytes at a time: the scan
// for line ends is most of the cost of reading the many short lines of a
// chart.
const char* FindLineEnd(const char* p, const char* end) {
    for (; end - p >= 16; p += 16) {
        if (const std::uint32_t found = BytesEqualBits(p, '\n') | BytesEqualBits(p, '\r'); found != 0) {
            return p + std::countr_zero(found);
        }
    }
    while (p != end && *p != '\n' && *p != '\r') ++p;
    return p;
}

// The end of the line from `begin` when it is whole in [begin, end), ended
// before the last byte so that a CR's LF, if any, is there too; null for any
// other.
const char* WholeLineEnd(const char* begin, const char* end) {
    const char* const p = FindLineEnd(begin, end);
    return end - p < 2 ? nullptr : p;
}

// Where the line after one that ends at `line_end` (WholeLineEnd) begins.
const char* AfterLineEnd(const char* line_end) { return line_end + (line_end[0] == '\r' && line_end[1] == '\n' ? 2 : 1); }

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
            // By length: append(first, last) takes the slower road of replace().
            line.append(begin, static_cast<std::size_t>(p - begin));
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
        line.append(begin, static_cast<std::size_t>(end - begin));
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
    // Whether the last chunk ended with a CR, whose LF may open the next.
    [[nodiscard]] bool AfterCr() const { return after_cr_; }

private:
    bool after_cr_ = false;
};

class FileLineSource final : public LineSource {
public:
    explicit FileLineSource(std::filesystem::path path) : path_(std::move(path)) {
        file_ = std::fopen(path_.c_str(), "rb");
        if (file_ == nullptr) ThrowIoError(path_, Failure::kOpenForReading, errno);
        // Reads go straight into this source's buffer: stdio's own, and the
        // look at the file it takes to size it, are not needed.
        std::setvbuf(file_, nullptr, _IONBF, 0);
        struct stat status {};
        if (::fstat(::fileno(file_), &status) == 0 && S_ISDIR(status.st_mode)) {
            std::fclose(file_);
            file_ = nullptr;
            ThrowIoError(path_, Failure::kRead, EISDIR);
        }
        // Not zeroed: a library's files are small, and zeroing 64 KiB for
        // each would cost more than reading it.
        buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
    }
    ~FileLineSource() override {
        if (file_ != nullptr) std::fclose(file_);
    }
    FileLineSource(const FileLineSource&) = delete;
    FileLineSource& operator=(const FileLineSource&) = delete;

    bool ReadNextLine(std::string& line) override {
        std::string_view whole;
        if (TakeWholeLine(whole)) {
            line.assign(whole);
            return true;
        }
        line.clear();
        return ReadAcrossFills(line);
    }

    bool ReadNextLineView(std::string_view& line) override {
        // A line longer than the buffer is rare, and may be a whole chart:
        // its copy is not kept for the rest of the file once it is read.
        if (split_line_.capacity() > kBufferSize) [[unlikely]] std::string().swap(split_line_);
        if (TakeWholeLine(line)) return true;
        split_line_.clear();
        if (!ReadAcrossFills(split_line_)) return false;
        line = split_line_;
        return true;
    }

    // Lines whole in the buffer without a call each: most of a chart. They
    // are gathered a few kilobytes at a time before they are appended, since
    // a chart's lines are short and an append costs more than their copy.
    bool AppendNextLinesThrough(char last, std::string& data, std::vector<std::size_t>* starts,
                                std::size_t& read) override {
        std::array<char, kGathered + kMove> gathered;
        for (;;) {
            std::size_t used = 0;
            bool through = false;
            // As TakeWholeLine takes them, the place in locals.
            if (!splitter_.AfterCr()) {
                const char* const base = buffer_.get();
                const char* const end = base + size_;
                const char* p = base + pos_;
                while (p < end) {
                    const char* const line_end = WholeLineEnd(p, end);
                    if (line_end == nullptr) break;
                    const auto size = static_cast<std::size_t>(line_end - p);
                    ++read;
                    if (starts != nullptr) starts->push_back(data.size() + used);
                    if (size > kGathered - used) {
                        data.append(gathered.data(), used);
                        used = 0;
                    }
                    if (size > kGathered) {
                        data.append(p, size);
                    } else {
                        CopyLine(p, size, gathered.data() + used);
                        used += size;
                    }
                    through = size > 0 && line_end[-1] == last;
                    p = AfterLineEnd(line_end);
                    if (through) break;
                }
                pos_ = static_cast<std::size_t>(p - base);
            }
            data.append(gathered.data(), used);
            if (through) return true;
            // A line across the buffer's end, or the file's last.
            std::string_view line;
            if (!ReadNextLineView(line)) return false;
            ++read;
            if (starts != nullptr) starts->push_back(data.size());
            data.append(line);
            // Looked at before a long line's copy goes, as in ReadNextLineView:
            // the view may stand in that copy.
            through = !line.empty() && line.back() == last;
            if (split_line_.capacity() > kBufferSize) [[unlikely]] std::string().swap(split_line_);
            if (through) return true;
        }
    }

    // Through the buffer, so that a file that fits in it is read from the
    // disk once, however often it is read again from its start.
    std::size_t ReadBytes(char* buffer, std::size_t size) override {
        if (pos_ == size_) {
            if (eof_) return 0;
            Fill();
        }
        const std::size_t n = std::min(size, size_ - pos_);
        std::memcpy(buffer, buffer_.get() + pos_, n);
        pos_ += n;
        return n;
    }

    void RewindSource() override {
        splitter_.Reset();
        if (whole_) {
            // The buffer holds the file, first byte to last: a small file is
            // checked, then converted, without reading it again.
            pos_ = 0;
            return;
        }
        if (std::fseek(file_, 0, SEEK_SET) != 0) ThrowIoError(path_, Failure::kRead, errno);
        std::clearerr(file_);
        pos_ = size_ = 0;
        eof_ = false;
        from_start_ = true;
    }

private:
    static constexpr std::size_t kGathered = 4096;

    static constexpr std::size_t kMove = 32;

    // Copies `size` bytes of the buffer from `from` to `to`, which has room
    // for kMove bytes more: a short line in two moves of sixteen bytes, where
    // the buffer has them (what follows the line is written over next).
    void CopyLine(const char* from, std::size_t size, char* to) const {
        if (size <= kMove && buffer_.get() + kBufferSize - from >= static_cast<std::ptrdiff_t>(kMove)) {
            std::memcpy(to, from, kMove / 2);
            if (size > kMove / 2) std::memcpy(to + kMove / 2, from + kMove / 2, kMove / 2);
            return;
        }
        std::memcpy(to, from, size);
    }

    // Most lines: whole in the buffer, ended before its last byte, so that a
    // CR's LF, if any, is there too. Takes such a line; false for any other.
    bool TakeWholeLine(std::string_view& line) {
        if (pos_ >= size_ || splitter_.AfterCr()) return false;
        const char* const begin = buffer_.get() + pos_;
        const char* const line_end = WholeLineEnd(begin, buffer_.get() + size_);
        if (line_end == nullptr) return false;
        line = std::string_view(begin, static_cast<std::size_t>(line_end - begin));
        pos_ = static_cast<std::size_t>(AfterLineEnd(line_end) - buffer_.get());
        return true;
    }

    // Any other line, appended to `line` as the buffer fills again.
    bool ReadAcrossFills(std::string& line) {
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

    void Fill() {
        pos_ = 0;
        size_ = std::fread(buffer_.get(), 1, kBufferSize, file_);
        if (size_ < kBufferSize) {
            if (std::ferror(file_)) ThrowIoError(path_, Failure::kRead, errno ? errno : EIO);
            eof_ = true;
        }
        whole_ = from_start_ && eof_;
        from_start_ = false;
    }

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    bool eof_ = false;
    bool from_start_ = true;  // the next Fill reads from the file's first byte
    bool whole_ = false;      // the buffer holds the whole file
    LineSplitter splitter_;
    std::string split_line_;  // a line that ReadNextLineView could not show in place
};

class MemoryLineSource final : public LineSource {
public:
    explicit MemoryLineSource(std::string_view bytes) : bytes_(bytes) {}
    bool ReadNextLine(std::string& line) override {
        line.clear();
        if (pos_ >= bytes_.size()) return false;
        std::size_t used = 0;
        splitter_.Take(bytes_.substr(pos_), line, used);
        pos_ += used;
        return true;
    }
    void RewindSource() override {
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
    bool ReadNextLine(std::string& line) override { return source_.ReadLine(line); }
    void RewindSource() override { source_.Rewind(); }
    std::size_t ReadBytes(char* buffer, std::size_t size) override { return source_.ReadBytes(buffer, size); }

private:
    std::string bytes_;
    MemoryLineSource source_;
};

}  // namespace

std::unique_ptr<LineSource> OpenFileLineSource(const std::filesystem::path& path) {
    return std::make_unique<FileLineSource>(path);
}

bool LineSource::AppendNextLinesThrough(char last, std::string& data, std::vector<std::size_t>* starts,
                                        std::size_t& read) {
    std::string_view line;
    while (ReadNextLineView(line)) {
        ++read;
        if (starts != nullptr) starts->push_back(data.size());
        data.append(line);
        if (!line.empty() && line.back() == last) return true;
    }
    return false;
}

bool LineSource::ReadNextLineView(std::string_view& line) {
    if (!ReadNextLine(view_line_)) return false;
    line = view_line_;
    return true;
}

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

std::unique_ptr<LineSource> MemoryStorage::OpenSource(const std::filesystem::path& source) {
    const auto it = files.find(source);
    if (it == files.end()) ThrowIoError(source, Failure::kOpenForReading, ENOENT);
    return std::make_unique<OwningMemorySource>(it->second);
}

std::unique_ptr<LineSource> MakeBorrowedMemorySource(std::string_view bytes) {
    return std::make_unique<MemoryLineSource>(bytes);
}

}  // namespace torvane
