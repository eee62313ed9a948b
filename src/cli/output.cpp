#include "cli/output.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "text/output_names.hpp"
#include "text/sjis.hpp"

namespace torvane {

void ProgressLine::Show(const BatchProgress& progress) {
    if (!enabled_ || progress.in_hand.empty()) return;
    const std::string count = std::to_string(progress.count);
    std::string done = std::to_string(progress.done);
    done.insert(0, count.size() - std::min(count.size(), done.size()), ' ');
    std::string line = "[" + done + "/" + count + "] ";
    std::string name = DisplayPath(progress.in_hand.string());
    const std::size_t room =
        columns_ > static_cast<int>(line.size()) + 4 ? static_cast<std::size_t>(columns_) - line.size() - 1 : 3;
    // The end of a long path tells more than its start.
    if (name.size() > room) name = "..." + name.substr(name.size() - room + 3);
    err_ << "\r\x1b[K" << line << name << std::flush;
    shown_ = true;
}

void ProgressLine::Wipe() {
    if (!shown_) return;
    err_ << "\r\x1b[K" << std::flush;
    shown_ = false;
}

void Output::Write(std::string_view text) {
    if (failed_) return;
    errno = 0;
    out_ << text;
    Check();
}

void Output::Flush() {
    if (failed_) return;
    errno = 0;
    out_.flush();
    Check();
}

std::string Output::Reason() const {
    return "cannot write it" + (error_ != 0 ? std::string(": ") + std::strerror(error_) : std::string());
}

void Output::Check() {
    if (out_.good()) return;
    failed_ = true;
    error_ = errno;
}

std::string DestinationLines(const FileResult& result) {
    const std::string source = DisplayPath(result.source.string());
    std::string lines;
    for (const auto& destination : result.destinations) {
        lines.append(source).append(" -> ").append(DisplayPath(destination.string())).append("\n");
    }
    for (const auto& destination : result.existing) {
        lines.append(source).append(": skipped, ").append(DisplayPath(destination.string())).append(" exists\n");
    }
    return lines;
}

std::string TerminalErrorLine(std::string_view shown, const ErrorLine& line) {
    // A line of no known message is shown whole, as it would be logged.
    if (line.code == ErrorCode::kNone) return Cp932ToUtf8(RenderErrorLine(line));
    std::string text(shown);
    if (line.source_line != 0) text.append(":").append(std::to_string(line.source_line));
    text.append(": ");
    std::string_view message = ErrorCodeRowOf(line.code).message;
    constexpr std::string_view kFullWidthColon = "：";
    if (message.starts_with(kFullWidthColon)) message.remove_prefix(kFullWidthColon.size());
    text.append(message).append(Cp932ToUtf8(line.text));
    return text;
}

void PrintErrorLines(std::string_view shown, const std::vector<ErrorLine>& lines, std::ostream& err) {
    for (const auto& line : lines) err << TerminalErrorLine(shown, line) << '\n';
}

std::string SummaryText(const BatchSummary& summary, std::string_view done) {
    return std::to_string(summary.converted) + " " + std::string(done) + " (" +
           std::to_string(summary.with_error_lines) + " with error lines), " + std::to_string(summary.failed) +
           " failed, " + std::to_string(summary.skipped) + " skipped";
}

}  // namespace torvane
