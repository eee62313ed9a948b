#pragma once
// Where the triplet beats of a chart go in d2r: on "T:" lines where the d2r
// reader can take them back, on the 32nd-note grid everywhere else, so that
// the two pads stay in step and every step keeps its time.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/error_list.hpp"

namespace torvane {

// One pad's expanded step text and the places of the "T" of its triplet
// beats, in order, as the decoder gave them.
struct D2rPadCells {
    std::string text;
    std::vector<std::size_t> triplet_beats;
};

// The two pads' expanded texts for BuildD2rStepLines: a "T" begins a triplet
// beat that keeps its "T:" lines, and nothing else does.
struct D2rPlacedPads {
    std::string pad1;
    std::string pad2;
    std::size_t triplets_on_grid = 0;  // triplet beats written on the grid, both pads counted
};

// The d2r reader rebuilds beats of eight cells from the start of a chart and
// afresh after every triplet. It takes a triplet where such a beat begins, or
// four cells into one whose last three cells are rests on both pads, since
// the "T:" lines serve both.
[[nodiscard]] constexpr bool D2rReaderTakesTriplet(std::size_t cells_into_beat, std::size_t rests_before) {
    return cells_into_beat == 0 || (cells_into_beat == 4 && rests_before >= 3);
}

// A triplet beat on the 32nd-note grid: its steps on cells 1, 4 and 6 of
// eight, the nearest to 0, 1/3 and 2/3 of the beat.
[[nodiscard]] std::string D2rTripletOnGrid(char first, char second, char third);

// Walks both pads in time and takes each triplet beat in turn. One against
// anything but "0" in the other pad's seven cells after its first adds the
// triplet mismatch line and goes on the grid, the other pad's cells as they
// stand; one the reader could not take goes on the grid too (both pads'
// triplets together when they share the place); every other keeps its "T"
// and is followed by BuildD2rStepLines as before. A "T" that no triplet beat
// begins with is a cell without a panel, "0".
[[nodiscard]] D2rPlacedPads PlaceD2rTriplets(const D2rPadCells& pad1, const D2rPadCells& pad2,
                                             std::string_view file_name, ErrorList& errors);

}  // namespace torvane
