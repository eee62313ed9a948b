// The plan of preview: pictures named from their sources' stems, and the
// sources whose pictures could take the names of an earlier one's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/chart_plan.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

TEST(PictureNaming, ALaterSourceWhosePicturesCouldTakeAnEarlierOnesNamesIsNotDrawn) {
    struct Case {
        std::vector<const char*> files;  // in one folder, in byte order
        std::vector<const char*> stopped;  // the sources planned kSameDestination
    };
    const Case cases[] = {
        {{"song.d2r", "song.msd"}, {"song.msd"}},
        {{"song.msd", "song_sb.ddr"}, {"song_sb.ddr"}},
        {{"song.msd", "song_dx-2.ddr"}, {"song_dx-2.ddr"}},
        {{"song.ddr", "song.msd"}, {}},                   // song.svg against song_sb.svg, ...
        {{"song_qb.ddr", "song.msd"}, {}},                // "q" is no style letter
        {{"song_sb.ddr", "song_sb.msd"}, {}},             // song_sb.svg against song_sb_sb.svg
        {{"song.MSD", "song.msd", "song_da.ddr"}, {"song.msd", "song_da.ddr"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        fs::create_directories(dir.path() / "lib");
        for (const char* file : c.files) WriteFile(dir.path() / "lib" / file, "#TITLE:x;\r\n");
        const BatchPlan plan = PlanBatch(PictureNaming(), {dir.path() / "lib"}, dir.path() / "out");
        std::vector<std::string> stopped;
        for (const PlannedFile& file : plan.files) {
            if (file.problem == PlanProblem::kSameDestination) stopped.push_back(file.source.filename().string());
        }
        EXPECT_EQ(stopped, std::vector<std::string>(c.stopped.begin(), c.stopped.end())) << c.files.front();
    }
}

TEST(PictureNaming, KeepsTheTreeOfAFolderBelowTheOutDirAndTheSameFileNamedTwiceIsDrawnTwice) {
    TempDir dir;
    fs::create_directories(dir.path() / "lib" / "a");
    WriteFile(dir.path() / "lib" / "a" / "song.msd", "#TITLE:x;\r\n");
    const BatchPlan plan = PlanBatch(PictureNaming(), {dir.path() / "lib", dir.path() / "lib" / "a" / "song.msd"},
                                     dir.path() / "out");
    ASSERT_EQ(plan.files.size(), 2u);
    EXPECT_EQ(plan.files[0].destination, dir.path() / "out" / "a" / "song.svg");
    EXPECT_EQ(plan.files[1].destination, dir.path() / "out" / "song.svg");
    EXPECT_EQ(plan.files[1].problem, PlanProblem::kNone);
}

TEST(ReadOnlyNaming, PlansEverySourceOfTheThreeFormatsAndNoDestination) {
    TempDir dir;
    for (const char* file : {"b.ddr", "a.d2r", "c.MSD", "d.sm", "e.svg"}) WriteFile(dir.path() / file, "x\r\n");
    const BatchPlan plan = PlanBatch(ReadOnlyNaming(), {dir.path()});
    std::vector<std::string> sources;
    for (const PlannedFile& file : plan.files) {
        sources.push_back(file.source.filename().string());
        EXPECT_TRUE(file.destination.empty());
        EXPECT_EQ(file.problem, PlanProblem::kNone);
    }
    EXPECT_EQ(sources, (std::vector<std::string>{"a.d2r", "b.ddr", "c.MSD"}));
}

}  // namespace
}  // namespace torvane
