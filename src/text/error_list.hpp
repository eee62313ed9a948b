#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/error_codes.hpp"

namespace torvane {

class LineSource;

// What a conversion could not carry over, or filled in by itself, though the
// chart is not at fault: the written tempo is a default, a level was cut, ...
// `code` is stable for scripts; `chart` names the chart as error lines do
// (code page 932, empty for the whole file); `value` is the datum the note is
// about (the level kept, the tempo found in a comment, ...), code page 932.
struct Note {
    std::string code;
    std::string chart;
    std::string value;

    friend bool operator==(const Note&, const Note&) = default;
};

// One problem found in a chart, kept as data until it is written.
// `file` is the source's name as error lines begin with it, `text` the
// offending text (both code page 932). `source_line` is the line of the
// source where the offending text begins, 0 when the problem has none (a
// text converted in memory); `chart` the label of the chart
// ("#SINGLE:BASIC:5:") where known; `at` "measure M beat B" on the chart's
// own timeline where known.
struct ErrorLine {
    ErrorCode code = ErrorCode::kNone;
    std::string file;
    std::string text;
    std::size_t source_line = 0;
    std::string chart;
    std::string at;

    friend bool operator==(const ErrorLine&, const ErrorLine&) = default;
};

// An error line's `at`: "measure M beat B", both counted from 1.
[[nodiscard]] std::string MeasureAndBeat(std::size_t measure, std::size_t beat);

// The line as "ErrLog.txt" holds it: the file's name, the message and the
// offending text joined with nothing between them, code page 932.
[[nodiscard]] std::string RenderErrorLine(const ErrorLine& line);

// A line of no known message, written as it is: the window's own lines.
[[nodiscard]] ErrorLine PlainErrorLine(std::string text);

// Where the lines added to an ErrorList stand while it is given one (see
// ErrorList::PlaceBy): for a converter that reads a block whole before it
// converts it, and so finds its problems with the reader past them.
class SourcePlace {
public:
    [[nodiscard]] virtual std::size_t SourceLine() = 0;

protected:
    ~SourcePlace() = default;
};

// The error lines of one batch, in the order they were found. Beside them,
// the notes.
class ErrorList {
public:
    void Add(std::string_view file_name, ErrorCode code, std::string_view text = {}, std::string_view at = {});
    // As Add, for a problem whose text begins on `source_line` (0: none),
    // which the reader may have passed.
    void AddOnLine(std::size_t source_line, std::string_view file_name, ErrorCode code, std::string_view text = {},
                   std::string_view at = {});
    void Add(ErrorLine line);
    void AddNote(std::string_view code, std::string_view chart = {}, std::string_view value = {});

    // Keeps no more than the first `lines` lines, and as many notes; of the
    // lines after, only their number (LinesNotKept). For a list of which only
    // the first lines are told: a conversion of a chart that changes
    // wholesale finds a line in every measure.
    void KeepAtMost(std::size_t lines) { keep_at_most_ = lines; }
    [[nodiscard]] std::size_t LinesNotKept() const { return lines_not_kept_; }

    // Lines added from now on stand on the line that `source` has reached,
    // until it goes: then they stand nowhere (line 0). `source` must not
    // outlive this list.
    void CountLinesOf(LineSource& source);
    // The line the counted source has reached: where lines added now stand.
    [[nodiscard]] std::size_t SourceLine() const { return source_line_; }
    // Until PlaceBy(nullptr), lines added by Add stand on the line that
    // `place` gives when each is added; `place` must stay until then.
    void PlaceBy(SourcePlace* place);

    [[nodiscard]] const std::vector<Note>& Notes() const { return notes_; }
    [[nodiscard]] const std::vector<ErrorLine>& Entries() const { return lines_; }

    // Every line rendered, as "ErrLog.txt" holds them.
    [[nodiscard]] std::vector<std::string> Lines() const;
    [[nodiscard]] bool Empty() const { return lines_.empty(); }
    [[nodiscard]] std::size_t Size() const { return lines_.size(); }
    void Clear() {
        lines_.clear();
        notes_.clear();
        source_line_ = 0;
        lines_not_kept_ = 0;
    }

    // Writes every line ended by CR LF, replacing the file safely.
    void SaveTo(const std::filesystem::path& file) const;

private:
    std::vector<ErrorLine> lines_;
    std::vector<Note> notes_;
    std::size_t source_line_ = 0;
    std::size_t keep_at_most_ = static_cast<std::size_t>(-1);
    std::size_t lines_not_kept_ = 0;
    SourcePlace* place_ = nullptr;
};


// Error lines held back, to be added to a list later in the order the
// conversion's parts would have found them one after another. Lines added
// without a line of their own stand on `source_line`.
class HeldErrorLines {
public:
    explicit HeldErrorLines(std::size_t source_line);
    HeldErrorLines(const HeldErrorLines&) = delete;
    HeldErrorLines& operator=(const HeldErrorLines&) = delete;
    ~HeldErrorLines();

    [[nodiscard]] ErrorList& List() { return held_; }
    // Adds the lines held to `errors`, and holds none.
    void MoveTo(ErrorList& errors);

private:
    class FixedPlace final : public SourcePlace {
    public:
        explicit FixedPlace(std::size_t line) : line_(line) {}
        std::size_t SourceLine() override { return line_; }

    private:
        std::size_t line_;
    };

    FixedPlace place_;
    ErrorList held_;
};

}  // namespace torvane
