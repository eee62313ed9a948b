#include "preview/chart_check.hpp"

#include <algorithm>
#include <map>
#include <utility>

#include "d2r/d2r.hpp"
#include "preview/chart_names.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/output_names.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// The conversions of a round trip write into memory; what they report is
// the round trip's own.
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
