#pragma once
// Where things stand in the picture of a chart, in pixels: the measures in
// columns of four read top to bottom, columns side by side in rows. Every
// coordinate is a whole number, so the text of a picture depends on nothing
// but the chart.

#include "msd/chart_model.hpp"

namespace torvane {

inline constexpr long long kPixelsPerTick = 2;  // a 16th note is 12 pixels, an arrow's height
inline constexpr long long kMeasureHeight = kTicksPerMeasure * kPixelsPerTick;
inline constexpr long long kBeatHeight = kTicksPerBeat * kPixelsPerTick;
inline constexpr long long kMeasuresPerColumn = 4;
inline constexpr long long kLaneWidth = 16;
inline constexpr long long kLanesPerPad = 4;
inline constexpr long long kPadWidth = kLanesPerPad * kLaneWidth;
inline constexpr long long kArrowHalf = 6;
inline constexpr long long kPadGap = 6;
inline constexpr long long kNumberWidth = 30;  // room for measure numbers left of the lanes
inline constexpr long long kColumnGap = 18;
inline constexpr long long kColumnPadding = 8;  // arrows on a column's first and last line stay inside
inline constexpr long long kRowGap = 24;
inline constexpr long long kMargin = 16;
inline constexpr long long kHeaderHeight = 132;
inline constexpr long long kMinWidth = 680;  // the legend's width

struct ChartLayout {
    long long pads = 1;
    long long measures = 1;
    long long columns = 1;
    long long lanes_width = 0;  // all pads of a column, with the gaps between them
    long long column_width = 0;
    long long columns_per_row = 1;
    long long row_height = 0;
    long long width = 0;
    long long height = 0;

    explicit ChartLayout(const Chart& chart);

    // Left edge of the lanes of `column`.
    [[nodiscard]] long long ColumnX(long long column) const {
        return kMargin + (column % columns_per_row) * column_width + kNumberWidth;
    }
    // Top line of the first measure of `column`.
    [[nodiscard]] long long ColumnY(long long column) const {
        return kHeaderHeight + (column / columns_per_row) * (row_height + kRowGap) + kColumnPadding;
    }
    // Measures of `column`: four, or what is left for the last one.
    [[nodiscard]] long long MeasuresIn(long long column) const {
        const long long left = measures - column * kMeasuresPerColumn;
        return left < kMeasuresPerColumn ? left : kMeasuresPerColumn;
    }
    // Where a pad's lanes begin, from the column's left edge.
    [[nodiscard]] static long long PadX(long long pad) { return pad * (kPadWidth + kPadGap); }
};

}  // namespace torvane
