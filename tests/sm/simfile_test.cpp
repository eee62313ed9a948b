// The named steps of a simfile: text, numbers, difficulties, meters, rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sm/simfile_chart.hpp"
#include "sm/simfile_text.hpp"
#include "test_support.hpp"
#include "text/note_codes.hpp"

namespace torvane {
namespace {

using test::J;

TEST(EscapeSimfileValue, EscapesWhatEndsOrCutsAValue) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"plain", "plain"},
        {"a:b", "a\\:b"},
        {"a;b", "a\\;b"},
        {"C:\\music\\song.wav", "C\\:\\\\music\\\\song.wav"},
        {"http://x", "http\\:\\//x"},
        {"a///b", "a\\/\\//b"},  // no two slashes left side by side
        {"////", "\\/\\/\\//"},
        {"a/b", "a/b"},
        {"\xE3\x81\x82:", "\xE3\x81\x82\\:"},
    };
    for (const auto& [value, escaped] : cases) EXPECT_EQ(EscapeSimfileValue(value), escaped) << value;
}

TEST(MusicNameOf, TakesTheLastPartAfterEitherSlash) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"song.wav", "song.wav"},
        {"C:\\songs\\a\\song.wav", "song.wav"},
        {"music/song.mp3", "song.mp3"},
        {"a\\b/c.ogg", "c.ogg"},
        {"dir\\", ""},
        {"", ""},
        // "ソ" is 83 5C: its second byte is not a folder separator.
        {J("ソング.wav"), J("ソング.wav")},
        {J("曲\\ソ.wav"), J("ソ.wav")},
    };
    for (const auto& [value, name] : cases) EXPECT_EQ(MusicNameOf(value), name) << value;
}

TEST(FormatSixDecimals, RoundsToTheNearestWithSixDecimals) {
    const std::vector<std::pair<double, std::string>> cases = {
        {0, "0.000000"},           {-0.0, "0.000000"},        {150, "150.000000"},
        {-0.25, "-0.250000"},      {1.0 / 3, "0.333333"},     {2.0 / 3, "0.666667"},
        {-2.0 / 3, "-0.666667"},   {-0.0000001, "0.000000"},  {128.5, "128.500000"},
        {0.0000005000001, "0.000001"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatSixDecimals(value), text) << value;
}

TEST(SimfileText, ConvertsCodePage932AndNotesBytesThatAreNot) {
    ErrorList errors;
    EXPECT_EQ(SimfileText(J("曲名 ｱｲ?"), "#TITLE:", errors), "曲名 ｱｲ?");
    EXPECT_TRUE(errors.Notes().empty());
    const std::string bad = "A\xFF" "B";
    EXPECT_EQ(SimfileText(bad, "#TITLE:", errors), "A?B");
    ASSERT_EQ(errors.Notes().size(), 1u);
    EXPECT_EQ(errors.Notes()[0], (Note{std::string(note::kTextNotCp932), "", "#TITLE:" + bad}));
}

TEST(SimfileDifficulties, GiveEachStyleAndDifficultyOnceThenEdit) {
    const auto chart = [](ChartStyle style, ChartDifficulty difficulty) {
        Chart c;
        c.style = style;
        c.difficulty = difficulty;
        return c;
    };
    SimfileDifficulties difficulties;
    const std::vector<std::pair<Chart, std::string>> sequence = {
        {chart(ChartStyle::kSingle, ChartDifficulty::kBasic), "Easy"},
        {chart(ChartStyle::kSingle, ChartDifficulty::kAnother), "Medium"},
        {chart(ChartStyle::kSingle, ChartDifficulty::kManiac), "Hard"},
        {chart(ChartStyle::kDouble, ChartDifficulty::kBasic), "Easy"},
        {chart(ChartStyle::kCouple, ChartDifficulty::kBasic), "Easy"},
        {chart(ChartStyle::kSingle, ChartDifficulty::kBasic), "Edit"},
        {chart(ChartStyle::kSingle, ChartDifficulty::kUnknown), "Edit"},
        {chart(ChartStyle::kDouble, ChartDifficulty::kManiac), "Hard"},
        {chart(ChartStyle::kDouble, ChartDifficulty::kManiac), "Edit"},
    };
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        EXPECT_EQ(difficulties.Next(sequence[i].first), sequence[i].second) << i;
    }
}

TEST(SimfileMeter, TakesOnlyAWholeNumber) {
    const std::vector<std::pair<std::string, std::optional<long long>>> cases = {
        {"5", 5},     {"10", 10},  {" 7 ", 7},       {"007", 7},   {"0", 0},
        {"", {}},     {"5.5", {}}, {"-3", {}},       {"+3", {}},   {"x", {}},
        {J("５"), {}}, {"5a", {}},  {"99999999999999999999", {}},
    };
    for (const auto& [level, meter] : cases) EXPECT_EQ(SimfileMeter(level), meter) << level;
}

TEST(RowsForMeasure, TakesTheFewestRowsThatHoldEveryStep) {
    struct Case {
        std::vector<long long> ticks;
        int rows;
    };
    const std::vector<Case> cases = {
        {{}, 4},
        {{0}, 4},
        {{0, 24, 48, 72}, 4},
        {{12}, 8},                 // an 8th note
        {{8, 16}, 12},             // triplet 8th notes
        {{6}, 16},                 // a 16th note
        {{8, 12}, 24},             // a triplet against an 8th note
        {{4}, 24},                 // a triplet 16th note
        {{3}, 32},                 // a 32nd note
        {{2}, 48},
        {{3, 8}, 96},              // a 32nd note against a triplet
        {{1}, 96},
        {{95}, 96},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RowsForMeasure(c.ticks), c.rows) << ::testing::PrintToString(c.ticks);
        // Exactly on a row, and no fewer rows in the list would do.
        for (const long long tick : c.ticks) EXPECT_EQ(tick * c.rows % kTicksPerMeasure, 0);
    }
}

TEST(SimfileMeasures, EndsWithTheLastMeasureThatHoldsAStep) {
    const auto chart = [](std::vector<std::vector<ChartStep>> pads, long long length) {
        Chart c;
        for (auto& steps : pads) c.pads.push_back({std::move(steps), length});
        return c;
    };
    EXPECT_EQ(SimfileMeasures(chart({}, 0)), 1);
    EXPECT_EQ(SimfileMeasures(chart({{}}, 960)), 1);  // rests only
    EXPECT_EQ(SimfileMeasures(chart({{{0, 1}}}, 960)), 1);
    EXPECT_EQ(SimfileMeasures(chart({{{95, 1}}}, 960)), 1);
    EXPECT_EQ(SimfileMeasures(chart({{{96, 1}}}, 960)), 2);
    EXPECT_EQ(SimfileMeasures(chart({{{0, 1}}, {{300, 2}}}, 960)), 4);  // the longer pad
}

}  // namespace
}  // namespace torvane
