// The batch runner: files in plan order whatever the number of jobs, a failed
// file that does not end the batch and replaces nothing, progress, cancel.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "batch/runner.hpp"
#include "test_support.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A library of `songs` MSD files in two folders: clean ones, ones with a
// chart problem, and every tenth one that cannot be converted.
void WriteLibrary(const fs::path& lib, int songs) {
    for (int i = 0; i < songs; ++i) {
        const fs::path file = lib / (i % 2 == 0 ? "a" : "b") / ("song" + std::to_string(100 + i) + ".msd");
        fs::create_directories(file.parent_path());
        std::vector<std::string> lines = {"#TITLE:Song " + std::to_string(i) + ";", "#BPM:150;"};
        if (i % 10 == 3) lines.push_back("#GAP:soon;");
        lines.push_back("#SINGLE:BASIC:3:");
        lines.push_back(i % 4 == 1 ? "00000000(12345)4020;" : "00000000(4000)2(4268)(123)8;");
        lines.push_back("#DOUBLE:MANIAC:" + std::to_string(i % 9 + 1) + ":");
        lines.push_back("0000000040" + std::string(static_cast<std::size_t>(i % 7), '2') + ":000000006000;");
        WriteFile(file, CrLf(lines));
    }
}

// Everything a front end sees of a file, as text.
std::string Describe(const FileResult& result) {
    std::string text = result.source.string() + " " + std::string(FileStatusCode(result.status));
    for (const auto& destination : result.destinations) text += " -> " + destination.string();
    if (result.failure) text += " : " + std::string(result.failure->what());
    for (const auto& line : result.error_lines) text += " | " + RenderErrorLine(line);
    for (const auto& note : result.notes) text += " # " + note.code;
    return text;
}

struct LibraryRun {
    std::vector<std::string> results;
    std::map<std::string, std::string> outputs;  // every file below the out dir
    BatchSummary summary;
};

LibraryRun RunLibrary(const fs::path& lib, const fs::path& out, Conversion conversion, unsigned jobs,
               std::size_t group_files = 256) {
    LibraryRun run;
    BatchSettings settings;
    settings.jobs = jobs;
    settings.group_files = group_files;
    BatchCallbacks callbacks;
    callbacks.file_done = [&](const FileResult& result) { run.results.push_back(Describe(result)); };
    run.summary = RunBatch(PlanBatch(conversion, {lib}, out), settings, callbacks);
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        if (entry.is_regular_file()) run.outputs[entry.path().lexically_relative(out)] = ReadFile(entry.path());
    }
    return run;
}

TEST(RunBatch, GivesTheSameResultsInTheSameOrderForAnyNumberOfJobs) {
    TempDir dir;
    WriteLibrary(dir / "lib", 40);
    for (const Conversion conversion : {Conversion::kMSD2d2r, Conversion::kMSD2ddr}) {
        fs::remove_all(dir / "out");
        const LibraryRun one = RunLibrary(dir / "lib", dir / "out", conversion, 1);
        fs::remove_all(dir / "out");
        const LibraryRun four = RunLibrary(dir / "lib", dir / "out", conversion, 4, 7);
        ASSERT_EQ(one.results.size(), 40u);
        ASSERT_EQ(four.results.size(), 40u);
        for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(four.results[i], one.results[i]) << i;
        EXPECT_EQ(four.outputs, one.outputs);
        // msd2ddr copies the gap as a comment, so it converts the files of a bad gap.
        const std::size_t bad_gaps = conversion == Conversion::kMSD2d2r ? 4 : 0;
        EXPECT_EQ(one.summary.failed, bad_gaps);
        EXPECT_EQ(one.summary.converted, 40 - bad_gaps);
        EXPECT_EQ(one.summary.with_error_lines, bad_gaps == 0 ? 10u : 8u);  // two bad gaps have bad groups
        EXPECT_EQ(four.summary.failed, one.summary.failed);
        EXPECT_EQ(four.summary.with_error_lines, one.summary.with_error_lines);
    }
}

TEST(RunBatch, AFailedFileReplacesNothingAndTheNextFileFollows) {
    TempDir dir;
    for (const char* name : {"a.msd", "b.msd", "c.msd"}) WriteFile(dir / name, "#TITLE:x;\r\n");
    WriteFile(dir / "b_sb.ddr", "old b\r\n");
    WriteFile(dir / "b_da.ddr", "old b\r\n");
    BatchSettings settings;
    // Writes one chart file and fails on the second.
    settings.convert = [](const PlannedFile& file, ErrorList& errors, Storage& storage, SourceEncoding&) {
        const auto stem = file.destination.parent_path() / file.destination.stem();
        auto first = storage.CreateDestination(stem.string() + "_sb.ddr", file.source);
        first->WriteLine("new");
        first->Commit();
        errors.Add("x", ErrorCode::kCommandGroup);
        if (file.source.filename() == "b.msd") {
            auto second = storage.CreateDestination(stem.string() + "_da.ddr", file.source);
            second->WriteLine("half");
            throw ConversionError(Failure::kWrite, stem.string() + "_da.ddr", "", "", 28);
        }
        return std::vector<fs::path>{stem.string() + "_sb.ddr"};
    };
    std::vector<FileResult> results;
    BatchCallbacks callbacks;
    callbacks.file_done = [&](const FileResult& result) { results.push_back(result); };
    const BatchSummary summary =
        RunBatch(PlanBatch(Conversion::kMSD2ddr, {dir / "a.msd", dir / "b.msd", dir / "c.msd"}), settings, callbacks);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[1].status, FileStatus::kFailed);
    EXPECT_TRUE(results[1].destinations.empty());
    EXPECT_EQ(results[1].error_lines.size(), 1u);  // found before the failure, kept
    EXPECT_EQ(results[2].status, FileStatus::kConverted);
    EXPECT_EQ(summary.failed, 1u);
    EXPECT_EQ(ReadFile(dir / "b_sb.ddr"), "old b\r\n");
    EXPECT_EQ(ReadFile(dir / "b_da.ddr"), "old b\r\n");
    EXPECT_EQ(ReadFile(dir / "c_sb.ddr"), "new\r\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.msd", "a_sb.ddr", "b.msd", "b_da.ddr", "b_sb.ddr", "c.msd",
                                                       "c_sb.ddr"}));
}

TEST(RunBatch, TellsProgressAndStopsAfterTheFileInHandWhenCancelled) {
    TempDir dir;
    WriteLibrary(dir / "lib", 12);
    for (const unsigned jobs : {1U, 3U}) {
        fs::remove_all(dir / "out");
        std::vector<BatchProgress> progress;
        std::size_t delivered = 0;
        BatchCallbacks callbacks;
        callbacks.progress = [&](const BatchProgress& state) { progress.push_back(state); };
        callbacks.file_done = [&](const FileResult&) { ++delivered; };
        callbacks.cancel_requested = [&] { return progress.size() >= 2; };
        BatchSettings settings;
        settings.jobs = jobs;
        const BatchSummary summary =
            RunBatch(PlanBatch(Conversion::kMSD2d2r, {dir / "lib"}, dir / "out"), settings, callbacks);
        EXPECT_GE(delivered, 2u) << jobs;
        // Each worker's file and the few it took ahead are in hand; the rest is never started.
        EXPECT_LE(delivered, 2 * jobs + 1) << jobs;
        EXPECT_EQ(summary.not_started, 12 - delivered) << jobs;
        for (const auto& state : progress) EXPECT_EQ(state.count, 12u);
        EXPECT_EQ(progress.back().done, delivered);
        if (jobs == 1) {
            EXPECT_EQ(delivered, 2u);
            EXPECT_EQ(progress[0].in_hand, dir / "lib" / "a" / "song100.msd");
            EXPECT_EQ(progress[1].in_hand, dir / "lib" / "a" / "song102.msd");
        }
        std::size_t written = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dir / "out")) written += entry.is_regular_file();
        EXPECT_EQ(written, delivered - summary.failed);
    }
}

TEST(RunBatch, NoClobberLeavesTheChartFilesThatExistAlone) {
    TempDir dir;
    WriteFile(dir / "song.msd", CrLf({"#TITLE:x;", "#SINGLE:BASIC:1:", "4;", "#DOUBLE:BASIC:1:", "4:6;"}));
    WriteFile(dir / "song_sb.ddr", "old\r\n");
    BatchSettings settings;
    settings.no_clobber = true;
    std::vector<FileResult> results;
    BatchCallbacks callbacks;
    callbacks.file_done = [&](const FileResult& result) { results.push_back(result); };
    const BatchSummary first = RunBatch(PlanBatch(Conversion::kMSD2ddr, {dir / "song.msd"}, {}, true), settings, callbacks);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].status, FileStatus::kConverted);
    EXPECT_EQ(results[0].destinations, std::vector<fs::path>{dir / "song_db.ddr"});
    EXPECT_EQ(results[0].existing, std::vector<fs::path>{dir / "song_sb.ddr"});
    EXPECT_EQ(ReadFile(dir / "song_sb.ddr"), "old\r\n");
    EXPECT_EQ(first.converted, 1u);

    const BatchSummary second = RunBatch(PlanBatch(Conversion::kMSD2ddr, {dir / "song.msd"}, {}, true), settings, callbacks);
    EXPECT_EQ(results[1].status, FileStatus::kSkipped);
    EXPECT_EQ(second.skipped, 1u);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"song.msd", "song_db.ddr", "song_sb.ddr"}));
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

TEST(RunBatch, ACallbackThatThrowsEndsTheBatchWithoutLeavingAWorkerOrATemporaryFile) {
    test::TempDir dir;
    WriteLibrary(dir / "lib", 12);
    for (const unsigned jobs : {1U, 3U}) {
        fs::remove_all(dir / "out");
        BatchSettings settings;
        settings.jobs = jobs;
        settings.group_files = 100;
        BatchCallbacks callbacks;
        callbacks.file_done = [](const FileResult&) { throw std::runtime_error("stop"); };
        EXPECT_THROW((void)RunBatch(PlanBatch(Conversion::kMSD2d2r, {dir / "lib"}, dir / "out"), settings, callbacks),
                     std::runtime_error);
        for (const auto& entry : fs::recursive_directory_iterator(dir / "out")) {
            EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
        }
    }
}

}  // namespace
}  // namespace torvane
