#include "preview/chart_check.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>
#include <utility>

#include "d2r/d2r.hpp"
#include "preview/chart_svg.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/numbers.hpp"
#include "text/output_names.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// The d2r conversions move the gap by 64 units for every beat by which they
// move the lead-in, so 64 units of gap stand for one beat of steps.
constexpr double kGapUnitsPerBeat = 64;

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
    std::vector<long long> candidates = {std::llround(GapShift(before, after))};
    const auto first_before = FirstTick(before.pads);
    const auto first_after = FirstTick(after.pads);
    if (first_before && first_after) candidates.push_back(*first_after - *first_before);
    const auto last_before = LastTick(before.pads);
    const auto last_after = LastTick(after.pads);
    if (last_before && last_after) candidates.push_back(*last_after - *last_before);
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

// The changes of one pad. Steps at the same place with the same panels are
// kept; of the rest, taken in time order, a step and a step with the same
// panels are one step moved, and what is left at the same place changed its
// panels, else was lost or added.
void ComparePad(std::size_t pad, const std::vector<ChartStep>& before, const std::vector<ChartStep>& after,
                long long shift, std::vector<StepChange>& changes) {
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

    std::vector<ChartStep> left_lost;
    std::vector<ChartStep> left_added;
    i = 0;
    j = 0;
    while (i < lost.size() && j < added.size()) {
        if (lost[i].panels == added[j].panels) {
            changes.push_back({StepChange::Kind::kMoved, pad, lost[i].tick, added[j].tick, lost[i].panels,
                               added[j].panels});
            ++i;
            ++j;
        } else if (added[j].tick < lost[i].tick) {
            left_added.push_back(added[j++]);
        } else {
            left_lost.push_back(lost[i++]);
        }
    }
    left_lost.insert(left_lost.end(), lost.begin() + static_cast<std::ptrdiff_t>(i), lost.end());
    left_added.insert(left_added.end(), added.begin() + static_cast<std::ptrdiff_t>(j), added.end());

    i = 0;
    j = 0;
    while (i < left_lost.size() || j < left_added.size()) {
        if (j == left_added.size() || (i < left_lost.size() && left_lost[i].tick < left_added[j].tick)) {
            changes.push_back({StepChange::Kind::kLost, pad, left_lost[i].tick, 0, left_lost[i].panels, 0});
            ++i;
        } else if (i == left_lost.size() || left_added[j].tick < left_lost[i].tick) {
            changes.push_back({StepChange::Kind::kAdded, pad, 0, left_added[j].tick, 0, left_added[j].panels});
            ++j;
        } else {
            changes.push_back({StepChange::Kind::kPanels, pad, left_lost[i].tick, left_added[j].tick,
                               left_lost[i].panels, left_added[j].panels});
            ++i;
            ++j;
        }
    }
}

// The changes, ordered by where they happen in the source chart.
void SortChanges(std::vector<StepChange>& changes) {
    auto at = [](const StepChange& c) { return c.kind == StepChange::Kind::kAdded ? c.tick_after : c.tick_before; };
    std::stable_sort(changes.begin(), changes.end(), [&](const StepChange& a, const StepChange& b) {
        return std::pair(at(a), a.pad) < std::pair(at(b), b.pad);
    });
}

// --- Round trips in memory ---

struct Trip {
    MemoryDestinations memory;
    ErrorList errors;
    explicit Trip(Storage& storage) : memory(storage) {}
};

std::vector<Chart> ReadBack(Trip& trip, const fs::path& msd) { return ReadMSDFileCharts(msd, trip.errors, trip.memory); }

bool SameKind(const Chart& a, const Chart& b) { return a.style == b.style && a.difficulty == b.difficulty; }

// Pairs the charts that came back with the charts they came from, in file
// order: each chart takes the next one of its style and difficulty; one that
// finds none takes the next chart that no later chart would take.
void CompareInOrder(const std::vector<Chart>& before, const std::vector<Chart>& after, RoundTripCheck& check) {
    std::size_t j = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        std::size_t k = j;
        while (k < after.size() && !SameKind(before[i], after[k])) ++k;
        if (k == after.size()) {
            const bool taken_later = j < after.size() && std::any_of(before.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                                                     before.end(), [&](const Chart& c) {
                                                                         return SameKind(c, after[j]);
                                                                     });
            if (j < after.size() && !taken_later) {
                k = j;
            } else {
                ChartCheck lost;
                lost.chart = i;
                lost.label = DescribeChart(before[i]);
                lost.came_back = false;
                lost.lost_reason = "it did not come back";
                check.charts.push_back(std::move(lost));
                continue;
            }
        }
        for (; j < k; ++j) check.added_charts.push_back(DescribeChart(after[j]));
        ChartCheck compared = CompareCharts(before[i], after[k]);
        compared.chart = i;
        check.charts.push_back(std::move(compared));
        j = k + 1;
    }
    for (; j < after.size(); ++j) check.added_charts.push_back(DescribeChart(after[j]));
}

char StyleLetter(ChartStyle style) {
    switch (style) {
        case ChartStyle::kSingle: return 's';
        case ChartStyle::kDouble: return 'd';
        case ChartStyle::kCouple: return 'c';
    }
    return 's';
}

char DifficultyLetter(ChartDifficulty difficulty) {
    switch (difficulty) {
        case ChartDifficulty::kBasic: return 'b';
        case ChartDifficulty::kAnother: return 'a';
        case ChartDifficulty::kManiac: return 'm';
        case ChartDifficulty::kUnknown: break;
    }
    return 'x';
}

// MSD to ddr makes one file per style and difficulty, a later chart's file
// replacing an earlier one's, and none for a difficulty it does not know.
void CompareThroughDdr(Trip& trip, const fs::path& msd, const std::vector<Chart>& before, const DdrOptions& options,
                       RoundTripCheck& check) {
    const fs::path ddr = ReplaceExtension(msd, ".round-trip.ddr");
    (void)ConvertMSD2ddr(msd, ddr, kCaption, options, trip.errors, trip.memory);
    std::map<std::string, std::size_t> last_of_file;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i].difficulty == ChartDifficulty::kUnknown) continue;
        last_of_file[std::string{StyleLetter(before[i].style), DifficultyLetter(before[i].difficulty)}] = i;
    }
    for (std::size_t i = 0; i < before.size(); ++i) {
        ChartCheck lost;
        lost.chart = i;
        lost.label = DescribeChart(before[i]);
        lost.came_back = false;
        if (before[i].difficulty == ChartDifficulty::kUnknown) {
            lost.lost_reason = "a chart of a difficulty that ddr does not know gets no ddr file";
            check.charts.push_back(std::move(lost));
            continue;
        }
        const std::string letters{StyleLetter(before[i].style), DifficultyLetter(before[i].difficulty)};
        if (last_of_file[letters] != i) {
            lost.lost_reason = "a later chart of the same style and difficulty replaces its ddr file";
            check.charts.push_back(std::move(lost));
            continue;
        }
        std::string name = ddr.stem().string();
        name.append("_").append(letters).append(".ddr");
        const fs::path file = ddr.parent_path() / name;
        std::vector<Chart> after;
        if (trip.memory.Written().count(file) != 0) {
            const fs::path back = ReplaceExtension(file, ".MSD");
            Convertddr2MSD(file, back, kCaption, trip.errors, trip.memory);
            after = ReadBack(trip, back);
        }
        if (after.empty()) {
            lost.lost_reason = "its ddr file holds no step";
            check.charts.push_back(std::move(lost));
            continue;
        }
        ChartCheck compared = CompareCharts(before[i], after.front());
        compared.chart = i;
        check.charts.push_back(std::move(compared));
        for (std::size_t extra = 1; extra < after.size(); ++extra) check.added_charts.push_back(DescribeChart(after[extra]));
    }
}

void CompareThroughD2r(Trip& trip, const fs::path& msd, const std::vector<Chart>& before, RoundTripCheck& check) {
    const fs::path d2r = ReplaceExtension(msd, ".round-trip.d2r");
    const fs::path back = ReplaceExtension(msd, ".round-trip.MSD");
    ConvertMSD2d2r(msd, d2r, kCaption, trip.errors, trip.memory);
    Convertd2r2MSD(d2r, back, kCaption, trip.errors, trip.memory);
    CompareInOrder(before, ReadBack(trip, back), check);
}

// The MSD file that a d2r or ddr source becomes, in memory.
fs::path AsMSD(Trip& trip, const fs::path& source, ChartFormat format) {
    const fs::path msd = ReplaceExtension(source, ".MSD");
    if (format == ChartFormat::kd2r) {
        Convertd2r2MSD(source, msd, kCaption, trip.errors, trip.memory);
    } else {
        Convertddr2MSD(source, msd, kCaption, trip.errors, trip.memory);
    }
    return msd;
}

RoundTripCheck RunRoundTrip(RoundTrip way, const fs::path& source, ChartFormat format,
                            const std::vector<Chart>& before, const DdrOptions& options, Storage& storage) {
    RoundTripCheck check;
    check.way = way;
    Trip trip(storage);
    try {
        if (format == ChartFormat::kMSD) {
            if (way == RoundTrip::kThroughd2r) {
                CompareThroughD2r(trip, source, before, check);
            } else {
                CompareThroughDdr(trip, source, before, options, check);
            }
        } else {
            const fs::path msd = AsMSD(trip, source, format);
            // Only what the way back reports is news: reading the source
            // reported its own lines already.
            trip.errors.Clear();
            if (format == ChartFormat::kd2r) {
                CompareThroughD2r(trip, msd, before, check);
            } else {
                CompareThroughDdr(trip, msd, before, options, check);
            }
        }
    } catch (const ConversionError& error) {
        check.failure = error.what();
        check.charts.clear();
        check.added_charts.clear();
    }
    check.error_lines = trip.errors.Lines();
    return check;
}

}  // namespace

std::string_view RoundTripName(RoundTrip way) {
    switch (way) {
        case RoundTrip::kThroughd2r: return "through d2r";
        case RoundTrip::kThroughddr: return "through ddr";
        case RoundTrip::kThroughMSD: return "through MSD";
    }
    return "";
}

std::vector<RoundTrip> RoundTripsOf(ChartFormat format) {
    if (format == ChartFormat::kMSD) return {RoundTrip::kThroughd2r, RoundTrip::kThroughddr};
    return {RoundTrip::kThroughMSD};
}

bool RoundTripCheck::Changed() const {
    return failure.has_value() || !added_charts.empty() ||
           std::any_of(charts.begin(), charts.end(), [](const ChartCheck& c) { return c.Changed(); });
}

bool SourceCheck::Changed() const {
    return std::any_of(ways.begin(), ways.end(), [](const RoundTripCheck& w) { return w.Changed(); });
}

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

std::string DescribeChart(const Chart& chart) {
    return std::string(StyleName(chart.style)) + ' ' + Cp932ToUtf8(DifficultyName(chart)) + " level " +
           Cp932ToUtf8(chart.level);
}

ChartCheck CompareCharts(const Chart& before, const Chart& after) {
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
    const std::size_t pads = std::max(before.pads.size(), after.pads.size());
    for (std::size_t pad = 0; pad < pads; ++pad) {
        ComparePad(pad, pad < before.pads.size() ? before.pads[pad].steps : kNoSteps,
                   pad < after.pads.size() ? after.pads[pad].steps : kNoSteps, check.shift, check.steps);
    }
    SortChanges(check.steps);
    return check;
}

SourceCheck CheckSource(const fs::path& source, ChartFormat format, const DdrOptions& options, Storage& storage) {
    SourceCheck check;
    check.source = source;
    check.format = format;
    ErrorList errors;
    check.charts = LoadCharts(source, format, errors, storage);
    for (const RoundTrip way : RoundTripsOf(format)) {
        check.ways.push_back(RunRoundTrip(way, source, format, check.charts, options, storage));
    }
    return check;
}

}  // namespace torvane
