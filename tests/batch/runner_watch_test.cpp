// A watched batch: the bytes read of the files in hand, and a stop that ends
// them part way, replacing nothing and counting them as not started.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "batch/runner.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::TempDir;
using test::WriteFile;

std::string TwoCharts() {
    return CrLf({"#TITLE:Song;", "#BPM:150;", "#GAP:0;", "#SINGLE:BASIC:3:", "00002468;", "#DOUBLE:MANIAC:7:",
                 "00002468:00008642;"});
}

// The real storage of a file, with a hook after each destination is complete.
// With `at_commit` false, the hook runs when a destination is begun instead.
class HookedStorage final : public Storage {
public:
    HookedStorage(Storage& inner, bool at_commit, std::function<void()> after_commit)
        : inner_(inner), at_commit_(at_commit), after_commit_(std::move(after_commit)) {}
    std::unique_ptr<LineSource> OpenSource(const fs::path& source) override { return inner_.OpenSource(source); }
    std::unique_ptr<LineSink> CreateDestination(const fs::path& destination, const fs::path& source) override {
        class Sink final : public LineSink {
        public:
            Sink(std::unique_ptr<LineSink> inner, std::function<void()>& hook) : inner_(std::move(inner)), hook_(hook) {}
            void WriteLine(std::string_view line) override { inner_->WriteLine(line); }
            void Commit() override {
                inner_->Commit();
                hook_();
            }

        private:
            std::unique_ptr<LineSink> inner_;
            std::function<void()>& hook_;
        };
        auto sink = std::make_unique<Sink>(inner_.CreateDestination(destination, source), at_commit_ ? after_commit_ : none_);
        if (!at_commit_) after_commit_();
        return sink;
    }

private:
    Storage& inner_;
    bool at_commit_;
    std::function<void()> none_ = [] {};
    std::function<void()> after_commit_;
};

struct WatchCase {
    const char* name;
    Conversion conversion;
    unsigned jobs;
    bool at_commit;  // stop once a.msd's first destination is complete, else once it is begun
};

class WatchedBatch : public testing::TestWithParam<WatchCase> {};

// The user stops the batch once the first chart's file of a.msd is written
// (for MSD to d2r, once its one file is begun): a.msd replaces nothing (for MSD to ddr none of its chart files), counts
// as not started, and with one job nothing after it starts.
TEST_P(WatchedBatch, AStopEndsTheFilesInHandPartWayAndTheyReplaceNothing) {
    TempDir dir;
    const std::vector<fs::path> sources = {dir / "a.msd", dir / "b.msd", dir / "c.msd"};
    for (const auto& source : sources) WriteFile(source, TwoCharts());
    const BatchPlan plan = PlanBatch(GetParam().conversion, sources);
    BatchWatch watch;
    BatchSettings settings;
    settings.jobs = GetParam().jobs;
    settings.convert = [&](const PlannedFile& file, ErrorList& errors, Storage& storage, SourceEncoding& encoding) {
        HookedStorage hooked(storage, GetParam().at_commit, [&] {
            if (file.source.filename() == "a.msd") watch.stop = true;
        });
        return ConvertPlannedFile(plan.conversion, settings, file, errors, hooked, encoding);
    };
    BatchCallbacks callbacks;
    callbacks.watch = &watch;
    std::vector<std::string> done;
    callbacks.file_done = [&](const FileResult& result) { done.push_back(result.source.filename().string()); };
    const BatchSummary summary = RunBatch(plan, settings, callbacks);

    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    // Whatever b.msd did meanwhile on a second job, a.msd left nothing.
    for (const auto& name : left) EXPECT_FALSE(name.starts_with("a") && name != "a.msd") << name;
    EXPECT_EQ(summary.converted + summary.not_started + summary.failed, 3U);
    // A second job may have finished b.msd and c.msd before a.msd stopped.
    EXPECT_GE(summary.not_started, 1U);
    EXPECT_EQ(summary.failed, 0U);
    for (const auto& name : done) EXPECT_NE(name, "a.msd");
    if (GetParam().jobs == 1) {
        EXPECT_EQ(summary.not_started, 3U);
        EXPECT_TRUE(done.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Conversions, WatchedBatch,
                         testing::Values(WatchCase{"MSD2ddr_one_job", Conversion::kMSD2ddr, 1, true},
                                         WatchCase{"MSD2ddr_two_jobs", Conversion::kMSD2ddr, 2, true},
                                         WatchCase{"MSD2d2r_one_job", Conversion::kMSD2d2r, 1, false}),
                         [](const testing::TestParamInfo<WatchCase>& info) { return info.param.name; });

TEST(WatchedBatchBytes, EveryByteOfTheSourcesIsCountedOnceWhateverTheirPasses) {
    TempDir dir;
    std::vector<fs::path> sources;
    std::uint64_t total = 0;
    for (const char* name : {"a.msd", "b.msd", "c.msd"}) {
        WriteFile(dir / name, TwoCharts());
        sources.push_back(dir / name);
        total += fs::file_size(dir / name);
    }
    WriteFile(dir / "empty.msd", "");
    sources.push_back(dir / "empty.msd");
    for (const unsigned jobs : {1U, 2U}) {
        const BatchPlan plan = PlanBatch(Conversion::kMSD2d2r, sources);
        EXPECT_EQ(PlanSourceBytes(plan), total);
        BatchWatch watch;
        BatchSettings settings;
        settings.jobs = jobs;
        BatchCallbacks callbacks;
        callbacks.watch = &watch;
        std::vector<std::uint64_t> at_start;
        callbacks.progress = [&](const BatchProgress& progress) {
            if (!progress.in_hand.empty()) at_start.push_back(watch.bytes_read.load());
        };
        const BatchSummary summary = RunBatch(plan, settings, callbacks);
        EXPECT_EQ(summary.converted, 3U);
        EXPECT_EQ(summary.failed, 1U);  // the empty one
        // The MSD readers read a source twice; the bar still ends at the total.
        EXPECT_EQ(watch.bytes_read.load(), total) << jobs;
        if (jobs == 1) {
            const std::uint64_t one = total / 3;
            EXPECT_EQ(at_start, (std::vector<std::uint64_t>{0, one, 2 * one, total}));
        }
    }
}

TEST(WatchedBatchJobs, TheDefaultIsTheProcessorsOnline) {
    EXPECT_GE(DefaultBatchJobs(), 1U);
    EXPECT_LE(DefaultBatchJobs(), kMaxBatchJobs);
}

}  // namespace
}  // namespace torvane
