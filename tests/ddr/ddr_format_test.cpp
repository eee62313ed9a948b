// The ddr format: file names, step lines, panel codes and measure compaction.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ddr_text.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

using test::J;

TEST(DdrChartFileName, ReplacesTheExtensionOfTheDestinationByStyleAndDifficulty) {
    struct Case {
        const char* destination;
        char style;
        char difficulty;
        const char* file;
    };
    const Case cases[] = {
        {"song.ddr", 's', 'b', "song_sb.ddr"},
        {"out/song.ddr", 'd', 'a', "out/song_da.ddr"},
        {"my.song.ddr", 'c', 'm', "my.song_cm.ddr"},
        {"song", 's', 'm', "song_sm.ddr"},
        {"folder.v2/song", 'd', 'b', "folder.v2/song_db.ddr"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DdrChartFileName(c.destination, c.style, c.difficulty), std::filesystem::path(c.file))
            << c.destination;
    }
}

TEST(FormatDdrStepLine, WritesAtLeastThreeDigits) {
    EXPECT_EQ(FormatDdrStepLine('#', 1, "1000"), "#001:1000");
    EXPECT_EQ(FormatDdrStepLine('$', 42, "10002000"), "$042:10002000");
    EXPECT_EQ(FormatDdrStepLine('#', 999, "0001"), "#999:0001");
    EXPECT_EQ(FormatDdrStepLine('#', 1000, "0001"), "#1000:0001");
    EXPECT_EQ(FormatDdrStepLine('$', 123456, "0001"), "$123456:0001");
    // A line written over a longer one, and a longer over it.
    std::string line = "#1000:" + std::string(32, '1');
    FormatDdrStepLineInto('#', 7, "1000", line);
    EXPECT_EQ(line, "#007:1000");
    FormatDdrStepLineInto('$', 1000, "10002000", line);
    EXPECT_EQ(line, "$1000:10002000");
}

TEST(DdrMeasureNumber, ReadsThreeDigitsAfterThePadMark) {
    struct Case {
        const char* line;
        int measure;
    };
    const Case cases[] = {
        {"#001:1000", 1},
        {"$123:10002000", 123},
        {"#999", 999},          // the separator is not looked at
        {"#001x1000", 1},
        {"#1000:2000", 100},    // a fourth digit is not read
        {"#000:1000", 0},       // measure 000 is no step line
        {"#12", 0},
        {"#12a:1000", 0},
        {"%001:1000", 0},
        {"#comment", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(DdrMeasureNumber(c.line), c.measure) << c.line;
}

TEST(ToDdrPanelCodes, ReplacesEveryStepCharacterByItsPanelSum) {
    EXPECT_EQ(ToDdrPanelCodes("0123456789ABab"), "032a15854c6969");
    // No code: the triplet mark, "5" and what a group carried in.
    EXPECT_EQ(ToDdrPanelCodes("T5xC:;"), "T5xC:;");
    EXPECT_EQ(ToDdrPanelCodes(""), "");
}

std::string Cells(std::initializer_list<std::pair<int, char>> steps, std::size_t size = 32) {
    std::string cells(size, '0');
    for (const auto& [position, code] : steps) cells[static_cast<std::size_t>(position - 1)] = code;
    return cells;
}

TEST(CompactDdrMeasure, UsesTheCoarsestGridThatLosesNoStep) {
    struct Case {
        const char* what;
        std::string measure;
        std::string slots;
    };
    const Case cases[] = {
        {"no cells", "", "0000"},
        {"rests only", std::string(32, '0'), "0000"},
        {"one step on the first beat", Cells({{1, '1'}}), "1000"},
        {"a step on every beat", Cells({{1, '1'}, {9, '2'}, {17, '4'}, {25, '8'}}), "1248"},
        {"eighth notes", Cells({{1, '1'}, {5, '2'}, {29, 'c'}}), "1200000c"},
        {"sixteenth notes", Cells({{3, '1'}}), "0100000000000000"},
        {"a 32nd note", Cells({{2, '9'}}), "09" + std::string(30, '0')},
        {"every 32nd note", std::string(32, '5'), std::string(32, '5')},
        {"a short measure is padded with rests", "0000000010", "0100"},
        {"only the first 32 cells count", Cells({{1, '1'}}) + "1111", "1000"},
    };
    for (const auto& c : cases) EXPECT_EQ(CompactDdrMeasure(c.measure), c.slots) << c.what;
}

TEST(CompactDdrMeasure, StopsAtTheFirstGridThatWouldLoseAStep) {
    // Even cells of 32 empty, but the 16-slot line has a step on a 16th.
    EXPECT_EQ(CompactDdrMeasure(Cells({{1, '1'}, {3, '2'}})), "1200000000000000");
    // Empty off-beats on 16 and 8 slots: down to 4.
    EXPECT_EQ(CompactDdrMeasure(Cells({{17, 'a'}})), "00a0");
}

TEST(CompactDdrMeasure, GivesWhatHalvingTheCellsOneGridAtATimeGives) {
    // The halving as first written, on any cells: steps at every grid, on any
    // panel code, and measures cut short by the end of a pad.
    const auto halving = [](std::string cells) {
        cells.resize(32, '0');
        while (cells.size() > 4) {
            std::string halved;
            for (std::size_t i = 0; i < cells.size(); i += 2) {
                if (cells[i + 1] != '0') return cells;
                halved += cells[i];
            }
            cells = halved;
        }
        return cells;
    };
    std::mt19937 generator(7);
    static constexpr std::string_view kCodes = "0123456789abcdefT:";
    for (int round = 0; round < 20000; ++round) {
        const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 32)(generator);
        const std::size_t grid = std::size_t{1} << std::uniform_int_distribution<int>(0, 4)(generator);
        std::string cells(length, '0');
        for (std::size_t i = 0; i < length; i += grid) {
            if (generator() % 3 == 0) cells[i] = kCodes[generator() % kCodes.size()];
        }
        ASSERT_EQ(CompactDdrMeasure(cells), halving(cells)) << cells;
    }
}

}  // namespace
}  // namespace torvane
