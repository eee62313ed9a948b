// Whole simfiles against the cases under tests/golden/sm: one folder per
// case with its sources (one MSD, d2r or ddr file, or the ddr files of one
// song) and expected.sm, compared byte for byte; notes.txt, when present,
// the notes the case leaves (UTF-8, "code<TAB>chart<TAB>value" a line),
// without it none. Every expected simfile is also read back by the tests'
// own reader and compared with the chart model step by step.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "preview/chart_loader.hpp"
#include "simfile_reader.hpp"
#include "sm/ddr_songs.hpp"
#include "sm/simfile_chart.hpp"
#include "sm/simfile_writer.hpp"
#include "test_support.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

const fs::path& GoldenFolder() {
    static const fs::path folder = fs::path(TORVANE_TEST_DATA) / "golden" / "sm";
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

// The case's sources in the order the simfile takes them.
std::vector<fs::path> SourcesOf(const fs::path& folder) {
    std::vector<fs::path> charts;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (FormatOfFile(entry.path())) charts.push_back(entry.path());
    }
    std::sort(charts.begin(), charts.end());
    if (charts.size() > 1) {
        const auto songs = GroupDdrSongs(charts);
        if (songs.size() != 1) return {};
        return songs.front().files;
    }
    return charts;
}

std::string NotesText(const ErrorList& errors) {
    std::string text;
    for (const auto& note : errors.Notes()) {
        text += note.code + "\t" + Cp932ToUtf8(note.chart) + "\t" + Cp932ToUtf8(note.value) + "\n";
    }
    return text;
}

// What the chart model says the simfile must hold: (tick, column, seconds)
// of every panel of every step, in row order.
std::vector<test::SimfileStep> ModelSteps(const Chart& chart) {
    std::vector<test::SimfileStep> steps;
    const std::size_t pads = std::min<std::size_t>(chart.pads.size(), SimfileColumns(chart.style) / 4);
    const double tempo = chart.tempo.value_or(0);
    const double offset = chart.gap.value_or(0) * 60.0 / (64.0 * tempo);
    for (std::size_t p = 0; p < pads; ++p) {
        for (const auto& step : chart.pads[p].steps) {
            for (int bit = 0; bit < 4; ++bit) {
                if ((step.panels >> bit & 1) == 0) continue;
                steps.push_back({step.tick, static_cast<int>(p) * 4 + bit,
                                 static_cast<double>(step.tick) / 24.0 * 60.0 / tempo - offset});
            }
        }
    }
    std::sort(steps.begin(), steps.end(),
              [](const auto& a, const auto& b) { return std::tie(a.tick, a.column) < std::tie(b.tick, b.column); });
    return steps;
}

class SmGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(SmGolden, WritesTheSimfileByteForByte) {
    const fs::path folder = GoldenFolder() / GetParam();
    const auto sources = SourcesOf(folder);
    ASSERT_FALSE(sources.empty()) << "no song in " << folder;
    test::TempDir temp;
    ErrorList errors;
    (void)WriteSimfile(sources, temp / "song.sm", errors);
    const std::string actual = test::ReadFile(temp / "song.sm");
    const std::string notes = NotesText(errors);
    if (std::getenv("TORVANE_UPDATE_GOLDEN") != nullptr) {
        test::WriteFile(folder / "expected.sm", actual);
        if (!notes.empty()) test::WriteFile(folder / "notes.txt", notes);
    }
    EXPECT_EQ(actual, test::ReadFile(folder / "expected.sm"));
    EXPECT_EQ(notes, fs::exists(folder / "notes.txt") ? test::ReadFile(folder / "notes.txt") : std::string());
}

TEST_P(SmGolden, ReadsBackAsTheChartModelEveryStepAtItsBeatColumnAndTime) {
    const fs::path folder = GoldenFolder() / GetParam();
    const auto sources = SourcesOf(folder);
    ASSERT_FALSE(sources.empty());
    const test::Simfile simfile = test::ReadSimfile(test::ReadFile(folder / "expected.sm"));
    std::size_t next = 0;
    for (const auto& source : sources) {
        ErrorList errors;
        ChartFile file(source, *FormatOfFile(source), errors);
        file.ReadEachChart(errors, [&](std::size_t, Chart&& chart) {
            ASSERT_LT(next, simfile.charts.size());
            const auto& written = simfile.charts[next++];
            EXPECT_EQ(written.steps_type, SimfileStepsType(chart.style));
            const auto expected = ModelSteps(chart);
            ASSERT_EQ(written.steps.size(), expected.size()) << "chart " << next;
            for (std::size_t i = 0; i < expected.size(); ++i) {
                EXPECT_EQ(written.steps[i].tick, expected[i].tick) << "chart " << next << " step " << i;
                EXPECT_EQ(written.steps[i].column, expected[i].column) << "chart " << next << " step " << i;
                // "#OFFSET:" keeps six decimals.
                EXPECT_NEAR(written.steps[i].seconds, expected[i].seconds, 5e-7) << "chart " << next << " step " << i;
            }
        });
    }
    EXPECT_EQ(next, simfile.charts.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, SmGolden, ::testing::ValuesIn(CaseNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

// The example cases are the files of examples/, so that the simfile that the
// README shows is the one pinned here.
TEST(SmGoldenCases, HoldTheExamplesAsTheyAre) {
    for (const auto& [example, folder] : {std::pair{"sample.msd", "example-msd"}, std::pair{"sample.d2r", "example-d2r"},
                                          std::pair{"sample_sb.ddr", "example-ddr"}}) {
        EXPECT_EQ(test::ReadFile(GoldenFolder() / folder / example), test::ReadFile(fs::path(TORVANE_EXAMPLES) / example))
            << example;
    }
}

TEST(SmGoldenCases, PinTheRowsOfEveryRhythm) {
    const auto rows_of = [](const char* name) {
        std::vector<int> rows;
        for (const auto& chart : test::ReadSimfile(test::ReadFile(GoldenFolder() / name / "expected.sm")).charts) {
            rows.insert(rows.end(), chart.rows_per_measure.begin(), chart.rows_per_measure.end());
        }
        return rows;
    };
    const auto has = [](const std::vector<int>& rows, int count) {
        return std::find(rows.begin(), rows.end(), count) != rows.end();
    };
    EXPECT_TRUE(has(rows_of("triplets-in-12-and-24-rows"), 12));
    EXPECT_TRUE(has(rows_of("triplets-in-12-and-24-rows"), 24));
    EXPECT_TRUE(has(rows_of("32nd-notes-in-32-rows"), 32));
    EXPECT_TRUE(has(rows_of("triplets-against-32nd-notes-in-96-rows"), 96));
    const auto gap = test::ReadSimfile(test::ReadFile(GoldenFolder() / "gap-minus-40-at-150-bpm" / "expected.sm"));
    EXPECT_EQ(gap.tags.at("OFFSET"), "-0.250000");
    EXPECT_EQ(test::ReadSimfile(test::ReadFile(GoldenFolder() / "ddr-song-of-six-charts" / "expected.sm")).charts.size(), 6u);
}

}  // namespace
}  // namespace torvane
