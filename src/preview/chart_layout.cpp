#include "preview/chart_layout.hpp"

#include <algorithm>

namespace torvane {

ChartLayout::ChartLayout(const Chart& chart) {
    pads = std::max<long long>(1, static_cast<long long>(chart.pads.size()));
    measures = std::max<long long>(1, (chart.Length() + kTicksPerMeasure - 1) / kTicksPerMeasure);
    columns = (measures + kMeasuresPerColumn - 1) / kMeasuresPerColumn;
    lanes_width = pads * kPadWidth + (pads - 1) * kPadGap;
    column_width = kNumberWidth + lanes_width + kColumnGap;
    columns_per_row = pads == 1 ? 8 : 5;
    row_height = 2 * kColumnPadding + kMeasuresPerColumn * kMeasureHeight;
    const long long rows = (columns + columns_per_row - 1) / columns_per_row;
    const long long columns_in_row = std::min(columns, columns_per_row);
    width = std::max(kMinWidth, 2 * kMargin + columns_in_row * column_width - kColumnGap);
    // The last row is as tall as its first column, which may be short.
    const long long last_row_measures = MeasuresIn((rows - 1) * columns_per_row);
    height = kHeaderHeight + (rows - 1) * (row_height + kRowGap) + 2 * kColumnPadding +
             last_row_measures * kMeasureHeight + kMargin;
}

}  // namespace torvane
