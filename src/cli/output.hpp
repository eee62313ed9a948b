#pragma once
// What every command prints besides its report: the progress line on a
// terminal, standard output that remembers its first failure, and the lines
// of a file done.

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "batch/runner.hpp"

namespace torvane {

// One line redrawn in place on a terminal: files done of all, and the file
// in hand. Wiped before anything else is written.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool enabled, int columns) : err_(err), enabled_(enabled), columns_(columns) {}

    void Show(const BatchProgress& progress);
    void Wipe();
    // Whether the line is shown at all: on a terminal, unless turned off.
    [[nodiscard]] bool Enabled() const { return enabled_; }

private:
    std::ostream& err_;
    bool enabled_;
    int columns_;
    bool shown_ = false;
};

// Standard output fails quietly (a full disk, a closed pipe): the first
// failure is kept and reported at the end.
class Output {
public:
    explicit Output(std::ostream& out) : out_(out) {}

    void Write(std::string_view text);
    void Flush();
    [[nodiscard]] bool Failed() const { return failed_; }
    // The reason of the failure, "cannot write it: ..." (its errno's words).
    [[nodiscard]] std::string Reason() const;

private:
    void Check();

    std::ostream& out_;
    bool failed_ = false;
    int error_ = 0;
};

// "SOURCE -> DESTINATION" per file written, "SOURCE: skipped, DESTINATION
// exists" per destination left alone.
[[nodiscard]] std::string DestinationLines(const FileResult& result);

// An error line as editors read it, UTF-8: the source as shown (`shown`),
// its line where the line has one, and the message without its leading
// "：" followed by the offending text: "pack/a/song.msd:14: 変換不能な脚符長さです(12345)".
[[nodiscard]] std::string TerminalErrorLine(std::string_view shown, const ErrorLine& line);

// The error lines of the source shown as `shown`, one TerminalErrorLine each.
void PrintErrorLines(std::string_view shown, const std::vector<ErrorLine>& lines, std::ostream& err);

// "198 converted (12 with error lines), 2 failed, 1 skipped", `done` being
// the word of the files done.
[[nodiscard]] std::string SummaryText(const BatchSummary& summary, std::string_view done);

}  // namespace torvane
