#include "d2r/triplet_placement.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "msd/panels.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

constexpr std::size_t kCellsPerBeat = 8;
// The other pad's cells after a triplet's first that must hold "0" for the
// triplet's "T:" lines to carry the other pad too.
constexpr std::size_t kCellsAfterTheFirst = 7;

// A "T" that begins no triplet beat was written inside a group: no panel.
char CellOf(char c) { return c == 'T' ? '0' : c; }

bool IsRestCell(char c) { return PanelsOfStep(c) <= 0; }

// Written cells onto `out`, each as CellOf gives it; inlined, as the copies
// it stood for were, where each cell of a chart is copied.
[[gnu::always_inline]] inline void AppendCells(std::string_view written, std::string& out) {
    const std::size_t from = out.size();
    out.append(written);
    // A written "T" is rare: one search (a library one) finds there is none.
    if (written.find('T') != std::string_view::npos) {
        for (char* c = out.data() + from; c != out.data() + out.size(); ++c) *c = CellOf(*c);
    }
}

// One pad read in time: its plain cells, its triplet beats, and the eight
// cells of a triplet beat just put on the grid. The cells are read from a
// window that the decoder fills and the conversion empties; places are cells
// of the whole pad.
class PadCursor {
public:
    // Reads from `pad` until the next Read.
    void Read(const D2rPadWindow& pad) {
        text_ = pad.cells;
        first_ = pad.first;
        triplets_ = std::span<const std::size_t>(pad.triplet_beats).subspan(triplets_passed_ - pad.triplets_first);
    }

    [[nodiscard]] bool Ended() const { return grid_left_ == 0 && at_ >= End(); }
    [[nodiscard]] bool AtTriplet() const { return grid_left_ == 0 && !triplets_.empty() && triplets_[0] == at_; }
    // The plain cell at hand as written; "0" once the pad has ended.
    [[nodiscard]] char Cell() const {
        if (grid_left_ > 0) return grid_[kCellsPerBeat - grid_left_];
        return at_ < End() ? text_[at_ - first_] : '0';
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
        if (from >= End()) return true;
        return text_.substr(from - first_, count).find_first_not_of('0') == std::string_view::npos;
    }
    // The steps of the triplet beat at hand (three, unless the text ends).
    [[nodiscard]] std::string_view TripletSteps() const {
        return at_ < End() ? text_.substr(at_ - first_ + 1, 3) : std::string_view();
    }
    // How many plain turns this pad can take from here without meeting a
    // grid cell or a triplet beat: 0 at either, SIZE_MAX when it meets neither
    // again (an ended pad stays where it is).
    [[nodiscard]] std::size_t TurnsToNextTriplet() const {
        if (grid_left_ > 0) return 0;
        if (!triplets_.empty()) {
            const std::size_t triplet = triplets_[0];
            if (triplet >= at_ && triplet <= End()) return triplet - at_;
        }
        return SIZE_MAX;
    }
    // Plain cells of the text left, as written.
    [[nodiscard]] std::string_view Rest() const {
        return at_ < End() ? text_.substr(at_ - first_) : std::string_view();
    }
    // Cells of the window ahead of the one at hand, the grid's included.
    [[nodiscard]] std::size_t Ahead() const { return grid_left_ + (at_ < End() ? End() - at_ : 0); }
    // Takes `turns` plain turns at once (at most TurnsToNextTriplet()): the
    // text's cells, "T" as "0", as far as the text goes.
    void CopyPlainCells(std::size_t turns, std::string& out) {
        const std::string_view cells = Rest().substr(0, std::min(turns, Rest().size()));
        AppendCells(cells, out);
        at_ += cells.size();
    }
    // The next `count` cells into `out` as CopyCell takes them one by one,
    // in one copy where they are plain cells of the text.
    void CopyCells(std::size_t count, std::string& out) {
        if (grid_left_ == 0 && at_ + count <= End()) {
            AppendCells(text_.substr(at_ - first_, count), out);
            at_ += count;
            return;
        }
        for (std::size_t cell = 0; cell < count && !Ended(); ++cell) {
            out += CellOf(Cell());
            Advance();
        }
    }
    void SkipTriplet() {
        at_ += 4;
        ++triplets_passed_;
        triplets_ = triplets_.subspan(1);
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
    // The first cell, and the first triplet beat, not yet read.
    [[nodiscard]] std::size_t NextCell() const { return at_; }
    [[nodiscard]] std::size_t TripletsPassed() const { return triplets_passed_; }

private:
    [[nodiscard]] std::size_t End() const { return first_ + text_.size(); }

    std::string_view text_;
    std::size_t first_ = 0;
    std::span<const std::size_t> triplets_;  // those still to come
    std::size_t at_ = 0;                     // the next cell of the text
    std::size_t triplets_passed_ = 0;
    std::array<char, kCellsPerBeat> grid_{};
    std::size_t grid_left_ = 0;  // cells of grid_ still to come
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
        pad.CopyCells(kCellsPerBeat, out);
        return;
    }
    const std::string_view steps = pad.TripletSteps();
    std::array<char, 4> cells = {'T'};
    for (std::size_t k = 0; k < steps.size(); ++k) cells[k + 1] = CellOf(steps[k]);
    out.append(cells.data(), steps.size() + 1);
    pad.SkipTriplet();
}

// The cells just taken that are rests on both pads, after `turns` plain
// turns over the texts `one` and `two` (a pad past its text gives "0"),
// `rests` before them.
std::size_t RestsAfterTurns(std::string_view one, std::string_view two, std::size_t turns, std::size_t rests) {
    const auto cell = [](std::string_view text, std::size_t at) { return at < text.size() ? text[at] : '0'; };
    for (std::size_t at = turns; at-- > 0;) {
        if (!IsRestCell(cell(one, at)) || !IsRestCell(cell(two, at))) return turns - 1 - at;
    }
    return rests + turns;
}

// Without triplet beats only the written "T" change.
std::string WithoutWrittenTs(const std::string& text) {
    std::string out = text;
    std::replace(out.begin(), out.end(), 'T', '0');
    return out;
}

}  // namespace

std::string D2rTripletOnGrid(char first, char second, char third) {
    std::string cells(kCellsPerBeat, '0');
    cells[0] = CellOf(first);
    cells[3] = CellOf(second);
    cells[5] = CellOf(third);
    return cells;
}

struct D2rTripletPlacer::Cursors {
    PadCursor one;
    PadCursor two;
};

D2rTripletPlacer::D2rTripletPlacer() : cursors_(std::make_unique<Cursors>()) {}
D2rTripletPlacer::~D2rTripletPlacer() = default;

bool D2rTripletPlacer::Place(const D2rPadWindow& pad1, const D2rPadWindow& pad2, D2rPlacedPads& placed,
                             std::string_view file_name, ErrorList& errors) {
    PadCursor& one = cursors_->one;
    PadCursor& two = cursors_->two;
    one.Read(pad1);
    two.Read(pad2);
    // A pad still being decoded keeps this many cells ahead of the one at
    // hand: a slow turn looks at most a beat ahead.
    constexpr std::size_t kAhead = 2 * kCellsPerBeat;
    const auto room = [](const PadCursor& pad, const D2rPadWindow& window) {
        return window.complete ? SIZE_MAX : (pad.Ahead() > kAhead ? pad.Ahead() - kAhead : 0);
    };
    for (;;) {
        const std::size_t room1 = room(one, pad1);
        const std::size_t room2 = room(two, pad2);
        ended1_ = one.Ended();
        ended2_ = two.Ended();
        if (room1 == 0 || room2 == 0) return false;
        if (ended1_ && ended2_) return true;
        // Plain turns up to the next triplet beat or grid cell of either pad,
        // taken at once; the slow turn below handles what stops them.
        const std::size_t turns = std::min({one.TurnsToNextTriplet(), two.TurnsToNextTriplet(),
                                            std::max(one.Rest().size(), two.Rest().size()), room1, room2});
        if (turns > 0) {
            rests_ = RestsAfterTurns(one.Rest(), two.Rest(), turns, rests_);
            into_beat_ = (into_beat_ + turns) % kCellsPerBeat;
            one.CopyPlainCells(turns, placed.pad1);
            two.CopyPlainCells(turns, placed.pad2);
            continue;
        }
        const bool triplet1 = one.AtTriplet();
        const bool triplet2 = two.AtTriplet();
        if (!triplet1 && !triplet2) {
            rests_ = IsRestCell(one.Cell()) && IsRestCell(two.Cell()) ? rests_ + 1 : 0;
            into_beat_ = (into_beat_ + 1) % kCellsPerBeat;
            CopyCell(one, placed.pad1);
            CopyCell(two, placed.pad2);
            continue;
        }
        // Two triplets at one place share their lines: nothing to check.
        bool busy = false;
        if (triplet1 != triplet2) busy = !(triplet1 ? two : one).ZerosAfter(kCellsAfterTheFirst);
        if (busy) errors.Add(file_name, ErrorCode::kTripletMismatch);
        if (!busy && D2rReaderTakesTriplet(into_beat_, rests_)) {
            KeepBeat(one, triplet1, placed.pad1);
            KeepBeat(two, triplet2, placed.pad2);
            into_beat_ = 0;
            rests_ = 0;
            continue;
        }
        // The grid's cells are read as plain cells by the next turns, so a
        // triplet of the other pad among them is taken in its own turn.
        if (triplet1) one.PutTripletOnGrid();
        if (triplet2) two.PutTripletOnGrid();
        placed.triplets_on_grid += (triplet1 ? 1 : 0) + (triplet2 ? 1 : 0);
    }
}

std::size_t D2rTripletPlacer::NextCell(int pad) const {
    return (pad == 1 ? cursors_->one : cursors_->two).NextCell();
}

bool D2rTripletPlacer::PadEnded(int pad) const { return pad == 1 ? ended1_ : ended2_; }

std::size_t D2rTripletPlacer::TripletsPassed(int pad) const {
    return (pad == 1 ? cursors_->one : cursors_->two).TripletsPassed();
}

void DropReadCells(D2rPadWindow& pad, std::size_t next_cell, std::size_t triplets_passed) {
    const std::size_t cells = std::min(next_cell - pad.first, pad.cells.size());
    // Only once the cells read outnumber those left, so that every cell is
    // moved at most once on average.
    if (cells > 0 && cells >= pad.cells.size() - cells) {
        pad.cells.erase(0, cells);
        pad.first += cells;
    }
    const std::size_t triplets = triplets_passed - pad.triplets_first;
    if (triplets > 0 && triplets >= pad.triplet_beats.size() - triplets) {
        pad.triplet_beats.erase(pad.triplet_beats.begin(), pad.triplet_beats.begin() + static_cast<long>(triplets));
        pad.triplets_first += triplets;
    }
}

D2rPlacedPads PlaceD2rTriplets(const D2rPadCells& pad1, const D2rPadCells& pad2, std::string_view file_name,
                               ErrorList& errors) {
    D2rPlacedPads placed;
    if (pad1.triplet_beats.empty() && pad2.triplet_beats.empty()) {
        placed.pad1 = WithoutWrittenTs(pad1.text);
        placed.pad2 = WithoutWrittenTs(pad2.text);
        return placed;
    }
    placed.pad1.reserve(pad1.text.size() + 4 * pad1.triplet_beats.size());
    placed.pad2.reserve(pad2.text.size() + 4 * pad2.triplet_beats.size());
    const D2rPadWindow one{pad1.text, 0, pad1.triplet_beats, 0, true};
    const D2rPadWindow two{pad2.text, 0, pad2.triplet_beats, 0, true};
    D2rTripletPlacer placer;
    (void)placer.Place(one, two, placed, file_name, errors);
    return placed;
}

}  // namespace torvane
