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

// Measures of steps in a fixed pseudo-random order, no two alike.
Chart ChartOfDistinctMeasures(long long measures) {
    std::vector<ChartStep> steps;
    unsigned state = 12345;
    for (long long t = 0; t < measures * kTicksPerMeasure; t += 6) {
        state = state * 1103515245u + 12345u;
        steps.push_back({t, static_cast<unsigned char>(1 + (state >> 16) % 15)});
    }
    Chart chart = ChartOf(ChartStyle::kSingle, {steps});
    chart.pads[0].length = measures * kTicksPerMeasure;
    return chart;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(RenderChartSvg, GrowsWithTheChart) {
    // A measure's lines and an arrow's outline cost a fixed number of bytes:
    // a chart ten times as long gives a picture about ten times as large.
    const double small = static_cast<double>(RenderChartSvg(ChartOfDistinctMeasures(100)).size());
    const double large = static_cast<double>(RenderChartSvg(ChartOfDistinctMeasures(1000)).size());
    EXPECT_LT(large / small, 11.0);
    EXPECT_GT(large / small, 9.0);
}

TEST(RenderChartSvg, DrawsARecurringMeasureOnceForEveryPadItStandsOn) {
    // Eight 8th notes, the same in every measure of both pads, and one
    // measure of its own at the end.
    std::vector<ChartStep> steps;
    for (long long t = 0; t < 100 * kTicksPerMeasure; t += 12) steps.push_back({t, static_cast<unsigned char>(t % 24 == 0 ? kLeft : kUp)});
    std::vector<ChartStep> second = steps;
    second.push_back({100 * kTicksPerMeasure + 6, kRight});
    Chart chart = ChartOf(ChartStyle::kDouble, {steps, second});
    chart.pads[1].length = 101 * kTicksPerMeasure;
    const std::string svg = RenderChartSvg(chart);
    EXPECT_EQ(Occurrences(svg, "<g id=\"m"), 1u);
    EXPECT_EQ(Occurrences(svg, "xlink:href=\"#m0\""), 200u);
    // On the second pad the measure stands a pad's width and gap further right.
    EXPECT_EQ(Occurrences(svg, "xlink:href=\"#m0\" x=\"70\""), 100u);
    // The measure of its own is drawn in place: one yellow arrow.
    EXPECT_EQ(Occurrences(svg, "<path fill=\"#e0b000\" d=\"M"), 1u);
    EXPECT_EQ(svg, RenderChartSvg(chart));
}

TEST(RenderChartSvg, DrawsInPlaceWhatRecursTooSeldomToPay) {
    // A measure of one arrow seen twice costs less in place than defined.
    Chart chart = ChartOf(ChartStyle::kSingle, {{{0, kLeft}, {kTicksPerMeasure, kLeft}}});
    chart.pads[0].length = 2 * kTicksPerMeasure;
    const std::string svg = RenderChartSvg(chart);
    EXPECT_EQ(Occurrences(svg, "<g id=\"m"), 0u);
    EXPECT_EQ(Occurrences(svg, "<path fill=\"#d62828\" d=\"M48 140l6-6v4h6v4h-6v4zm0 192l6-6v4h6v4h-6v4z\"/>"), 1u);
}

TEST(RenderChartSvg, SkipsStepsOutsideTheChartsMeasuresAndStepsOutOfOrder) {
    // Not what the model makes, but a picture of it must not fail.
    Chart chart = ChartOf(ChartStyle::kSingle, {{{-24, kLeft}, {48, kUp}, {0, kDown}, {500, kRight}}});
    const std::string svg = RenderChartSvg(chart);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

}  // namespace
}  // namespace torvane
