#pragma once
// Where the triplet beats of a chart go in d2r: on "T:" lines where the d2r
// reader can take them back, on the 32nd-note grid everywhere else, so that
// the two pads stay in step and every step keeps its time.

#include <cstddef>
#include <memory>
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

// One pad's cells as a conversion decodes them a stretch at a time: the
// cells from cell `first` of the whole pad on (those before are done with),
// the triplet beats among them from the `triplets_first`-th on (as cells of
// the whole pad), and whether the pad's cells are all there.
struct D2rPadWindow {
    std::string cells;
    std::size_t first = 0;
    std::vector<std::size_t> triplet_beats;
    std::size_t triplets_first = 0;
    bool complete = false;
};

// PlaceD2rTriplets a stretch at a time: each Place goes on where the last one
// stopped, with the same windows, filled further in between.
class D2rTripletPlacer {
public:
    D2rTripletPlacer();
    ~D2rTripletPlacer();
    D2rTripletPlacer(const D2rTripletPlacer&) = delete;
    D2rTripletPlacer& operator=(const D2rTripletPlacer&) = delete;

    // Appends placed cells to `placed` while both pads have enough cells
    // ahead. Returns true when both have ended, false when it needs more
    // cells of a pad that is not complete.
    bool Place(const D2rPadWindow& pad1, const D2rPadWindow& pad2, D2rPlacedPads& placed,
               std::string_view file_name, ErrorList& errors);
    // For pad 1 or 2: the first cell, and the number of triplet beats, that
    // the placer has not yet read.
    [[nodiscard]] std::size_t NextCell(int pad) const;
    [[nodiscard]] std::size_t TripletsPassed(int pad) const;
    // Whether the last Place read to the end of pad 1 or 2: all its cells
    // are placed, once its window is complete.
    [[nodiscard]] bool PadEnded(int pad) const;

private:
    struct Cursors;
    std::unique_ptr<Cursors> cursors_;
    std::size_t into_beat_ = 0;  // cells since the reader's beat began
    std::size_t rests_ = 0;      // cells just before that are rests on both pads
    bool ended1_ = false;
    bool ended2_ = false;
};

// Lets a window go of the cells and triplet beats that the placer has read
// (from NextCell and TripletsPassed), when they are many enough to be worth
// moving the rest for.
void DropReadCells(D2rPadWindow& pad, std::size_t next_cell, std::size_t triplets_passed);

}  // namespace torvane
