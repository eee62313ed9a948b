#pragma once
// The named steps of MSD to ddr, each callable on its own so that tests can
// pin every rule.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ddr/ddr.hpp"
#include "msd/decoder.hpp"
#include "text/line_io.hpp"

namespace torvane {

// The option values brought into their ranges: the mode to one of its
// three, N, M and P to kDdrDeleteCount, kDdrMeasure and kDdrHalfBeat.
[[nodiscard]] DdrOptions ClampDdrOptions(const DdrOptions& options);

// Adds the ddr line of an MSD song tag line ("#TITLE:", "#BPM:", ...) to the
// header block. Returns false, adding nothing, for any other line.
bool AddDdrHeaderLine(std::string_view line, std::vector<std::string>& header_block);

// "s", "c" or "d" for a chart line ("#SINGLE:", "#COUPLE:", "#DOUBLE:");
// 0 for any other line.
[[nodiscard]] char DdrStyleLetter(std::string_view line);

// One chart file that a chart line opens.
struct DdrChartFile {
    char difficulty = 0;                // "b", "a" or "m"
    std::vector<std::string> opening;   // the file's lines before its step lines
};

// The chart in hand, as BeginDdrChart leaves it.
struct DdrChart {
    char style = 's';
    // One file per difficulty word found, in the order BASIC, ANOTHER,
    // MANIAC; empty when the chart has none. Only the last one gets the step
    // lines: the others hold their opening lines alone.
    std::vector<DdrChartFile> files;
    std::string text;                   // the step text, lead-in removed, with its final ";"
    std::size_t lead_in = 0;            // the "0" characters removed from the front of `text`
    bool terminated = true;             // false when the source ended before a line ending in ";"
};

// Starts the chart of a chart line: `rest` is the line without its style
// tag. "BASIC:", "ANOTHER:" and "MANIAC:" are each looked for, in this order,
// at the front of what the word before left of `rest`, and each one found is
// taken off and opens a file ("BASIC:MANIAC:3:" opens two, the first with
// the level comment "M"). Then `rest` loses everything up to its first ":".
// Reads the chart's continuation lines from `source` up to the line that ends
// with ";" (or the end of the source). The opening lines of a file are the
// header block (its end trimmed of blanks and control characters), the style
// and difficulty directives and the level comment. With `later_starts`,
// the offset of each continuation line in the chart's data (its lead-in
// included) is added to it.
[[nodiscard]] DdrChart BeginDdrChart(char style, std::string_view rest,
                                     const std::vector<std::string>& header_block, LineSource& source,
                                     std::vector<std::size_t>* later_starts = nullptr);

struct DdrPads {
    std::string first;
    std::string second;
    // Both pads are the chart's own and move alike: a double or couple
    // chart with a second side.
    bool in_step = true;
    // Where the second side begins in the chart's step text, after the ":"
    // that ends the first; 0 when the chart has one side.
    std::size_t second_start = 0;
};

// Splits a chart's step text at its first ":". A single chart's second pad
// is rests only, as long as the first pad plus the reference lead-in. A final
// ";" is taken off each pad. The pads are in step when there are two sides.
[[nodiscard]] DdrPads SplitDdrPads(std::string_view chart_text, std::size_t reference_lead_in);

// The sides of a chart's step text as SplitDdrPads finds them, before any
// lead-in moves: views into the text. A single chart's second pad is
// `silent_rests` rests, and no more.
struct DdrPadViews {
    std::string_view first;
    std::string_view second;
    bool in_step = true;
    std::size_t second_start = 0;
    bool second_silent = false;
    std::size_t silent_rests = 0;
};

[[nodiscard]] DdrPadViews SplitDdrPadViews(std::string_view chart_text, std::size_t reference_lead_in);

// How ApplyDdrLeadIn moves the pads: the rests put in front of each (none
// when not positive), after the second pad's own rests are taken off when
// `strip_second`; and how many 8th notes later than asked the steps come.
struct DdrLeadIns {
    long long first = 0;
    long long second = 0;
    bool strip_second = false;
    long long late = 0;
};

// The moves for a chart whose own lead-in is `lead_in` and whose second pad
// begins with `second_rests` rests.
[[nodiscard]] DdrLeadIns DdrLeadInsFor(std::size_t lead_in, std::size_t second_rests, std::size_t reference_lead_in,
                                       bool in_step, const DdrOptions& options);

// Puts the lead-in that the option mode asks for in front of each pad (MSD
// step characters, before decoding). `lead_in` is the chart's own, already
// removed from the first pad; `options` must be in range. Two written pads
// always move by the same amount, so that they stay in step: where one of
// them has too few rests for the move asked, both move less. Returns how
// many 8th notes later than asked the chart's steps come.
long long ApplyDdrLeadIn(DdrPads& pads, std::size_t lead_in, std::size_t reference_lead_in,
                         const DdrOptions& options);

// Expanded step text to ddr panel codes in place, one character for one; a
// character without a code ("5", the triplet mark "T", ...) stays as it is.
void ToDdrPanelCodes(std::string& expanded);

// A measure of 32 cells at the most.
inline constexpr std::size_t kDdrMeasureCells = 32;

// One measure of up to 32 cells (missing cells are rests) in the coarsest of
// 32, 16, 8 and 4 slots that loses no step: writes the slots into `slots` and
// returns how many there are.
std::size_t CompactDdrMeasure(std::string_view measure, std::array<char, kDdrMeasureCells>& slots);

// Writes the step lines of both pads of a chart, given as expanded step text,
// measure by measure from measure 1; a measure without a step in a pad has no
// line for it. The pads are turned into panel codes where they are. Counts
// into `spread_measures` the measures whose triplets are spread over 32nd
// notes.
void BuildDdrStepLines(std::string first_pad, std::string second_pad, LineSink& out,
                       std::size_t* spread_measures = nullptr);

// BuildDdrStepLines on the pads that `first` and `second` decode, `stretch`
// cells at a time, so that a long chart's cells are never all held; a null
// `second` is a pad of rests alone. `has_step5` tells whether either pad's
// cells held a "5" before they became panel codes.
void BuildDdrStepLinesAsDecoded(MSDStepDecoder& first, MSDStepDecoder* second, LineSink& out,
                                std::size_t* spread_measures, bool& has_step5,
                                std::size_t stretch = 16 * 1024);

}  // namespace torvane
