#pragma once
// A chart as steps in time: what the MSD step notation means once the
// decoder has expanded it. Pictures of charts and the comparison of a chart
// before and after a conversion both work on this model, not on step text.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "msd/panels.hpp"
#include "msd/styles.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// A 32nd note is 3 ticks and a triplet 8th note 8 ticks, so both lie on whole
// ticks.
inline constexpr long long kTicksPerBeat = 24;
inline constexpr long long kTicksPerMeasure = 4 * kTicksPerBeat;
inline constexpr long long kTicksPerCell = 3;  // one 32nd-note cell of the expanded step text

// A chart's style and difficulty index kChartStyles and kDifficulties;
// kUnknown is a difficulty none of the formats names.
enum class ChartStyle { kSingle, kCouple, kDouble };
enum class ChartDifficulty { kBasic, kAnother, kManiac, kUnknown };

[[nodiscard]] constexpr const StyleWords& WordsOf(ChartStyle style) {
    return kChartStyles[static_cast<std::size_t>(style)];
}

// The words of a difficulty the formats know; none for kUnknown.
[[nodiscard]] constexpr const DifficultyWords* WordsOf(ChartDifficulty difficulty) {
    return difficulty == ChartDifficulty::kUnknown ? nullptr : &kDifficulties[static_cast<std::size_t>(difficulty)];
}

// The panels stepped on at one moment. Eight bytes: a long chart holds
// millions of steps, and a check holds two charts at once. 56 bits of ticks
// reach far beyond any chart a file can hold.
struct ChartStep {
    long long tick : 56 = 0;   // from the start of the chart's step data, lead-in included
    unsigned char panels = 0;  // a mask of kLeft, kDown, kUp, kRight

    friend bool operator==(const ChartStep&, const ChartStep&) = default;
};
static_assert(sizeof(ChartStep) == 8);

struct ChartPad {
    std::vector<ChartStep> steps;  // in time order, each with at least one panel
    long long length = 0;          // ticks that the pad's step data spans, rests included

    friend bool operator==(const ChartPad&, const ChartPad&) = default;
};

struct Chart {
    ChartStyle style = ChartStyle::kSingle;
    ChartDifficulty difficulty = ChartDifficulty::kUnknown;
    std::string difficulty_word;  // as written; what names a difficulty the formats do not know
    std::string level;            // as written (code page 932 bytes)
    // The song's values: the first of each header tag in the file.
    std::string title;  // code page 932 bytes
    std::string artist;
    std::optional<double> tempo;  // beats per minute; none when absent or not a number
    std::optional<double> gap;
    // One pad for a single chart; two for double and couple charts, and for
    // a single chart whose step data has a second side.
    std::vector<ChartPad> pads;

    // Ticks of the longest pad.
    [[nodiscard]] long long Length() const;

    friend bool operator==(const Chart&, const Chart&) = default;
};

// A pad from one side's expanded step text (DecodeMSDSteps): each cell 3
// ticks, a triplet beat "T" x y z 24 ticks with its steps 8 ticks apart;
// ":" and ";" take no time. With `triplet_beats` (the decoder's places of
// the triplet beats), a "T" elsewhere, written inside a group, is a cell
// without a panel.
[[nodiscard]] ChartPad PadFromExpandedSteps(std::string_view expanded,
                                           const std::vector<std::size_t>* triplet_beats = nullptr);

// The charts of an MSD file in file order, read line by line. Each side of
// each chart goes through DecodeMSDSteps, whose error lines name `file_name`.
// A difficulty word the formats do not know is kept as the chart's
// difficulty word, with the level after it; a chart cut off by the end of the
// file keeps what was read.
[[nodiscard]] std::vector<Chart> ReadMSDCharts(LineSource& source, std::string_view file_name, ErrorList& errors);

// The charts of an MSD file without their steps (no pads): what ReadMSDCharts
// reads but the step data, which is skipped, not decoded. With `pads`, each
// chart has as many pads as ReadMSDCharts gives it, empty.
[[nodiscard]] std::vector<Chart> ReadMSDChartHeads(LineSource& source, bool pads = false);

// The charts of an MSD file as ReadMSDCharts reads them, handed to `take` one
// at a time with their place in the file, each as soon as it is complete, so
// that no more than one chart's steps are held. `heads` are the charts'
// heads (ReadMSDChartHeads of the same file, read before `source` was
// rewound), for the song values, which may stand after the charts.
void ReadMSDChartsOneByOne(LineSource& source, const std::vector<Chart>& heads, std::string_view file_name,
                           ErrorList& errors, const std::function<void(std::size_t, Chart&&)>& take);

// The charts of an MSD file as ReadMSDChartsOneByOne hands them over, each
// read when it is asked for: two files can be walked side by side holding
// one chart of each. `source`, `heads` and `errors` must outlive the reader.
class MSDChartReader {
public:
    MSDChartReader(LineSource& source, const std::vector<Chart>& heads, std::string_view file_name,
                   ErrorList& errors);

    // The next chart of the file; none after the last.
    [[nodiscard]] std::optional<Chart> Next();
    // The place in the file, from 0, of the chart Next gave last.
    [[nodiscard]] std::size_t Place() const { return read_ - 1; }

private:
    LineSource& source_;
    const std::vector<Chart>& heads_;
    std::string file_name_;
    ErrorList& errors_;
    std::string line_;
    std::size_t read_ = 0;
};

}  // namespace torvane
