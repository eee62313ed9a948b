#include "msd/chart_section.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_source.hpp"
#include "msd/writer.hpp"
#include "test_support.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

std::size_t LeadInOf(const std::string& file) {
    auto source = MakeMemorySource(file);
    return FindReferenceLeadIn(*source);
}

TEST(FindReferenceLeadIn, CountsTheZerosThatBeginTheFirstChart) {
    const std::vector<std::pair<std::string, std::size_t>> cases = {
        {"#TITLE:x;\r\n", 0},
        {"", 0},
        {"#SINGLE:BASIC:3:0000400;\r\n#SINGLE:MANIAC:3:00000000004;\r\n", 4},
        {"#SINGLE:BASIC:3:\r\n0000\r\n4000\r\n;\r\n", 4},
        {"#DOUBLE:MANIAC:8:001234:5678;\r\n", 2},
        {"#COUPLE:ANOTHER:1:000:00000;\r\n", 3},
        // The first seven characters start the chart; an unknown tag then stays
        // and its colon is taken for the level's.
        {"#SINGLEX:00400;\r\n", 2},
        // Not a chart tag: lower case, or not at the start of the line.
        {"#single:BASIC:3:0004;\r\n #SINGLE:BASIC:3:04;\r\n#DOUBLE:BASIC:1:000004;\r\n", 5},
        // An unknown difficulty stays, so its colon is taken for the level's.
        {"#SINGLE:EXPERT:5:0004;\r\n", 0},
        // The removals run in turn: "#SINGLE:" taken out joins up "BASIC:".
        {"#SINGLE:BAS#SINGLE:IC:7:004;\r\n", 2},
        // A first chart cut off by the end of the file is measured as far as it goes.
        {"#SINGLE:BASIC:3:\r\n000\r\n00", 5},
        {"#SINGLE:BASIC:3:000(00)0;\r\n", 3},
    };
    for (const auto& [file, lead_in] : cases) {
        EXPECT_EQ(LeadInOf(file), lead_in) << file;
    }
}

TEST(FindReferenceLeadIn, StopsReadingAfterTheFirstChart) {
    auto source = MakeMemorySource("#SINGLE:BASIC:3:00\r\n04;\r\nnext\r\n");
    EXPECT_EQ(FindReferenceLeadIn(*source), 3u);
    std::string line;
    ASSERT_TRUE(source->ReadLine(line));
    EXPECT_EQ(line, "next");
}

TEST(AppendChartLines, JoinsLinesUpToTheOneEndingInSemicolon) {
    auto source = MakeMemorySource("12\r\n34; \r\n56;\r\nafter\r\n");
    std::string data = "00";
    EXPECT_TRUE(AppendChartLines(*source, data));
    EXPECT_EQ(data, "001234; 56;");
    std::string line;
    ASSERT_TRUE(source->ReadLine(line));
    EXPECT_EQ(line, "after");

    auto cut = MakeMemorySource("12\r\n34");
    data.clear();
    EXPECT_FALSE(AppendChartLines(*cut, data));
    EXPECT_EQ(data, "1234");
}

// Every byte of the joined data back to its line: empty lines add no byte,
// and the cursor may be asked in any order.
TEST(ChartSourceLines, GivesTheLineOfEachByteOfTheJoinedData) {
    auto source = MakeMemorySource("12\r\n\r\n\r\n34(5\r\n67;\r\nafter\r\n");
    ChartSourceLines lines{10, {}};
    std::string data = "0";
    ASSERT_TRUE(AppendChartLines(*source, data, &lines.later_starts));
    ASSERT_EQ(data, "01234(567;");
    const std::vector<std::pair<std::size_t, std::size_t>> offset_lines = {
        {7, 15}, {0, 10}, {5, 14}, {3, 14}, {2, 11}, {9, 15}, {6, 14}, {1, 11}, {0, 10}};
    std::size_t cursor = 0;
    for (const auto& [offset, line] : offset_lines) EXPECT_EQ(lines.LineOf(offset, cursor), line) << offset;

    // Lines not counted: no line.
    const ChartSourceLines uncounted{0, lines.later_starts};
    cursor = 0;
    EXPECT_EQ(uncounted.LineOf(5, cursor), 0u);
}

TEST(ChartLabel, NamesTheChartByItsTagDifficultyAndLevel) {
    EXPECT_EQ(ChartLabel("#SINGLE:BASIC:5:0000(1234);"), "#SINGLE:BASIC:5:");
    EXPECT_EQ(ChartLabel("#SINGLE:BASIC:5"), "#SINGLE:BASIC:5");
    EXPECT_EQ(ChartLabel("#DOUBLE:EXPERT:12:1:2;"), "#DOUBLE:EXPERT:12:");
}

TEST(CountLeadingZeros, CountsOnlyTheFirstRun) {
    EXPECT_EQ(CountLeadingZeros(""), 0u);
    EXPECT_EQ(CountLeadingZeros("000"), 3u);
    EXPECT_EQ(CountLeadingZeros("0010"), 2u);
    EXPECT_EQ(CountLeadingZeros("(000)"), 0u);
}

TEST(WriteMsdBanner, NamesTheCaptionAndThePublicationPage) {
    MemoryStorage storage;
    auto out = storage.CreateDestination("out.MSD", "in");
    WriteMsdBanner(*out, kCaption);
    WriteZeroLine(*out, 0);
    WriteZeroLine(*out, 3);
    out->Commit();
    EXPECT_EQ(storage.files["out.MSD"],
              test::CrLf({"#;", test::J("# このファイルはTorvane Ver.4.2（ＭＩＲＶＯ作）により作成されました。;"),
                          test::J("# 公開ページ：") + std::string(kPublicationAddress) + ";", "#;", "000"}));
}

TEST(IsAllZero, IsTrueOnlyForRests) {
    EXPECT_TRUE(IsAllZero(""));
    EXPECT_TRUE(IsAllZero("0000"));
    EXPECT_TRUE(IsAllZero("000000000000"));
    EXPECT_FALSE(IsAllZero("0010"));
    EXPECT_FALSE(IsAllZero("T000"));
    EXPECT_FALSE(IsAllZero(" "));
}

TEST(WithLeadIn, PutsOnlyAPositiveCountOfRestsInFront) {
    EXPECT_EQ(WithLeadIn(3, "12"), "00012");
    EXPECT_EQ(WithLeadIn(0, "12"), "12");
    EXPECT_EQ(WithLeadIn(-5, "12"), "12");
    EXPECT_EQ(WithLeadIn(2, ""), "00");
}

}  // namespace
}  // namespace torvane
