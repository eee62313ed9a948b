#pragma once
// A picture of a chart as SVG text: a header with the song and the chart's
// figures, then the measures in columns read top to bottom, as on a printed
// chart sheet, each step an arrow in its lane coloured by its rhythm.

#include <cstddef>
#include <string>
#include <string_view>

#include "msd/chart_model.hpp"

namespace torvane {

// Where a step falls in its beat, which gives its arrow's colour.
enum class Rhythm { kBeat, kEighth, kSixteenth, kThirtySecond, kTriplet };

[[nodiscard]] Rhythm RhythmOfTick(long long tick);

// The figures of the header. A moment is one pad's panels at one tick; the
// two pads of a double chart are one player's, so their moments at one tick
// are one.
struct ChartCounts {
    std::size_t steps = 0;     // moments
    std::size_t jumps = 0;     // moments of two or more panels
    std::size_t triplets = 0;  // moments off the 32nd-note grid
};

[[nodiscard]] ChartCounts CountChartSteps(const Chart& chart);

// "Single", "Double", "Couple"; "Basic", "Another", "Maniac", or the word a
// chart of another difficulty has (code page 932 bytes).
[[nodiscard]] std::string_view StyleName(ChartStyle style);
[[nodiscard]] std::string DifficultyName(const Chart& chart);

// The SVG 1.1 document of `chart`, UTF-8, lines ended by CR LF. The same
// chart always gives the same bytes.
[[nodiscard]] std::string RenderChartSvg(const Chart& chart);

}  // namespace torvane
