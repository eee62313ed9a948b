#pragma once
// One chart of the chart model as a simfile's "#NOTES:" section.

#include <array>
#include <cstddef>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "msd/chart_model.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// "dance-single" (4 columns), "dance-double" or "dance-couple" (8 columns,
// pad 1 then pad 2).
[[nodiscard]] std::string_view SimfileStepsType(ChartStyle style);
[[nodiscard]] int SimfileColumns(ChartStyle style);

// The simfile difficulties of the charts of one song, handed out in file
// order: BASIC "Easy", ANOTHER "Medium", MANIAC "Hard"; a difficulty word the
// formats do not know, and a second chart of a style and difficulty already
// given, "Edit".
class SimfileDifficulties {
public:
    [[nodiscard]] std::string_view Next(const Chart& chart);

private:
    std::set<std::pair<ChartStyle, ChartDifficulty>> given_;
};

inline constexpr std::string_view kEditDifficulty = "Edit";

// The meter of a level: the level as a whole number (blanks around it
// allowed); none for any other level.
[[nodiscard]] std::optional<long long> SimfileMeter(std::string_view level);

// Rows a measure may have, fewest first. A measure is 96 ticks, so 96 rows
// put every tick on a row and 192 is never needed; simulators know it all
// the same.
inline constexpr std::array<int, 9> kRowsPerMeasure = {4, 8, 12, 16, 24, 32, 48, 96, 192};

// The fewest rows that put every one of `ticks` (from the start of its
// measure, 0 to 95) exactly on a row.
[[nodiscard]] int RowsForMeasure(std::span<const long long> ticks);

// The measures a chart's steps need: up to its last measure that holds a
// step; one for a chart without steps.
[[nodiscard]] long long SimfileMeasures(const Chart& chart);

// What stands in a "#NOTES:" section beside the steps.
struct SimfileChartHead {
    std::string_view steps_type;
    std::string description;  // UTF-8, escaped
    std::string_view difficulty;
    long long meter = 1;
};

// Writes the section: "#NOTES:", its five fields (the groove values all
// 0.000000: the sources hold none, and simulators count their own), and the
// rows of `columns` characters, measures separated by "," and the last
// ended by ";". Panels of pad 1 are columns 0 to 3 (left, down, up, right),
// of pad 2 columns 4 to 7; pads beyond `columns` are not written.
void WriteSimfileChart(const SimfileChartHead& head, const Chart& chart, int columns, LineSink& sink);

}  // namespace torvane
