#include "preview/chart_loader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "chart_steps.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::Shifted;
using test::StepsText;

fs::path Example(const char* name) { return fs::path(TORVANE_TEST_DATA) / ".." / "examples" / name; }

TEST(FormatOfFile, NamesTheFormatOfEachExtensionInAnyCase) {
    const std::vector<std::pair<std::string, std::optional<ChartFormat>>> cases = {
        {"song.msd", ChartFormat::kMSD}, {"song.MSD", ChartFormat::kMSD}, {"a/b.Msd", ChartFormat::kMSD},
        {"song.d2r", ChartFormat::kd2r}, {"song.D2R", ChartFormat::kd2r}, {"song_sb.ddr", ChartFormat::kddr},
        {"song.DDR", ChartFormat::kddr}, {"song.txt", std::nullopt},     {"msd", std::nullopt},
        {"song.msd.bak", std::nullopt},
    };
    for (const auto& [name, format] : cases) EXPECT_EQ(FormatOfFile(name), format) << name;
}

TEST(LoadCharts, ReadsTheD2rExampleAsItsMSDShiftedByTheLeadInTheGapRuleAdds) {
    ErrorList errors;
    const auto msd = LoadCharts(Example("sample.msd"), ChartFormat::kMSD, errors);
    EXPECT_TRUE(errors.Empty());
    const auto d2r = LoadCharts(Example("sample.d2r"), ChartFormat::kd2r, errors);
    EXPECT_TRUE(errors.Empty());
    ASSERT_EQ(d2r.size(), msd.size());
    // The d2r file starts its first chart 14 8th notes in; read back, the
    // lead-in grows to 32 and the gap by 256 a measure, 3 measures in all.
    constexpr long long kShift = 3 * kTicksPerMeasure;
    for (std::size_t i = 0; i < msd.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(d2r[i].style, msd[i].style);
        EXPECT_EQ(d2r[i].difficulty, msd[i].difficulty);
        EXPECT_EQ(d2r[i].level, msd[i].level);
        EXPECT_EQ(d2r[i].title, "Sample");
        EXPECT_EQ(d2r[i].artist, "Torvane examples");
        EXPECT_EQ(d2r[i].tempo, 140.0);
        EXPECT_EQ(d2r[i].gap, -60.0 + 3 * 256);
        ASSERT_EQ(d2r[i].pads.size(), msd[i].pads.size());
        for (std::size_t p = 0; p < msd[i].pads.size(); ++p) {
            EXPECT_EQ(StepsText(d2r[i].pads[p].steps), StepsText(Shifted(msd[i].pads[p].steps, kShift)));
        }
    }
}

TEST(LoadCharts, ReadsTheDdrExampleWithWhatDdrFilesCannotHold) {
    ErrorList errors;
    const auto msd = LoadCharts(Example("sample.msd"), ChartFormat::kMSD, errors);
    const auto ddr = LoadCharts(Example("sample_sb.ddr"), ChartFormat::kddr, errors);
    EXPECT_TRUE(errors.Empty());
    ASSERT_EQ(ddr.size(), 1u);
    const Chart& chart = ddr[0];
    EXPECT_EQ(chart.style, ChartStyle::kSingle);
    EXPECT_EQ(chart.difficulty, ChartDifficulty::kBasic);
    EXPECT_EQ(chart.level, "1");
    EXPECT_EQ(chart.title, "Sample");
    EXPECT_EQ(chart.artist, "");
    EXPECT_EQ(chart.tempo, 120.0);
    EXPECT_EQ(chart.gap, 0.0);
    ASSERT_EQ(chart.pads.size(), 1u);
    // The ddr file begins at the first step; reading it puts 18 8th notes in front.
    EXPECT_EQ(StepsText(chart.pads[0].steps), StepsText(Shifted(msd[0].pads[0].steps, 18 * 12 - 96)));
}

TEST(LoadCharts, ReportsAFileThatCannotBeRead) {
    ErrorList errors;
    for (const auto format : {ChartFormat::kMSD, ChartFormat::kd2r, ChartFormat::kddr}) {
        EXPECT_THROW((void)LoadCharts("/nonexistent/song.msd", format, errors), ConversionError);
    }
}

TEST(LoadCharts, NeverWritesBesideTheSource) {
    test::TempDir temp;
    fs::copy_file(Example("sample.d2r"), temp / "sample.d2r");
    fs::copy_file(Example("sample_sb.ddr"), temp / "sample_sb.ddr");
    ErrorList errors;
    (void)LoadCharts(temp / "sample.d2r", ChartFormat::kd2r, errors);
    (void)LoadCharts(temp / "sample_sb.ddr", ChartFormat::kddr, errors);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp.path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"sample.d2r", "sample_sb.ddr"}));
}

TEST(ChartFile, ReadsOneChartAtATimeWhatLoadChartsReads) {
    const std::vector<std::pair<const char*, ChartFormat>> files = {
        {"sample.msd", ChartFormat::kMSD}, {"sample.d2r", ChartFormat::kd2r}, {"sample_sb.ddr", ChartFormat::kddr}};
    for (const auto& [name, format] : files) {
        ErrorList loaded_errors;
        const auto charts = LoadCharts(Example(name), format, loaded_errors);
        ErrorList errors;
        ChartFile file(Example(name), format, errors);
        ASSERT_EQ(file.Heads().size(), charts.size()) << name;
        std::vector<Chart> read;
        file.ReadEachChart(errors, [&](std::size_t place, Chart&& chart) {
            EXPECT_EQ(place, read.size());
            EXPECT_TRUE(file.Heads()[place].pads.empty());
            EXPECT_EQ(file.Heads()[place].level, chart.level);
            read.push_back(std::move(chart));
        });
        EXPECT_EQ(read, charts) << name;
        EXPECT_EQ(errors.Lines(), loaded_errors.Lines()) << name;
    }
    ErrorList errors;
    EXPECT_THROW(ChartFile("/nonexistent/song.d2r", ChartFormat::kd2r, errors), ConversionError);
}

// However often a chart file is read, its source is opened once; between
// readings it stands at its start, its line count at 0, as if it were gone.
TEST(ChartFile, OpensItsSourceOnceAndReadsItAgainFromTheStart) {
    struct CountingStorage : MemoryStorage {
        int opened = 0;
        std::size_t* line = nullptr;
        std::unique_ptr<LineSource> OpenSource(const fs::path& source) override {
            ++opened;
            auto input = MemoryStorage::OpenSource(source);
            input->CountLinesInto(line);
            return input;
        }
    } storage;
    storage.files["song.msd"] = test::ReadFile(Example("sample.msd"));
    std::size_t line = 99;
    storage.line = &line;
    ErrorList errors;
    ChartFile file("song.msd", ChartFormat::kMSD, errors, storage);
    EXPECT_EQ(line, 0U);
    std::vector<Chart> first;
    std::vector<Chart> second;
    file.ReadEachChart(errors, [&](std::size_t, Chart&& chart) { first.push_back(std::move(chart)); });
    std::size_t lines = 0;
    file.ReadMSD([&](LineSource& msd) {
        for (std::string text; msd.ReadLine(text);) ++lines;
    });
    file.ReadEachChart(errors, [&](std::size_t, Chart&& chart) { second.push_back(std::move(chart)); });
    EXPECT_EQ(line, 0U);
    EXPECT_EQ(storage.opened, 1);
    EXPECT_EQ(first.size(), file.Heads().size());
    EXPECT_EQ(first, second);
    EXPECT_EQ(lines, static_cast<std::size_t>(std::count(storage.files["song.msd"].begin(), storage.files["song.msd"].end(), '\n')));
}

}  // namespace
}  // namespace torvane
