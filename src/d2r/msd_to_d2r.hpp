#pragma once
// The named steps of MSD to d2r, each callable on its own so that tests can
// pin every rule.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "d2r/d2r_format.hpp"
#include "d2r/triplet_placement.hpp"
#include "msd/decoder.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// Gaps and tempos whose whole part no longer fits a double exactly.
inline constexpr double kMaxWholeDouble = 9007199254740992.0;  // 2^53

struct GapRuleResult {
    long long delay = 0;    // the "DELAY=" value
    int start = kD2rDefaultStart;  // the "START=" value, 1 to 4
    long long lead_in = 0;  // the new lead-in L
};

// The gap rule for one "#GAP:" line: shifts `gap` toward -150 .. 150 in steps
// of 64 while moving the lead-in by 2 8th notes per step, then trades whole
// measures of lead-in for START. The loops are evaluated in closed form, so a
// huge gap costs no time; `gap` must lie within +-kMaxWholeDouble.
[[nodiscard]] GapRuleResult ApplyD2rGapRule(long long lead_in, double gap);

// Opens the section of one chart line (which begins with a chart tag): closes
// an open section, writes the separator, "PLAYER=", "MODE=" and "LEVEL=" and
// "MUSICSTART". Returns what is left of the line: the start of the chart data.
[[nodiscard]] std::string BeginD2rSection(std::string_view chart_line, bool& section_open, LineSink& out);

struct D2rPadTexts {
    std::string pad1;
    std::string pad2;
    // Where pad 2's side begins in the chart data, after the ":" that ends
    // pad 1's; 0 when the chart has one side.
    std::size_t pad2_start = 0;
};

// The two sides of chart data as views into it, each with the rests that
// its lead-in moved by `lead_in` - `reference_lead_in` puts in front (none
// when not positive). A single chart has no side 2 (`single`).
struct D2rPadSides {
    std::string_view side1;
    long long rests1 = 0;
    std::string_view side2;
    long long rests2 = 0;
    std::size_t pad2_start = 0;  // as in D2rPadTexts
    bool single = true;
};

[[nodiscard]] D2rPadSides SplitD2rPadSides(std::string_view chart_data, long long chart_lead_in, long long lead_in,
                                           long long reference_lead_in);

// Splits chart data (its `chart_lead_in` leading "0" characters already
// removed) into the two pads' MSD texts, each with its lead-in moved by
// `lead_in` - `reference_lead_in`; a single chart's pad 2 is rests as long
// as pad 1.
[[nodiscard]] D2rPadTexts BuildD2rPadTexts(std::string_view chart_data, long long chart_lead_in,
                                           long long lead_in, long long reference_lead_in);

// Aligns the other pad's expanded text with a triplet beat of this pad. The
// other pad's unread text begins at `next`; `taken` is its character read
// together with the "T". On success the other pad's beat "x0000000" becomes
// "x00" and `next` points at the "x" put back; returns false (text unchanged)
// when that beat has steps after its first cell.
[[nodiscard]] bool AlignPadToTriplet(std::string& other, std::size_t& next, char taken);

// Turns the two pads' expanded step texts (their final ";" removed) into d2r
// step lines of one unit each, three "T:" lines per triplet beat. Each
// triplet that the other pad cannot follow adds an error line. The lines run
// to the end of pad 1, or further, with pad 1 silent, to pad 2's last
// character that is not "0"; a triplet under way is always finished. Pad 2's
// trailing "0" beyond pad 1 give no lines.
[[nodiscard]] std::vector<D2rStepLine> BuildD2rStepLines(std::string pad1, std::string pad2,
                                                         std::string_view file_name, ErrorList& errors);

// One merging pass: a rest line joins the line before it when both have the
// same length; after a pair that cannot merge the pass skips a beat's worth of
// lines. Works in place: the merged list is never longer than what it read.
[[nodiscard]] std::vector<D2rStepLine> MergeD2rStepLines(std::vector<D2rStepLine> lines);

// Merging passes until one changes nothing.
[[nodiscard]] std::vector<D2rStepLine> MergeD2rStepLinesFully(std::vector<D2rStepLine> lines);

// Where a merging pass stands between two lines it takes: on the line `at`
// (`standing`), or inside a beat that it passes with `beat_left` lines to go,
// or before a line to stand on.
struct D2rMergePassPlace {
    D2rStepLine at;
    bool standing = false;
    std::uint32_t beat_left = 0;
};

// One line through a merging pass standing at `place`: a rest line of the
// same length below a quarter joins the line stood on; otherwise the pass
// passes a beat from that line. The lines it gives are written at `given`,
// which moves past them (two at most). Returns true when the line joined.
// Every form of the pass takes its lines through here, or through a loop
// that a test holds to it.
[[nodiscard]] inline bool TakeIntoD2rMergePass(D2rStepLine line, D2rMergePassPlace& place, D2rStepLine*& given) {
    if (place.beat_left > 0) {
        --place.beat_left;
        *given++ = line;
        return false;
    }
    if (!place.standing) {
        place.at = line;
        place.standing = true;
        return false;
    }
    if (place.at.length < D2rLength::kQuarter && place.at.length == line.length && IsD2rRestLine(line)) {
        place.at.length = static_cast<D2rLength>(static_cast<int>(place.at.length) + 1);
        *given++ = place.at;
        place.standing = false;
        return true;
    }
    const std::uint32_t beat = D2rLinesPerBeat(place.at.length);
    *given++ = place.at;
    if (beat > 1) {
        *given++ = line;
        place.beat_left = beat - 2;
        place.standing = false;
    } else {
        place.at = line;
    }
    return false;
}

// MergeD2rStepLines taking the lines one at a time, so that the lines it
// reads need not be held: each line goes to `Add`, then `Finish` once;
// `merged` (given empty) then holds what the pass gives.
class D2rMergingPass {
public:
    static constexpr std::size_t kNoMerge = static_cast<std::size_t>(-1);

    explicit D2rMergingPass(std::vector<D2rStepLine>& merged) : merged_(merged) {}

    void Add(D2rStepLine line) {
        std::array<D2rStepLine, 2> given{};
        D2rStepLine* end = given.data();
        if (TakeIntoD2rMergePass(line, place_, end) && first_merge_ == kNoMerge) first_merge_ = merged_.size();
        merged_.insert(merged_.end(), given.data(), end);
    }
    void Finish() {
        if (place_.standing) merged_.push_back(place_.at);
        place_.standing = false;
    }
    // The merged line where the pass made its first merge, or kNoMerge.
    [[nodiscard]] std::size_t FirstMerge() const { return first_merge_; }

private:
    std::vector<D2rStepLine>& merged_;
    D2rMergePassPlace place_;
    std::size_t first_merge_ = kNoMerge;
};

// A merging pass that takes its lines a block at a time, for passes that
// follow another: where it stands between blocks.
struct D2rMergePassState {
    D2rMergePassPlace place;
    std::size_t given = 0;                                    // lines given so far
    std::size_t first_merge = static_cast<std::size_t>(-1);  // the line given where it first merged
};

// Goes on with a merging pass over the next `count` lines of its input,
// appending the lines it gives to `out`; FinishD2rMergePass after the last.
void ContinueD2rMergePass(const D2rStepLine* lines, std::size_t count, D2rMergePassState& state,
                          std::vector<D2rStepLine>& out);
void FinishD2rMergePass(D2rMergePassState& state, std::vector<D2rStepLine>& out);

// Where a merging pass stands, in four bits, as far as what it does with
// the lines it takes goes: before a line to stand on with 0 to 6 lines of a
// beat to pass (the code), or standing on a line (kStandingOnAlone for one
// that passes a beat alone, a quarter or a triplet; otherwise by the line's
// length and whether it is a rest). The line stood on is kept apart.
namespace d2r_pass_code {
inline constexpr unsigned kStandingOnAlone = 7;
inline constexpr unsigned kStandingOnShorter = 8;  // + 2 * length + rest
}  // namespace d2r_pass_code

[[nodiscard]] constexpr unsigned D2rPassCode(const D2rMergePassPlace& place) {
    if (!place.standing) return place.beat_left;
    if (place.at.length >= D2rLength::kQuarter) return d2r_pass_code::kStandingOnAlone;
    return d2r_pass_code::kStandingOnShorter + 2 * static_cast<unsigned>(place.at.length) +
           (IsD2rRestLine(place.at) ? 1u : 0u);
}

// What four merging passes in a row make of eight 32nd-note lines (or of
// one line), from where each stands (D2rPassCode). The lines given and those the passes
// stand on after the eight are named by where they come from: the eight's
// line `Source()` (0 to 7), the line pass Source() - 8 stood on before, or
// a rest line (kRest), each with its length now (kAsItStands: unchanged).
struct D2rMergeBeat {
    struct Ref {
        static constexpr unsigned kRest = 12;
        static constexpr unsigned kAsItStands = 7;
        std::uint8_t code = 0;
        [[nodiscard]] unsigned Source() const { return code & 15u; }
        [[nodiscard]] unsigned Length() const { return code >> 4; }
    };
    static constexpr std::size_t kMostLines = 12;  // four lines stood on, and the eight

    // False when the fourth pass merges: its lines from there on are held
    // for the passes after it.
    bool usable = false;
    std::uint8_t count = 0;               // lines the fourth pass gives
    std::uint16_t after = 0;              // each pass's code after the eight, pass q at bits 4q
    std::uint8_t standing = 0;            // bit q: pass q stands on a line after the eight
    std::array<std::uint8_t, 4> given{};  // lines each pass gives
    std::array<Ref, kMostLines> lines{};  // the fourth pass's, in order
    std::array<Ref, 4> stood{};           // the line each pass stands on after the eight, if any
};

// The beats of one thread, each worked out by TakeIntoD2rMergePass the first
// time it is asked for and kept in a cache of a fixed size.
class D2rMergeBeats {
public:
    static constexpr unsigned kPasses = 4;

    // This thread's beats: threads share nothing.
    [[nodiscard]] static D2rMergeBeats& OfThisThread();

    // What the passes take: eight 32nd-note lines, or one line alone (a
    // 32nd-note line or a triplet line), which is line 0 of the beat.
    enum Taken : unsigned { kEight, kOne32nd, kOneTriplet };

    // The beat for `rests` (bit k: the eight's line k is a rest line) and
    // `codes` (pass q's D2rPassCode at bits 4q).
    [[nodiscard]] const D2rMergeBeat& For(unsigned rests, unsigned codes, Taken taken = kEight) {
        const std::uint32_t key = kKnown | static_cast<std::uint32_t>(taken) << 24 | codes << 8 | rests;
        Slot& slot = slots_[(key * 0x9E3779B1u) >> (32 - kSlotBits)];
        if (slot.key != key) [[unlikely]] {
            slot.beat = WorkOut(rests, codes, taken);
            slot.key = key;
        }
        return slot.beat;
    }

    // What For gives, worked out again.
    [[nodiscard]] static D2rMergeBeat WorkOut(unsigned rests, unsigned codes, Taken taken = kEight);

private:
    static constexpr std::uint32_t kKnown = 1u << 31;
    static constexpr unsigned kSlotBits = 13;

    struct Slot {
        std::uint32_t key = 0;
        D2rMergeBeat beat;
    };
    std::array<Slot, std::size_t{1} << kSlotBits> slots_{};
};

// MergeD2rStepLinesFully after a first pass whose first merge was at merged
// line `first_merge` (not kNoMerge).
[[nodiscard]] std::vector<D2rStepLine> MergeD2rStepLinesAfterFirstPass(std::vector<D2rStepLine> lines,
                                                                       std::size_t first_merge);

// The same result as repeating MergeD2rStepLines until it changes nothing, in
// time close to linear also for charts that need a pass for every few lines.
[[nodiscard]] std::vector<D2rStepLine> MergeD2rStepLinesByWalking(std::vector<D2rStepLine> lines);

// The step lines of one chart: pad texts, decoding, placing the triplets,
// building and merging. `chart_text` is the chart's data, which begins with
// `chart_lead_in` "0" characters; it is freed once the lines are built, so
// that it is not held while they are merged. Adds to `triplets_on_grid`, when
// given, the triplet beats written on the 32nd-note grid. With `chart` (the
// chart's label and the source lines of `chart_text`), the decoder's error
// lines say where each group stands.
[[nodiscard]] std::vector<D2rStepLine> ConvertChartToD2rStepLines(std::string chart_text,
                                                                  long long chart_lead_in, long long lead_in,
                                                                  long long reference_lead_in,
                                                                  std::string_view file_name, ErrorList& errors,
                                                                  std::size_t* triplets_on_grid = nullptr,
                                                                  const StepTextPlace* chart = nullptr);

// ConvertChartToD2rStepLines, each line written to `out` as a d2r step line
// as soon as no later merging pass can change it: for most charts, as it is
// built, so that the lines are never all held.
void WriteChartD2rStepLines(std::string chart_text, long long chart_lead_in, long long lead_in,
                            long long reference_lead_in, std::string_view file_name, ErrorList& errors,
                            std::size_t* triplets_on_grid, const StepTextPlace* chart, LineSink& out);

// How many cells of each pad ConvertChartToD2rStepLines decodes at a time.
inline constexpr std::size_t kD2rCellStretch = 16 * 1024;

// ConvertChartToD2rStepLines, decoding, placing and building `stretch` cells
// of each pad at a time, so that a long chart's cells are never all held.
// The chart's text is read in place. Error lines come in the same order as
// from decoding both pads whole, then placing and building.
[[nodiscard]] std::vector<D2rStepLine> ConvertChartToD2rStepLinesInStretches(
    std::string_view chart_text, long long chart_lead_in, long long lead_in, long long reference_lead_in,
    std::string_view file_name, ErrorList& errors, std::size_t* triplets_on_grid, const StepTextPlace* chart,
    std::size_t stretch);

}  // namespace torvane
