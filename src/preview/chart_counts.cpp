#include "preview/chart_counts.hpp"

#include <cstddef>

namespace torvane {

ChartCounts CountChartSteps(const Chart& chart) {
    ChartCounts counts;
    auto count = [&counts](long long tick, int panels) {
        ++counts.steps;
        if (panels >= 2) ++counts.jumps;
        if (RhythmOfTick(tick) == Rhythm::kTriplet) ++counts.triplets;
    };
    if (chart.style == ChartStyle::kDouble && chart.pads.size() == 2) {
        // One player on both pads: walk the two step lists together.
        const auto& a = chart.pads[0].steps;
        const auto& b = chart.pads[1].steps;
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < a.size() || j < b.size()) {
            if (j == b.size() || (i < a.size() && a[i].tick < b[j].tick)) {
                count(a[i].tick, PanelCount(a[i].panels));
                ++i;
            } else if (i == a.size() || b[j].tick < a[i].tick) {
                count(b[j].tick, PanelCount(b[j].panels));
                ++j;
            } else {
                count(a[i].tick, PanelCount(a[i].panels) + PanelCount(b[j].panels));
                ++i;
                ++j;
            }
        }
        return counts;
    }
    for (const auto& pad : chart.pads) {
        for (const auto& step : pad.steps) count(step.tick, PanelCount(step.panels));
    }
    return counts;
}

}  // namespace torvane
