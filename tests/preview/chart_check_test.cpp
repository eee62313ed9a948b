#include "preview/chart_check.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "preview/check_report.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

fs::path Example(const char* name) { return fs::path(TORVANE_TEST_DATA) / ".." / "examples" / name; }

// The step changes of a chart as the report spells them, pad by pad.
std::vector<std::string> Described(const ChartCheck& chart) {
    std::vector<std::string> lines;
    for (const auto& change : chart.steps) {
        lines.push_back("pad " + std::to_string(change.pad + 1) + " " + DescribeStepChange(change));
    }
    return lines;
}

std::vector<std::string> ValueNames(const ChartCheck& chart) {
    std::vector<std::string> names;
    for (const auto& value : chart.values) names.push_back(value.what);
    return names;
}

const RoundTripCheck& Way(const SourceCheck& check, RoundTrip way) {
    for (const auto& w : check.ways) {
        if (w.way == way) return w;
    }
    throw std::runtime_error("no such round trip");
}

SourceCheck CheckText(const test::TempDir& temp, const std::string& name, const std::string& text,
                      const DdrOptions& options = {}) {
    test::WriteFile(temp / name, text);
    return CheckRoundTrips(temp / name, *FormatOfFile(name), options);
}

TEST(FormatPosition, NamesMeasureAndBeatFromOne) {
    const std::vector<std::pair<long long, std::string>> cases = {
        {0, "measure 1 beat 1"},
        {12, "measure 1 beat 1.5"},
        {11 * 96 + 36, "measure 12 beat 2.5"},
        {3, "measure 1 beat 1.125"},
        {18, "measure 1 beat 1.75"},
        {8, "measure 1 beat 1 1/3"},
        {96 + 40, "measure 2 beat 2 2/3"},
        {20, "measure 1 beat 1 5/6"},
        {999 * 96, "measure 1000 beat 1"},
        {-24, "measure 0 beat 4"},
    };
    for (const auto& [tick, text] : cases) EXPECT_EQ(FormatPosition(tick), text) << tick;
}

Chart SingleChart(std::vector<ChartStep> steps, std::optional<double> gap = 0) {
    Chart chart;
    chart.difficulty = ChartDifficulty::kBasic;
    chart.level = "3";
    chart.title = "Song";
    chart.tempo = 150;
    chart.gap = gap;
    chart.pads.push_back({std::move(steps), 96 * 4});
    return chart;
}

TEST(CompareCharts, TellsEachKindOfChange) {
    const Chart before = SingleChart({{96, 1}, {108, 2}, {120, 4}, {144, 8}});
    struct Case {
        const char* name;
        Chart after;
        std::vector<std::string> steps;
        std::vector<std::string> values;
    };
    Chart retitled = before;
    retitled.title = "Other";
    retitled.artist = "Someone";
    retitled.level = "12";
    retitled.tempo.reset();
    const std::vector<Case> cases = {
        {"the same", before, {}, {}},
        // Two beats more lead-in and 128 more gap units: the same against the music.
        {"shift made up by the gap", SingleChart({{144, 1}, {156, 2}, {168, 4}, {192, 8}}, 128), {}, {}},
        {"shift not made up", SingleChart({{144, 1}, {156, 2}, {168, 4}, {192, 8}}), {}, {"gap"}},
        {"a step lost", SingleChart({{96, 1}, {120, 4}, {144, 8}}), {"pad 1 lost: measure 2 beat 1.5, down"}, {}},
        {"a step added",
         SingleChart({{96, 1}, {108, 2}, {120, 4}, {132, 12}, {144, 8}}),
         {"pad 1 added: measure 2 beat 2.5, up right"},
         {}},
        {"a step moved",
         SingleChart({{96, 1}, {114, 2}, {120, 4}, {144, 8}}),
         {"pad 1 moved: measure 2 beat 1.5 -> measure 2 beat 1.75, down"},
         {}},
        {"panels changed",
         SingleChart({{96, 1}, {108, 3}, {120, 4}, {144, 8}}),
         {"pad 1 panels changed: measure 2 beat 1.5, down -> left down"},
         {}},
        {"song values", [&] { Chart c = retitled; return c; }(), {}, {"level", "tempo", "title", "artist"}},
        // A gap far beyond any chart moves no step: the steps stay lined up
        // where they are.
        {"a gap of no sense", SingleChart({{96, 1}, {108, 2}, {120, 4}, {144, 8}}, -1e300), {}, {"gap"}},
        {"a gap of no sense and a step lost",
         SingleChart({{96, 1}, {108, 2}, {120, 4}}, 1e300),
         {"pad 1 lost: measure 2 beat 3, right"},
         {"gap"}},
    };
    for (const auto& c : cases) {
        const ChartCheck check = CompareCharts(before, c.after);
        EXPECT_EQ(Described(check), c.steps) << c.name;
        EXPECT_EQ(ValueNames(check), c.values) << c.name;
    }
    const ChartCheck shifted = CompareCharts(before, SingleChart({{144, 1}, {156, 2}, {168, 4}, {192, 8}}));
    EXPECT_EQ(shifted.values[0].detail, "the steps come 2 beats later against the music");
}

// A double chart of `measures` measures, a step every 8th note on each pad,
// and the same chart changed every few steps in each of the four ways, so
// that changes of both pads and of several kinds fall on one place.
std::pair<Chart, Chart> ChartAndChanged(int measures) {
    Chart before = SingleChart({});
    before.style = ChartStyle::kDouble;
    before.pads.resize(2);
    Chart after = before;
    constexpr unsigned char kPanels[] = {1, 2, 4, 8, 3, 12};
    for (std::size_t pad = 0; pad < 2; ++pad) {
        for (long long i = 0; i < measures * 8LL; ++i) {
            const long long tick = 96 + i * 12;
            const unsigned char panels = kPanels[(i + static_cast<long long>(pad)) % 6];
            before.pads[pad].steps.push_back({tick, panels});
            switch ((i * 7 + static_cast<long long>(pad) * 3) % 11) {
                case 0: break;                                                                    // lost
                case 1: after.pads[pad].steps.push_back({tick, static_cast<unsigned char>(panels ^ 15)}); break;
                case 2: after.pads[pad].steps.push_back({tick + 6, panels}); break;               // moved
                case 3: after.pads[pad].steps.push_back({tick, panels});
                        after.pads[pad].steps.push_back({tick + 3, 5}); break;                       // added
                case 4:  // moved half a step earlier, and another step where it was: two changes at one place
                    after.pads[pad].steps.push_back({tick - 6, panels});
                    after.pads[pad].steps.push_back({tick, static_cast<unsigned char>(panels ^ 15)});
                    break;
                default: after.pads[pad].steps.push_back({tick, panels});
            }
        }
    }
    return {before, after};
}

TEST(CompareCharts, ListsTheFirstChangesInOrderAndCountsEveryOne) {
    const auto [before, after] = ChartAndChanged(40);
    // Every change kept: the order of a sort of all of them.
    const ChartCheck all = CompareCharts(before, after, static_cast<std::size_t>(-1));
    const std::size_t total = all.steps.size();
    ASSERT_GT(total, 200u);
    EXPECT_EQ(all.StepChanges(), total);
    EXPECT_FALSE(all.StepsCut());
    for (const std::size_t count : all.step_counts) EXPECT_GT(count, 20u);
    const std::vector<std::string> every = Described(all);
    // Changes at one place of one pad keep the order they were found in:
    // the case has many, for a list kept in order only by their places
    // would tell them in another.
    const auto at = [](const StepChange& c) {
        return c.kind == StepChange::Kind::kAdded ? c.tick_after : c.tick_before;
    };
    std::size_t ties = 0;
    for (std::size_t i = 1; i < every.size(); ++i) {
        EXPECT_LE(at(all.steps[i - 1]), at(all.steps[i])) << every[i];
        ties += at(all.steps[i - 1]) == at(all.steps[i]) && all.steps[i - 1].pad == all.steps[i].pad;
    }
    EXPECT_GT(ties, 20u);

    for (const std::size_t listed : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{64}, total / 2 + 1,
                                     total - 1, total, total + 1, kStepChangesListed}) {
        const ChartCheck cut = CompareCharts(before, after, listed);
        const std::size_t kept = std::min(listed, total);
        EXPECT_EQ(cut.step_counts, all.step_counts) << listed;
        EXPECT_EQ(cut.StepsCut(), listed < total) << listed;
        const std::vector<std::string> first(every.begin(), every.begin() + static_cast<std::ptrdiff_t>(kept));
        EXPECT_EQ(Described(cut), first) << listed;
        EXPECT_EQ(cut.Changed(), true);
    }
}

TEST(CompareCharts, CountsAChartLostWhole) {
    const auto [before, after] = ChartAndChanged(300);
    Chart empty = before;
    for (auto& pad : empty.pads) pad.steps.clear();
    const ChartCheck check = CompareCharts(before, empty);
    EXPECT_EQ(check.step_counts[static_cast<std::size_t>(StepChange::Kind::kLost)], 2u * 300 * 8);
    EXPECT_EQ(check.StepChanges(), 2u * 300 * 8);
    ASSERT_EQ(check.steps.size(), kStepChangesListed);
    // Both pads at each place, pad 1 first, from the first step on.
    EXPECT_EQ(Described(check)[0], "pad 1 lost: measure 2 beat 1, left");
    EXPECT_EQ(Described(check)[1], "pad 2 lost: measure 2 beat 1, down");
    EXPECT_EQ(Described(check)[kStepChangesListed - 1], "pad 2 lost: measure 64 beat 2.5, up");
}

TEST(CheckRoundTrips, FindsNothingWhereTheExamplesSurvive) {
    const DdrOptions options;
    const SourceCheck msd = CheckRoundTrips(Example("sample.msd"), ChartFormat::kMSD, options);
    ASSERT_EQ(msd.charts.size(), 3u);
    EXPECT_FALSE(Way(msd, RoundTrip::kThroughd2r).Changed());
    // ddr holds no tempo, gap, artist or level; every step still comes back in place.
    const auto& ddr = Way(msd, RoundTrip::kThroughddr);
    ASSERT_EQ(ddr.charts.size(), 3u);
    for (const auto& chart : ddr.charts) {
        EXPECT_TRUE(chart.came_back);
        EXPECT_TRUE(chart.steps.empty()) << chart.label;
        EXPECT_EQ(ValueNames(chart), (std::vector<std::string>{"level", "tempo", "gap", "artist"}));
    }
    EXPECT_FALSE(CheckRoundTrips(Example("sample.d2r"), ChartFormat::kd2r, options).Changed());
    EXPECT_FALSE(CheckRoundTrips(Example("sample_sb.ddr"), ChartFormat::kddr, options).Changed());
}

TEST(CheckRoundTrips, FindsATripletAfterBusy16thNotesPutOnThe32ndGridThroughD2r) {
    // The 8th note "4" puts what follows half a beat off; the d2r reader
    // could not take the triplet there, so MSD to d2r writes it on the
    // nearest 32nd notes: its second and third steps move by 1/24 beat and
    // every step after it keeps its time.
    test::TempDir temp;
    const SourceCheck check =
        CheckText(temp, "song.msd", test::CrLf({"#BPM:150;", "#GAP:0;", "#SINGLE:BASIC:3:00000000(4268)4(2486)(123)48;"}));
    const auto& d2r = Way(check, RoundTrip::kThroughd2r);
    ASSERT_EQ(d2r.charts.size(), 1u);
    EXPECT_TRUE(d2r.charts[0].values.empty());
    EXPECT_EQ(Described(d2r.charts[0]), (std::vector<std::string>{
                                            "pad 1 moved: measure 2 beat 3 5/6 -> measure 2 beat 3.875, down",
                                            "pad 1 moved: measure 2 beat 4 1/6 -> measure 2 beat 4.125, down right",
                                        }));
    EXPECT_TRUE(d2r.error_lines.empty());
}

TEST(CheckRoundTrips, FindsTheStepsFromMeasure1000LostThroughDdr) {
    test::TempDir temp;
    std::string steps;
    for (int measure = 1; measure <= 1002; ++measure) steps += measure == 1001 ? "00000000" : "40000000";
    const SourceCheck check = CheckText(temp, "long.msd", test::CrLf({"#GAP:0;", "#SINGLE:BASIC:1:" + steps + ";"}));
    const auto& ddr = Way(check, RoundTrip::kThroughddr);
    ASSERT_EQ(ddr.charts.size(), 1u);
    EXPECT_EQ(Described(ddr.charts[0]), (std::vector<std::string>{"pad 1 lost: measure 1000 beat 1, left",
                                                                  "pad 1 lost: measure 1002 beat 1, left"}));
    EXPECT_FALSE(Way(check, RoundTrip::kThroughd2r).Changed());
}

TEST(CheckRoundTrips, FindsAChartOfUnknownDifficultyLost) {
    test::TempDir temp;
    const SourceCheck check = CheckText(temp, "song.msd", test::CrLf({"#GAP:0;", "#SINGLE:BASIC:2:4862;", "#SINGLE:EASY:3:12;"}));
    const auto& ddr = Way(check, RoundTrip::kThroughddr);
    ASSERT_EQ(ddr.charts.size(), 2u);
    EXPECT_FALSE(ddr.charts[0].steps.size());
    EXPECT_FALSE(ddr.charts[1].came_back);
    EXPECT_EQ(ddr.charts[1].lost_reason, "a chart of a difficulty that ddr does not know gets no ddr file");
    // The d2r reader writes the chart without its difficulty; the section's
    // step data is read from the difficulty word on.
    const auto& d2r = Way(check, RoundTrip::kThroughd2r);
    ASSERT_EQ(d2r.charts.size(), 2u);
    EXPECT_FALSE(d2r.charts[0].Changed());
    EXPECT_TRUE(d2r.charts[1].came_back);
    EXPECT_EQ(ValueNames(d2r.charts[1]), (std::vector<std::string>{"difficulty", "level"}));
    EXPECT_FALSE(d2r.charts[1].steps.empty());
}

TEST(CheckRoundTrips, FindsAChartReplacedByALaterOneOfTheSameKindThroughDdr) {
    test::TempDir temp;
    const SourceCheck check =
        CheckText(temp, "song.msd", test::CrLf({"#SINGLE:BASIC:2:4862;", "#SINGLE:BASIC:4:(4862)(4862);"}));
    const auto& ddr = Way(check, RoundTrip::kThroughddr);
    ASSERT_EQ(ddr.charts.size(), 2u);
    EXPECT_FALSE(ddr.charts[0].came_back);
    EXPECT_EQ(ddr.charts[0].lost_reason, "a later chart of the same style and difficulty replaces its ddr file");
    EXPECT_TRUE(ddr.charts[1].came_back);
    EXPECT_TRUE(ddr.charts[1].steps.empty());
}

TEST(CheckRoundTrips, FindsNineBeatsGainedThroughD2rByAFileWithoutGap) {
    // Without "#GAP:" the d2r file has no DELAY; read back, the chart gets
    // the reader's lead-in of 34 8th notes but a gap of only 8 beats.
    test::TempDir temp;
    const SourceCheck check = CheckText(temp, "song.msd", test::CrLf({"#SINGLE:BASIC:2:4862;"}));
    const auto& d2r = Way(check, RoundTrip::kThroughd2r);
    ASSERT_EQ(d2r.charts.size(), 1u);
    ASSERT_EQ(d2r.charts[0].values.size(), 1u);
    const ValueChange& gap = d2r.charts[0].values[0];
    EXPECT_EQ(gap.what, "gap");
    EXPECT_EQ(gap.before, "none");
    EXPECT_EQ(gap.after, "512");
    EXPECT_EQ(gap.detail, "the steps come 9 beats later against the music");
    EXPECT_TRUE(d2r.charts[0].steps.empty());
}

TEST(CheckRoundTrips, ReportsAConversionThatCannotBeMade) {
    test::TempDir temp;
    const SourceCheck check = CheckText(temp, "song.msd", test::CrLf({"#BPM:fast;", "#SINGLE:BASIC:2:4862;"}));
    const auto& d2r = Way(check, RoundTrip::kThroughd2r);
    ASSERT_TRUE(d2r.failure.has_value());
    EXPECT_NE(d2r.failure->find("#BPM:"), std::string::npos);
    EXPECT_TRUE(check.Changed());
    EXPECT_THROW((void)CheckRoundTrips(temp / "missing.msd", ChartFormat::kMSD, {}), std::exception);
}

TEST(FormatCheckReport, SaysNoChangeOrListsAFewChanges) {
    test::TempDir temp;
    std::string steps;
    for (int measure = 1; measure <= 1005; ++measure) steps += "40000000";
    const SourceCheck check =
        CheckText(temp, "long.msd", test::CrLf({"#BPM:120;", "#GAP:0;", "#SINGLE:BASIC:1:" + steps + ";"}));
    const std::string report = FormatCheckReport(check, 2);
    const std::string expected = (temp / "long.msd").string() +
                                 ": 1 chart\n"
                                 "  through d2r: no change\n"
                                 "  through ddr:\n"
                                 "    chart 1, Single Basic level 1:\n"
                                 "      gap: 0 -> 0 (the steps come 9 beats later against the music)\n"
                                 "      6 steps lost\n"
                                 "        lost: measure 1000 beat 1, left\n"
                                 "        lost: measure 1001 beat 1, left\n"
                                 "        and 4 more\n";
    EXPECT_EQ(report, expected);
}

}  // namespace
}  // namespace torvane
