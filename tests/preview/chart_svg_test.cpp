#include "preview/chart_svg.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "preview/chart_loader.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

const fs::path& GoldenFolder() {
    static const fs::path folder = fs::path(TORVANE_TEST_DATA) / "golden" / "preview";
    return folder;
}

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(GoldenFolder())) {
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

fs::path InputOf(const fs::path& folder) {
    for (const char* name : {"input.msd", "input.d2r", "input.ddr"}) {
        if (fs::exists(folder / name)) return folder / name;
    }
    return {};
}

class PreviewGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(PreviewGolden, DrawsTheChartByteForByte) {
    const fs::path folder = GoldenFolder() / GetParam();
    const fs::path input = InputOf(folder);
    ASSERT_FALSE(input.empty()) << "no input in " << folder;
    ErrorList errors;
    const auto charts = LoadCharts(input, *FormatOfFile(input), errors);
    ASSERT_EQ(charts.size(), 1u);
    const std::string svg = RenderChartSvg(charts[0]);
    if (std::getenv("TORVANE_UPDATE_GOLDEN") != nullptr) test::WriteFile(folder / "expected.svg", svg);
    EXPECT_EQ(svg, test::ReadFile(folder / "expected.svg"));
    EXPECT_EQ(RenderChartSvg(charts[0]), svg);  // nothing but the chart decides the bytes
}

INSTANTIATE_TEST_SUITE_P(Cases, PreviewGolden, ::testing::ValuesIn(CaseNames()),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(RhythmOfTick, ColoursEveryPlaceInTheBeat) {
    const std::vector<std::pair<long long, Rhythm>> cases = {
        {0, Rhythm::kBeat},          {24, Rhythm::kBeat},          {96 * 999, Rhythm::kBeat},
        {12, Rhythm::kEighth},       {6, Rhythm::kSixteenth},      {18, Rhythm::kSixteenth},
        {3, Rhythm::kThirtySecond},  {21, Rhythm::kThirtySecond},  {8, Rhythm::kTriplet},
        {16, Rhythm::kTriplet},      {20, Rhythm::kTriplet},       {28, Rhythm::kTriplet},
    };
    for (const auto& [tick, rhythm] : cases) EXPECT_EQ(RhythmOfTick(tick), rhythm) << tick;
}

Chart ChartOf(ChartStyle style, std::vector<std::vector<ChartStep>> pads) {
    Chart chart;
    chart.style = style;
    for (auto& steps : pads) chart.pads.push_back({std::move(steps), 96});
    return chart;
}

TEST(CountChartSteps, CountsMomentsJumpsAndTriplets) {
    struct Case {
        const char* name;
        Chart chart;
        std::size_t steps, jumps, triplets;
    };
    const std::vector<Case> cases = {
        {"single", ChartOf(ChartStyle::kSingle, {{{0, 1}, {8, 3}, {16, 2}, {24, 9}}}), 4, 2, 2},
        // One player on two pads: a panel on each at one moment is a jump.
        {"double", ChartOf(ChartStyle::kDouble, {{{0, 1}, {12, 1}}, {{0, 8}, {24, 8}}}), 3, 1, 0},
        {"couple", ChartOf(ChartStyle::kCouple, {{{0, 1}, {12, 1}}, {{0, 8}, {24, 12}}}), 4, 1, 0},
        {"empty", ChartOf(ChartStyle::kDouble, {{}, {}}), 0, 0, 0},
    };
    for (const auto& c : cases) {
        const ChartCounts counts = CountChartSteps(c.chart);
        EXPECT_EQ(counts.steps, c.steps) << c.name;
        EXPECT_EQ(counts.jumps, c.jumps) << c.name;
        EXPECT_EQ(counts.triplets, c.triplets) << c.name;
    }
}

TEST(RenderChartSvg, WritesTitleAndArtistAsEscapedUtf8) {
    Chart chart = ChartOf(ChartStyle::kSingle, {{{0, 1}}});
    chart.title = test::J("テスト & <タイトル> \"ﾃｽﾄ\"");
    chart.artist = std::string("a\x01" "b\tc");
    chart.level = "<9>";
    const std::string svg = RenderChartSvg(chart);
    EXPECT_NE(svg.find("テスト &amp; &lt;タイトル&gt; &quot;ﾃｽﾄ&quot;"), std::string::npos);
    EXPECT_NE(svg.find(">a?b c</text>"), std::string::npos);
    EXPECT_NE(svg.find("level &lt;9&gt;"), std::string::npos);
    EXPECT_EQ(svg.find('\x01'), std::string::npos);
}

TEST(RenderChartSvg, GrowsWithTheChart) {
    // A measure's lines and an arrow's outline cost a fixed number of bytes:
    // a chart ten times as long gives a picture about ten times as large.
    auto chart_of = [](long long measures) {
        std::vector<ChartStep> steps;
        for (long long t = 0; t < measures * kTicksPerMeasure; t += 6) steps.push_back({t, 5});
        Chart chart = ChartOf(ChartStyle::kSingle, {steps});
        chart.pads[0].length = measures * kTicksPerMeasure;
        return chart;
    };
    const double small = static_cast<double>(RenderChartSvg(chart_of(100)).size());
    const double large = static_cast<double>(RenderChartSvg(chart_of(1000)).size());
    EXPECT_LT(large / small, 11.0);
    EXPECT_GT(large / small, 9.0);
}

}  // namespace
}  // namespace torvane
