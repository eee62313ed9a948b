#include "preview/chart_compare.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <optional>
#include <utility>

#include "msd/header.hpp"
#include "preview/chart_names.hpp"
#include "text/numbers.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

std::string Number(double value) { return FormatGeneral(value, 10); }

// Whole ticks as beats: "2", "0.5", "1/3", "1 2/3".
std::string Beats(long long ticks) {
    const bool negative = ticks < 0;
    const long long magnitude = negative ? -ticks : ticks;
    const long long whole = magnitude / kTicksPerBeat;
    long long part = magnitude % kTicksPerBeat;
    std::string text = negative ? "-" : "";
    if (part == 0) return text + std::to_string(whole);
    long long denominator = kTicksPerBeat;
    const long long divisor = std::gcd(part, denominator);
    part /= divisor;
    denominator /= divisor;
    if (denominator == 2 || denominator == 4 || denominator == 8) {
        // Halves, quarters and eighths of a beat read best as decimals.
        const std::string decimals = FormatGeneral(static_cast<double>(part) / static_cast<double>(denominator));
        return text + std::to_string(whole) + decimals.substr(1);
    }
    if (whole != 0) text += std::to_string(whole) + ' ';
    return text + std::to_string(part) + '/' + std::to_string(denominator);
}

std::string OptionalNumber(const std::optional<double>& value) { return value ? Number(*value) : "none"; }

void CompareValue(std::vector<ValueChange>& changes, std::string_view what, const std::string& before,
                  const std::string& after) {
    if (before != after) changes.push_back({std::string(what), Cp932ToUtf8(before), Cp932ToUtf8(after), {}});
}

// How many steps of `after`, moved back by `shift`, stand where a step of
// `before` stands with the same panels. Both lists are in time order.
std::size_t CountMatches(const std::vector<ChartPad>& before, const std::vector<ChartPad>& after, long long shift) {
    std::size_t matches = 0;
    for (std::size_t pad = 0; pad < std::min(before.size(), after.size()); ++pad) {
        const auto& a = before[pad].steps;
        const auto& b = after[pad].steps;
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < a.size() && j < b.size()) {
            const long long tb = b[j].tick - shift;
            if (a[i].tick < tb) {
                ++i;
            } else if (tb < a[i].tick) {
                ++j;
            } else {
                matches += a[i].panels == b[j].panels;
                ++i;
                ++j;
            }
        }
    }
    return matches;
}

std::optional<long long> FirstTick(const std::vector<ChartPad>& pads) {
    std::optional<long long> first;
    for (const auto& pad : pads) {
        if (!pad.steps.empty() && (!first || pad.steps.front().tick < *first)) first = pad.steps.front().tick;
    }
    return first;
}

std::optional<long long> LastTick(const std::vector<ChartPad>& pads) {
    std::optional<long long> last;
    for (const auto& pad : pads) {
        if (!pad.steps.empty() && (!last || pad.steps.back().tick > *last)) last = pad.steps.back().tick;
    }
    return last;
}

// The shift of the steps that the change of the gap makes up, in ticks.
double GapShift(const Chart& before, const Chart& after) {
    return (after.gap.value_or(0) - before.gap.value_or(0)) / kGapUnitsPerBeat * kTicksPerBeat;
}

// The shift that lines up most steps: the one the gap makes up, or the one
// that lines up the first steps, or the last; in that order when they tie.
long long BestShift(const Chart& before, const Chart& after) {
    // A gap far beyond any chart's length (a file may hold any number) moves
    // no step into view: it is left out rather than let ticks overflow.
    constexpr double kLargestShift = 1e15;
    std::vector<long long> candidates;
    if (const double gap_shift = GapShift(before, after); std::fabs(gap_shift) <= kLargestShift) {
        candidates.push_back(std::llround(gap_shift));
    }
    const auto first_before = FirstTick(before.pads);
    const auto first_after = FirstTick(after.pads);
    if (first_before && first_after) candidates.push_back(*first_after - *first_before);
    const auto last_before = LastTick(before.pads);
    const auto last_after = LastTick(after.pads);
    if (last_before && last_after) candidates.push_back(*last_after - *last_before);
    if (candidates.empty()) return 0;
    long long best = candidates.front();
    std::size_t best_matches = CountMatches(before.pads, after.pads, best);
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        const std::size_t matches = CountMatches(before.pads, after.pads, candidates[i]);
        if (matches > best_matches) {
            best = candidates[i];
            best_matches = matches;
        }
    }
    return best;
}

// Where a change happens in the source chart, and on which pad: the order
// in which changes are told.
std::pair<long long, std::uint8_t> PlaceOf(const StepChange& change) {
    return {change.kind == StepChange::Kind::kAdded ? change.tick_after : change.tick_before, change.pad};
}

// Counts every change and keeps the first `listed` in the order of their
// places, those at one place in the order they were found, as a stable sort
// of all of them would put them. Only twice `listed` changes are held: the
// first `listed` so far, sorted, and those found since, which are sorted
// into them once as many have come.
class ChangeList {
public:
    ChangeList(std::size_t listed, std::vector<StepChange>& kept, std::array<std::size_t, 4>& counts)
        : listed_(listed), kept_(kept), counts_(counts) {}

    void Add(const StepChange& change) {
        ++counts_[static_cast<std::size_t>(change.kind)];
        if (listed_ == 0) return;
        // Not before the last of a full sorted list: it would come after it.
        if (sorted_ == listed_ && PlaceOf(kept_[listed_ - 1]) <= PlaceOf(change)) return;
        kept_.push_back(change);
        if (kept_.size() >= listed_ && kept_.size() - listed_ >= listed_) Trim();  // twice `listed`, without overflow
    }

    // Sorts what is kept and leaves the first `listed`.
    void Trim() {
        std::stable_sort(kept_.begin(), kept_.end(),
                         [](const StepChange& a, const StepChange& b) { return PlaceOf(a) < PlaceOf(b); });
        if (kept_.size() > listed_) kept_.resize(listed_);
        sorted_ = kept_.size();
    }

private:
    std::size_t listed_;
    std::vector<StepChange>& kept_;
    std::array<std::size_t, 4>& counts_;
    std::size_t sorted_ = 0;
};

// The changes of one pad. Steps at the same place with the same panels are
// kept; of the rest, taken in time order, a step and a step with the same
// panels are one step moved, and what is left at the same place changed its
// panels, else was lost or added.
void ComparePad(std::size_t pad_index, const std::vector<ChartStep>& before, const std::vector<ChartStep>& after,
                long long shift, ChangeList& changes) {
    const auto pad = static_cast<std::uint8_t>(pad_index);
    std::vector<ChartStep> lost;
    std::vector<ChartStep> added;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < before.size() || j < after.size()) {
        const long long tb = j < after.size() ? after[j].tick - shift : 0;
        if (j == after.size() || (i < before.size() && before[i].tick < tb)) {
            lost.push_back(before[i++]);
        } else if (i == before.size() || tb < before[i].tick) {
            added.push_back({tb, after[j++].panels});
        } else if (before[i].panels == after[j].panels) {
            ++i;
            ++j;
        } else {
            lost.push_back(before[i++]);
            added.push_back({tb, after[j++].panels});
        }
    }

    // What is left of both once the moves are out, kept in place at the
    // front of each list: each is read before its place is written.
    std::size_t left_lost = 0;
    std::size_t left_added = 0;
    i = 0;
    j = 0;
    while (i < lost.size() && j < added.size()) {
        if (lost[i].panels == added[j].panels) {
            changes.Add({StepChange::Kind::kMoved, pad, lost[i].tick, added[j].tick, lost[i].panels,
                               added[j].panels});
            ++i;
            ++j;
        } else if (added[j].tick < lost[i].tick) {
            added[left_added++] = added[j++];
        } else {
            lost[left_lost++] = lost[i++];
        }
    }
    while (i < lost.size()) lost[left_lost++] = lost[i++];
    while (j < added.size()) added[left_added++] = added[j++];
    lost.resize(left_lost);
    added.resize(left_added);

    i = 0;
    j = 0;
    while (i < lost.size() || j < added.size()) {
        if (j == added.size() || (i < lost.size() && lost[i].tick < added[j].tick)) {
            changes.Add({StepChange::Kind::kLost, pad, lost[i].tick, 0, lost[i].panels, 0});
            ++i;
        } else if (i == lost.size() || added[j].tick < lost[i].tick) {
            changes.Add({StepChange::Kind::kAdded, pad, 0, added[j].tick, 0, added[j].panels});
            ++j;
        } else {
            changes.Add({StepChange::Kind::kPanels, pad, lost[i].tick, added[j].tick, lost[i].panels,
                               added[j].panels});
            ++i;
            ++j;
        }
    }
}

}  // namespace

std::string FormatPosition(long long tick) {
    long long measure = tick / kTicksPerMeasure;
    long long in_measure = tick % kTicksPerMeasure;
    if (in_measure < 0) {
        in_measure += kTicksPerMeasure;
        --measure;
    }
    // Beats count from 1, so the whole part of the beat is one more.
    return "measure " + std::to_string(measure + 1) + " beat " + Beats(in_measure + kTicksPerBeat);
}

std::size_t ChartCheck::StepChanges() const {
    std::size_t changes = 0;
    for (const std::size_t count : step_counts) changes += count;
    return changes;
}

ChartCheck CompareCharts(const Chart& before, const Chart& after, std::size_t listed) {
    ChartCheck check;
    check.label = DescribeChart(before);
    if (before.style != after.style) {
        check.values.push_back({"style", std::string(StyleName(before.style)), std::string(StyleName(after.style)), {}});
    }
    if (before.difficulty != after.difficulty || before.difficulty_word != after.difficulty_word) {
        check.values.push_back({"difficulty", Cp932ToUtf8(DifficultyName(before)), Cp932ToUtf8(DifficultyName(after)), {}});
    }
    CompareValue(check.values, "level", before.level, after.level);
    if (before.tempo != after.tempo) {
        check.values.push_back({"tempo", OptionalNumber(before.tempo), OptionalNumber(after.tempo), {}});
    }

    check.shift = BestShift(before, after);
    const double unmade = static_cast<double>(check.shift) - GapShift(before, after);
    if (std::fabs(unmade) > 1e-6) {
        const double beats = unmade / kTicksPerBeat;
        check.values.push_back({"gap", OptionalNumber(before.gap), OptionalNumber(after.gap),
                                "the steps come " + Number(std::fabs(beats)) + (std::fabs(beats) == 1 ? " beat " : " beats ") +
                                    (beats > 0 ? "later" : "earlier") + " against the music"});
    }
    CompareValue(check.values, "title", before.title, after.title);
    CompareValue(check.values, "artist", before.artist, after.artist);

    static const std::vector<ChartStep> kNoSteps;
    ChangeList changes(listed, check.steps, check.step_counts);
    const std::size_t pads = std::max(before.pads.size(), after.pads.size());
    for (std::size_t pad = 0; pad < pads; ++pad) {
        ComparePad(pad, pad < before.pads.size() ? before.pads[pad].steps : kNoSteps,
                   pad < after.pads.size() ? after.pads[pad].steps : kNoSteps, check.shift, changes);
    }
    changes.Trim();
    return check;
}

}  // namespace torvane
