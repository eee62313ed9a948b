#pragma once
// What changed between a chart and the same chart after a conversion and
// back: its song and chart values, and its steps lost, added, moved or
// stepping on other panels.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "msd/chart_model.hpp"

namespace torvane {

// Small, for a chart that loses every step has millions of them.
struct StepChange {
    enum class Kind : std::uint8_t { kLost, kAdded, kMoved, kPanels };
    Kind kind = Kind::kLost;
    std::uint8_t pad = 0;  // charts have at most two
    // On the source chart's timeline: the chart after the round trip is
    // moved back by the shift that best lines it up (ChartCheck::shift).
    long long tick_before = 0;  // lost, moved, panels
    long long tick_after = 0;   // added, moved, panels
    unsigned char panels_before = 0;
    unsigned char panels_after = 0;
};

// The names of a kind of step change: its code in a report ("panels") and
// the words that people read ("panels changed").
struct StepChangeName {
    std::string_view code;
    std::string_view words;
};
[[nodiscard]] constexpr StepChangeName NameOfStepChange(StepChange::Kind kind) {
    switch (kind) {
        case StepChange::Kind::kLost: return {"lost", "lost"};
        case StepChange::Kind::kAdded: return {"added", "added"};
        case StepChange::Kind::kMoved: return {"moved", "moved"};
        case StepChange::Kind::kPanels: return {"panels", "panels changed"};
    }
    return {};
}

// A song or chart value that changed; texts in UTF-8.
struct ValueChange {
    std::string what;  // "style", "difficulty", "level", "tempo", "gap", "title", "artist"
    std::string before;
    std::string after;
    std::string detail;  // for the gap: how the steps move against the music
};

// How many step changes of a chart a check lists: a chart that changes
// wholesale has millions, more than anyone reads and more than a check can
// hold beside the chart itself. The rest are counted.
inline constexpr std::size_t kStepChangesListed = 1000;

struct ChartCheck {
    std::size_t chart = 0;   // the chart's place among the source's charts, from 0
    std::string label;       // "Single Basic level 3", UTF-8
    bool came_back = true;
    std::string lost_reason;  // when it did not come back
    long long shift = 0;      // ticks by which the chart's steps moved as a whole
    std::vector<ValueChange> values;
    // The first step changes, ordered by where they happen in the source
    // chart (at one place, pad 1 first); every change is in step_counts.
    std::vector<StepChange> steps;
    std::array<std::size_t, 4> step_counts{};  // of every step change, by StepChange::Kind

    [[nodiscard]] std::size_t StepChanges() const;
    [[nodiscard]] bool StepsCut() const { return StepChanges() > steps.size(); }
    [[nodiscard]] bool Changed() const { return !came_back || !values.empty() || StepChanges() > 0; }
};

// "measure 12 beat 2.5", "measure 3 beat 1 1/3": the measure and the beat,
// both from 1, of a tick of a chart.
[[nodiscard]] std::string FormatPosition(long long tick);

// Compares a chart with what came back of it. The steps are lined up by the
// shift that matches most of them; a shift that the change of the gap (64
// units a beat, as the d2r conversions move it) does not make up is reported
// as a change of the gap in time. The first `listed` step changes are kept.
[[nodiscard]] ChartCheck CompareCharts(const Chart& before, const Chart& after,
                                       std::size_t listed = kStepChangesListed);

}  // namespace torvane
