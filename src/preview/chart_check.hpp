#pragma once
// What a conversion would change: a source is converted to another format
// and back in memory, and the charts read before and after are compared step
// by step. This is the question a user asks before converting a library.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ddr/ddr.hpp"
#include "msd/chart_model.hpp"
#include "preview/chart_loader.hpp"
#include "text/line_io.hpp"

namespace torvane {

// The ways a format can leave and come back: MSD through d2r and through
// ddr, d2r and ddr each through MSD.
enum class RoundTrip { kThroughd2r, kThroughddr, kThroughMSD };

// "through d2r", "through ddr", "through MSD".
[[nodiscard]] std::string_view RoundTripName(RoundTrip way);

// The round trips of a source format, in the order they are checked.
[[nodiscard]] std::vector<RoundTrip> RoundTripsOf(ChartFormat format);

struct StepChange {
    enum class Kind { kLost, kAdded, kMoved, kPanels };
    Kind kind = Kind::kLost;
    std::size_t pad = 0;
    // On the source chart's timeline: the chart after the round trip is
    // moved back by the shift that best lines it up (ChartCheck::shift).
    long long tick_before = 0;  // lost, moved, panels
    long long tick_after = 0;   // added, moved, panels
    unsigned char panels_before = 0;
    unsigned char panels_after = 0;
};

// A song or chart value that changed; texts in UTF-8.
struct ValueChange {
    std::string what;  // "style", "difficulty", "level", "tempo", "gap", "title", "artist"
    std::string before;
    std::string after;
    std::string detail;  // for the gap: how the steps move against the music
};

struct ChartCheck {
    std::size_t chart = 0;   // the chart's place among the source's charts, from 0
    std::string label;       // "Single Basic level 3", UTF-8
    bool came_back = true;
    std::string lost_reason;  // when it did not come back
    long long shift = 0;      // ticks by which the chart's steps moved as a whole
    std::vector<ValueChange> values;
    std::vector<StepChange> steps;

    [[nodiscard]] bool Changed() const { return !came_back || !values.empty() || !steps.empty(); }
};

struct RoundTripCheck {
    RoundTrip way = RoundTrip::kThroughd2r;
    std::optional<std::string> failure;  // a conversion of the round trip could not be made (UTF-8)
    std::vector<ChartCheck> charts;      // one per chart of the source
    std::vector<std::string> added_charts;  // labels of charts that came back with no chart before them
    std::vector<std::string> error_lines;   // what the conversions reported, code page 932

    [[nodiscard]] bool Changed() const;
};

struct SourceCheck {
    std::filesystem::path source;
    ChartFormat format = ChartFormat::kMSD;
    std::vector<Chart> charts;  // as read from the source
    std::vector<RoundTripCheck> ways;

    [[nodiscard]] bool Changed() const;
};

// "measure 12 beat 2.5", "measure 3 beat 1 1/3": the measure and the beat,
// both from 1, of a tick of a chart.
[[nodiscard]] std::string FormatPosition(long long tick);

// "Single Basic level 3", UTF-8.
[[nodiscard]] std::string DescribeChart(const Chart& chart);

// Compares a chart with what came back of it. The steps are lined up by the
// shift that matches most of them; a shift that the change of the gap (64
// units a beat, as the d2r conversions move it) does not make up is reported
// as a change of the gap in time.
[[nodiscard]] ChartCheck CompareCharts(const Chart& before, const Chart& after);

// Converts `source` each way its format can leave and come back, in memory,
// and compares every chart. MSD to ddr uses `options`. Throws
// ConversionError when the source cannot be read.
[[nodiscard]] SourceCheck CheckSource(const std::filesystem::path& source, ChartFormat format,
                                      const DdrOptions& options, Storage& storage = DiskStorage());

}  // namespace torvane
