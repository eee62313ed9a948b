#pragma once
// Notes of the ddr conversions: what a chart loses on its way between MSD
// and ddr. Each helper adds its notes only where the loss happens.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// The comments of a ddr file that carry what MSD keeps as song tags and the
// level; ddr to MSD reads none of them.
struct DdrComments {
    std::string bpm, gap, level, file, artist, msd;
    bool has_file = false, has_artist = false, has_msd = false;
};

// Remembers `line` when it is one of those comments.
void KeepDdrComment(std::string_view line, DdrComments& comments);

// The notes of one chart that ddr to MSD wrote from `block` (its step lines,
// slots already MSD characters), named by the chart line it wrote.
void NoteDdrChart(const std::vector<std::string_view>& block, std::string_view style, std::string_view difficulty,
                  const DdrComments& comments, ErrorList& errors);

// The line that ended a step block is read as nothing: a note when it is a
// directive.
void NoteLineAfterDdrSteps(std::string_view line, ErrorList& errors);

// MSD to ddr: the notes of a chart line (its level cut to one character, a
// chart of unknown difficulty not converted).
void NoteMsdChartForDdr(std::string_view chart_line, bool converted, ErrorList& errors);

// MSD to ddr: a chart whose steps come `eighths_late` 8th notes later than
// the lead-in option asked.
void NoteDdrChartShifted(std::string_view chart_line, long long eighths_late, ErrorList& errors);

// MSD to ddr: the notes of a chart's decoded pads, as a "5" among their steps.
void NoteDdrPads(std::string_view chart_line, bool has_step5, ErrorList& errors);

// MSD to ddr: passes a chart file's lines on and notes a measure number past
// 999 and measures whose triplets were spread over 32nd notes.
class DdrChartNotes final : public LineSink {
public:
    DdrChartNotes(LineSink& out, std::string_view chart_line, ErrorList& errors)
        : out_(out), chart_line_(chart_line), errors_(errors) {}
    void WriteLine(std::string_view line) override;
    void Commit() override;
    // The number of measures of the chart whose triplets were spread.
    std::size_t spread_measures = 0;

private:
    LineSink& out_;
    std::string chart_line_;
    ErrorList& errors_;
    std::string last_measure_;
};

}  // namespace torvane
