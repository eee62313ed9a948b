#pragma once
// How a chart is named to people and in file names.

#include <string>
#include <string_view>

#include "msd/chart_model.hpp"

namespace torvane {

// "Single", "Double", "Couple".
[[nodiscard]] std::string_view StyleName(ChartStyle style);

// "Basic", "Another", "Maniac", or the word a chart of another difficulty
// has (code page 932 bytes), "no difficulty" when it has none.
[[nodiscard]] std::string DifficultyName(const Chart& chart);

// "Single Basic level 3", UTF-8.
[[nodiscard]] std::string DescribeChart(const Chart& chart);

// The letters of the ddr file names: "s", "d", "c"; "b", "a", "m", and "x"
// for a difficulty the formats do not know.
[[nodiscard]] char StyleLetter(ChartStyle style);
[[nodiscard]] char DifficultyLetter(ChartDifficulty difficulty);

}  // namespace torvane
