#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "d2r/d2r.hpp"
#include "d2r/msd_to_d2r.hpp"
#include "d2r_text.hpp"
#include "step_line_text.hpp"
#include "recording_sink.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

using test::CrLf;
using test::RecordingSink;
using test::SplitCrLf;

const std::string kRest = "8.:    :    :";

// ---------------------------------------------------------------------------
// The gap rule

struct GapCase {
    long long lead_in;
    double gap;
    long long delay;
    int start;
    long long new_lead_in;
};

void PrintTo(const GapCase& c, std::ostream* os) { *os << "lead-in " << c.lead_in << ", gap " << c.gap; }

class GapRule : public ::testing::TestWithParam<GapCase> {};

TEST_P(GapRule, GivesDelayStartAndLeadIn) {
    const GapCase& c = GetParam();
    const GapRuleResult result = ApplyD2rGapRule(c.lead_in, c.gap);
    EXPECT_EQ(result.delay, c.delay);
    EXPECT_EQ(result.start, c.start);
    EXPECT_EQ(result.lead_in, c.new_lead_in);
}

INSTANTIATE_TEST_SUITE_P(Examples, GapRule,
                         ::testing::Values(GapCase{8, -40, -40, 1, 14}, GapCase{16, 500, 116, 1, 10},
                                           GapCase{32, 0, 0, 4, 14}, GapCase{24, 12.9, 12, 3, 14},
                                           GapCase{8, -150.5, -86, 2, 8}, GapCase{0, 1000, 808, 1, 0},
                                           // 150 and -150 are inside the range; just past them shifts once.
                                           GapCase{32, 150, 150, 4, 14}, GapCase{32, 150.5, 86, 4, 12},
                                           GapCase{32, -150, -150, 4, 14}, GapCase{32, -150.5, -86, 4, 16},
                                           // Truncated toward zero, never rounded.
                                           GapCase{32, -12.9, -12, 4, 14}, GapCase{32, -0.5, 0, 4, 14}));

// The loops of the rule as written, to hold the closed form against.
GapRuleResult GapRuleByLoops(long long lead_in, double gap) {
    long long l = lead_in - 18;
    if (gap > 150) {
        while (l > -23 && gap >= 150) {
            gap -= 64;
            l -= 2;
        }
    } else if (gap < -150) {
        while (gap <= -150) {
            gap += 64;
            l += 2;
        }
    }
    int start = 4;
    while (start > 1 && l < 8) {
        --start;
        l += 8;
    }
    if (l < 0) l = 0;
    return {static_cast<long long>(std::trunc(gap)), start, l};
}

TEST(GapRuleClosedForm, AgreesWithTheLoopsOnEveryBoundary) {
    for (long long lead_in = 0; lead_in <= 80; ++lead_in) {
        for (double gap = -3000; gap <= 3000; gap += 0.25) {
            const GapRuleResult expected = GapRuleByLoops(lead_in, gap);
            const GapRuleResult actual = ApplyD2rGapRule(lead_in, gap);
            ASSERT_EQ(actual.delay, expected.delay) << lead_in << " " << gap;
            ASSERT_EQ(actual.start, expected.start) << lead_in << " " << gap;
            ASSERT_EQ(actual.lead_in, expected.lead_in) << lead_in << " " << gap;
        }
    }
}

TEST(GapRuleClosedForm, TakesAHugeNegativeGapInOneStep) {
    // The loops would run 2^47 times; a gap that no double step can move
    // would make them run forever.
    const GapRuleResult result = ApplyD2rGapRule(0, -kMaxWholeDouble);
    EXPECT_GT(result.delay, -150);
    EXPECT_LE(result.delay, -86);
    EXPECT_EQ(result.lead_in, -18 + 2 * ((static_cast<long long>(kMaxWholeDouble) - 150) / 64 + 1));
}

TEST(GapRuleClosedForm, StopsAHugePositiveGapWhenTheLeadInRunsOut) {
    const GapRuleResult result = ApplyD2rGapRule(0, kMaxWholeDouble);
    EXPECT_EQ(result.delay, static_cast<long long>(kMaxWholeDouble) - 3 * 64);
    EXPECT_EQ(result.start, 1);
    EXPECT_EQ(result.lead_in, 0);
}

// ---------------------------------------------------------------------------
// BeginD2rSection

struct SectionCase {
    std::string line;
    bool open;
    std::vector<std::string> written;
    std::string rest;
};

void PrintTo(const SectionCase& c, std::ostream* os) { *os << c.line; }

class BeginSection : public ::testing::TestWithParam<SectionCase> {};

TEST_P(BeginSection, WritesTheSectionHeadAndLeavesTheChartData) {
    const SectionCase& c = GetParam();
    RecordingSink out;
    bool open = c.open;
    EXPECT_EQ(BeginD2rSection(c.line, open, out), c.rest);
    EXPECT_EQ(out.lines, c.written);
    EXPECT_TRUE(open);
}

const std::string kSep(kD2rSeparator);

INSTANTIATE_TEST_SUITE_P(
    Lines, BeginSection,
    ::testing::Values(
        SectionCase{"#SINGLE:BASIC:2:0000;", false, {kSep, "PLAYER=1", "MODE=BASIC", "LEVEL=2", "MUSICSTART"}, "0000;"},
        SectionCase{"#COUPLE:ANOTHER:12:1:2;", true,
                    {"MUSICEND", kSep, "PLAYER=2", "MODE=ANOTHER", "LEVEL=12", "MUSICSTART"}, "1:2;"},
        SectionCase{"#DOUBLE:MANIAC:", false, {kSep, "PLAYER=3", "MODE=MANIAC", "LEVEL=", "MUSICSTART"}, ""},
        // An unknown difficulty leaves the level in the data.
        SectionCase{"#DOUBLE:EASY:3:12:34;", false, {kSep, "PLAYER=3", "MUSICSTART"}, "EASY:3:12:34;"},
        // A level without its colon: the level is empty and stays in the data.
        SectionCase{"#SINGLE:BASIC:5", false, {kSep, "PLAYER=1", "MODE=BASIC", "LEVEL=", "MUSICSTART"}, "5"},
        // Each difficulty word is tried on what the one before left.
        SectionCase{"#SINGLE:BASIC:1:ANOTHER:2:12;",
                    false,
                    {kSep, "PLAYER=1", "MODE=BASIC", "LEVEL=1", "MODE=ANOTHER", "LEVEL=2", "MUSICSTART"},
                    "12;"},
        SectionCase{"#SINGLE:ANOTHER:1:BASIC:2:12;",
                    false,
                    {kSep, "PLAYER=1", "MODE=ANOTHER", "LEVEL=1", "MUSICSTART"},
                    "BASIC:2:12;"}));

// ---------------------------------------------------------------------------
// Pad texts

struct PadCase {
    std::string data;
    long long chart_lead_in, lead_in, reference;
    std::string pad1, pad2;
};

void PrintTo(const PadCase& c, std::ostream* os) { *os << c.data; }

class PadTexts : public ::testing::TestWithParam<PadCase> {};

TEST_P(PadTexts, ShiftEachPadsLeadInByTheGapsChange) {
    const PadCase& c = GetParam();
    const D2rPadTexts pads = BuildD2rPadTexts(c.data, c.chart_lead_in, c.lead_in, c.reference);
    EXPECT_EQ(pads.pad1, c.pad1);
    EXPECT_EQ(pads.pad2, c.pad2);
}

INSTANTIATE_TEST_SUITE_P(
    Charts, PadTexts,
    ::testing::Values(
        // One pad: pad 2 is as many "0" as pad 1 has characters.
        PadCase{"4(12);", 8, 14, 8, std::string(14, '0') + "4(12);", std::string(20, '0')},
        PadCase{"4;", 2, 0, 8, "4;", "00"},
        // Two pads, each keeping its own lead-in relative to the first chart.
        PadCase{"40000000:0000000000006000;", 8, 14, 8, std::string(14, '0') + "40000000",
                std::string(18, '0') + "6000;"},
        PadCase{"4:006;", 0, 4, 8, "4", "6;"},
        // The ":" decides, not the style; later ":" stay in pad 2.
        PadCase{"1:2:3;", 0, 0, 0, "1", "2:3;"}));

// ---------------------------------------------------------------------------
// Triplet alignment

struct AlignCase {
    std::string other;
    std::size_t next;
    bool aligned;
    std::string other_after;
    std::size_t next_after;
};

void PrintTo(const AlignCase& c, std::ostream* os) { *os << c.other << " from " << c.next; }

class AlignTriplet : public ::testing::TestWithParam<AlignCase> {};

TEST_P(AlignTriplet, FollowsATripletOnlyWithOneStepOnTheBeat) {
    const AlignCase& c = GetParam();
    std::string other = c.other;
    std::size_t next = c.next;
    const char taken = other[next - 1];
    EXPECT_EQ(AlignPadToTriplet(other, next, taken), c.aligned);
    EXPECT_EQ(other.substr(next), c.other_after);
    EXPECT_EQ(next, c.next_after);
}

INSTANTIATE_TEST_SUITE_P(
    Pads, AlignTriplet,
    ::testing::Values(AlignCase{"60000000", 1, true, "600", 5}, AlignCase{"600000004000", 1, true, "6004000", 5},
                      // Too short: filled with "0" first.
                      AlignCase{"6000", 1, true, "600", 5}, AlignCase{"6", 1, true, "600", 5},
                      // A step after the first cell: left as it was.
                      AlignCase{"60004000", 1, false, "0004000", 1}, AlignCase{"T123", 1, false, "1230000", 1}));

// ---------------------------------------------------------------------------
// BuildD2rStepLines

struct BuildCase {
    std::string pad1, pad2;
    std::vector<std::string> lines;
    std::size_t mismatches;
};

void PrintTo(const BuildCase& c, std::ostream* os) { *os << c.pad1 << " / " << c.pad2; }

class BuildLines : public ::testing::TestWithParam<BuildCase> {};

TEST_P(BuildLines, MakesOneLinePerUnitAndThreePerTriplet) {
    const BuildCase& c = GetParam();
    ErrorList errors;
    EXPECT_EQ(D2rStepLineTexts(BuildD2rStepLines(c.pad1, c.pad2, "song.msd", errors)), c.lines);
    ASSERT_EQ(errors.Size(), c.mismatches);
    for (const auto& line : errors.Lines()) EXPECT_EQ(line, "song.msd" + ErrorMessage(ErrorCode::kTripletMismatch));
}

INSTANTIATE_TEST_SUITE_P(
    Pads, BuildLines,
    ::testing::Values(
        BuildCase{"1000", "", {"8.:LD  :    :", kRest, kRest, kRest}, 0},
        // Pad 2 shorter: blank fields.
        BuildCase{"12", "A", {"8.:LD  : DU :", "8.: D  :    :"}, 0},
        // Pad 2 longer: its steps go on against a silent pad 1, up to its
        // last step; its rests after that give no lines.
        BuildCase{"12", "6B9", {"8.:LD  :   R:", "8.: D  :L  R:", "8.:    :  UR:"}, 0},
        BuildCase{"1000", "2000200000002000",
                  {"8.:LD  : D  :", kRest, kRest, kRest, "8.:    : D  :", kRest, kRest, kRest, kRest, kRest, kRest,
                   kRest, "8.:    : D  :"},
                  0},
        BuildCase{"1000", std::string(400, '0'), {"8.:LD  :    :", kRest, kRest, kRest}, 0},
        BuildCase{"12", "6B00000000", {"8.:LD  :   R:", "8.: D  :L  R:"}, 0},
        // A triplet of pad 2 after pad 1 has ended: pad 1 is silent through it.
        BuildCase{"1000", "0000T1236000",
                  {"8.:LD  :    :", kRest, kRest, kRest, "T:    :LD  :", "T:    : D  :", "T:    : D R:",
                   "8.:    :   R:"},
                  0},
        // Pad 2's last step early in a triplet: the triplet is finished.
        BuildCase{"1000", "0000T200", {"8.:LD  :    :", kRest, kRest, kRest, "T:    : D  :", "T:    :    :",
                                       "T:    :    :"}, 0},
        // Pad 2's last step moved into its triplet beat by pad 1's triplet.
        BuildCase{"T123", "6", {"T:LD  :   R:", "T: D  :    :", "T: D R:    :"}, 0},
        BuildCase{"T123", "60000000", {"T:LD  :   R:", "T: D  :    :", "T: D R:    :"}, 0},
        BuildCase{"60000000", "T123", {"T:   R:LD  :", "T:    : D  :", "T:    : D R:"}, 0},
        BuildCase{"T123", "T789", {"T:LD  :L U :", "T: D  :  U :", "T: D R:  UR:"}, 0},
        // Pad 2 cannot follow: it keeps its cells and falls half a beat behind.
        BuildCase{"T1234000", "60004000",
                  {"T:LD  :    :", "T: D  :    :", "T: D R:    :", "8.:L   :L   :", kRest, kRest, kRest},
                  1},
        // Every character that names no panel is a blank field, ";" and ":" too.
        BuildCase{"5:;x", "", {kRest, kRest, kRest, kRest}, 0},
        // The triplet countdown ends after three lines, whatever follows.
        BuildCase{"T1231", "", {"T:LD  :    :", "T: D  :    :", "T: D R:    :", "8.:LD  :    :"}, 0},
        // A triplet cut short by the end of both pads still gives three lines.
        BuildCase{"T1", "", {"T:LD  :    :", "T:    :    :", "T:    :    :"}, 0},
        BuildCase{"TT12", "", {"T:LD  :    :", "T: D  :    :", "T:    :    :"}, 0}));

// ---------------------------------------------------------------------------
// MergeD2rStepLines

std::vector<std::string> Repeat(std::size_t times, const std::string& line) {
    return std::vector<std::string>(times, line);
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

struct MergeCase {
    std::string name;
    std::vector<std::string> in;
    std::vector<std::string> out;
};

void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }

class MergeOnePass : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeOnePass, GivesExactlyTheRulesResult) {
    EXPECT_EQ(D2rStepLineTexts(MergeD2rStepLines(ParseD2rStepLines(GetParam().in))), GetParam().out);
}

const std::string kL = "8.:L   :    :";
const std::string kLD = "8.:LD  :    :";
const std::string kD = "8.: D  :    :";

INSTANTIATE_TEST_SUITE_P(
    Lists, MergeOnePass,
    ::testing::Values(
        MergeCase{"RestJoinsAStepAndKeepsItsPanels", {kL, kRest}, {"4.:L   :    :"}},
        MergeCase{"LengthsDoubleInTurn",
                  {"4.:L   :    :", "4.:    :    :", "4p:L   :    :", "4p:    :    :"},
                  {"4p:L   :    :", "4P:L   :    :"}},
        MergeCase{"QuarterNotesNeverMerge", {"4P:L   :    :", "4P:    :    :"}, {"4P:L   :    :", "4P:    :    :"}},
        MergeCase{"DifferentLengthsDoNotMerge", {"4.:L   :    :", kRest}, {"4.:L   :    :", kRest}},
        MergeCase{"TripletLinesNeverMerge",
                  {"T:    :    :", "T:    :    :", "T:    :    :", kRest, kRest},
                  {"T:    :    :", "T:    :    :", "T:    :    :", "4.:    :    :"}},
        MergeCase{"AStepLineIsNoRest", {kL, kD}, {kL, kD}},
        // A failed pair skips a beat of lines, rests among them included.
        MergeCase{"FailedPairSkipsABeatOfLines",
                  Join({{kLD, kD}, Repeat(6, kRest), {kL, kRest}}),
                  Join({{kLD, kD}, Repeat(6, kRest), {"4.:L   :    :"}})},
        MergeCase{"FirstPassOfTheThirtySecondBeatExample",
                  Join({{kLD, kD}, Repeat(6, kRest), {kL}, Repeat(3, kRest), {kL, kRest, kL, kRest, kL, kRest, kL},
                        Repeat(5, kRest)}),
                  Join({{kLD, kD},
                        Repeat(6, kRest),
                        {"4.:L   :    :", "4.:    :    :"},
                        Repeat(4, "4.:L   :    :"),
                        Repeat(2, "4.:    :    :")})},
        MergeCase{"FirstPassOfTheLostAlignmentExample",
                  Join({{kLD, kRest, kRest, kLD}, Repeat(4, kRest), {kL}, Repeat(7, kRest), {kL}, Repeat(7, kRest)}),
                  Join({{"4.:LD  :    :", kRest, kLD}, Repeat(4, kRest), {kL, kRest}, Repeat(3, "4.:    :    :"),
                        {"4.:L   :    :"}, Repeat(3, "4.:    :    :")})},
        MergeCase{"OneLineStays", {kRest}, {kRest}},
        MergeCase{"EmptyListStays", {}, {}}),
    [](const ::testing::TestParamInfo<MergeCase>& info) { return info.param.name; });

TEST(MergeD2rStepLinesFully, ReachesTheLostAlignmentResultAfterFivePasses) {
    std::vector<D2rStepLine> lines = ParseD2rStepLines(
        Join({{kLD, kRest, kRest, kLD}, Repeat(4, kRest), {kL}, Repeat(7, kRest), {kL}, Repeat(7, kRest)}));
    int passes = 0;
    for (;;) {
        auto next = MergeD2rStepLines(lines);
        if (next == lines) break;
        lines = std::move(next);
        ++passes;
    }
    EXPECT_EQ(passes, 5);
    const std::vector<std::string> expected = {
        "4.:LD  :    :", kRest, kLD, kRest, "4.:    :    :", kRest, kL, kRest, "4p:    :    :", "4.:    :    :",
        "4P:L   :    :"};
    EXPECT_EQ(D2rStepLineTexts(lines), expected);
    EXPECT_EQ(D2rStepLineTexts(MergeD2rStepLinesFully(ParseD2rStepLines(Join(
                  {{kLD, kRest, kRest, kLD}, Repeat(4, kRest), {kL}, Repeat(7, kRest), {kL}, Repeat(7, kRest)})))),
              expected);
}

TEST(MergeD2rStepLinesFully, TurnsLongSilenceIntoQuarterNotes) {
    EXPECT_EQ(D2rStepLineTexts(MergeD2rStepLinesFully(ParseD2rStepLines(Repeat(64, kRest)))),
              Repeat(8, "4P:    :    :"));
}

// ---------------------------------------------------------------------------
// Whole conversions in memory

struct Converted {
    std::vector<std::string> lines;
    ErrorList errors;
};

Converted ConvertMsd(const std::vector<std::string>& msd) {
    MemoryStorage storage;
    storage.files["song.msd"] = CrLf(msd);
    Converted result;
    ConvertMSD2d2r("song.msd", "song.d2r", kCaption, result.errors, storage);
    result.lines = SplitCrLf(storage.files.at("song.d2r"));
    return result;
}

// The lines after the banner, "ID=0" and "GAMEMODE=ORIGINAL".
std::vector<std::string> Body(const Converted& converted) {
    return std::vector<std::string>(converted.lines.begin() + 6, converted.lines.end());
}

TEST(ConvertMSD2d2r, WritesTheBannerWithTheCaptionAndOurAddress) {
    const Converted converted = ConvertMsd({});
    ASSERT_EQ(converted.lines.size(), 6u);
    EXPECT_EQ(converted.lines[0], "*");
    EXPECT_EQ(converted.lines[1], test::J("* このファイルはTorvane Ver.4.2（ＭＩＲＶＯ作）により作成されました。"));
    EXPECT_EQ(converted.lines[2], test::J("* 公開ページ：") + std::string(kPublicationAddress));
    EXPECT_EQ(converted.lines[3], "*");
    EXPECT_EQ(converted.lines[4], "ID=0");
    EXPECT_EQ(converted.lines[5], "GAMEMODE=ORIGINAL");
}

struct TempoCase {
    std::string line;
    std::string written;
};

void PrintTo(const TempoCase& c, std::ostream* os) { *os << c.line; }

class TempoOfMsd : public ::testing::TestWithParam<TempoCase> {};

TEST_P(TempoOfMsd, IsTenTimesTheBpmTruncated) {
    EXPECT_EQ(Body(ConvertMsd({GetParam().line})), std::vector<std::string>{GetParam().written});
}

INSTANTIATE_TEST_SUITE_P(Values, TempoOfMsd,
                         ::testing::Values(TempoCase{"#BPM:150;", "TEMPO10=1500"},
                                           TempoCase{"#BPM:128.55;", "TEMPO10=1285"},
                                           TempoCase{"#BPM:-0.05;", "TEMPO10=0"},
                                           TempoCase{"#BPM: 99.99 ;", "TEMPO10=999"},
                                           TempoCase{"#BPM:-12.34;", "TEMPO10=-123"}));

TEST(ConvertMSD2d2r, WithoutGapKeepsEveryPadsOwnLeadIn) {
    const Converted converted = ConvertMsd({"#SINGLE:BASIC:1:0000;", "#SINGLE:BASIC:1:04;"});
    const std::vector<std::string> body = Body(converted);
    const std::vector<std::string> expected = {
        kSep, "PLAYER=1", "MODE=BASIC", "LEVEL=1", "MUSICSTART", "4P:    :    :", "4P:    :    :", "MUSICEND", kSep,
        "PLAYER=1", "MODE=BASIC", "LEVEL=1", "MUSICSTART", "4p:    :    :", "4p:L   :    :", "MUSICEND"};
    EXPECT_EQ(body, expected);
}

// The cell (32nd note) at which each step line of a section begins, with
// the line's pad-2 field, for the lines of length "8.", "4.", "4p" and "4P".
std::vector<std::pair<int, std::string>> Pad2FieldsByCell(const std::vector<std::string>& body) {
    std::vector<std::pair<int, std::string>> fields;
    int cell = 0;
    for (const auto& line : body) {
        if (line.size() != 13) continue;
        const std::string length = line.substr(0, 2);
        const int units = length == "8." ? 1 : length == "4." ? 2 : length == "4p" ? 4 : length == "4P" ? 8 : 0;
        if (units == 0) continue;
        if (line.substr(8, 4) != "    ") fields.emplace_back(cell, line.substr(8, 4));
        cell += units;
    }
    return fields;
}

TEST(ConvertMSD2d2r, KeepsTheStepsOfASecondPadThatRunsLongerThanTheFirst) {
    // Pad 1 holds one 8th note, pad 2 eight of them.
    const Converted converted = ConvertMsd({"#DOUBLE:BASIC:1:1:22222222;"});
    const std::vector<std::pair<int, std::string>> expected = {{0, " D  "},  {4, " D  "},  {8, " D  "},
                                                               {12, " D  "}, {16, " D  "}, {20, " D  "},
                                                               {24, " D  "}, {28, " D  "}};
    EXPECT_EQ(Pad2FieldsByCell(Body(converted)), expected);
    const std::vector<std::string> body = Body(converted);
    ASSERT_GE(body.size(), 2u);
    EXPECT_EQ(body[body.size() - 2], "8.:    : D  :") << "no lines for pad 2's rests after its last step";
    EXPECT_EQ(body.back(), "MUSICEND");
    EXPECT_TRUE(converted.errors.Empty());
}

TEST(ConvertMSD2d2r, GivesNoLinesForTheRestsOfASingleChartsSecondPad) {
    // A single chart's pad 2 is a run of "0" four times as long as pad 1.
    const Converted converted = ConvertMsd({"#SINGLE:BASIC:1:(4444);"});
    const std::vector<std::string> expected = {kSep,           "PLAYER=1",       "MODE=BASIC",     "LEVEL=1",
                                               "MUSICSTART",     "4.:L   :    :", "4.:L   :    :", "4.:L   :    :",
                                               "4.:L   :    :", "MUSICEND"};
    EXPECT_EQ(Body(converted), expected);
}

struct BadNumberCase {
    std::string line;
    std::string key;
};

void PrintTo(const BadNumberCase& c, std::ostream* os) { *os << c.line; }

class BadNumberInMsd : public ::testing::TestWithParam<BadNumberCase> {};

TEST_P(BadNumberInMsd, EndsTheConversionAndLeavesTheDestinationAsItWas) {
    MemoryStorage storage;
    storage.files["song.msd"] = CrLf({"#TITLE:x;", "#SINGLE:BASIC:1:48;", GetParam().line, "#SINGLE:BASIC:1:48;"});
    storage.files["song.d2r"] = "old content";
    ErrorList errors;
    try {
        ConvertMSD2d2r("song.msd", "song.d2r", kCaption, errors, storage);
        FAIL() << "no exception";
    } catch (const ConversionError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("song.msd"), std::string::npos) << message;
        EXPECT_NE(message.find(GetParam().key), std::string::npos) << message;
    }
    EXPECT_EQ(storage.files.at("song.d2r"), "old content");
}

INSTANTIATE_TEST_SUITE_P(Values, BadNumberInMsd,
                         ::testing::Values(BadNumberCase{"#BPM:abc;", "#BPM:"}, BadNumberCase{"#BPM: ;", "#BPM:"},
                                           BadNumberCase{"#BPM:", "#BPM:"}, BadNumberCase{"#GAP:;", "#GAP:"},
                                           BadNumberCase{"#GAP:1,5;", "#GAP:"},
                                           // Out of range: no hang, no huge lead-in, no overflow.
                                           BadNumberCase{"#BPM:1e300;", "#BPM:"},
                                           BadNumberCase{"#BPM:1e15;", "#BPM:"},
                                           BadNumberCase{"#GAP:1e300;", "#GAP:"},
                                           BadNumberCase{"#GAP:-1e300;", "#GAP:"},
                                           BadNumberCase{"#GAP:-1e12;", "#GAP:"},
                                           BadNumberCase{"#GAP:-40000000;", "#GAP:"}));

TEST(ConvertMSD2d2r, TakesTheLongestGapWithinTheLimit) {
    // 500009 shifts raise the lead-in from -18 to 1000000 8th notes, the limit.
    EXPECT_EQ(Body(ConvertMsd({"#GAP:-32000662;"})), (std::vector<std::string>{"DELAY=-86", "START=4"}));
    EXPECT_THROW(ConvertMsd({"#GAP:-32000726;"}), ConversionError);
}

TEST(ConvertMSD2d2r, LeavesAnExistingFileUntouchedWhenItFailsOnDisk) {
    test::TempDir folder;
    test::WriteFile(folder / "song.msd", CrLf({"#SINGLE:BASIC:1:48;", "#GAP:x;"}));
    test::WriteFile(folder / "song.d2r", "old content");
    ErrorList errors;
    EXPECT_THROW(ConvertMSD2d2r(folder / "song.msd", folder / "song.d2r", kCaption, errors), ConversionError);
    EXPECT_EQ(test::ReadFile(folder / "song.d2r"), "old content");
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"song.d2r", "song.msd"}));
}

TEST(ConvertMSD2d2r, RefusesToWriteOverItsSource) {
    MemoryStorage storage;
    storage.files["song.msd"] = CrLf({"#TITLE:x;"});
    ErrorList errors;
    EXPECT_THROW(ConvertMSD2d2r("song.msd", "song.msd", kCaption, errors, storage), ConversionError);
    EXPECT_EQ(storage.files.at("song.msd"), CrLf({"#TITLE:x;"}));
}

}  // namespace
}  // namespace torvane
