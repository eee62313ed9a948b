#pragma once
// Reading and writing chart files line by line.
//
// A line ends at CR LF, LF or a lone CR; a last line without an end is still a
// line; every other byte is data. Every written line is ended by CR LF.
//
// Destinations are written safely: into a temporary file beside the
// destination that is renamed over it only by Commit(). A sink destroyed
// without Commit() removes its temporary file and leaves the destination as
// it was, so no failure leaves a half-written file in place of a good one.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

class LineSource {
public:
    virtual ~LineSource() {
        if (line_number_ != nullptr) *line_number_ = 0;
    }
    // Reads the next line without its line end; false at the end of the source.
    [[nodiscard]] bool ReadLine(std::string& line) {
        if (!ReadNextLine(line)) return false;
        if (line_number_ != nullptr) ++*line_number_;
        return true;
    }
    // The same as a view that stays valid until the next read or Rewind().
    // Where the line lies whole in the source's own buffer, nothing is copied.
    [[nodiscard]] bool ReadLineView(std::string_view& line) {
        if (!ReadNextLineView(line)) return false;
        if (line_number_ != nullptr) ++*line_number_;
        return true;
    }
    // Appends the lines, without their ends, up to and with the first whose
    // last byte is `last` (true), or to the end of the source (false). Where
    // each line begins in `data` goes to `starts` when given.
    [[nodiscard]] bool AppendLinesThrough(char last, std::string& data, std::vector<std::size_t>* starts) {
        std::size_t read = 0;
        const bool found = AppendNextLinesThrough(last, data, starts, read);
        if (line_number_ != nullptr) *line_number_ += read;
        return found;
    }
    // Starts again from the first line.
    void Rewind() {
        RewindSource();
        if (line_number_ != nullptr) *line_number_ = 0;
    }
    // From now on keeps `*line_number` at the number, from 1, of the line last
    // read: 0 before the first, after Rewind() and once this source is gone.
    // Counting here, not in a wrapper, costs one increment a line.
    void CountLinesInto(std::size_t* line_number) {
        line_number_ = line_number;
        if (line_number_ != nullptr) *line_number_ = 0;
    }
    // Reads the source's bytes as they stand, line ends included, into
    // `buffer`: how many, 0 at the end. For checks that look at bytes, not
    // lines; Rewind() before reading lines again. The default gives the lines,
    // each ended by LF.
    [[nodiscard]] virtual std::size_t ReadBytes(char* buffer, std::size_t size);

protected:
    [[nodiscard]] virtual bool ReadNextLine(std::string& line) = 0;
    // The default reads the line into a string of this source's own.
    [[nodiscard]] virtual bool ReadNextLineView(std::string_view& line);
    // What AppendLinesThrough() reads, `read` counting the lines; the default
    // reads them one by one.
    [[nodiscard]] virtual bool AppendNextLinesThrough(char last, std::string& data, std::vector<std::size_t>* starts,
                                                      std::size_t& read);
    virtual void RewindSource() = 0;

private:
    std::string pending_;              // of the default ReadBytes
    std::string view_line_;            // of the default ReadNextLineView
    std::size_t* line_number_ = nullptr;  // see CountLinesInto
};

class LineSink {
public:
    virtual ~LineSink() = default;
    // Writes `line` followed by CR LF.
    virtual void WriteLine(std::string_view line) = 0;
    // Writes `lines`: whole lines, each ended by CR LF, as they stand. For a
    // writer that makes many short lines at once. The default gives each to
    // WriteLine.
    virtual void WriteLines(std::string_view lines);
    // Makes the written lines the destination's content.
    virtual void Commit() = 0;
};

// Where converters read their sources and write their destinations: the disk,
// or memory for tests and fuzzing. Converters do the same either way.
class Storage {
public:
    virtual ~Storage() = default;
    [[nodiscard]] virtual std::unique_ptr<LineSource> OpenSource(const std::filesystem::path& source) = 0;
    // Refuses (ConversionError) a destination that is the source file itself.
    [[nodiscard]] virtual std::unique_ptr<LineSink> CreateDestination(
        const std::filesystem::path& destination, const std::filesystem::path& source) = 0;
};

// Files on disk. Errors are ConversionError with the path and the reason.
[[nodiscard]] Storage& DiskStorage();

// Whole files held in memory, by path; a committed destination replaces the
// entry of its path.
class MemoryStorage : public Storage {
public:
    std::map<std::filesystem::path, std::string> files;

    [[nodiscard]] std::unique_ptr<LineSource> OpenSource(const std::filesystem::path& source) override;
    [[nodiscard]] std::unique_ptr<LineSink> CreateDestination(const std::filesystem::path& destination,
                                                              const std::filesystem::path& source) override;
};

// A line source over bytes in memory that it does not copy: they must
// outlive it. For text converted in memory and read where it lies.
[[nodiscard]] std::unique_ptr<LineSource> MakeBorrowedMemorySource(std::string_view bytes);

// Replaces `file` safely with `bytes` as they are.
void ReplaceFileSafely(const std::filesystem::path& file, std::string_view bytes);

}  // namespace torvane
