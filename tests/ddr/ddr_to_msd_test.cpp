// ddr to MSD: the steps of Convertddr2MSD and what a whole conversion does
// beyond the golden cases.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ddr_text.hpp"
#include "msd/encoder.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

using test::CrLf;
using test::J;
using test::SplitCrLf;
using Lines = std::vector<std::string>;

std::string Slot(std::string_view slot) { return "song.ddr" + ErrorMessage(ErrorCode::kDdrSlot) + std::string(slot); }

TEST(DdrToMSDCodes, TurnsEverySlotIntoTheStepCharacterOfTheSamePanels) {
    ErrorList errors;
    std::string line = "#123:012345689acAC";
    DdrToMSDCodes(line, "song.ddr", errors);
    EXPECT_EQ(line, "#123:042187A6B3939") << "the measure number is left alone";
    EXPECT_TRUE(errors.Empty());
}

TEST(DdrToMSDCodes, ReportsEverySlotWithoutAStepCharacter) {
    struct Case {
        const char* line;
        std::string after;
        Lines errors;
    };
    const Case cases[] = {
        {"#001:7000", "#001:7000", {Slot("7")}},
        {"#001:b0e0", "#001:0000", {Slot("b"), Slot("e")}},
        {"#001:1B 1", "#001:4B04", {Slot("B"), Slot(" ")}},
        {"#001:77", "#001:77", {Slot("7"), Slot("7")}},
        // Anything else becomes a rest, so that the pad's later steps keep
        // their time and the MSD file its sides and groups.
        {"#001:1:0;", "#001:4000", {Slot(":"), Slot(";")}},
        {"#001:()[]{}", "#001:000000", {Slot("("), Slot(")"), Slot("["), Slot("]"), Slot("{"), Slot("}")}},
        {"#1000:1000", "#100004000", {Slot(":")}},
    };
    for (const auto& c : cases) {
        ErrorList errors;
        std::string line = c.line;
        DdrToMSDCodes(line, "song.ddr", errors);
        EXPECT_EQ(line, c.after) << c.line;
        EXPECT_EQ(errors.Lines(), c.errors) << c.line;
    }
}

TEST(DdrToMSDCodes, ReportsADoubleByteCharacterOnceAndWhole) {
    ErrorList errors;
    std::string line = "#001:1" + J("あ") + "0";
    DdrToMSDCodes(line, "song.ddr", errors);
    EXPECT_EQ(line, "#001:4000") << "a rest for each of its two slots";
    EXPECT_EQ(errors.Lines(), (Lines{Slot(J("あ"))}));
}

TEST(DdrToMSDCodes, LeavesALineWithoutSlotsAlone) {
    ErrorList errors;
    std::string line = "#001:";
    DdrToMSDCodes(line, "song.ddr", errors);
    EXPECT_EQ(line, "#001:");
    EXPECT_TRUE(errors.Empty());
}

TEST(DdrMeasureText, WritesFourBeatsByTheLengthOfTheLine) {
    struct Case {
        const char* line;
        const char* text;
    };
    const Case cases[] = {
        {"#001:", "00000000"},
        {"#001:4", "40000000"},     // missing quarter slots are rests
        {"#001:42", "40200000"},
        {"#001:428", "40208000"},
        {"#001:4286", "40208060"},
        {"#001:42861", "00000000"},
        {"#001:12345678", "12345678"},
        {"#001:123456789", "00000000"},
        {"#001:123456789AB3", "(123)(456)(789)(AB3)"},
        {"#001:1234567890AB1234", "(1234)(5678)(90AB)(1234)"},
        {"#001:12345678123456781234567812345678", "(12345678)(12345678)(12345678)(12345678)"},
        {"#001:123456781234567812345678123456780", "00000000"},
        {"#1000:1000", "00000000"},       // a four-digit measure number makes the line too long
        {"#1000:10002000", "00000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(DdrMeasureText(c.line), c.text) << c.line;
}

TEST(BuildDdrPadText, PutsEveryMeasureInItsPlace) {
    struct Case {
        const char* what;
        Lines block;
        char pad;
        int first;
        int last;
        std::string text;
    };
    const Case cases[] = {
        {"a missing measure in the middle", {"#001:4", "#003:2"}, '#', 1, 3, "400000000000000020000000"},
        {"rests before the pad's first line", {"$003:8"}, '$', 1, 3, "000000000000000080000000"},
        {"rests after the pad's last line", {"#001:4", "$003:8"}, '#', 1, 3, "400000000000000000000000"},
        {"the other pad's lines are passed over", {"#001:4", "$001:8", "#002:2"}, '$', 1, 2,
         "8000000000000000"},
        {"a pad without a line", {"#001:4", "#002:2"}, '$', 1, 2, ""},
        {"a line out of order follows the one before", {"#003:4", "#001:2"}, '#', 1, 1,
         "00000000000000004000000020000000"},
        {"a measure given twice", {"#001:4", "#001:2", "#002:8"}, '#', 1, 2, "400000002000000080000000"},
        {"a line of another length is a rest", {"#001:4", "#002:12345", "#003:2"}, '#', 1, 3,
         "400000000000000020000000"},
    };
    for (const auto& c : cases) {
        const std::vector<std::string_view> block(c.block.begin(), c.block.end());
        EXPECT_EQ(BuildDdrPadText(block, c.pad, c.first, c.last), c.text) << c.what;
    }
}

// Written compacted, a pad's text is what the passes would make of it, for
// lines of every length with slots rests, steps and triplet steps.
TEST(BuildDdrPadText, CompactedIsWhatThePassesMakeOfIt) {
    std::mt19937 random(20261208);
    const auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    for (int round = 0; round < 500; ++round) {
        Lines block;
        for (int measure = 1; measure <= 6; ++measure) {
            static constexpr std::size_t kSlots[] = {4, 8, 12, 16, 32, 5};
            std::string line = "#00" + std::to_string(measure) + ":";
            for (std::size_t slot = kSlots[pick(6)]; slot > 0; --slot) line += pick(3) == 0 ? "12468"[pick(5)] : '0';
            block.push_back(line);
        }
        const std::vector<std::string_view> lines(block.begin(), block.end());
        EXPECT_EQ(BuildDdrPadText(lines, '#', 1, 7, true), EncodeMSDStepsFully(BuildDdrPadText(lines, '#', 1, 7)))
            << block[0];
    }
}

std::string Convert(const Lines& ddr, ErrorList& errors) {
    MemoryStorage storage;
    storage.files["song.ddr"] = CrLf(ddr);
    Convertddr2MSD("song.ddr", "song.MSD", "Torvane Ver.4.2", errors, storage);
    return storage.files.at("song.MSD");
}

// The lines after the banner.
Lines AfterBanner(const std::string& msd) {
    Lines lines = SplitCrLf(msd);
    return Lines(lines.begin() + 4, lines.end());
}

const std::string kLeadIn(18, '0');
const Lines kTags = {"#FILE:;", "#ARTIST:;", "#MSD:;", "#BPM:120.0;", "#GAP:0;"};

Lines Chart(const std::string& chart_line, const Lines& pads) {
    Lines lines = kTags;
    lines.push_back(chart_line);
    for (const auto& pad : pads) {
        lines.push_back(kLeadIn);
        lines.push_back(pad);
    }
    return lines;
}

TEST(Convertddr2MSD, WritesTheBannerOfTheCaption) {
    ErrorList errors;
    const Lines lines = SplitCrLf(Convert({"#comment"}, errors));
    EXPECT_EQ(lines, (Lines{"#;", J("# このファイルはTorvane Ver.4.2（ＭＩＲＶＯ作）により作成されました。;"),
                            J("# 公開ページ：") + std::string(kPublicationAddress) + ";", "#;"}));
}

TEST(Convertddr2MSD, GivesADoubleChartWithoutSecondPadLinesAnEmptySecondPad) {
    ErrorList errors;
    EXPECT_EQ(AfterBanner(Convert({"#double", "#basic", "#001:1000"}, errors)),
              Chart("#DOUBLE:BASIC:1:", {"40000000:", ";"}));
}

TEST(Convertddr2MSD, WritesTheChartLineBeforeAnyDifficultyDirective) {
    ErrorList errors;
    EXPECT_EQ(AfterBanner(Convert({"#001:1000"}, errors)), Chart("#SINGLE::1:", {"40000000;"}));
}

TEST(Convertddr2MSD, KeepsStyleAndDifficultyForLaterCharts) {
    ErrorList errors;
    Lines expected = Chart("#COUPLE:MANIAC:1:", {"40000000:", "80000000;"});
    const Lines second = Chart("#COUPLE:MANIAC:1:", {"20000000:", ";"});
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(AfterBanner(Convert({"#twoplay", "#maniac", "#001:1000", "$001:4000", "", "#001:2000"}, errors)),
              expected);
}

TEST(Convertddr2MSD, PassesOverTheSecondPadOfASingleChart) {
    ErrorList errors;
    EXPECT_EQ(AfterBanner(Convert({"#basic", "#001:1000", "$001:4000", "#002:2000"}, errors)),
              Chart("#SINGLE:BASIC:1:", {"4000000020000000;"}));
}

TEST(Convertddr2MSD, ReadsNoLevelTempoOrGapFromTheComments) {
    ErrorList errors;
    EXPECT_EQ(AfterBanner(Convert({"#comment LEVEL 5", "#comment BPM 150", "#comment GAP -40", "#another",
                                   "#001:1000"},
                                  errors)),
              Chart("#SINGLE:ANOTHER:1:", {"40000000;"}));
}

TEST(Convertddr2MSD, EndsAStepBlockAtAMeasure000Line) {
    ErrorList errors;
    Lines expected = Chart("#SINGLE:BASIC:1:", {"40000000;"});
    const Lines second = Chart("#SINGLE:BASIC:1:", {"20000000;"});
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(AfterBanner(Convert({"#basic", "#001:1000", "#000:4000", "#002:2000"}, errors)), expected);
}

TEST(Convertddr2MSD, CompactsThePadText) {
    ErrorList errors;
    EXPECT_EQ(AfterBanner(Convert({"#basic", "#001:1000200030004000", "#002:100020003000", "#003:1" + std::string(31, '0')},
                                  errors)),
              Chart("#SINGLE:BASIC:1:", {"4020108040(020)(001)0040000000;"}));
}

TEST(Convertddr2MSD, RefusesAnUnreadableSourceWithoutWritingTheDestination) {
    MemoryStorage storage;
    ErrorList errors;
    EXPECT_THROW(Convertddr2MSD("missing.ddr", "song.MSD", "c", errors, storage), ConversionError);
    EXPECT_TRUE(storage.files.empty());
}

}  // namespace
}  // namespace torvane
