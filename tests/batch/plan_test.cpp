// Planning a batch: which sources the arguments name, where each goes, and
// which cannot be converted before anything is read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/plan.hpp"
#include "batch/sources.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

void Touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    WriteFile(file, "#TITLE:x;\r\n");
}

std::vector<std::string> Sources(const BatchPlan& plan) {
    std::vector<std::string> sources;
    for (const auto& file : plan.files) sources.push_back(file.source.string());
    return sources;
}

std::vector<std::string> Destinations(const BatchPlan& plan) {
    std::vector<std::string> destinations;
    for (const auto& file : plan.files) destinations.push_back(file.destination.string());
    return destinations;
}

TEST(FindSources, WalksTheTreeInByteOrderPassingOverHiddenNamesAndLinkedFolders) {
    TempDir dir;
    const fs::path lib = dir / "lib";
    for (const char* name : {"b/song.msd", "a/z.MSD", "a/B.msd", "a/sub/deep.Msd", "a/chart.d2r", ".hidden/x.msd",
                             "a/.dot.msd", "c.msd"}) {
        Touch(lib / name);
    }
    fs::create_directories(dir / "elsewhere");
    Touch(dir / "elsewhere" / "linked.msd");
    fs::create_directory_symlink(dir / "elsewhere", lib / "link");
    fs::create_symlink(dir / "elsewhere" / "linked.msd", lib / "file-link.msd");

    std::vector<std::string> found;
    for (const auto& source : FindSources(Conversion::kMSD2ddr, lib)) found.push_back(source.lexically_relative(lib));
    EXPECT_EQ(found, (std::vector<std::string>{"a/B.msd", "a/sub/deep.Msd", "a/z.MSD", "b/song.msd", "c.msd",
                                               "file-link.msd"}));
    EXPECT_EQ(FindSources(Conversion::kd2r2MSD, lib), std::vector<fs::path>{lib / "a" / "chart.d2r"});
    EXPECT_TRUE(FindSources(Conversion::kddr2MSD, lib).empty());
}

TEST(PlanBatch, KeepsTheTreeOfAFolderArgumentBelowTheOutDir) {
    TempDir dir;
    Touch(dir / "lib" / "a" / "song.msd");
    Touch(dir / "lib" / "a" / "b" / "other.msd");
    Touch(dir / "lib" / "top.msd");
    Touch(dir / "single.msd");
    const BatchPlan plan =
        PlanBatch(Conversion::kMSD2d2r, {dir / "lib", dir / "single.msd"}, dir / "out");
    EXPECT_EQ(Destinations(plan),
              (std::vector<std::string>{(dir / "out" / "a" / "b" / "other.d2r").string(),
                                        (dir / "out" / "a" / "song.d2r").string(), (dir / "out" / "top.d2r").string(),
                                        (dir / "out" / "single.d2r").string()}));
    for (const auto& file : plan.files) EXPECT_EQ(file.problem, PlanProblem::kNone);
}

TEST(PlanBatch, PutsEachDestinationBesideItsSourceWithoutOutDir) {
    TempDir dir;
    Touch(dir / "lib" / "a" / "song.d2r");
    const BatchPlan plan = PlanBatch(Conversion::kd2r2MSD, {dir / "lib"});
    EXPECT_EQ(Destinations(plan), std::vector<std::string>{(dir / "lib" / "a" / "song.MSD").string()});
}

TEST(PlanBatch, AFolderWithoutSourcesIsAFailedArgument) {
    TempDir dir;
    Touch(dir / "lib" / "chart.d2r");
    const BatchPlan plan = PlanBatch(Conversion::kMSD2d2r, {dir / "lib"});
    ASSERT_EQ(plan.files.size(), 1u);
    EXPECT_EQ(plan.files[0].source, dir / "lib");
    EXPECT_EQ(plan.files[0].problem, PlanProblem::kNoSourceInFolder);
}

TEST(PlanBatch, TheLaterOfTwoSourcesWithOneDestinationIsNotConverted) {
    TempDir dir;
    Touch(dir / "one" / "song.msd");
    Touch(dir / "two" / "song.msd");
    Touch(dir / "side" / "song.msd");
    Touch(dir / "side" / "song.MSD");
    const BatchPlan into_one_folder =
        PlanBatch(Conversion::kMSD2d2r, {dir / "one" / "song.msd", dir / "two" / "song.msd"}, dir / "out");
    ASSERT_EQ(into_one_folder.files.size(), 2u);
    EXPECT_EQ(into_one_folder.files[0].problem, PlanProblem::kNone);
    EXPECT_EQ(into_one_folder.files[1].problem, PlanProblem::kSameDestination);
    EXPECT_EQ(into_one_folder.files[1].other_source, dir / "one" / "song.msd");

    const BatchPlan side_by_side = PlanBatch(Conversion::kMSD2ddr, {dir / "side"});
    EXPECT_EQ(Sources(side_by_side),
              (std::vector<std::string>{(dir / "side" / "song.MSD").string(), (dir / "side" / "song.msd").string()}));
    EXPECT_EQ(side_by_side.files[1].problem, PlanProblem::kSameDestination);

    // Two libraries whose trees meet below one out dir.
    const BatchPlan trees = PlanBatch(Conversion::kMSD2d2r, {dir / "one", dir / "two"}, dir / "out");
    EXPECT_EQ(trees.files[1].problem, PlanProblem::kSameDestination);
}

TEST(PlanBatch, TheSameFileNamedTwiceIsNoCollision) {
    TempDir dir;
    Touch(dir / "song.msd");
    const BatchPlan plan =
        PlanBatch(Conversion::kMSD2d2r, {dir / "song.msd", dir / "." / "song.msd"});
    ASSERT_EQ(plan.files.size(), 2u);
    EXPECT_EQ(plan.files[1].problem, PlanProblem::kNone);
}

TEST(PlanBatch, NoClobberSkipsADestinationThatExists) {
    TempDir dir;
    Touch(dir / "a.msd");
    Touch(dir / "b.msd");
    WriteFile(dir / "a.d2r", "old");
    const BatchPlan plan = PlanBatch(Conversion::kMSD2d2r, {dir / "a.msd", dir / "b.msd"}, {}, true);
    EXPECT_EQ(plan.files[0].problem, PlanProblem::kDestinationExists);
    EXPECT_EQ(plan.files[1].problem, PlanProblem::kNone);
    // The chart files of msd2ddr are known only when written.
    WriteFile(dir / "a_sb.ddr", "old");
    EXPECT_EQ(PlanBatch(Conversion::kMSD2ddr, {dir / "a.msd"}, {}, true).files[0].problem, PlanProblem::kNone);
}

}  // namespace
}  // namespace torvane
