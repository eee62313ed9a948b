// MSD to ddr: the steps of ConvertMSD2ddr and what a whole conversion does
// beyond the golden cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ddr_text.hpp"
#include "memory_source.hpp"
#include "msd/chart_section.hpp"
#include "msd/decoder.hpp"
#include "recording_sink.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/error_list.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::J;
using test::SplitCrLf;

DdrOptions Options(int mode, int delete_count = 18, int measure = 3, int half_beat = 2) {
    DdrOptions options;
    options.mode = static_cast<DdrOptions::Mode>(mode);
    options.delete_count = delete_count;
    options.measure = measure;
    options.half_beat = half_beat;
    return options;
}

std::string Zeros(std::size_t count) { return std::string(count, '0'); }

TEST(ClampDdrOptions, BringsEveryValueIntoTheDialogsRange) {
    struct Case {
        DdrOptions given;
        DdrOptions clamped;
    };
    const Case cases[] = {
        {Options(0, 18, 3, 2), Options(0, 18, 3, 2)},
        {Options(2, 0, 1, 9), Options(2, 0, 1, 9)},
        {Options(-1, -5, 0, 1), Options(0, 0, 1, 2)},
        {Options(3, 151, 11, 10), Options(2, 150, 10, 9)},
        {Options(1000, 1 << 30, -(1 << 30), 1 << 30), Options(2, 150, 1, 9)},
    };
    for (const auto& c : cases) {
        const DdrOptions clamped = ClampDdrOptions(c.given);
        EXPECT_EQ(clamped.mode, c.clamped.mode);
        EXPECT_EQ(clamped.delete_count, c.clamped.delete_count);
        EXPECT_EQ(clamped.measure, c.clamped.measure);
        EXPECT_EQ(clamped.half_beat, c.clamped.half_beat);
    }
}

TEST(DdrBanner, NamesTheCaptionAndThePublicationPage) {
    EXPECT_EQ(DdrBanner("Torvane Ver.4.2"),
              (std::vector<std::string>{"#comment",
                                        J("#comment このファイルはTorvane Ver.4.2（ＭＩＲＶＯ作）により作成されました。"),
                                        J("#comment 公開ページ：") + std::string(kPublicationAddress), "#comment"}));
}

TEST(AddDdrHeaderLine, TranslatesTheSixSongTags) {
    struct Case {
        const char* line;
        const char* added;  // nullptr: not a song tag
    };
    const Case cases[] = {
        {"#FILE:song.wav;", "#comment FILE song.wav"},
        {"#TITLE:Sample;", "#title Sample"},
        {"#ARTIST:Someone;", "#comment ARTIST Someone"},
        {"#MSD:free text;", "#comment MSD:free text"},
        {"#BPM:145.5;", "#comment BPM 145.5"},
        {"#GAP:-120;", "#comment GAP -120"},
        {"#TITLE:abc", "#title ab"},  // the last character goes whatever it is
        {"#ARTIST:;", "#comment ARTIST "},
        {"#GAP:", "#comment GAP "},
        {"#title:x;", nullptr},
        {" #TITLE:x;", nullptr},
        {"#SINGLE:BASIC:1:;", nullptr},
        {"#;", nullptr},
    };
    for (const auto& c : cases) {
        std::vector<std::string> block = {"#comment"};
        EXPECT_EQ(AddDdrHeaderLine(c.line, block), c.added != nullptr) << c.line;
        if (c.added != nullptr) {
            EXPECT_EQ(block, (std::vector<std::string>{"#comment", c.added})) << c.line;
        } else {
            EXPECT_EQ(block.size(), 1u) << c.line;
        }
    }
}

TEST(DdrStyleLetter, KnowsTheThreeChartTags) {
    EXPECT_EQ(DdrStyleLetter("#SINGLE:BASIC:1:"), 's');
    EXPECT_EQ(DdrStyleLetter("#COUPLE:"), 'c');
    EXPECT_EQ(DdrStyleLetter("#DOUBLE:MANIAC:9:1:2;"), 'd');
    EXPECT_EQ(DdrStyleLetter("#SINGLE BASIC"), 0);
    EXPECT_EQ(DdrStyleLetter("#single:BASIC:1:"), 0);
    EXPECT_EQ(DdrStyleLetter("#TITLE:x;"), 0);
}

// BeginDdrChart on `rest` with the continuation lines `more`.
struct Begun {
    DdrChart chart;
    std::string next_line;  // the first line it left unread, "<end>" at the end
};

Begun Begin(char style, std::string_view rest, const std::vector<std::string>& more,
            const std::vector<std::string>& header = {"#comment"}) {
    const std::string bytes = CrLf(more);
    auto source = MakeMemorySource(bytes);
    Begun begun{BeginDdrChart(style, rest, header, *source), {}};
    if (!source->ReadLine(begun.next_line)) begun.next_line = "<end>";
    return begun;
}

// The difficulty letters of the files that a chart opens, in order.
std::string Difficulties(const DdrChart& chart) {
    std::string letters;
    for (const auto& file : chart.files) letters += file.difficulty;
    return letters;
}

// The opening lines of the file that gets the steps.
std::vector<std::string> Opening(const DdrChart& chart) {
    return chart.files.empty() ? std::vector<std::string>() : chart.files.back().opening;
}

TEST(BeginDdrChart, ReadsTheChartTextToTheLineEndingInASemicolon) {
    const Begun b = Begin('s', "BASIC:3:", {"0000", "4000", "2000(8000)", ";", "#TITLE:after;"});
    EXPECT_EQ(Difficulties(b.chart), "b");
    EXPECT_TRUE(b.chart.terminated);
    EXPECT_EQ(b.chart.lead_in, 4u);
    EXPECT_EQ(b.chart.text, "40002000(8000);");
    EXPECT_EQ(b.next_line, "#TITLE:after;");
}

TEST(BeginDdrChart, ReadsNothingMoreForAChartOnOneLine) {
    const Begun b = Begin('d', "MANIAC:8:0012:34;", {"next"});
    EXPECT_EQ(Difficulties(b.chart), "m");
    EXPECT_EQ(b.chart.lead_in, 2u);
    EXPECT_EQ(b.chart.text, "12:34;");
    EXPECT_EQ(b.next_line, "next");
}

TEST(BeginDdrChart, ReadsOnWhenTheSemicolonIsFollowedByABlank) {
    const Begun b = Begin('s', "BASIC:1:4000; ", {"2000", "8000;", "next"});
    EXPECT_EQ(b.chart.text, "4000; 20008000;");
    EXPECT_EQ(b.next_line, "next");
}

TEST(BeginDdrChart, OpensTheFileWithTheTrimmedHeaderBlockAndTheDirectives) {
    const std::vector<std::string> header = {"#comment", "#comment ARTIST ", "#comment GAP  \t"};
    const Begun b = Begin('d', "ANOTHER:10:40;", {}, header);
    EXPECT_EQ(Opening(b.chart), (std::vector<std::string>{"#comment", "#comment ARTIST ", "#comment GAP", "#double",
                                                          "#another", "#comment LEVEL 1"}));
    EXPECT_EQ(Opening(Begin('c', "MANIAC:7:4;", {}).chart),
              (std::vector<std::string>{"#comment", "#twoplay", "#maniac", "#comment LEVEL 7"}));
    EXPECT_EQ(Opening(Begin('s', "BASIC:3:4;", {}).chart),
              (std::vector<std::string>{"#comment", "#basic", "#comment LEVEL 3"}));
}

TEST(BeginDdrChart, TriesEachDifficultyWordOnWhatTheWordBeforeLeft) {
    struct Case {
        const char* rest;
        std::string difficulties;
        std::vector<std::string> levels;  // the level comment of each file
        std::string text;
        std::size_t lead_in;
    };
    const Case cases[] = {
        {"BASIC:MANIAC:3:1;", "bm", {"#comment LEVEL M", "#comment LEVEL 3"}, "1;", 0},
        {"BASIC:ANOTHER:MANIAC:5:001;", "bam",
         {"#comment LEVEL A", "#comment LEVEL M", "#comment LEVEL 5"}, "1;", 2},
        {"ANOTHER:MANIAC::4;", "am", {"#comment LEVEL M", "#comment LEVEL "}, "4;", 0},
        // BASIC is tried before ANOTHER only, MANIAC before nothing: the word
        // left over is the level, and the cut at its ":" leaves the rest.
        {"ANOTHER:BASIC:2:4;", "a", {"#comment LEVEL B"}, "2:4;", 0},
        {"MANIAC:ANOTHER:1:4;", "m", {"#comment LEVEL A"}, "1:4;", 0},
        {"BASIC:BASIC:2:4;", "b", {"#comment LEVEL B"}, "2:4;", 0},
        {"EASY:BASIC:2:4;", "", {}, "BASIC:2:4;", 0},
    };
    for (const auto& c : cases) {
        const Begun b = Begin('s', c.rest, {"next"});
        EXPECT_EQ(Difficulties(b.chart), c.difficulties) << c.rest;
        std::vector<std::string> levels;
        for (const auto& file : b.chart.files) levels.push_back(file.opening.back());
        EXPECT_EQ(levels, c.levels) << c.rest;
        EXPECT_EQ(b.chart.text, c.text) << c.rest;
        EXPECT_EQ(b.chart.lead_in, c.lead_in) << c.rest;
        EXPECT_EQ(b.next_line, "next") << c.rest;
    }
}

TEST(BeginDdrChart, GivesEveryFileOfALineTheWholeOpening) {
    const Begun b = Begin('d', "ANOTHER:MANIAC:9:12:48;", {}, {"#comment", "#title Two  "});
    ASSERT_EQ(b.chart.files.size(), 2u);
    EXPECT_EQ(b.chart.files[0].opening,
              (std::vector<std::string>{"#comment", "#title Two", "#double", "#another", "#comment LEVEL M"}));
    EXPECT_EQ(b.chart.files[1].opening,
              (std::vector<std::string>{"#comment", "#title Two", "#double", "#maniac", "#comment LEVEL 9"}));
    EXPECT_EQ(b.chart.text, "12:48;");
}

TEST(BeginDdrChart, WritesTheFirstCharacterOfTheLevel) {
    struct Case {
        const char* rest;
        std::string level_line;
    };
    const Case cases[] = {
        {"BASIC:10:4;", "#comment LEVEL 1"},
        {"BASIC::4;", "#comment LEVEL "},   // an empty level field
        {"BASIC:", "#comment LEVEL "},      // nothing after the difficulty
        {"BASIC:x", "#comment LEVEL x"},
        {"BASIC:;", "#comment LEVEL ;"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Opening(Begin('s', c.rest, {";"}).chart).back(), c.level_line) << c.rest;
    }
    // A full-width digit stays whole.
    EXPECT_EQ(Opening(Begin('s', J("BASIC:５:4;"), {}).chart).back(), J("#comment LEVEL ５"));
}

TEST(BeginDdrChart, ReadsAChartOfUnknownDifficultyToItsEndButOpensNoFile) {
    const Begun b = Begin('s', "EASY:2:", {"4000", ";", "next"});
    EXPECT_TRUE(b.chart.files.empty());
    EXPECT_EQ(b.next_line, "next");
    // Lower case is not a difficulty either.
    EXPECT_TRUE(Begin('s', "basic:1:4;", {}).chart.files.empty());
}

TEST(BeginDdrChart, StopsAtTheEndOfTheSourceAndSaysSo) {
    const Begun b = Begin('s', "BASIC:1:", {"0040", "2000"});
    EXPECT_FALSE(b.chart.terminated);
    EXPECT_EQ(b.chart.text, "402000");
    EXPECT_EQ(b.next_line, "<end>");
    EXPECT_FALSE(Begin('s', "BASIC:1:", {}).chart.terminated);
}

TEST(SplitDdrPads, SplitsAtTheFirstColonAndFillsASingleChartsSecondPadWithRests) {
    struct Case {
        const char* text;
        std::size_t reference_lead_in;
        std::string first;
        std::string second;
    };
    const Case cases[] = {
        {"12:34;", 0, "12", "34"},
        {"12:34:56;", 0, "12", "34:56"},
        {":34;", 0, "", "34"},
        {"12:", 5, "12", ""},
        {"1234;", 3, "1234", Zeros(7)},
        {"1234", 0, "1234", Zeros(4)},       // a chart cut off by the end of the file
        {"12;;", 2, "12", Zeros(5)},         // ";" is taken off twice, after the rests are counted
        {"", 4, "", Zeros(4)},
    };
    for (const auto& c : cases) {
        const DdrPads pads = SplitDdrPads(c.text, c.reference_lead_in);
        EXPECT_EQ(pads.first, c.first) << c.text;
        EXPECT_EQ(pads.second, c.second) << c.text;
        EXPECT_EQ(pads.in_step, std::string_view(c.text).find(':') != std::string_view::npos) << c.text;
    }
}

TEST(ApplyDdrLeadIn, ShiftsBothPadsAsTheModeSays) {
    struct Case {
        const char* what;
        DdrOptions options;
        std::size_t lead_in;
        std::size_t reference;
        std::string first;
        std::string second;
        std::string first_after;
        std::string second_after;
        long long late = 0;          // 8th notes later than asked
        bool in_step = true;  // false: a single chart's pad of rests
    };
    const Case cases[] = {
        {"mode 2 gives the first pad its lead-in back", Options(2), 4, 9, "4", "0012", "00004", "0012"},
        {"mode 2 with no lead-in", Options(2), 0, 0, "4", "8", "4", "8"},
        {"mode 0 deletes N from both pads", Options(0, 2), 3, 3, "4", "0008", "04", "08"},
        {"mode 0 with N = 18 on the first chart", Options(0, 18), 20, 20, "4", Zeros(24) + "8", "004",
         Zeros(6) + "8"},
        {"mode 0 keeps a single chart's rests pad empty", Options(0, 2), 5, 5, "4", Zeros(6), "0004", Zeros(4), 0,
         false},
        {"mode 0 with N above a single chart's lead-in starts it at its first step", Options(0, 18), 4, 4, "4",
         Zeros(5), "4", "", 14, false},
        {"mode 0 with N above the lead-in deletes as much from both pads", Options(0, 18), 4, 20, "4",
         Zeros(7) + "8", "4", "0008", 14},
        {"mode 0 deletes no more than the shorter lead-in of the two pads", Options(0, 2), 3, 10, "4", "08", "004",
         "8", 1},
        {"mode 0 moves a later chart's pads alike whatever the first chart's lead-in", Options(0, 18), 24, 16, "4",
         Zeros(24) + "6", Zeros(6) + "4", Zeros(6) + "6"},
        {"mode 0 with N = 0", Options(0, 0), 2, 1, "4", "008", "004", "008"},
        {"mode 1 at measure 3, beat 1.0", Options(1, 18, 3, 2), 8, 8, "4", Zeros(8) + "8", Zeros(16) + "4",
         Zeros(16) + "8"},
        {"mode 1 puts a chart with 8 more rests one measure later", Options(1, 18, 3, 2), 16, 8, "4", "8",
         Zeros(24) + "4", Zeros(8) + "8"},
        {"mode 1 at measure 1, beat 1.5", Options(1, 18, 1, 3), 0, 0, "4", "008", "04", "0008"},
        {"mode 1 with X = 0 and a shorter lead-in than the first chart's keeps the pads' distance",
         Options(1, 18, 1, 2), 2, 5, "4", "0008", "4", "08", 3},
        {"mode 1 shifts a single chart no further than its lead-in", Options(1, 18, 1, 2), 2, 5, "4", Zeros(6), "4",
         "0", 3, false},
        {"mode 1 at measure 10, beat 4.5", Options(1, 18, 10, 9), 0, 0, "4", "8", Zeros(79) + "4",
         Zeros(79) + "8"},
    };
    for (const auto& c : cases) {
        DdrPads pads{c.first, c.second, c.in_step};
        EXPECT_EQ(ApplyDdrLeadIn(pads, c.lead_in, c.reference, c.options), c.late) << c.what;
        EXPECT_EQ(pads.first, c.first_after) << c.what;
        EXPECT_EQ(pads.second, c.second_after) << c.what;
    }
}

std::vector<std::string> StepLines(std::string_view first, std::string_view second = {}) {
    test::RecordingSink out;
    BuildDdrStepLines(std::string(first), std::string(second), out);
    return out.lines;
}

using Lines = std::vector<std::string>;

TEST(BuildDdrStepLines, WritesOneLinePerPadAndMeasureWithSteps) {
    struct Case {
        const char* what;
        std::string first;
        std::string second;
        Lines lines;
    };
    const Case cases[] = {
        {"no steps", "", "", {}},
        {"rests only", Zeros(100), Zeros(40), {}},
        {"a measure of rests keeps its number", Zeros(32) + "4" + Zeros(31), "", {"#002:1000"}},
        {"the first pad's line comes first", "4" + Zeros(31) + "2", "8" + Zeros(31) + "6",
         {"#001:1000", "$001:4000", "#002:2000", "$002:8000"}},
        {"a pad that ends early", "4", Zeros(64) + "2", {"#001:1000", "$003:2000"}},
        {"eighth notes", "10002000300040001000200030004000", "", {"#001:32a132a1"}},
        {"sixteenth notes", "10203040102030401020304010203040", "", {"#001:32a132a132a132a1"}},
        {"a step 5 is kept", "5" + Zeros(31), "", {"#001:5000"}},
    };
    for (const auto& c : cases) EXPECT_EQ(StepLines(c.first, c.second), c.lines) << c.what;
}

TEST(BuildDdrStepLines, WritesTripletMeasuresWithTwelveSlots) {
    struct Case {
        const char* what;
        std::string first;
        Lines lines;
    };
    const Case cases[] = {
        {"one triplet beat and steps on the beat", "T123" "40000000" "60000000" "80000000",
         {"#001:32a100800400"}},
        {"four triplet beats", "T123T456T789TABB", {"#001:32a15854c699"}},
        {"triplet beats take their measures' place", "T123T123T123T123" "T456" + Zeros(24),
         {"#001:32a32a32a32a", "#002:158000000000"}},
        {"a triplet at the end of the pad", "T123", {"#001:32a000000000"}},
        {"a triplet beat of rests only", "T000" + Zeros(24) + "4" + Zeros(31), {"#002:1000"}},
        {"a triplet after a beat of 8th-note rests", Zeros(8) + "T123" + Zeros(16), {"#001:00032a000000"}},
        {"a mark among a triplet's steps is a step", "TT12" + Zeros(24), {"#001:T32000000000"}},
    };
    for (const auto& c : cases) EXPECT_EQ(StepLines(c.first), c.lines) << c.what;
}

TEST(BuildDdrStepLines, SpreadsTheTripletsOfAMixedMeasureOverThirtyTwoSlots) {
    struct Case {
        const char* what;
        std::string first;
        Lines lines;
    };
    const Case cases[] = {
        {"a triplet beside an 8th note", "T123" "40000000" "10002000" "20000000",
         {"#001:300200a0100000003000200020000000"}},
        {"two triplets beside a 32nd note", "T123" "T456" "01000000" "00000000",
         {"#001:300200a0100500800300000000000000"}},
        {"the next measure starts after the mixed one", "T123" "10002000" + Zeros(16) + "4" + Zeros(31),
         {"#001:300200a0300020000000000000000000", "#002:1000"}},
        {"a triplet that the measure's end cuts in two",
         "10002000" + Zeros(16) + "0000" + "T456" + "40000000",
         {"#001:30002000000000000000000000001005", "#002:0810000000000000"}},
        // A "T" that a spread writes as a step within the first 32 characters
        // is a mark again: no "T" reaches the line.
        {"a mark as a mixed triplet's first step", "TT12" "00000000" "10002000" "00000000",
         {"#001:0003020000302000"}},
        {"a mark as the first step after 16th notes", "10203040" "TT12" "00000000", {"#001:32a1000302000000"}},
        {"a mark as a mixed triplet's last step", "T12T" "10002000" + Zeros(16),
         {"#001:30020000030000002000000000000000"}},
        {"a mark as the middle step", "T1T2" "40000000" "10002000" "00000000",
         {"#001:30000000020010000000300020000000"}},
        // The mark on the 32nd character spreads its first step, a mark, onto
        // that same character: it is spread again, and its steps go to the
        // next measure.
        {"a mark that a spread moves back into the measure", "10002000" + Zeros(23) + "TT12" "3" + Zeros(7),
         {"#001:32000000", "#002:00000300020a00000000000000000000"}},
        {"a mark that a spread pushes to the 33rd character waits for the next measure",
         "10002000" "T123" + Zeros(16) + "T456" + Zeros(28),
         {"#001:30002000300200a00000000000000000", "#002:158000000000"}},
    };
    for (const auto& c : cases) EXPECT_EQ(StepLines(c.first), c.lines) << c.what;
}

TEST(BuildDdrStepLines, MixedMeasureSpreadsEveryTripletInTheFirst32CharactersAgain) {
    // The group (T12) holds the step "T", which the decoder passes through
    // after the group's own mark.
    ErrorList errors;
    const std::string first = DecodeMSDSteps("(1234)(T12)00", "song.msd", errors);
    ASSERT_EQ(first, "10203040TT1200000000");
    EXPECT_EQ(StepLines(first, Zeros(first.size())), (Lines{"#001:32a1000302000000"}));
}

// One pad's lines by the mixed-measure rule as it reads, applied to the whole
// pad: slow, but plain enough to check the step lines against.
void LiteralPadMeasure(std::string& pad, char mark, long long measure, Lines& lines) {
    std::string w = pad.substr(0, 32);
    bool mixed = false;
    bool triplet = w.find('T') != std::string::npos;
    for (std::size_t at = 0, beat = 0; triplet && beat < 4 && at < w.size(); ++beat) {
        if (w[at] == 'T') {
            at += 4;
            continue;
        }
        for (std::size_t k = at + 1; k < at + 8 && k < w.size(); ++k) mixed = mixed || w[k] != '0';
        if (mixed) break;
        at += 8;
    }
    std::string slots;
    if (mixed) {
        while (pad.substr(0, 32).find('T') != std::string::npos) {
            const std::size_t t = pad.find('T');
            std::string steps = pad.substr(t + 1, 3);
            steps.resize(3, '0');
            pad = pad.substr(0, t) + steps[0] + "00" + steps[1] + "00" + steps[2] + "0" +
                  pad.substr(std::min(pad.size(), t + 4));
        }
        triplet = false;
        w = pad.substr(0, 32);
    }
    if (!triplet) {
        pad = pad.substr(w.size());
        slots = CompactDdrMeasure(w);
    } else {
        for (int beat = 0; beat < 4; ++beat) {
            if (pad.empty()) pad = "0";
            const std::size_t take = pad[0] == 'T' ? 4 : 8;
            std::string part = pad[0] == 'T' ? pad.substr(1, 3) : pad.substr(0, 1) + "00";
            part.resize(3, '0');
            slots += part;
            pad = pad.substr(std::min(pad.size(), take));
        }
    }
    if (!IsAllZero(slots)) lines.push_back(FormatDdrStepLine(mark, measure, slots));
}

Lines LiteralStepLines(std::string_view first, std::string_view second) {
    std::string a = ToDdrPanelCodes(first);
    std::string b = ToDdrPanelCodes(second);
    a.resize(std::max(a.size(), b.size()), '0');
    b.resize(a.size(), '0');
    Lines lines;
    for (long long measure = 1; !a.empty() || !b.empty(); ++measure) {
        LiteralPadMeasure(a, '#', measure, lines);
        LiteralPadMeasure(b, '$', measure, lines);
    }
    return lines;
}

TEST(BuildDdrStepLines, SpreadsMixedMeasuresAsTheRuleOnTheWholePadWould) {
    // Pads thick with marks, many of them among the steps, so that spreads
    // carry characters over several measures.
    std::mt19937 generator(4242);
    auto pad = [&generator](std::size_t length) {
        static constexpr std::string_view kCharacters = "00000001248TTT";
        std::string text;
        for (std::size_t i = 0; i < length; ++i) {
            text += kCharacters[std::uniform_int_distribution<std::size_t>(0, kCharacters.size() - 1)(generator)];
        }
        return text;
    };
    for (int round = 0; round < 2000; ++round) {
        const std::string first = pad(std::uniform_int_distribution<std::size_t>(0, 160)(generator));
        const std::string second = pad(std::uniform_int_distribution<std::size_t>(0, 160)(generator));
        ASSERT_EQ(StepLines(first, second), LiteralStepLines(first, second)) << first << " / " << second;
    }
    // A long run of marks after a mixed beat: every measure spreads many of
    // them and pushes more past its end.
    const std::string marks = "12000000" + std::string(3000, 'T');
    EXPECT_EQ(StepLines(marks, ""), LiteralStepLines(marks, ""));
}

TEST(BuildDdrStepLines, KeepsTheMeasuresOfASecondPadThatTripletsMakeShorter) {
    // 32 cells are one measure for the first pad and two for the second.
    const std::string first = "4" + Zeros(31);
    const std::string second = "T123T123T123T123" "T789T789T789T789";
    EXPECT_EQ(StepLines(first, second), (Lines{"#001:1000", "$001:32a32a32a32a", "$002:54c54c54c54c"}));
    EXPECT_EQ(StepLines(second, first), (Lines{"#001:32a32a32a32a", "$001:1000", "#002:54c54c54c54c"}));
}

TEST(BuildDdrStepLines, NumbersMeasure1000WithFourDigits) {
    const auto lines = StepLines(Zeros(999 * 32) + "2", "");
    EXPECT_EQ(lines, (Lines{"#1000:2000"}));
}

// A source that fails after a number of lines, as a failing disk would.
class FailingSource final : public LineSource {
public:
    FailingSource(std::string bytes, int lines) : bytes_(std::move(bytes)), inner_(MakeMemorySource(bytes_)), limit_(lines) {}
    bool ReadNextLine(std::string& line) override {
        if (read_ == limit_) throw ConversionError(Failure::kRead, "song.msd");
        ++read_;
        return inner_->ReadLine(line);
    }
    void RewindSource() override {
        inner_->Rewind();
        read_ = 0;
    }

private:
    std::string bytes_;
    std::unique_ptr<LineSource> inner_;
    int limit_;
    int read_ = 0;
};

class FailingStorage final : public MemoryStorage {
public:
    explicit FailingStorage(int lines) : lines_(lines) {}
    std::unique_ptr<LineSource> OpenSource(const fs::path& source) override {
        return std::make_unique<FailingSource>(files.at(source), lines_);
    }

private:
    int lines_;
};

std::vector<fs::path> ConvertInMemory(MemoryStorage& storage, const std::vector<std::string>& msd,
                                      ErrorList& errors, const DdrOptions& options = Options(2)) {
    storage.files["song.msd"] = CrLf(msd);
    return ConvertMSD2ddr("song.msd", "song.ddr", "Torvane Ver.4.2", options, errors, storage);
}

// The step lines of a ddr file, after its opening lines.
Lines StepLinesOf(const std::string& file) {
    Lines lines;
    for (const auto& line : SplitCrLf(file)) {
        if (DdrMeasureNumber(line) != 0) lines.push_back(line);
    }
    return lines;
}

TEST(ConvertMSD2ddr, WritesNoFileForASourceWithoutCharts) {
    MemoryStorage storage;
    ErrorList errors;
    EXPECT_TRUE(ConvertInMemory(storage, {"#TITLE:None;", "#BPM:120;"}, errors).empty());
    EXPECT_EQ(storage.files.size(), 1u);
    EXPECT_TRUE(errors.Empty());
}

TEST(ConvertMSD2ddr, ListsEachFileOnceInTheOrderOfItsFirstChart) {
    MemoryStorage storage;
    ErrorList errors;
    const auto written = ConvertInMemory(
        storage, {"#DOUBLE:MANIAC:1:4:8;", "#SINGLE:BASIC:1:4;", "#DOUBLE:MANIAC:2:2:2;", "#COUPLE:ANOTHER:3:1:1;"},
        errors);
    EXPECT_EQ(written, (std::vector<fs::path>{"song_dm.ddr", "song_sb.ddr", "song_ca.ddr"}));
    EXPECT_EQ(StepLinesOf(storage.files.at("song_dm.ddr")), (Lines{"#001:2000", "$001:2000"}));
}

TEST(ConvertMSD2ddr, NamesTheChartFilesBesideTheDestination) {
    MemoryStorage storage;
    ErrorList errors;
    storage.files["in/song.msd"] = CrLf({"#SINGLE:ANOTHER:1:4;"});
    const auto written =
        ConvertMSD2ddr("in/song.msd", "out/song.ddr", "Torvane Ver.4.2", Options(2), errors, storage);
    EXPECT_EQ(written, (std::vector<fs::path>{"out/song_sa.ddr"}));
    EXPECT_EQ(storage.files.count("out/song_sa.ddr"), 1u);
}

TEST(ConvertMSD2ddr, KeepsTheFilesOfFinishedChartsWhenReadingFails) {
    FailingStorage storage(4);  // fails inside the second chart
    storage.files["song_sa.ddr"] = "old";
    ErrorList errors;
    EXPECT_THROW(ConvertInMemory(storage, {"#SINGLE:BASIC:1:", "4;", "#SINGLE:ANOTHER:1:", "2", "8;"}, errors),
                 ConversionError);
    EXPECT_EQ(StepLinesOf(storage.files.at("song_sb.ddr")), (Lines{"#001:1000"}));
    EXPECT_EQ(storage.files.at("song_sa.ddr"), "old");
}

TEST(ConvertMSD2ddr, ReportsAChartOfUnknownDifficultyAndKeepsItsStepsOutOfOtherFiles) {
    MemoryStorage storage;
    ErrorList errors;
    const auto written =
        ConvertInMemory(storage, {"#SINGLE:BASIC:1:4;", "#SINGLE:HARD:9:", "8", "(8888)(12345);", "#SINGLE:MANIAC:2:2;"},
                        errors);
    EXPECT_EQ(written, (std::vector<fs::path>{"song_sb.ddr", "song_sm.ddr"}));
    EXPECT_EQ(StepLinesOf(storage.files.at("song_sb.ddr")), (Lines{"#001:1000"}));
    EXPECT_EQ(StepLinesOf(storage.files.at("song_sm.ddr")), (Lines{"#001:2000"}));
    // The skipped chart is decoded all the same, for the error lines of its groups.
    EXPECT_EQ(errors.Lines(), (Lines{"song.msd" + ErrorMessage(ErrorCode::kUnknownDifficulty) + "#SINGLE:HARD:9:",
                                     "song.msd" + ErrorMessage(ErrorCode::kBeatGroupLength) + "(12345)"}));
}

TEST(ConvertMSD2ddr, ReportsAChartOfUnknownDifficultyCutOffByTheEndOfTheFile) {
    MemoryStorage storage;
    ErrorList errors;
    EXPECT_TRUE(ConvertInMemory(storage, {"#SINGLE:BASIC:1:4;", "#SINGLE:EASY:1:", "8"}, errors).size() == 1);
    EXPECT_EQ(errors.Lines(), (Lines{"song.msd" + ErrorMessage(ErrorCode::kUnknownDifficulty) + "#SINGLE:EASY:1:",
                                     "song.msd" + ErrorMessage(ErrorCode::kUnterminatedChart) + "#SINGLE:EASY:1:"}));
}

TEST(ConvertMSD2ddr, TriesEachDifficultyWordOnWhatTheOneBeforeLeftOfTheLine) {
    MemoryStorage storage;
    ErrorList errors;
    const auto written = ConvertInMemory(storage, {"#TITLE:t;", "#SINGLE:BASIC:MANIAC:3:1;"}, errors);
    EXPECT_EQ(written, (std::vector<fs::path>{"song_sb.ddr", "song_sm.ddr"}));
    Lines opening = DdrBanner("Torvane Ver.4.2");
    opening.push_back("#title t");
    Lines basic = opening;
    basic.insert(basic.end(), {"#basic", "#comment LEVEL M"});
    Lines maniac = opening;
    maniac.insert(maniac.end(), {"#maniac", "#comment LEVEL 3", "#001:3000"});
    EXPECT_EQ(SplitCrLf(storage.files.at("song_sb.ddr")), basic);
    EXPECT_EQ(SplitCrLf(storage.files.at("song_sm.ddr")), maniac);
    EXPECT_TRUE(errors.Empty());
}

TEST(ConvertMSD2ddr, ListsTheFilesOfAllDifficultyWordsOnceAndReportsACutOffLineOnce) {
    MemoryStorage storage;
    ErrorList errors;
    const auto written = ConvertInMemory(
        storage, {"#DOUBLE:ANOTHER:1:4:8;", "#SINGLE:BASIC:1:2;", "#DOUBLE:ANOTHER:MANIAC:5:", "4:"}, errors);
    EXPECT_EQ(written, (std::vector<fs::path>{"song_da.ddr", "song_sb.ddr", "song_dm.ddr"}));
    // The later line's opening-only file replaces the first chart's.
    EXPECT_EQ(SplitCrLf(storage.files.at("song_da.ddr")).back(), "#comment LEVEL M");
    EXPECT_TRUE(StepLinesOf(storage.files.at("song_da.ddr")).empty());
    EXPECT_EQ(StepLinesOf(storage.files.at("song_dm.ddr")), (Lines{"#001:1000"}));
    // The label takes the line up to its third ":", as for any chart line.
    EXPECT_EQ(errors.Lines(), (Lines{"song.msd" + ErrorMessage(ErrorCode::kUnterminatedChart) + "#DOUBLE:ANOTHER:MANIAC:"}));
}

TEST(ConvertMSD2ddr, WritesAChartCutOffRightAfterItsChartLine) {
    MemoryStorage storage;
    ErrorList errors;
    ConvertInMemory(storage, {"#TITLE:t;", "#DOUBLE:BASIC:4:"}, errors);
    EXPECT_EQ(SplitCrLf(storage.files.at("song_db.ddr")).back(), "#comment LEVEL 4");
    EXPECT_EQ(errors.Lines(), (Lines{"song.msd" + ErrorMessage(ErrorCode::kUnterminatedChart) + "#DOUBLE:BASIC:4:"}));
}

TEST(ConvertMSD2ddr, BringsOptionsOutsideTheirRangesIntoThem) {
    const std::vector<std::string> msd = {"#SINGLE:BASIC:1:" + Zeros(200) + "4;"};
    auto step_lines = [&](const DdrOptions& options) {
        MemoryStorage storage;
        ErrorList errors;
        ConvertInMemory(storage, msd, errors, options);
        return StepLinesOf(storage.files.at("song_sb.ddr"));
    };
    EXPECT_EQ(step_lines(Options(7)), step_lines(Options(2)));
    EXPECT_EQ(step_lines(Options(-3, 500)), step_lines(Options(0, 150)));
    EXPECT_EQ(step_lines(Options(-3, 500)), (Lines{"#007:0100"}));  // 50 eighths of lead-in left
    EXPECT_EQ(step_lines(Options(1, 18, 99, -4)), step_lines(Options(1, 18, 10, 2)));
}

TEST(ConvertMSD2ddr, ReadsTheOptionsForEveryChart) {
    // Mode 1 places every chart against the first one's lead-in.
    MemoryStorage storage;
    ErrorList errors;
    ConvertInMemory(storage, {"#SINGLE:BASIC:1:" + Zeros(4) + "4;", "#SINGLE:MANIAC:1:" + Zeros(12) + "4;"}, errors,
                    Options(1, 18, 2, 2));
    EXPECT_EQ(StepLinesOf(storage.files.at("song_sb.ddr")), (Lines{"#002:1000"}));
    EXPECT_EQ(StepLinesOf(storage.files.at("song_sm.ddr")), (Lines{"#003:1000"}));
}

TEST(ConvertMSD2ddr, RefusesToWriteOverItsSource) {
    MemoryStorage storage;
    ErrorList errors;
    storage.files["song_sb.ddr"] = CrLf({"#SINGLE:BASIC:1:4;"});
    EXPECT_THROW(ConvertMSD2ddr("song_sb.ddr", "song.ddr", "c", Options(2), errors, storage), ConversionError);
    EXPECT_EQ(storage.files.at("song_sb.ddr"), CrLf({"#SINGLE:BASIC:1:4;"}));
}

// Measures cut from pads decoded a stretch at a time, against the pads
// decoded whole: the same lines, error lines (the second pad's after the
// first's), spread measures and "5", for stretches of one cell up.
TEST(BuildDdrStepLinesAsDecoded, GivesWhatWholePadsGive) {
    static const std::array<std::string_view, 16> kItems = {
        "0", "00000000", "4", "5", "(12)", "(4000)", "(123)", "(000)", "(12345678)", "(T12)",
        "{x}", "[12]", "(12345)", "(40000000)", "0000", "8"};
    std::mt19937 random(20261208);
    const auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    const auto pad = [&] {
        std::string text;
        for (std::size_t k = pick(90); k > 0; --k) text += kItems[pick(kItems.size())];
        return text;
    };
    for (int round = 0; round < 400; ++round) {
        const std::string first = pad();
        const std::string second = pad();
        const std::size_t rests1 = pick(20);
        const std::size_t rests2 = pick(20);
        const bool silent = round % 3 == 0;
        ErrorList whole_errors;
        test::RecordingSink whole;
        std::size_t whole_spread = 0;
        const std::string cells1 = DecodeMSDSteps(std::string(rests1, '0') + first, "song.msd", whole_errors);
        const std::string cells2 =
            silent ? std::string() : DecodeMSDSteps(std::string(rests2, '0') + second, "song.msd", whole_errors);
        BuildDdrStepLines(cells1, cells2, whole, &whole_spread);
        const bool whole_step5 = (cells1 + cells2).find('5') != std::string::npos;
        for (const std::size_t stretch : {1, 5, 33, 100, 16384}) {
            ErrorList errors;
            HeldErrorLines second_errors(0);
            MSDStepDecoder decoder1(first, rests1, "song.msd", errors);
            MSDStepDecoder decoder2(second, rests2, "song.msd", second_errors.List());
            test::RecordingSink out;
            std::size_t spread = 0;
            bool step5 = false;
            BuildDdrStepLinesAsDecoded(decoder1, silent ? nullptr : &decoder2, out, &spread, step5, stretch);
            second_errors.MoveTo(errors);
            ASSERT_EQ(out.lines, whole.lines) << first << " : " << second << " stretch " << stretch;
            ASSERT_EQ(errors.Entries(), whole_errors.Entries()) << first << " : " << second;
            ASSERT_EQ(spread, whole_spread);
            ASSERT_EQ(step5, whole_step5);
        }
    }
}

}  // namespace
}  // namespace torvane
