#pragma once
// The arrows of a chart's picture. A pad's measure whose steps recur in
// other measures is drawn once, among the picture's definitions, and placed
// again wherever it recurs; every other arrow is drawn in place, in one
// outline per colour where each arrow moves from the one before.

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "msd/chart_model.hpp"
#include "preview/chart_counts.hpp"
#include "preview/chart_layout.hpp"
#include "preview/svg_text.hpp"

namespace torvane {

// The fill of each rhythm's arrows, in the order of Rhythm.
inline constexpr std::array<std::string_view, kRhythms> kRhythmColours = {"#d62828", "#1f5fd6", "#e0b000", "#2a9d3a",
                                                                          "#8e44ad"};
inline constexpr std::string_view kArrowStroke = "#1a1a1a";

// Where the last outline of a path began: the next one moves from there.
struct Pen {
    bool started = false;
    long long x = 0;
    long long y = 0;
    std::size_t arrows = 0;  // outlines of the path so far
};

// Path data of an arrow centred on (x, y), pointing the way of `lane`.
void PutArrow(SvgText& out, Pen& pen, std::size_t lane, long long x, long long y);

class ChartArrows {
public:
    // Both must outlive the arrows.
    ChartArrows(const Chart& chart, const ChartLayout& layout);

    // A <g id="m0">, "m1", ... for each measure drawn once.
    void PutDefinitions(SvgText& out) const;
    // The <use> of each pad of `measure` that is drawn once, on the
    // coordinates of the measure's column.
    void PutPlacements(SvgText& out, long long measure) const;
    // Every other arrow, on the picture's coordinates.
    void PutArrowsInPlace(SvgText& out) const;

private:
    struct Shape {
        std::size_t pad = 0;  // where it first stands
        long long measure = 0;
        std::size_t arrows = 0;
        std::size_t colours = 0;
        std::size_t measures = 0;  // where it stands, on every pad
        long long id = -1;         // its definition's number; -1 when it is drawn in place
    };

    // The steps of a pad in a measure.
    [[nodiscard]] const ChartStep* StepsBegin(std::size_t pad, long long measure) const;
    [[nodiscard]] const ChartStep* StepsEnd(std::size_t pad, long long measure) const;
    [[nodiscard]] const Shape* ShapeAt(std::size_t pad, long long measure) const;
    // The outlines of the steps of `rhythm` among a pad's measure, from
    // (x, y) the top of the measure's first lane; false when there are none.
    bool PutMeasure(SvgText& out, Pen& pen, std::size_t pad, long long measure, std::size_t rhythm, long long x,
                    long long y) const;

    const Chart& chart_;
    const ChartLayout& layout_;
    // Per pad: where each measure's steps begin, and where the last one's end.
    std::vector<std::vector<std::size_t>> first_of_measure_;
    std::vector<long long> shape_of_;  // per pad and measure; -1 for a measure without steps
    std::vector<Shape> shapes_;
};

}  // namespace torvane
