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
#include "preview/chart_compare.hpp"
#include "preview/chart_loader.hpp"
#include "text/line_io.hpp"

namespace torvane {

// The scratch folders of a check in the temporary folder are named
// "torvane-check-PID-XXXXXX" (MakeScratchFolder).
inline constexpr std::string_view kCheckFolderPrefix = "torvane-check";

// The ways a format can leave and come back: MSD through d2r and through
// ddr, d2r and ddr each through MSD.
enum class RoundTrip { kThroughd2r, kThroughddr, kThroughMSD };

// "through d2r", "through ddr", "through MSD".
[[nodiscard]] std::string_view RoundTripName(RoundTrip way);

// The round trips of a source format, in the order they are checked.
[[nodiscard]] std::vector<RoundTrip> RoundTripsOf(ChartFormat format);

// How many of the lines that a round trip's conversions report a check
// keeps; the rest are counted.
inline constexpr std::size_t kErrorLinesListed = 1000;

struct RoundTripCheck {
    RoundTrip way = RoundTrip::kThroughd2r;
    std::optional<std::string> failure;  // a conversion of the round trip could not be made (UTF-8)
    std::vector<ChartCheck> charts;      // one per chart of the source
    std::vector<std::string> added_charts;  // labels of charts that came back with no chart before them
    // What the conversions reported, code page 932: the first
    // kErrorLinesListed lines, of error_line_count.
    std::vector<std::string> error_lines;
    std::size_t error_line_count = 0;

    [[nodiscard]] bool Changed() const;
};

struct SourceCheck {
    std::filesystem::path source;
    ChartFormat format = ChartFormat::kMSD;
    // As read from the source, without their steps: each pad is there, empty.
    std::vector<Chart> charts;
    std::vector<RoundTripCheck> ways;

    [[nodiscard]] bool Changed() const;
};

// Converts `source` each way its format can leave and come back, into
// scratch files of the temporary folder that are removed when done, and
// compares every chart, holding the steps of one chart of each side at a
// time. MSD to ddr uses `options`. Throws
// ConversionError when the source cannot be read.
[[nodiscard]] SourceCheck CheckRoundTrips(const std::filesystem::path& source, ChartFormat format,
                                      const DdrOptions& options, Storage& storage = DiskStorage());

}  // namespace torvane
