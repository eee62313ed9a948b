#include "preview/chart_check.hpp"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <utility>

#include "d2r/d2r.hpp"
#include "ddr/ddr_format.hpp"
#include "preview/chart_names.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/freed_memory.hpp"
#include "text/output_names.hpp"
#include "text/safe_file.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// One file of a round trip, written as the conversions write it and read back
// from the start: no sync, for it is gone when the check is.
class ScratchSink final : public LineSink {
public:
    explicit ScratchSink(const fs::path& path) : path_(path), file_(std::fopen(path.c_str(), "wb")) {
        if (file_ == nullptr) throw ConversionError(Failure::kCreate, path_, "", "", errno);
    }
    ~ScratchSink() override {
        if (file_ != nullptr) std::fclose(file_);
    }
    ScratchSink(const ScratchSink&) = delete;
    ScratchSink& operator=(const ScratchSink&) = delete;

    void WriteLine(std::string_view line) override {
        if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fwrite("\r\n", 1, 2, file_) != 2) {
            throw ConversionError(Failure::kWrite, path_, "", "", errno);
        }
    }
    void Commit() override {
        const int closed = std::fclose(file_);
        file_ = nullptr;
        if (closed != 0) throw ConversionError(Failure::kWrite, path_, "", "", errno);
    }

private:
    fs::path path_;
    std::FILE* file_;
};

// Where the conversions of a check write: files in a folder of their own in
// the temporary folder, removed with it, so that a check holds no converted
// file in memory however large. The folder is named after the process, so
// that the next check removes it when a kill left it behind. A path written
// is read back from there; sources come from `sources`.
class ScratchFiles final : public Storage {
public:
    explicit ScratchFiles(Storage& sources) : sources_(sources) {
        std::error_code ec;
        folder_ = MakeScratchFolder(fs::temp_directory_path(ec), kCheckFolderPrefix);
    }
    ~ScratchFiles() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    ScratchFiles(const ScratchFiles&) = delete;
    ScratchFiles& operator=(const ScratchFiles&) = delete;

    [[nodiscard]] std::unique_ptr<LineSource> OpenSource(const fs::path& source) override {
        if (const auto it = written_.find(source); it != written_.end()) return OpenFileLineSource(it->second);
        return sources_.OpenSource(source);
    }
    [[nodiscard]] std::unique_ptr<LineSink> CreateDestination(const fs::path& destination,
                                                              const fs::path& /*source*/) override {
        const fs::path file = folder_ / std::to_string(files_made_++);
        auto sink = std::make_unique<ScratchSink>(file);
        written_[destination] = file;
        return sink;
    }
    [[nodiscard]] bool Wrote(const fs::path& destination) const { return written_.contains(destination); }

private:
    Storage& sources_;
    fs::path folder_;
    std::map<fs::path, fs::path> written_;
    std::size_t files_made_ = 0;
};

// The conversions of a round trip write into scratch files; what they report
// is the round trip's own.
struct Trip {
    ScratchFiles files;
    ErrorList errors;
    explicit Trip(Storage& storage) : files(storage) { errors.KeepAtMost(kErrorLinesListed); }
};

std::vector<Chart> Heads(Storage& storage, const fs::path& msd) { return ReadMSDChartHeads(*storage.OpenSource(msd)); }

// Hands each chart of an MSD file to `take` with its place, one at a time;
// decoder lines go to `errors`.
void EachChart(Storage& storage, const fs::path& msd, const std::vector<Chart>& heads, ErrorList& errors,
               const std::function<void(std::size_t, Chart&&)>& take) {
    const auto input = storage.OpenSource(msd);
    ReadMSDChartsOneByOne(*input, heads, FileNameForErrorLine(msd), errors, take);
}

// The charts of an MSD file, asked for in file order one at a time, so that
// a check can walk two files side by side holding one chart of each. A chart
// is read only when it is asked for, after the one before it is let go: two
// long charts are never read at once.
class ChartPuller {
public:
    ChartPuller(Storage& storage, const fs::path& msd, const std::vector<Chart>& heads)
        : input_(storage.OpenSource(msd)), charts_(*input_, heads, FileNameForErrorLine(msd), ignored_) {
        ignored_.KeepAtMost(0);  // the source's own lines are not the round trip's
    }

    // The chart at `place`, passing over those before it; none past the end.
    const Chart* At(std::size_t place) {
        while (!done_ && (!chart_ || charts_.Place() < place)) {
            chart_.reset();
            chart_ = charts_.Next();
            done_ = !chart_;
        }
        if (!chart_ || charts_.Place() != place) return nullptr;
        return &*chart_;
    }

private:
    ErrorList ignored_;
    std::unique_ptr<LineSource> input_;
    MSDChartReader charts_;
    std::optional<Chart> chart_;
    bool done_ = false;
};

bool SameKind(const Chart& a, const Chart& b) { return a.style == b.style && a.difficulty == b.difficulty; }

// Pairs the charts that came back with the charts they came from, in file
// order: each chart takes the next one of its style and difficulty; one that
// finds none takes the next chart that no later chart would take. Only the
// charts' heads are looked at; the pairs are compared as both files are
// read side by side, one chart of each at a time.
void CompareInOrder(Storage& storage, const fs::path& source, const std::vector<Chart>& before, Trip& trip,
                    const fs::path& back, RoundTripCheck& check) {
    const std::vector<Chart> after = Heads(trip.files, back);
    std::map<std::size_t, std::size_t> pair_of_after;  // after place to the place in check.charts
    std::vector<std::size_t> before_of_pair;
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
        pair_of_after[k] = check.charts.size();
        before_of_pair.push_back(i);
        check.charts.emplace_back();  // compared below
        j = k + 1;
    }
    for (; j < after.size(); ++j) check.added_charts.push_back(DescribeChart(after[j]));
    if (pair_of_after.empty()) {
        // The way back's decoder lines are the round trip's all the same.
        EachChart(trip.files, back, after, trip.errors, [](std::size_t, Chart&&) {});
        return;
    }

    ChartPuller before_charts(storage, source, before);
    EachChart(trip.files, back, after, trip.errors, [&](std::size_t k, Chart&& chart) {
        const auto pair = pair_of_after.find(k);
        if (pair == pair_of_after.end()) return;
        HandBackFreedMemory();
        const std::size_t i = before_of_pair[static_cast<std::size_t>(
            std::distance(pair_of_after.begin(), pair))];
        const Chart* const original = before_charts.At(i);
        if (original == nullptr) throw std::runtime_error("the file changed while it was checked");
        ChartCheck compared = CompareCharts(*original, chart);
        compared.chart = i;
        check.charts[pair->second] = std::move(compared);
    });
}

// MSD to ddr makes one file per style and difficulty, a later chart's file
// replacing an earlier one's, and none for a difficulty it does not know.
void CompareThroughDdr(Trip& trip, Storage& storage, const fs::path& msd, const std::vector<Chart>& before,
                       const DdrOptions& options, RoundTripCheck& check) {
    const fs::path ddr = ReplaceExtension(msd, ".round-trip.ddr");
    (void)ConvertMSD2ddr(msd, ddr, kCaption, options, trip.errors, trip.files);
    HandBackFreedMemory();
    std::map<std::string, std::size_t> last_of_file;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i].difficulty == ChartDifficulty::kUnknown) continue;
        last_of_file[std::string{StyleLetter(before[i].style), DifficultyLetter(before[i].difficulty)}] = i;
    }
    ErrorList ignored;  // the source's own lines are not the round trip's
    ignored.KeepAtMost(0);
    EachChart(storage, msd, before, ignored, [&](std::size_t i, Chart&& original) {
        if (i >= before.size()) return;
        ChartCheck lost;
        lost.chart = i;
        lost.label = DescribeChart(before[i]);
        lost.came_back = false;
        if (before[i].difficulty == ChartDifficulty::kUnknown) {
            lost.lost_reason = "a chart of a difficulty that ddr does not know gets no ddr file";
            check.charts.push_back(std::move(lost));
            return;
        }
        const std::string letters{StyleLetter(before[i].style), DifficultyLetter(before[i].difficulty)};
        if (last_of_file[letters] != i) {
            lost.lost_reason = "a later chart of the same style and difficulty replaces its ddr file";
            check.charts.push_back(std::move(lost));
            return;
        }
        const fs::path file = DdrChartFileName(ddr, letters[0], letters[1]);
        std::vector<Chart> after;
        if (trip.files.Wrote(file)) {
            const fs::path back = ReadAsMsd(file, ChartFormat::kddr, trip.errors, trip.files);
            HandBackFreedMemory();
            const auto input = trip.files.OpenSource(back);
            after = ReadMSDCharts(*input, FileNameForErrorLine(back), trip.errors);
            HandBackFreedMemory();
        }
        if (after.empty()) {
            lost.lost_reason = "its ddr file holds no step";
            check.charts.push_back(std::move(lost));
            return;
        }
        ChartCheck compared = CompareCharts(original, after.front());
        compared.chart = i;
        check.charts.push_back(std::move(compared));
        for (std::size_t extra = 1; extra < after.size(); ++extra) check.added_charts.push_back(DescribeChart(after[extra]));
    });
}

void CompareThroughD2r(Trip& trip, Storage& storage, const fs::path& msd, const std::vector<Chart>& before,
                       RoundTripCheck& check) {
    const fs::path d2r = ReplaceExtension(msd, ".round-trip.d2r");
    ConvertMSD2d2r(msd, d2r, kCaption, trip.errors, trip.files);
    HandBackFreedMemory();
    const fs::path back = ReadAsMsd(d2r, ChartFormat::kd2r, trip.errors, trip.files);
    HandBackFreedMemory();
    CompareInOrder(storage, msd, before, trip, back, check);
}

RoundTripCheck RunRoundTrip(RoundTrip way, const fs::path& source, ChartFormat format,
                            const std::vector<Chart>& before, const DdrOptions& options, Storage& storage) {
    RoundTripCheck check;
    check.way = way;
    Trip trip(storage);
    try {
        if (format == ChartFormat::kMSD) {
            if (way == RoundTrip::kThroughd2r) {
                CompareThroughD2r(trip, storage, source, before, check);
            } else {
                CompareThroughDdr(trip, storage, source, before, options, check);
            }
        } else {
            const fs::path msd = ReadAsMsd(source, format, trip.errors, trip.files);
            HandBackFreedMemory();
            // Only what the way back reports is news: reading the source
            // reported its own lines already.
            trip.errors.Clear();
            if (format == ChartFormat::kd2r) {
                CompareThroughD2r(trip, trip.files, msd, before, check);
            } else {
                CompareThroughDdr(trip, trip.files, msd, before, options, check);
            }
        }
    } catch (const ConversionError& error) {
        check.failure = error.what();
        check.charts.clear();
        check.added_charts.clear();
    }
    check.error_lines = trip.errors.Lines();
    check.error_line_count = check.error_lines.size() + trip.errors.LinesNotKept();
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

SourceCheck CheckRoundTrips(const fs::path& source, ChartFormat format, const DdrOptions& options, Storage& storage) {
    SourceCheck check;
    check.source = source;
    check.format = format;
    // The source is read once, as `storage` gives it (a UTF-8 source as code
    // page 932, its lines about characters without a form told once), into a
    // scratch file under its own name that every reading after takes.
    ScratchFiles copy(storage);
    {
        const auto input = storage.OpenSource(source);
        const auto output = copy.CreateDestination(source, source);
        for (std::string line; input->ReadLine(line);) output->WriteLine(line);
        output->Commit();
    }
    // The charts without their steps, each with its number of pads: a check
    // holds the steps of one chart of each file it compares at a time.
    ErrorList errors;  // the source's own lines are not the round trip's
    errors.KeepAtMost(0);
    std::optional<ScratchFiles> converted;
    fs::path msd = source;
    if (format != ChartFormat::kMSD) {
        converted.emplace(static_cast<Storage&>(copy));
        msd = ReadAsMsd(source, format, errors, *converted);
    }
    Storage& charts = converted ? static_cast<Storage&>(*converted) : copy;
    check.charts = ReadMSDChartHeads(*charts.OpenSource(msd), true);
    converted.reset();
    HandBackFreedMemory();
    for (const RoundTrip way : RoundTripsOf(format)) {
        check.ways.push_back(RunRoundTrip(way, source, format, check.charts, options, copy));
    }
    return check;
}

}  // namespace torvane
