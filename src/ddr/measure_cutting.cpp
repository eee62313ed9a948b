// MSD to ddr: cutting the pads of a chart into measures, each written as a
// step line of as few slots as keep every step in its place.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "ddr/ddr_format.hpp"
#include "ddr/msd_to_ddr.hpp"
#include "msd/chart_section.hpp"
#include "msd/panels.hpp"

namespace torvane {
namespace {

// The pad still to be cut into measures: the characters that a triplet
// spread wrote past its measure, then the untouched rest of the pad. Both are
// taken from and put back at the front only, so that a long pad is never
// shifted and a spread never rewrites the rest of it. A pad of triplet marks
// written as steps can make the pending part grow from measure to measure:
// it keeps room before its front, as much again as it holds when it grows,
// so that taking from and putting back at its front cost only what is taken
// or put back.
class PadCursor {
public:
    explicit PadCursor(std::string_view pad) : rest_(pad) {}

    [[nodiscard]] bool Empty() const { return Pending().empty() && rest_.empty(); }

    // The first `count` characters, fewer at the end of the pad. The view
    // lives until the next call; `scratch` holds it when pending characters
    // come first and do not make it up alone.
    [[nodiscard]] std::string_view Front(std::size_t count, std::string& scratch) const {
        const std::string_view pending = Pending();
        if (pending.empty()) return rest_.substr(0, count);
        if (pending.size() >= count) return pending.substr(0, count);
        scratch.assign(pending);
        scratch.append(rest_.substr(0, count - pending.size()));
        return scratch;
    }

    void Drop(std::size_t count) {
        const std::size_t from_pending = std::min(count, Pending().size());
        front_ += from_pending;
        rest_.remove_prefix(std::min(count - from_pending, rest_.size()));
    }

    // `text` becomes the front of the pad again.
    void PutBack(std::string_view text) {
        if (text.size() > front_) {
            const std::string_view pending = Pending();
            const std::size_t room = std::max<std::size_t>(2 * (text.size() + pending.size()), 64);
            std::string grown(room + pending.size(), '0');
            std::copy(pending.begin(), pending.end(), grown.begin() + static_cast<std::ptrdiff_t>(room));
            pending_.swap(grown);
            front_ = room;
        }
        front_ -= text.size();
        std::copy(text.begin(), text.end(), pending_.begin() + static_cast<std::ptrdiff_t>(front_));
    }

    // The untouched rest, for a pad read a stretch at a time: how much is
    // left of it, and where it now stands.
    [[nodiscard]] std::size_t RestSize() const { return rest_.size(); }
    void MoveRest(std::string_view rest) { rest_ = rest; }

private:
    [[nodiscard]] std::string_view Pending() const { return std::string_view(pending_).substr(front_); }

    std::string pending_;    // the pending characters are those from front_ on
    std::size_t front_ = 0;
    std::string_view rest_;
};

constexpr std::size_t kMeasureCells = kDdrMeasureCells;
constexpr std::size_t kBeatCells = 8;
constexpr std::size_t kTripletBeat = 4;  // "T" and its three steps
// A spread takes a mark within the first 32 characters and its three steps,
// all within the first 35, and only moves what lies past them: so 35
// characters of the pad are all that a measure's spreads read.
constexpr std::size_t kSpreadReach = kMeasureCells + 3;

enum class MeasureKind { kPlain, kMixed, kTriplet };

// `w` is the first 32 characters of the pad. A measure with triplet beats
// whose other beats hold only a step on the beat fits 12 slots; any finer step
// beside a triplet makes it mixed.
MeasureKind ClassifyMeasure(std::string_view w) {
    if (w.find('T') == std::string_view::npos) return MeasureKind::kPlain;
    std::size_t at = 0;
    for (int beat = 0; beat < 4 && at < w.size(); ++beat) {
        if (w[at] == 'T') {
            at += kTripletBeat;
            continue;
        }
        for (std::size_t k = 1; k < kBeatCells && at + k < w.size(); ++k) {
            if (w[at + k] != '0') return MeasureKind::kMixed;
        }
        at += kBeatCells;
    }
    return MeasureKind::kTriplet;
}

// `front` is the first 35 characters of the pad (fewer at its end). As long
// as its first 32 hold a "T", the first "T" and its three steps x, y, z become
// x00y00z0, the steps on the beat's slots 1, 4 and 7. A "T" among the steps,
// as "(T12)" gives, is read again as a mark and spread in turn: the loop ends
// because every spread takes one "T" out and writes none. Characters past the
// end of the pad are rests.
void SpreadTriplets(std::string& front) {
    for (auto mark = front.find('T'); mark < kMeasureCells; mark = front.find('T', mark)) {
        char spread[kBeatCells] = {'0', '0', '0', '0', '0', '0', '0', '0'};
        for (std::size_t k = 0; k < 3; ++k) {
            if (mark + 1 + k < front.size()) spread[3 * k] = front[mark + 1 + k];
        }
        front.replace(mark, kTripletBeat, spread, kBeatCells);
    }
}

// Twelve slots: three per beat, a triplet beat's steps or an on-beat step and
// two rests.
std::size_t TakeTripletMeasure(PadCursor& pad, std::string& scratch, std::array<char, kMeasureCells>& slots) {
    std::size_t size = 0;
    for (int beat = 0; beat < 4; ++beat) {
        const std::string_view head = pad.Front(kTripletBeat, scratch);
        if (!head.empty() && head.front() == 'T') {
            for (std::size_t k = 1; k <= 3; ++k) slots[size++] = k < head.size() ? head[k] : '0';
            pad.Drop(kTripletBeat);
        } else {
            slots[size++] = head.empty() ? '0' : head.front();
            slots[size++] = '0';
            slots[size++] = '0';
            pad.Drop(kBeatCells);
        }
    }
    return size;
}

// What cutting measures reuses from one to the next.
struct CuttingScratch {
    std::string front;
    std::string spread;
    std::string line;
};

// Cuts the next measure off `pad` and adds its step line, unless it is silent.
void AddMeasure(PadCursor& pad, char pad_mark, long long measure, CuttingScratch& scratch, LineSink& out,
                std::size_t* spread_measures) {
    std::array<char, kMeasureCells> slots{};
    std::size_t size = 0;
    const std::string_view w = pad.Front(kMeasureCells, scratch.front);
    switch (ClassifyMeasure(w)) {
        case MeasureKind::kMixed: {
            std::string& spread = scratch.spread;
            spread.assign(pad.Front(kSpreadReach, scratch.front));
            pad.Drop(spread.size());
            SpreadTriplets(spread);
            if (spread_measures != nullptr) ++*spread_measures;
            if (spread.size() > kMeasureCells) pad.PutBack(std::string_view(spread).substr(kMeasureCells));
            size = CompactDdrMeasure(std::string_view(spread).substr(0, kMeasureCells), slots);
            break;
        }
        case MeasureKind::kPlain:
            size = CompactDdrMeasure(w, slots);
            pad.Drop(kMeasureCells);
            break;
        case MeasureKind::kTriplet:
            size = TakeTripletMeasure(pad, scratch.front, slots);
            break;
    }
    const std::string_view text(slots.data(), size);
    if (IsAllZero(text)) return;
    FormatDdrStepLineInto(pad_mark, measure, text, scratch.line);
    out.WriteLine(scratch.line);
}

}  // namespace

namespace {

void ToDdrPanelCodes(char* begin, char* end) {
    static constexpr auto kCodes = [] {
        std::array<char, 256> codes{};
        for (std::size_t c = 0; c < codes.size(); ++c) {
            // A beat group may carry lower-case "a" and "b", which the ddr
            // writer takes for "A" and "B".
            const char step = c == 'a' || c == 'b' ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
            const int panels = PanelsOfStep(step);
            codes[c] = panels >= 0 ? DdrSlotOfPanels(panels) : static_cast<char>(c);
        }
        return codes;
    }();
    for (char* c = begin; c != end; ++c) *c = kCodes[static_cast<unsigned char>(*c)];
}

// A pad whose cells a decoder gives a stretch at a time, turned into panel
// codes as they come; the cells the cursor has passed are let go.
class DecodedPad {
public:
    DecodedPad(MSDStepDecoder* decoder, std::size_t stretch) : decoder_(decoder), stretch_(stretch) {}

    // Makes sure that the cursor's rest holds `count` cells, or all there are.
    void Fill(PadCursor& cursor, std::size_t count, bool& has_step5) {
        if (decoder_ == nullptr || decoder_->Done() || cursor.RestSize() >= count) return;
        const std::size_t passed = cells_.size() - cursor.RestSize();
        cells_.erase(0, passed);
        first_ += passed;
        const std::size_t from = cells_.size();
        decoder_->DecodeInto(cells_, first_, from + std::max(stretch_, count), nullptr);
        const std::string_view added = std::string_view(cells_).substr(from);
        if (added.find('5') != std::string_view::npos) has_step5 = true;
        ToDdrPanelCodes(cells_.data() + from, cells_.data() + cells_.size());
        cursor.MoveRest(cells_);
    }

private:
    MSDStepDecoder* decoder_;
    std::size_t stretch_;
    std::string cells_;      // the cursor's rest is the end of these
    std::size_t first_ = 0;  // the cell of the whole pad that cells_ begins with
};

}  // namespace

void ToDdrPanelCodes(std::string& expanded) { ToDdrPanelCodes(expanded.data(), expanded.data() + expanded.size()); }

namespace {

// Bit k set for each of the 32 cells at `cells` that is not the rest "0".
std::uint32_t StepBits(const char* cells) { return ~(RestCellBits(cells) | RestCellBits(cells + 16) << 16); }

}  // namespace

// The cells are halved while every other one is a rest, down to 4: the grid
// is set by the finest of the cells that hold steps (bit k of `steps` for
// cell k).
std::size_t CompactDdrMeasure(std::string_view measure, std::array<char, kDdrMeasureCells>& slots) {
    // A measure cut short by the end of its pad: its missing cells are rests.
    std::array<char, kMeasureCells> whole;
    const char* cells = measure.data();
    if (measure.size() < kMeasureCells) {
        std::fill(std::copy(measure.begin(), measure.end(), whole.begin()), whole.end(), '0');
        cells = whole.data();
    }
    const std::uint32_t steps = StepBits(cells);

    std::size_t size = kMeasureCells;
    if ((steps & 0xAAAAAAAAU) == 0) size = 16;                // no step on an odd cell of 32
    if (size == 16 && (steps & 0x44444444U) == 0) size = 8;   // nor on an odd slot of 16
    if (size == 8 && (steps & 0x10101010U) == 0) size = 4;    // nor of 8
    if (size == kMeasureCells) {
        std::memcpy(slots.data(), cells, kMeasureCells);
        return size;
    }
    const std::size_t stride = kMeasureCells / size;
    for (std::size_t i = 0; i < size; ++i) slots[i] = cells[i * stride];
    return size;
}

void BuildDdrStepLines(std::string first_pad, std::string second_pad, LineSink& out, std::size_t* spread_measures) {
    ToDdrPanelCodes(first_pad);
    ToDdrPanelCodes(second_pad);
    PadCursor first(first_pad);
    PadCursor second(second_pad);
    CuttingScratch scratch;
    // Both pads to their ends: a pad whose triplets make it shorter in cells
    // can still hold more measures than the other.
    for (long long measure = 1; !first.Empty() || !second.Empty(); ++measure) {
        AddMeasure(first, '#', measure, scratch, out, spread_measures);
        AddMeasure(second, '$', measure, scratch, out, spread_measures);
    }
}

void BuildDdrStepLinesAsDecoded(MSDStepDecoder& first, MSDStepDecoder* second, LineSink& out,
                                std::size_t* spread_measures, bool& has_step5, std::size_t stretch) {
    DecodedPad first_cells(&first, stretch);
    DecodedPad second_cells(second, stretch);
    PadCursor first_pad({});
    PadCursor second_pad({});
    CuttingScratch scratch;
    for (long long measure = 1;; ++measure) {
        // A measure reads at most kSpreadReach cells of a pad.
        first_cells.Fill(first_pad, kSpreadReach, has_step5);
        second_cells.Fill(second_pad, kSpreadReach, has_step5);
        if (first_pad.Empty() && second_pad.Empty()) return;
        AddMeasure(first_pad, '#', measure, scratch, out, spread_measures);
        AddMeasure(second_pad, '$', measure, scratch, out, spread_measures);
    }
}

}  // namespace torvane
