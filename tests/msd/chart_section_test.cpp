#include "msd/chart_section.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
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

// The first chart's text joined whole, as the lead-in was first found:
// the reference for a long first chart, which is read only as far as needed.
std::size_t WholeChartLeadIn(const std::string& file) {
    auto source = MakeMemorySource(file);
    std::string line;
    while (source->ReadLine(line) && !line.starts_with("#SINGLE") && !line.starts_with("#DOUBLE")) {
    }
    if (!line.starts_with("#SINGLE") && !line.starts_with("#DOUBLE")) return 0;
    std::string joined = line;
    if (!EndsWithSemicolon(line)) (void)AppendChartLines(*source, joined);
    for (const std::string_view tag : {"#SINGLE:", "#DOUBLE:", "#COUPLE:", "BASIC:", "ANOTHER:", "MANIAC:"}) {
        std::string out;
        for (std::size_t at = 0;;) {
            const std::size_t found = joined.find(tag, at);
            out.append(joined, at, found == std::string::npos ? std::string::npos : found - at);
            if (found == std::string::npos) break;
            at = found + tag.size();
        }
        joined = out;
    }
    const std::size_t colon = joined.find(':');
    const std::size_t from = colon == std::string::npos ? 0 : colon + 1;
    const std::size_t end = joined.find_first_not_of('0', from);
    return (end == std::string::npos ? joined.size() : end) - from;
}

TEST(FindReferenceLeadIn, ReadsALongFirstChartOnlyAsFarAsItsRests) {
    // Long runs of rests over many lines, with tags where the text is first
    // looked at (4096 bytes) and where it has doubled, that the removals
    // take out and so join up runs of rests.
    std::mt19937 random(20261208);
    const auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    for (int round = 0; round < 300; ++round) {
        std::string file = round % 2 == 0 ? "#SINGLE:BASIC:3:" : "#DOUBLE:MANIAC:9:";
        const std::size_t rests = pick(3) == 0 ? pick(50) : 4000 + pick(9000);
        std::string data(rests, '0');
        for (int k = pick(4); k > 0; --k) {
            const std::size_t at = std::min(data.size(), 4096 - 16 - 40 + pick(80) + (pick(2) == 0 ? 4096 : 0));
            data.insert(at, pick(2) == 0 ? "#SINGLE:" : "MANIAC:");
        }
        if (pick(4) == 0) data.insert(pick(data.size() + 1), ":");
        data += pick(3) == 0 ? "" : "4000";
        for (std::size_t at = 0; at < data.size(); at += 1 + pick(120)) {
            file += data.substr(at, std::min<std::size_t>(data.size() - at, 1 + pick(120)));
            file += "\r\n";
        }
        if (pick(4) != 0) file += ";\r\n";
        ASSERT_EQ(LeadInOf(file), WholeChartLeadIn(file)) << "round " << round;
    }
    // A tag cut by the line end where the text is first looked at: only the
    // next line completes it, and its removal joins the rests.
    for (std::size_t cut = 1; cut < 8; ++cut) {
        const std::string chart = "#SINGLE:BASIC:3:";
        const std::string tag = "#SINGLE:";
        const std::string file = chart + std::string(kFirstLook - chart.size() + 8, '0') + tag.substr(0, cut) +
                                 "\r\n" + tag.substr(cut) + "0004;\r\n";
        EXPECT_EQ(LeadInOf(file), kFirstLook - chart.size() + 8 + 3) << cut;
        EXPECT_EQ(LeadInOf(file), WholeChartLeadIn(file)) << cut;
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
