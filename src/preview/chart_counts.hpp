#pragma once
// The figures of a chart that its picture shows: the rhythm of each step and
// the counts of steps, jumps and triplets.

#include <cstddef>

#include "msd/chart_model.hpp"

namespace torvane {

// Where a step falls in its beat, which gives its arrow's colour.
enum class Rhythm { kBeat, kEighth, kSixteenth, kThirtySecond, kTriplet };
inline constexpr std::size_t kRhythms = 5;

[[nodiscard]] inline Rhythm RhythmOfTick(long long tick) {
    // Every place in a beat, a 16th note a row; a triplet lies off the grid
    // of 32nd notes.
    using enum Rhythm;
    static constexpr Rhythm kPlaces[kTicksPerBeat] = {
        kBeat,      kTriplet, kTriplet, kThirtySecond, kTriplet, kTriplet,
        kSixteenth, kTriplet, kTriplet, kThirtySecond, kTriplet, kTriplet,
        kEighth,    kTriplet, kTriplet, kThirtySecond, kTriplet, kTriplet,
        kSixteenth, kTriplet, kTriplet, kThirtySecond, kTriplet, kTriplet,
    };
    const long long in_beat = tick % kTicksPerBeat;
    return kPlaces[in_beat < 0 ? in_beat + kTicksPerBeat : in_beat];
}

// How many of the four panels a step steps on.
[[nodiscard]] inline int PanelCount(unsigned char panels) {
    static constexpr int kCounts[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    return kCounts[panels & 15];
}

// The figures of the header. A moment is one pad's panels at one tick; the
// two pads of a double chart are one player's, so their moments at one tick
// are one.
struct ChartCounts {
    std::size_t steps = 0;     // moments
    std::size_t jumps = 0;     // moments of two or more panels
    std::size_t triplets = 0;  // moments off the 32nd-note grid
};

[[nodiscard]] ChartCounts CountChartSteps(const Chart& chart);

}  // namespace torvane
