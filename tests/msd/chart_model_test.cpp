#include "msd/chart_model.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "memory_source.hpp"
#include "msd/decoder.hpp"
#include "msd/panels.hpp"
#include "chart_steps.hpp"
#include "test_support.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

using test::StepsText;

std::vector<Chart> Read(const std::string& bytes, ErrorList& errors) {
    const auto source = MakeMemorySource(bytes);
    return ReadMSDCharts(*source, "song.msd", errors);
}

struct PadCase {
    std::string expanded;
    std::string steps;
    long long length;
};

TEST(PadFromExpandedSteps, PutsEveryCellAndTripletOnItsTick) {
    const std::vector<PadCase> cases = {
        {"", "", 0},
        {"10002000", "0:LD 12:D", 24},
        {"12345678", "0:LD 3:D 6:DR 9:L 15:R 18:LU 21:U", 24},  // "5" names no panel
        {"T123", "0:LD 8:D 16:DR", 24},
        {"4000T9870", "0:L 12:UR 20:U 28:LU", 39},  // a triplet half a beat in
        {"T0A0B000", "8:DU 24:LR", 36},
        {"1000:2000;", "0:LD 12:D", 24},  // ":" and ";" take no time
        {"T12", "0:LD 8:D", 24},          // cut short: the beat still ends
        {"a000b000", "", 24},             // lower-case letters name no panel
    };
    for (const auto& c : cases) {
        const ChartPad pad = PadFromExpandedSteps(c.expanded);
        EXPECT_EQ(StepsText(pad.steps), c.steps) << c.expanded;
        EXPECT_EQ(pad.length, c.length) << c.expanded;
    }
}

// Texts long enough to be passed sixteen cells at a look, with runs of rests
// of every length around that, against the cells taken one by one.
TEST(PadFromExpandedSteps, GivesLongTextsWhatTheirCellsGiveOneByOne) {
    std::mt19937 random(24);
    const std::string others = "1234678ABT5a:;";
    for (int round = 0; round < 400; ++round) {
        std::string expanded;
        while (expanded.size() < 300) {
            expanded.append(random() % 40, '0');
            expanded.push_back(others[random() % others.size()]);
        }
        std::vector<ChartStep> steps;
        long long tick = 0;
        for (std::size_t i = 0; i < expanded.size(); ++i) {
            const int panels = std::max(PanelsOfStep(expanded[i]), 0);
            if (expanded[i] == 'T') {
                for (int third = 0; third < 3 && i + 1 < expanded.size(); ++third) {
                    if (const int p = std::max(PanelsOfStep(expanded[++i]), 0); p != 0) {
                        steps.push_back({tick + third * 8, static_cast<unsigned char>(p)});
                    }
                }
                tick += 24;
                continue;
            }
            if (panels != 0) steps.push_back({tick, static_cast<unsigned char>(panels)});
            if (expanded[i] != ':' && expanded[i] != ';') tick += 3;
        }
        const ChartPad pad = PadFromExpandedSteps(expanded);
        ASSERT_EQ(StepsText(pad.steps), StepsText(steps)) << expanded;
        ASSERT_EQ(pad.length, tick) << expanded;
    }
}

TEST(PadFromExpandedSteps, TakesOnlyTheDecodersTripletBeatsForTriplets) {
    ErrorList errors;
    std::vector<std::size_t> triplet_beats;
    // "(1T23)" holds a written "T"; "(T06)" is a triplet beat whose first step is one.
    const std::string expanded = DecodeMSDSteps("(1T23)(T06)", "a.msd", errors, &triplet_beats);
    const ChartPad pad = PadFromExpandedSteps(expanded, &triplet_beats);
    EXPECT_EQ(StepsText(pad.steps), "0:LD 12:D 18:DR 40:R");
    EXPECT_EQ(pad.length, 48);
}

struct ChartCase {
    std::string name;
    ChartStyle style;
    ChartDifficulty difficulty;
    std::string level;
    std::vector<std::string> pads;  // steps of each pad
    long long length;
};

void ExpectChart(const Chart& chart, const ChartCase& c) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(chart.style, c.style);
    EXPECT_EQ(chart.difficulty, c.difficulty);
    EXPECT_EQ(chart.level, c.level);
    ASSERT_EQ(chart.pads.size(), c.pads.size());
    for (std::size_t i = 0; i < c.pads.size(); ++i) EXPECT_EQ(StepsText(chart.pads[i].steps), c.pads[i]) << "pad " << i;
    EXPECT_EQ(chart.Length(), c.length);
}

// Every step of the three charts of the example file, by hand from its text.
const std::vector<ChartCase> kExampleCharts = {
    {"single basic",
     ChartStyle::kSingle,
     ChartDifficulty::kBasic,
     "3",
     {"96:L 120:R 144:U 168:D "
      "192:L 198:D 204:R 210:U 216:D 222:L 228:U 234:R 240:D 264:U "
      "288:L 312:LD 320:D 328:DR 336:U 360:UR 368:U 376:LU "
      "384:LR"},
     480},
    {"double another",
     ChartStyle::kDouble,
     ChartDifficulty::kAnother,
     "5",
     {"96:L 108:R 120:D 132:U 144:L 156:R 168:D 180:U "
      "192:L 198:R 204:D 210:U 216:L 222:R 228:D 234:U 240:L 264:R "
      "288:LR 336:LR",
      "96:R 108:D 120:L 132:U 144:R 156:D 168:L 180:U "
      "192:R 198:D 204:L 210:U 216:R 222:D 228:L 234:U 240:R 264:L "
      "288:LR 336:LR"},
     384},
    {"couple maniac",
     ChartStyle::kCouple,
     ChartDifficulty::kManiac,
     "7",
     {"96:L 120:LD 128:D 136:DR 144:R 168:UR 176:U 184:LU "
      "192:L 198:L 204:L 210:L 216:R 222:R 228:R 234:R 240:DU 264:LR",
      "96:L 120:D 144:R 168:U "
      "192:R 198:R 204:R 210:R 216:L 222:L 228:L 234:L 240:LR 264:DU"},
     288},
};

TEST(ReadMSDCharts, ReadsEveryStepOfTheExampleFile) {
    ErrorList errors;
    const auto charts = Read(test::ReadFile(std::filesystem::path(TORVANE_TEST_DATA) / "../examples/sample.msd"), errors);
    EXPECT_TRUE(errors.Empty());
    ASSERT_EQ(charts.size(), kExampleCharts.size());
    for (std::size_t i = 0; i < charts.size(); ++i) {
        ExpectChart(charts[i], kExampleCharts[i]);
        EXPECT_EQ(charts[i].title, "Sample");
        EXPECT_EQ(charts[i].artist, "Torvane examples");
        EXPECT_EQ(charts[i].tempo, 140.0);
        EXPECT_EQ(charts[i].gap, -60.0);
    }
}

TEST(ReadMSDCharts, ReadsTheChartsOfTheConversionExamples) {
    // The files that the d2r and ddr conversions work through.
    const std::vector<std::pair<std::string, std::vector<ChartCase>>> files = {
        {test::CrLf({"#TITLE:Sample;", "#ARTIST:Someone;", "#FILE:sample.wav;", "#BPM:150;", "#GAP:-40;",
                     "#SINGLE:BASIC:2:00000000407000(6666)(123)80;",
                     "#COUPLE:ANOTHER:4:0000000040000000:0000000000006000;"}),
         {{"single basic of the d2r example",
           ChartStyle::kSingle,
           ChartDifficulty::kBasic,
           "2",
           {"96:L 120:LU 168:R 174:R 180:R 186:R 192:LD 200:D 208:DR 216:U"},
           240},
          {"couple another of the d2r example",
           ChartStyle::kCouple,
           ChartDifficulty::kAnother,
           "4",
           {"96:L", "144:R"},
           192}}},
        {test::CrLf({"#TITLE:Sample;", "#BPM:150;", "#GAP:-20;", "#SINGLE:BASIC:3:", "0000", "4000", "2000(8000)",
                     ";"}),
         {{"single basic of the ddr example", ChartStyle::kSingle, ChartDifficulty::kBasic, "3", {"48:L 96:D 144:U"},
           168}}},
    };
    for (const auto& [text, expected] : files) {
        ErrorList errors;
        const auto charts = Read(text, errors);
        EXPECT_TRUE(errors.Empty());
        ASSERT_EQ(charts.size(), expected.size());
        for (std::size_t i = 0; i < charts.size(); ++i) ExpectChart(charts[i], expected[i]);
    }
}

TEST(ReadMSDCharts, ReadsChartLinesAsPeopleWriteThem) {
    const std::vector<std::pair<std::string, ChartCase>> cases = {
        {"#DOUBLE:MANIAC:8:12:48;", {"two sides", ChartStyle::kDouble, ChartDifficulty::kManiac, "8",
                                     {"0:LD 12:D", "0:L 12:U"}, 24}},
        {"#DOUBLE:BASIC:1:12;", {"double with one side", ChartStyle::kDouble, ChartDifficulty::kBasic, "1",
                                 {"0:LD 12:D", ""}, 24}},
        {"#SINGLE:BASIC:1:4:6;", {"single with two sides", ChartStyle::kSingle, ChartDifficulty::kBasic, "1",
                                  {"0:L", "0:R"}, 12}},
        {"#SINGLE:EASY:3:12;", {"unknown difficulty", ChartStyle::kSingle, ChartDifficulty::kUnknown, "3",
                                {"0:LD 12:D"}, 24}},
        {"#SINGLE:BASIC:5:\r\n4\r\n(12)\r\n;", {"data on the following lines", ChartStyle::kSingle,
                                                ChartDifficulty::kBasic, "5", {"0:L 12:LD 24:D"}, 36}},
        {"#SINGLE:BASIC:5:\r\n48", {"cut off by the end of the file", ChartStyle::kSingle,
                                    ChartDifficulty::kBasic, "5", {"0:L 12:U"}, 24}},
        {"#SINGLE:BASIC:12;", {"no level field", ChartStyle::kSingle, ChartDifficulty::kBasic, "",
                               {"0:LD 12:D"}, 24}},
        {"#COUPLE:ANOTHER:10:0a2 (1a3):;", {"characters outside the notation", ChartStyle::kCouple,
                                            ChartDifficulty::kAnother, "10", {"12:D 24:LD 40:DR", ""}, 48}},
    };
    for (const auto& [text, expected] : cases) {
        ErrorList errors;
        const auto charts = Read(text, errors);
        EXPECT_TRUE(errors.Empty()) << expected.name;
        ASSERT_EQ(charts.size(), 1u) << expected.name;
        ExpectChart(charts[0], expected);
    }
    ErrorList errors;
    const auto charts = Read("#SINGLE:EASY:3:12;", errors);
    EXPECT_EQ(charts[0].difficulty_word, "EASY");
}

TEST(ReadMSDCharts, GivesEveryChartTheSongValuesWhereverTheyStand) {
    ErrorList errors;
    const auto charts = Read(test::CrLf({"#BPM:abc;", "#SINGLE:BASIC:1:4;", "#TITLE:Late;", "#GAP:12.5;",
                                         "#TITLE:Later;", "#GAP:99;", "#DOUBLE:BASIC:1:4:4;"}),
                             errors);
    ASSERT_EQ(charts.size(), 2u);
    for (const auto& chart : charts) {
        EXPECT_EQ(chart.title, "Late");
        EXPECT_EQ(chart.artist, "");
        EXPECT_FALSE(chart.tempo.has_value());  // not a number: unknown, not a failure
        EXPECT_EQ(chart.gap, 12.5);
    }
}

TEST(ReadMSDCharts, ReportsGroupsItCannotConvertAsTheConversionsDo) {
    ErrorList errors;
    const auto charts = Read("#SINGLE:BASIC:1:4(12345)[1]{C}4;", errors);
    ASSERT_EQ(charts.size(), 1u);
    EXPECT_EQ(StepsText(charts[0].pads[0].steps), "0:L 84:L");  // a beat and two beats of rest in between
    EXPECT_EQ(errors.Lines(), (std::vector<std::string>{"song.msd" + ErrorMessage(ErrorCode::kBeatGroupLength) + "(12345)",
                                                        "song.msd" + ErrorMessage(ErrorCode::kTwoBeatGroup) + "[1]",
                                                        "song.msd" + ErrorMessage(ErrorCode::kCommandGroup) + "{C}"}));
}

TEST(ReadMSDChartsOneByOne, ReadsWhatReadMSDChartsReadsWithTheHeadsFirst) {
    // Header lines before, between and after the charts, charts over several
    // lines, one cut off by the end of the file, and groups to report.
    const std::vector<std::string> files = {
        test::ReadFile(std::filesystem::path(TORVANE_TEST_DATA) / "../examples/sample.msd"),
        test::CrLf({"#BPM:abc;", "#SINGLE:BASIC:1:4;", "#TITLE:Late;", "#GAP:12.5;", "#TITLE:Later;",
                    "#DOUBLE:BASIC:1:4:4;", "#SINGLE:EASY:3:", "#TITLE:Inside;", "(12)(12345);",
                    "#COUPLE:ANOTHER:10:0a2 (1a3):[1];", "#ARTIST:Last;", "#SINGLE:MANIAC:5:", "48"}),
        test::CrLf({"#SINGLE:BASIC:1:48", "62:", "84;", "#SINGLE:ANOTHER:2:", "4862", "(48):;", "#DOUBLE:MANIAC:3:48;",
                    "#SINGLE:MANIAC:4:48", "62;"}),
        "",
        "#TITLE:No chart;",
    };
    for (const auto& file : files) {
        ErrorList all_errors;
        const auto charts = Read(file, all_errors);
        const auto source = MakeMemorySource(file);
        const auto heads = ReadMSDChartHeads(*source);
        ASSERT_EQ(heads.size(), charts.size()) << file;
        for (std::size_t i = 0; i < charts.size(); ++i) {
            Chart without_steps = charts[i];
            without_steps.pads.clear();
            EXPECT_EQ(heads[i], without_steps) << file << " chart " << i;
        }
        // With their pads: as many as the charts read whole have, found
        // without decoding a step.
        source->Rewind();
        const auto heads_with_pads = ReadMSDChartHeads(*source, true);
        ASSERT_EQ(heads_with_pads.size(), charts.size()) << file;
        for (std::size_t i = 0; i < charts.size(); ++i) {
            Chart empty_pads = charts[i];
            for (auto& pad : empty_pads.pads) pad = {};
            EXPECT_EQ(heads_with_pads[i], empty_pads) << file << " chart " << i;
        }
        source->Rewind();
        ErrorList errors;
        std::size_t next = 0;
        ReadMSDChartsOneByOne(*source, heads, "song.msd", errors, [&](std::size_t place, Chart&& chart) {
            ASSERT_EQ(place, next++);
            ASSERT_LT(place, charts.size());
            EXPECT_EQ(chart, charts[place]) << file << " chart " << place;
        });
        EXPECT_EQ(next, charts.size()) << file;
        EXPECT_EQ(errors.Lines(), all_errors.Lines()) << file;
    }
}

}  // namespace
}  // namespace torvane
