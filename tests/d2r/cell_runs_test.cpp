// Placing triplets and building step lines take plain cells many at a time.
// These tests keep the cell-by-cell formulations they replaced and check that
// both give the same pads, lines and error lines, on decoded charts and on
// raw cells with triplet beats anywhere (also where no decoder puts them).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "d2r/msd_to_d2r.hpp"
#include "d2r/triplet_placement.hpp"
#include "msd/decoder.hpp"
#include "msd/panels.hpp"
#include "text/error_codes.hpp"

namespace torvane {
namespace {

// ---------------------------------------------------------------------------
// The reference: one turn per cell.

constexpr std::size_t kCellsPerBeat = 8;
constexpr std::size_t kCellsAfterTheFirst = 7;

char CellOf(char c) { return c == 'T' ? '0' : c; }
bool IsRestCell(char c) { return PanelsOfStep(c) <= 0; }

class PadCursor {
public:
    explicit PadCursor(const D2rPadCells& pad) : text_(pad.text), triplets_(pad.triplet_beats) {}

    [[nodiscard]] bool Ended() const { return grid_left_ == 0 && at_ >= text_.size(); }
    [[nodiscard]] bool AtTriplet() const {
        return grid_left_ == 0 && next_triplet_ < triplets_.size() && triplets_[next_triplet_] == at_;
    }
    // The plain cell at hand as written; "0" once the pad has ended.
    [[nodiscard]] char Cell() const {
        if (grid_left_ > 0) return grid_[kCellsPerBeat - grid_left_];
        return at_ < text_.size() ? text_[at_] : '0';
    }
    void Advance() {
        if (grid_left_ > 0) {
            --grid_left_;
        } else {
            ++at_;
        }
    }
    // Whether the `count` cells after the one at hand hold "0" as written; a
    // triplet beat's "T" does not, and past the end every cell does.
    [[nodiscard]] bool ZerosAfter(std::size_t count) const {
        std::size_t from = at_;
        if (grid_left_ > 0) {
            for (std::size_t g = kCellsPerBeat - grid_left_ + 1; g < kCellsPerBeat && count > 0; ++g, --count) {
                if (grid_[g] != '0') return false;
            }
        } else {
            ++from;
        }
        if (from >= text_.size()) return true;
        return text_.substr(from, count).find_first_not_of('0') == std::string_view::npos;
    }
    // The steps of the triplet beat at hand (three, unless the text ends).
    [[nodiscard]] std::string_view TripletSteps() const {
        return at_ < text_.size() ? text_.substr(at_ + 1, 3) : std::string_view();
    }
    void SkipTriplet() {
        at_ += 4;
        ++next_triplet_;
    }
    void PutTripletOnGrid() {
        std::array<char, 3> steps = {'0', '0', '0'};
        const std::string_view written = TripletSteps();
        std::copy(written.begin(), written.end(), steps.begin());
        const std::string cells = D2rTripletOnGrid(steps[0], steps[1], steps[2]);
        std::copy(cells.begin(), cells.end(), grid_.begin());
        grid_left_ = kCellsPerBeat;
        SkipTriplet();
    }

private:
    std::string_view text_;
    const std::vector<std::size_t>& triplets_;
    std::size_t at_ = 0;            // the next character of the text
    std::size_t next_triplet_ = 0;  // the next triplet beat's entry
    std::array<char, kCellsPerBeat> grid_{};
    std::size_t grid_left_ = 0;     // cells of grid_ still to come
};

void CopyCell(PadCursor& pad, std::string& out) {
    if (pad.Ended()) return;
    out += CellOf(pad.Cell());
    pad.Advance();
}

// A triplet beat that keeps its "T:" lines, or the other pad's beat beside
// it: its step on the first cell, rests after it, as far as the pad goes.
void KeepBeat(PadCursor& pad, bool triplet, std::string& out) {
    if (!triplet) {
        for (std::size_t cell = 0; cell < kCellsPerBeat; ++cell) CopyCell(pad, out);
        return;
    }
    out += 'T';
    for (const char step : pad.TripletSteps()) out += CellOf(step);
    pad.SkipTriplet();
}


D2rPlacedPads ReferencePlace(const D2rPadCells& pad1, const D2rPadCells& pad2, ErrorList& errors) {
    D2rPlacedPads placed;
    PadCursor one(pad1);
    PadCursor two(pad2);
    std::size_t into_beat = 0;
    std::size_t rests = 0;
    while (!one.Ended() || !two.Ended()) {
        const bool triplet1 = one.AtTriplet();
        const bool triplet2 = two.AtTriplet();
        if (!triplet1 && !triplet2) {
            rests = IsRestCell(one.Cell()) && IsRestCell(two.Cell()) ? rests + 1 : 0;
            into_beat = (into_beat + 1) % kCellsPerBeat;
            CopyCell(one, placed.pad1);
            CopyCell(two, placed.pad2);
            continue;
        }
        bool busy = false;
        if (triplet1 != triplet2) busy = !(triplet1 ? two : one).ZerosAfter(kCellsAfterTheFirst);
        if (busy) errors.Add("song.msd", ErrorCode::kTripletMismatch);
        if (!busy && D2rReaderTakesTriplet(into_beat, rests)) {
            KeepBeat(one, triplet1, placed.pad1);
            KeepBeat(two, triplet2, placed.pad2);
            into_beat = 0;
            rests = 0;
            continue;
        }
        if (triplet1) one.PutTripletOnGrid();
        if (triplet2) two.PutTripletOnGrid();
        placed.triplets_on_grid += (triplet1 ? 1 : 0) + (triplet2 ? 1 : 0);
    }
    return placed;
}

std::vector<D2rStepLine> ReferenceBuild(std::string pad1, std::string pad2, ErrorList& errors) {
    std::vector<D2rStepLine> lines;
    D2rLength length = D2rLength::k32nd;
    int countdown = 0;
    std::size_t i = 0;
    std::size_t j = 0;
    const std::size_t last_pad2_step = pad2.find_last_not_of('0');
    const std::size_t pad2_steps_end = last_pad2_step == std::string::npos ? 0 : last_pad2_step + 1;
    while (i < pad1.size() || j < pad2_steps_end || countdown > 0) {
        if (i == pad1.size()) pad1 += '0';
        const char a = pad1[i++];
        const bool have_b = j < pad2.size();
        const char b = have_b ? pad2[j++] : '\0';
        if (a == 'T' || (have_b && b == 'T')) {
            if (a == 'T' && have_b && b != 'T') {
                if (!AlignPadToTriplet(pad2, j, b)) errors.Add("song.msd", ErrorCode::kTripletMismatch);
            } else if (a != 'T' && !AlignPadToTriplet(pad1, i, a)) {
                errors.Add("song.msd", ErrorCode::kTripletMismatch);
            }
            countdown = 3;
            length = D2rLength::kTriplet;
            continue;
        }
        lines.push_back(MakeD2rStepLine(length, a, b));
        if (countdown > 0 && --countdown == 0) length = D2rLength::k32nd;
    }
    return lines;
}

// ---------------------------------------------------------------------------
// Inputs

class Cells {
public:
    explicit Cells(unsigned first_value) : random_(first_value) {}

    std::size_t Between(std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random_);
    }
    // MSD step data: 8th notes, groups of 16th, 32nd, triplets, 64th, with
    // runs of rests long and short.
    std::string Msd(std::size_t groups) {
        static const std::array<std::string, 10> kGroups = {"0",       "00000000", "4",     "(12)",  "(4000)",
                                                            "(123)",   "(000)",    "(48)",  "(12345678)", "5"};
        std::string out;
        for (std::size_t g = 0; g < groups; ++g) out += kGroups[Between(0, kGroups.size() - 1)];
        return out;
    }
    // Cells as they come, "T" among them, and triplet beats at some of the
    // "T" and at places no decoder gives (out of order, past the end).
    D2rPadCells Raw(std::size_t count) {
        static const std::string kCells = "0000000000000012468AT5x";
        D2rPadCells pad;
        for (std::size_t c = 0; c < count; ++c) pad.text += kCells[Between(0, kCells.size() - 1)];
        for (std::size_t c = 0; c < count; ++c) {
            if (pad.text[c] == 'T' && Between(0, 3) != 0) pad.triplet_beats.push_back(c);
        }
        if (Between(0, 4) == 0) pad.triplet_beats.push_back(Between(0, count + 8));
        return pad;
    }

private:
    std::mt19937 random_;
};

D2rPadCells Decoded(const std::string& msd) {
    ErrorList errors;
    D2rPadCells pad;
    pad.text = DecodeMSDSteps(msd, "song.msd", errors, &pad.triplet_beats);
    return pad;
}

void ExpectSamePlacing(const D2rPadCells& pad1, const D2rPadCells& pad2) {
    ErrorList errors;
    ErrorList reference_errors;
    const D2rPlacedPads placed = PlaceD2rTriplets(pad1, pad2, "song.msd", errors);
    const D2rPlacedPads reference = ReferencePlace(pad1, pad2, reference_errors);
    const std::string context = pad1.text + "\n" + pad2.text;
    ASSERT_EQ(placed.pad1, reference.pad1) << context;
    ASSERT_EQ(placed.pad2, reference.pad2) << context;
    ASSERT_EQ(placed.triplets_on_grid, reference.triplets_on_grid) << context;
    ASSERT_EQ(errors.Lines(), reference_errors.Lines()) << context;
}

void ExpectSameLines(const std::string& pad1, const std::string& pad2) {
    ErrorList errors;
    ErrorList reference_errors;
    ASSERT_EQ(BuildD2rStepLines(pad1, pad2, "song.msd", errors), ReferenceBuild(pad1, pad2, reference_errors))
        << pad1 << "\n" << pad2;
    ASSERT_EQ(errors.Lines(), reference_errors.Lines()) << pad1 << "\n" << pad2;
}

TEST(PlaceD2rTriplets, GivesTheCellByCellResultOnDecodedAndRawPads) {
    Cells cells(20261207);
    for (int round = 0; round < 3000; ++round) {
        if (round % 2 == 0) {
            // Some triplet beat is needed, or the placing copies the texts.
            const std::string triplet = cells.Between(0, 1) == 0 ? "(123)" : "";
            ExpectSamePlacing(Decoded(cells.Msd(cells.Between(0, 40)) + triplet + cells.Msd(cells.Between(0, 40))),
                              Decoded(cells.Msd(cells.Between(0, 80))));
        } else {
            ExpectSamePlacing(cells.Raw(cells.Between(0, 200)), cells.Raw(cells.Between(0, 200)));
        }
    }
}

TEST(BuildD2rStepLines, GivesTheCellByCellResultOnPlacedAndRawPads) {
    Cells cells(20261208);
    for (int round = 0; round < 3000; ++round) {
        if (round % 2 == 0) {
            ErrorList errors;
            const D2rPlacedPads placed =
                PlaceD2rTriplets(Decoded(cells.Msd(cells.Between(0, 60))), Decoded(cells.Msd(cells.Between(0, 60))),
                                 "song.msd", errors);
            ExpectSameLines(placed.pad1, placed.pad2);
        } else {
            ExpectSameLines(cells.Raw(cells.Between(0, 200)).text, cells.Raw(cells.Between(0, 200)).text);
        }
    }
}

}  // namespace
}  // namespace torvane
