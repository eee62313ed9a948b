#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "msd/chart_section.hpp"
#include "text/error_list.hpp"

namespace torvane {

// Where one side's step text stands in its chart's joined data. The text
// given to the decoder is the side's data from `side_start` to `side_end`
// with the rests of its lead-in lengthened or shortened in front: its last
// byte is the one before `side_end`, and the difference in length is the
// rests added. The chart's own timeline starts at `side_start`: beat 1 of
// measure 1 is the side's first character, its lead-in included.
struct StepTextPlace {
    std::string_view chart;                   // the chart's label
    const ChartSourceLines* lines = nullptr;  // the source lines of the chart's data
    std::size_t side_start = 0;
    std::size_t side_end = 0;
};

// Expands one side's MSD step data into the expanded step text: one character
// per 32nd-note cell (8 per beat), a triplet beat as "T" and its three steps,
// ":" and ";" kept. Each group that cannot be converted adds one error line
// naming `file_name` (the source's name as error lines show it) and the group.
// When `triplet_beats` is given, it gets the place in the result of the "T" of
// every triplet beat, in order: a "T" written inside a group is copied like
// any character there, and only these places tell the two apart.
// When `place` is given, each error line also names the chart, the source
// line where its group begins and the measure and beat where it stands.
[[nodiscard]] std::string DecodeMSDSteps(std::string_view steps, std::string_view file_name, ErrorList& errors,
                                         std::vector<std::size_t>* triplet_beats = nullptr,
                                         const StepTextPlace* place = nullptr);

}  // namespace torvane
