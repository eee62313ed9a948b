#pragma once

#include <cstddef>
#include <memory>
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

// DecodeMSDSteps a stretch at a time, for a conversion that holds a few
// thousand cells of a long chart rather than all of them. The text is
// `steps` behind `leading_rests` rests ("0") that it does not hold; with
// `place`, the side it stands for includes those rests. Error lines are
// added as their groups are reached.
class MSDStepDecoder {
public:
    MSDStepDecoder(std::string_view steps, std::size_t leading_rests, std::string_view file_name,
                   ErrorList& errors, const StepTextPlace* place = nullptr);
    ~MSDStepDecoder();
    MSDStepDecoder(const MSDStepDecoder&) = delete;
    MSDStepDecoder& operator=(const MSDStepDecoder&) = delete;

    // Appends the cells that follow to `out`, whose first cell is cell
    // `origin` of the whole text, until `out` holds at least `size` cells or
    // the text is done. The "T" of each triplet beat goes to `triplet_beats`
    // as its cell of the whole text.
    void DecodeInto(std::string& out, std::size_t origin, std::size_t size,
                    std::vector<std::size_t>* triplet_beats);
    // Whether every cell of the text has been given.
    [[nodiscard]] bool Done() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace torvane
