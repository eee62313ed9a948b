#pragma once
// The steps of the two ddr conversions, each on its own so that tests can
// call it. Chart text is bytes throughout.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ddr/ddr.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// ---------------------------------------------------------------------------
// The ddr format

// The file of one chart: `destination` with its extension replaced by "_",
// the style letter ("s", "c", "d"), the difficulty letter ("b", "a", "m") and
// ".ddr": "song.ddr" gives "song_sb.ddr".
[[nodiscard]] std::filesystem::path DdrChartFileName(const std::filesystem::path& destination, char style,
                                                     char difficulty);

// A step line: the pad mark "#" or "$", the measure number with at least
// three digits, ":" and the slots.
[[nodiscard]] std::string FormatDdrStepLine(char pad_mark, long long measure, std::string_view slots);
// The same line, written over `line`.
void FormatDdrStepLineInto(char pad_mark, long long measure, std::string_view slots, std::string& line);

// 2 when `text` holds a whole double-byte character at `at`, else 1: a
// message or a comment never takes half a character.
[[nodiscard]] std::size_t SjisCharacterSize(std::string_view text, std::size_t at);

// The measure number of a step line: the three digits after its "#" or "$".
// Any other line, and a line for measure 000, gives 0. A fourth digit is not
// read.
[[nodiscard]] int DdrMeasureNumber(std::string_view line);

// ---------------------------------------------------------------------------
// MSD to ddr

// The option values brought into their ranges: mode 0 to 2, N 0 to 150,
// M 1 to 10, P 2 to 9.
[[nodiscard]] DdrOptions ClampDdrOptions(const DdrOptions& options);

// The four banner lines that start every header block.
[[nodiscard]] std::vector<std::string> DdrBanner(std::string_view caption);

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
// and difficulty directives and the level comment.
[[nodiscard]] DdrChart BeginDdrChart(char style, std::string_view rest,
                                     const std::vector<std::string>& header_block, LineSource& source);

struct DdrPads {
    std::string first;
    std::string second;
};

// Splits a chart's step text at its first ":". A single chart's second pad
// is rests only, as long as the first pad plus the reference lead-in. A final
// ";" is taken off each pad.
[[nodiscard]] DdrPads SplitDdrPads(std::string_view chart_text, std::size_t reference_lead_in);

// Puts the lead-in that the option mode asks for in front of each pad (MSD
// step characters, before decoding). `lead_in` is the chart's own, already
// removed from the first pad; `options` must be in range.
void ApplyDdrLeadIn(DdrPads& pads, std::size_t lead_in, std::size_t reference_lead_in,
                    const DdrOptions& options);

// Expanded step text to ddr panel codes, one character for one; a character
// without a code ("5", the triplet mark "T", ...) stays as it is.
[[nodiscard]] std::string ToDdrPanelCodes(std::string_view expanded);
void ToDdrPanelCodesInPlace(std::string& expanded);

// One measure of up to 32 cells (missing cells are rests) in the coarsest of
// 32, 16, 8 and 4 slots that loses no step.
[[nodiscard]] std::string CompactDdrMeasure(std::string_view measure);

// True when `text` holds nothing but "0" (an empty text included).
[[nodiscard]] bool IsAllZero(std::string_view text);

// Writes the step lines of both pads of a chart, given as expanded step text,
// measure by measure from measure 1; a measure without a step in a pad has no
// line for it. The pads are turned into panel codes where they are. Counts
// into `spread_measures` the measures whose triplets are spread over 32nd
// notes.
void BuildDdrStepLines(std::string first_pad, std::string second_pad, LineSink& out,
                       std::size_t* spread_measures = nullptr);

// ---------------------------------------------------------------------------
// ddr to MSD

// Turns the slots of a step line (from its sixth character) into MSD step
// characters in place. A slot without one is reported once per occurrence
// and stays, except for the characters that MSD reads as notation (":", ";",
// brackets), which become the rest "0" so that the MSD file keeps its shape.
void DdrToMSDCodes(std::string& line, std::string_view file_name, ErrorList& errors);

// The MSD text of one measure from a step line whose slots are already MSD
// step characters: eight 8th notes or four beat groups; "00000000" for a line
// of a length that the format does not have.
[[nodiscard]] std::string DdrMeasureText(std::string_view line);
// The same text, appended to `text`.
void AppendDdrMeasureText(std::string_view line, std::string& text);

// The MSD step text of one pad of a step block: every measure from `first` to
// `last` in its place, "00000000" where the pad has no line. Empty when the
// pad has no line at all.
[[nodiscard]] std::string BuildDdrPadText(const std::vector<std::string_view>& block, char pad_mark, int first,
                                          int last);

}  // namespace torvane
