#pragma once
// What both MSD readers share: tags, the reference lead-in, and the reading of
// a chart section's continuation lines.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/line_io.hpp"

namespace torvane {

[[nodiscard]] constexpr bool EndsWithSemicolon(std::string_view line) {
    return !line.empty() && line.back() == ';';
}

// The number of "0" characters that begin `text`.
[[nodiscard]] std::size_t CountLeadingZeros(std::string_view text);

// True when `text` holds nothing but the rest "0" (an empty text included).
[[nodiscard]] bool IsAllZero(std::string_view text);

// `steps` behind a lead-in of `count` rests; none when `count` is not positive.
[[nodiscard]] std::string WithLeadIn(long long count, std::string_view steps);

// The reference lead-in: the number of "0" characters that begin the step
// data of the first chart section, read from the source's current position
// (0 when there is none). Reads at most to the end of that section.
[[nodiscard]] std::size_t FindReferenceLeadIn(LineSource& source);
// How much of the first chart FindReferenceLeadIn reads before it first
// looks; it reads twice as much each time it has to look further.
inline constexpr std::size_t kFirstLook = 4096;

// Where the lines of a chart's joined data begin in its source, for error
// lines that name the line of what they report: the data's first byte
// stands on `first_line` (0 when the source's lines are not counted), and
// each line read after it begins at the offset in the data that
// `later_starts` holds for it, in order.
struct ChartSourceLines {
    std::size_t first_line = 0;
    std::vector<std::size_t> later_starts;

    // The source line of the data byte at `offset`, 0 when not known.
    // `passed` is a cursor into `later_starts` (start it at 0) that moves as
    // far as `offset` has moved since the last call, so that asking for the
    // offsets of one chart in order costs as much as its lines, once.
    [[nodiscard]] std::size_t LineOf(std::size_t offset, std::size_t& passed) const;
};

// Appends the lines that follow to `data`, with nothing between them, up to
// and including the first line whose last character is ";". Returns false
// when the source ends before such a line. With `later_starts`, each line's
// offset in `data` is added to it as the line is appended.
[[nodiscard]] bool AppendChartLines(LineSource& source, std::string& data,
                                    std::vector<std::size_t>* later_starts = nullptr);

// How an error line names a chart: its line up to and including the colon
// after the level ("#SINGLE:BASIC:5:"), or the whole line when it has fewer
// fields.
[[nodiscard]] std::string_view ChartLabel(std::string_view chart_line);

}  // namespace torvane
