#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "d2r/d2r.hpp"
#include "d2r/d2r_to_msd.hpp"
#include "d2r_text.hpp"
#include "recording_sink.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

using test::CrLf;
using test::SplitCrLf;

const std::string kRest(kD2rRestUnit);

// ---------------------------------------------------------------------------
// DecodeD2rPanels

struct PanelCase {
    std::string field;
    std::string head;
    std::optional<char> step;
    bool error;
};

void PrintTo(const PanelCase& c, std::ostream* os) { *os << "\"" << c.head << c.field << "\""; }

class DecodePanels : public ::testing::TestWithParam<PanelCase> {};

TEST_P(DecodePanels, GivesTheStepCharacterOfTheField) {
    const PanelCase& c = GetParam();
    ErrorList errors;
    const std::string line = c.head + c.field + ":    :";
    EXPECT_EQ(DecodeD2rPanels(line, c.head.size(), c.head, "song.d2r", errors), c.step);
    if (c.error) {
        ASSERT_EQ(errors.Size(), 1u);
        EXPECT_EQ(errors.Lines()[0], "song.d2r" + ErrorMessage(ErrorCode::kPanelField) + line);
    } else {
        EXPECT_TRUE(errors.Empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DecodePanels,
    ::testing::Values(PanelCase{"    ", "8.:", '0', false}, PanelCase{"L   ", "8.:", '4', false},
                      PanelCase{" D  ", "8.:", '2', false}, PanelCase{"LD  ", "8.:", '1', false},
                      PanelCase{"  U ", "8.:", '8', false}, PanelCase{"L U ", "8.:", '7', false},
                      PanelCase{" DU ", "8.:", 'A', false}, PanelCase{"   R", "8.:", '6', false},
                      PanelCase{"L  R", "8.:", 'B', false}, PanelCase{" D R", "8.:", '3', false},
                      PanelCase{"  UR", "8.:", '9', false},
                      // Letters out of place count by their column.
                      PanelCase{"U   ", "8.:", '4', false}, PanelCase{"   L", "8.:", '8', false},
                      PanelCase{"R   ", "8.:", '2', false}, PanelCase{"DL  ", "8.:", '1', false},
                      // Only the first of a repeated letter counts; other letters none.
                      PanelCase{"LL  ", "8.:", '4', false}, PanelCase{"xyz ", "8.:", '0', false},
                      // Three or four panels: an error line and a rest.
                      PanelCase{"LDU ", "8.:", '0', true}, PanelCase{"LD R", "8.:", '0', true},
                      PanelCase{" DUR", "8.:", '0', true}, PanelCase{"LDUR", "8.:", '0', true},
                      PanelCase{"L UR", "8.:", '0', true},
                      // The three heads that decode; any other decodes nothing.
                      PanelCase{"L   ", "#T:", '4', false}, PanelCase{"L   ", " T:", '4', false},
                      PanelCase{"L   ", "T:L", std::nullopt, false}, PanelCase{"LDUR", "8.x", std::nullopt, false},
                      PanelCase{"L   ", "#8.", std::nullopt, false},
                      // A field cut short by the end of its line.
                      PanelCase{"L", "8.:", '4', false}, PanelCase{"", "8.:", '0', false},
                      // A double-byte character is no panel: its second byte may be a
                      // letter ("キ" is 0x83 0x4C, "L" in column 2).
                      PanelCase{test::J("キ") + "  ", "8.:", '0', true},
                      PanelCase{"  " + test::J("キ"), "8.:", '0', true},
                      PanelCase{"L" + test::J("キ") + " ", "#T:", '0', true},
                      PanelCase{"L\xE0\x40 ", "8.:", '0', true}, PanelCase{"L\x9F\xFC ", "8.:", '0', true},
                      PanelCase{"L\x81\x80 ", "8.:", '0', true},
                      // A lead byte without a valid second byte, and single-byte
                      // katakana, are single characters.
                      PanelCase{"L\x83 R", "8.:", 'B', false}, PanelCase{"L\x83\x7FR", "8.:", 'B', false},
                      PanelCase{"L  \x83", "8.:", '4', false}, PanelCase{"\xB1" "D  ", "8.:", '2', false},
                      PanelCase{"\xA0L  ", "8.:", '2', false},
                      // A head that decodes nothing reports nothing either.
                      PanelCase{test::J("キ") + "  ", "8.x", std::nullopt, false}));

// ---------------------------------------------------------------------------
// Step block normalisation

struct CollectCase {
    std::string line;
    std::vector<std::string> list;
};

void PrintTo(const CollectCase& c, std::ostream* os) { *os << c.line; }

class CollectStepLine : public ::testing::TestWithParam<CollectCase> {};

TEST_P(CollectStepLine, MakesOneLinePerUnit) {
    D2rStepList list;
    CollectD2rStepLine(GetParam().line, list);
    EXPECT_EQ(StepListLines(list), GetParam().list);
}

std::vector<std::string> UnitAndRests(const std::string& unit, std::size_t rests) {
    std::vector<std::string> lines{unit};
    lines.insert(lines.end(), rests, kRest);
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CollectStepLine,
    ::testing::Values(CollectCase{"8.:L   :    :", {"8.:L   :    :"}},
                      CollectCase{"4.:L   :    :", UnitAndRests("8.:L   :    :", 1)},
                      CollectCase{"4p:L   :    :", UnitAndRests("8.:L   :    :", 3)},
                      CollectCase{"4P:L   :   R:", UnitAndRests("8.:L   :   R:", 7)},
                      CollectCase{"T:L   :    :", {"T:L   :    :"}},
                      // Damaged lines that begin "8." or "T" are kept for the pads to read as silence.
                      CollectCase{"8.x", {"8.x"}}, CollectCase{"T", {"T"}}, CollectCase{"TITLE=x", {"TITLE=x"}},
                      // Comments and lines without a length code are dropped.
                      CollectCase{"*----------------------", {}}, CollectCase{"4", {}}, CollectCase{"4x:L   :    :", {}},
                      CollectCase{"8", {}}, CollectCase{"8x:L   :    :", {}}, CollectCase{"8 ", {}}));

struct BearsCase {
    std::string line;
    bool bears;
};

void PrintTo(const BearsCase& c, std::ostream* os) { *os << c.line; }

class BearsStep : public ::testing::TestWithParam<BearsCase> {};

TEST_P(BearsStep, LooksAtBothPadsFields) { EXPECT_EQ(D2rLineBearsStep(GetParam().line), GetParam().bears); }

INSTANTIATE_TEST_SUITE_P(Lines, BearsStep,
                         ::testing::Values(BearsCase{kRest, false}, BearsCase{"8.:L   :    :", true},
                                           BearsCase{"8.:    :   R:", true}, BearsCase{"T:    :    :", false},
                                           BearsCase{"T:   R:    :", true}, BearsCase{"#T:    :    :", false},
                                           BearsCase{"#T:    :L   :", true}, BearsCase{"8.x", true}));

// ---------------------------------------------------------------------------
// The gap and the first lead-in

struct GapCase {
    bool silent;
    long long raw_length, start, delay;
    long long gap, lead_in;
};

void PrintTo(const GapCase& c, std::ostream* os) { *os << "raw " << c.raw_length << (c.silent ? " silent" : " with steps") << ", START " << c.start << ", DELAY " << c.delay; }

class MsdGapRule : public ::testing::TestWithParam<GapCase> {};

TEST_P(MsdGapRule, RaisesTheLeadInByWholeMeasures) {
    const GapCase& c = GetParam();
    const MsdGap gap = ComputeMsdGap(c.silent, c.raw_length, c.start, c.delay, "x", "song.d2r");
    EXPECT_EQ(gap.gap, c.gap);
    EXPECT_EQ(gap.lead_in, c.lead_in);
}

INSTANTIATE_TEST_SUITE_P(Examples, MsdGapRule,
                         ::testing::Values(GapCase{true, 0, 4, 0, 512, 34}, GapCase{true, 10, 4, 0, 0, 28},
                                           GapCase{true, 0, 1, 0, 1280, 34}, GapCase{true, 2, 4, -40, 216, 28},
                                           GapCase{true, 8, 4, 0, 256, 34}, GapCase{true, 9, 4, 0, 0, 27},
                                           // A raw lead-in with steps counts as none.
                                           GapCase{false, 10, 4, 0, 512, 34},
                                           GapCase{true, 0, 512, 5, 5, 18 + 8 * 508},
                                           GapCase{true, 0, -512, 0, 256 * 518, 34}));

// Long notes give several units, comments and lines without a length code
// none; the cursor may be asked in any order.
TEST(D2rStepList, GivesTheSourceLineOfEachUnit) {
    D2rStepList list;
    const std::vector<std::string> block = {"4P:L   :    :", "* comment", "4.:L   :    :",
                                            "4x",            "T:L   :    :", "8.:L   :    :"};
    list.Clear(20);
    for (const auto& line : block) CollectD2rStepLine(line, list);
    ASSERT_EQ(list.Size(), 12u);
    const std::vector<std::pair<std::size_t, std::size_t>> unit_lines = {
        {11, 25}, {0, 20}, {9, 22}, {10, 24}, {7, 20}, {8, 22}, {3, 20}, {11, 25}};
    for (const auto& [unit, line] : unit_lines) EXPECT_EQ(list.SourceLineOf(unit), line) << unit;

    // A block whose lines are not counted: no line.
    list.Clear();
    for (const auto& line : block) CollectD2rStepLine(line, list);
    EXPECT_EQ(list.SourceLineOf(9), 0u);
}

TEST(MsdGapRule, RefusesADelayThatOverflows) {
    EXPECT_THROW((void)ComputeMsdGap(true, 0, 4, LLONG_MAX, "9223372036854775807", "song.d2r"), ConversionError);
    EXPECT_EQ(ComputeMsdGap(true, 0, 4, LLONG_MIN, "x", "song.d2r").gap, LLONG_MIN + 512);
}

// ---------------------------------------------------------------------------
// Writing a chart from its step list: what a double-byte character may not be

struct ChartCase {
    std::string style;
    std::vector<std::string> step_list;
    std::vector<std::string> errors;  // after the file name
    std::vector<std::string> pads;    // the pads' step lines
};

// The lines that end a pad: its steps and ":" or ";".
std::vector<std::string> PadStepLines(const std::vector<std::string>& lines) {
    std::vector<std::string> pads;
    for (const auto& line : lines) {
        if (!line.empty() && line[0] != '#' && (line.back() == ':' || line.back() == ';')) pads.push_back(line);
    }
    return pads;
}

void PrintTo(const ChartCase& c, std::ostream* os) { *os << c.style << " " << c.step_list.front(); }

class ChartFromStepList : public ::testing::TestWithParam<ChartCase> {};

TEST_P(ChartFromStepList, ReadsADoubleByteCharacterAsAWhole) {
    const ChartCase& c = GetParam();
    D2rStepList step_list;
    for (const auto& line : c.step_list) step_list.Add(line);
    D2rToMsdState state;
    state.style = c.style;
    state.mode = "BASIC";
    state.level = "1";
    test::RecordingSink out;
    ErrorList errors;
    WriteMsdChartFromD2r(step_list, state, out, "song.d2r", errors);
    std::vector<std::string> expected_errors;
    for (const auto& error : c.errors) expected_errors.push_back("song.d2r" + error);
    EXPECT_EQ(errors.Lines(), expected_errors);
    EXPECT_EQ(PadStepLines(out.lines), c.pads);
}

// "キ" and "サ" in code page 932: their second bytes are "L" and "T".
const std::string kKi = "\x83" "L";
const std::string kSa = "\x83" "T";

std::vector<std::string> Triplet(const std::string& first) { return {first, "T:    :    :", "T:    :    :"}; }

INSTANTIATE_TEST_SUITE_P(
    Lines, ChartFromStepList,
    ::testing::Values(
        // A "T" as the 13th or 14th character asks for an option; a second
        // byte there does not.
        ChartCase{"#SINGLE", Triplet("T:L   :    :" + kSa), {}, {"40;"}},
        ChartCase{"#SINGLE", Triplet("T:L   :    " + kSa), {}, {"40;"}},
        ChartCase{"#SINGLE", {"8.:L   :    " + kSa}, {}, {"40;"}},
        ChartCase{"#SINGLE", {"8.:L   :    :" + kSa}, {}, {"40;"}},
        ChartCase{"#SINGLE", Triplet("T:L   :    :" + kSa + "T"), {}, {"40;"}},
        ChartCase{"#SINGLE", Triplet("T:L   :    :T"), {ErrorMessage(ErrorCode::kOption) + "T:L   :    :T"}, {"40;"}},
        ChartCase{"#SINGLE", Triplet("T:L   :    :xT"), {ErrorMessage(ErrorCode::kOption) + "T:L   :    :xT"}, {"40;"}},
        ChartCase{"#SINGLE", {"8.:L   :    :T"}, {ErrorMessage(ErrorCode::kOption) + "8.:L   :    :T"}, {"40;"}},
        // 0xA0 is a character of its own.
        ChartCase{"#SINGLE", Triplet("T:L   :    :\xA0T"), {ErrorMessage(ErrorCode::kOption) + "T:L   :    :\xA0T"}, {"40;"}},
        // A pad field that holds a double-byte character, or part of one
        // that begins in front of it, is no panel field.
        ChartCase{"#SINGLE",
                  {"8.:" + kKi + "  :    :", "8.:L   :    :"},
                  {ErrorMessage(ErrorCode::kPanelField) + "8.:" + kKi + "  :    :"},
                  {"(04000000);"}},
        ChartCase{"#DOUBLE",
                  {"8.:LD  " + kKi + "   :"},
                  {ErrorMessage(ErrorCode::kPanelField) + "8.:LD  " + kKi + "   :"},
                  {"10:", "00;"}},
        ChartCase{"#DOUBLE",
                  {"8.:L  " + kKi + "    :"},
                  {ErrorMessage(ErrorCode::kPanelField) + "8.:L  " + kKi + "    :"},
                  {"00:", "00;"}},
        ChartCase{"#SINGLE", Triplet("T:" + kKi + "  :    :"), {ErrorMessage(ErrorCode::kPanelField) + "T:" + kKi + "  :    :"}, {"00;"}},
        // Pad 2's first triplet line is decoded twice, as any bad field there.
        ChartCase{"#DOUBLE",
                  Triplet("T:    :" + kKi + "  :"),
                  {ErrorMessage(ErrorCode::kPanelField) + "#T:    :" + kKi + "  :", ErrorMessage(ErrorCode::kPanelField) + "#T:    :" + kKi + "  :"},
                  {"00:", "00;"}}));

// ---------------------------------------------------------------------------
// Whole conversions in memory

const std::vector<std::string> kHead = {"TITLE=t", "TEMPO10=1500", "DELAY=0", "START=4"};

struct Converted {
    std::vector<std::string> lines;
    ErrorList errors;
};

Converted ConvertD2r(const std::vector<std::string>& d2r) {
    MemoryStorage storage;
    storage.files["song.d2r"] = CrLf(d2r);
    Converted result;
    Convertd2r2MSD("song.d2r", "song.MSD", kCaption, result.errors, storage);
    result.lines = SplitCrLf(storage.files.at("song.MSD"));
    return result;
}

// The lines after the banner.
std::vector<std::string> Body(const Converted& converted) {
    return std::vector<std::string>(converted.lines.begin() + 4, converted.lines.end());
}

TEST(Convertd2r2MSD, WritesTheBannerWithTheCaptionAndOurAddress) {
    const Converted converted = ConvertD2r({});
    ASSERT_EQ(converted.lines.size(), 4u);
    EXPECT_EQ(converted.lines[0], "#;");
    EXPECT_EQ(converted.lines[1], test::J("# このファイルはTorvane Ver.4.2（ＭＩＲＶＯ作）により作成されました。;"));
    EXPECT_EQ(converted.lines[2], test::J("# 公開ページ：") + std::string(kPublicationAddress) + ";");
    EXPECT_EQ(converted.lines[3], "#;");
}

struct TempoCase {
    std::string line;
    std::string written;
};

void PrintTo(const TempoCase& c, std::ostream* os) { *os << c.line; }

class TempoOfD2r : public ::testing::TestWithParam<TempoCase> {};

TEST_P(TempoOfD2r, IsATenthOfTheValueWithSevenDigits) {
    EXPECT_EQ(Body(ConvertD2r({GetParam().line})), std::vector<std::string>{GetParam().written});
}

INSTANTIATE_TEST_SUITE_P(Values, TempoOfD2r,
                         ::testing::Values(TempoCase{"TEMPO10=1500", "#BPM:150;"},
                                           TempoCase{"TEMPO10=1285", "#BPM:128.5;"},
                                           TempoCase{"TEMPO10= 1285 ", "#BPM:128.5;"},
                                           TempoCase{"TEMPO10=1", "#BPM:0.1;"},
                                           TempoCase{"TEMPO10=-5", "#BPM:-0.5;"},
                                           TempoCase{"TEMPO10=1234567.8", "#BPM:123456.8;"},
                                           TempoCase{"TEMPO10=12345678.9", "#BPM:1234568;"}));

TEST(Convertd2r2MSD, TakesStartFromTheFirstLineThatIsNotZero) {
    const std::vector<std::string> chart = {"PLAYER=1", "MODE=BASIC", "LEVEL=1", "4P:L   :    :"};
    std::vector<std::string> d2r = {"START=0"};
    d2r.insert(d2r.end(), chart.begin(), chart.end());
    d2r.insert(d2r.end(), {"MUSICEND", "START=1", "START=3"});
    // START 1: L = 18 - 24 = -6, raised five times to 34.
    EXPECT_EQ(Body(ConvertD2r(d2r))[0], "#GAP:1280;");
}

struct BadNumberCase {
    std::vector<std::string> lines;
    std::string key;
};

void PrintTo(const BadNumberCase& c, std::ostream* os) { for (const auto& line : c.lines) *os << line << " | "; }

class BadNumberInD2r : public ::testing::TestWithParam<BadNumberCase> {};

TEST_P(BadNumberInD2r, EndsTheConversionAndLeavesTheDestinationAsItWas) {
    MemoryStorage storage;
    storage.files["song.d2r"] = CrLf(GetParam().lines);
    storage.files["song.MSD"] = "old content";
    ErrorList errors;
    try {
        Convertd2r2MSD("song.d2r", "song.MSD", kCaption, errors, storage);
        FAIL() << "no exception";
    } catch (const ConversionError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("song.d2r"), std::string::npos) << message;
        EXPECT_NE(message.find(GetParam().key), std::string::npos) << message;
    }
    EXPECT_EQ(storage.files.at("song.MSD"), "old content");
}

INSTANTIATE_TEST_SUITE_P(
    Values, BadNumberInD2r,
    ::testing::Values(BadNumberCase{{"TITLE=x", "TEMPO10=fast"}, "TEMPO10="}, BadNumberCase{{"TEMPO10="}, "TEMPO10="},
                      BadNumberCase{{"DELAY=1.5"}, "DELAY="}, BadNumberCase{{"DELAY=x"}, "DELAY="},
                      BadNumberCase{{"DELAY=99999999999999999999"}, "DELAY="},
                      BadNumberCase{{"TITLE=x", "START=one"}, "START"}, BadNumberCase{{"START"}, "START"},
                      // Out of range: no lead-in line of gigabytes, no overflow.
                      BadNumberCase{{"START=125002", "PLAYER=1", "8.:L   :    :"}, "START"},
                      BadNumberCase{{"START=-9000000000000000000", "PLAYER=1", "8.:L   :    :"}, "START"},
                      BadNumberCase{{"DELAY=9223372036854775807", "PLAYER=1", "8.:L   :    :"}, "DELAY="}));

TEST(Convertd2r2MSD, LeavesAnExistingFileUntouchedWhenItFailsOnDisk) {
    test::TempDir folder;
    test::WriteFile(folder / "song.d2r", CrLf({"PLAYER=1", "4P:L   :    :", "MUSICEND", "TEMPO10=x"}));
    test::WriteFile(folder / "song.MSD", "old content");
    ErrorList errors;
    EXPECT_THROW(Convertd2r2MSD(folder / "song.d2r", folder / "song.MSD", kCaption, errors), ConversionError);
    EXPECT_EQ(test::ReadFile(folder / "song.MSD"), "old content");
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"song.MSD", "song.d2r"}));
}

TEST(Convertd2r2MSD, ReportsAThreePanelFieldOfATripletTwiceOnPadTwo) {
    // Pad 2's first triplet line is decoded when it is visited and again as
    // part of its triplet.
    const Converted converted =
        ConvertD2r({"PLAYER=3", "T:    :LDU :", "T:    :    :", "T:    :    :", "4P:L   :    :"});
    ASSERT_EQ(converted.errors.Size(), 2u);
    EXPECT_EQ(converted.errors.Lines()[0], "song.d2r" + ErrorMessage(ErrorCode::kPanelField) + "#T:    :LDU :");
    EXPECT_EQ(converted.errors.Lines()[1], "song.d2r" + ErrorMessage(ErrorCode::kPanelField) + "#T:    :LDU :");
}

TEST(Convertd2r2MSD, ConvertsALongChartOfTripletsWithoutLosingABeat) {
    std::vector<std::string> d2r = {"PLAYER=1", "MODE=BASIC", "LEVEL=1", "DELAY=0"};
    for (int beat = 0; beat < 3000; ++beat) {
        d2r.insert(d2r.end(), {"T:L   :    :", "T: D  :    :", "T:  U :    :", "4p:   R:    :", "4p:    :    :"});
    }
    const Converted converted = ConvertD2r(d2r);
    ASSERT_EQ(converted.lines.size(), 4u + 4u);  // banner, gap, chart line, lead-in, steps
    std::string expected;
    for (int beat = 0; beat < 3000; ++beat) expected += "(428)60";
    EXPECT_EQ(converted.lines.back(), expected + ";");
    EXPECT_TRUE(converted.errors.Empty());
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

// ":", pad 1's field, ":", pad 2's field, ":".
std::string PadFields(int pad1, int pad2) {
    std::string fields = ":    :    :";
    for (int column = 0; column < 4; ++column) {
        if (pad1 & (1 << column)) fields[static_cast<std::size_t>(1 + column)] = "LDUR"[column];
        if (pad2 & (1 << column)) fields[static_cast<std::size_t>(6 + column)] = "LDUR"[column];
    }
    return fields;
}

// Every pair of pad fields: a line keeps its text whatever way the list
// stores it, gives its panels only while it is a plain line of at most two
// panels a pad, and reads "#" in front once pad 1 takes it.
TEST(D2rStepList, GivesEveryLineBackAsItWasAddedAndMarked) {
    for (int pad1 = 0; pad1 < 16; ++pad1) {
        for (int pad2 = 0; pad2 < 16; ++pad2) {
            const std::string tail = PadFields(pad1, pad2);
            const std::string text = std::string("8.").append(tail);
            const bool plain = StepOfPanels(pad1) != 0 && StepOfPanels(pad2) != 0;
            D2rStepList list;
            list.Add(text);
            list.Add("8.", tail);
            CollectD2rStepLine("4." + tail, list);
            for (std::size_t i : {0u, 1u, 2u}) {
                EXPECT_EQ(list.Line(i), text) << text;
                EXPECT_EQ(list.PlainLinePanels(i), plain && (pad1 | pad2) != 0 ? pad1 * 16 + pad2 : -1) << text;
            }
            EXPECT_EQ(list.RestsAt(0), pad1 == 0 && pad2 == 0 ? 4u : 0u) << text;
            list.MarkTakenByPad1(0);
            list.MarkTakenByPad1(0);
            EXPECT_EQ(list.Line(0), std::string("#").append(text)) << text;
            EXPECT_EQ(list.PlainLinePanels(0), -1) << text;
            list.MarkTakenByPad2(1);
            EXPECT_EQ(list.Line(1), "&") << text;
            EXPECT_EQ(list.Line(2), text) << text;
        }
    }
}

TEST(D2rStepList, GivesEveryTripletLineBackAsItWasAddedAndMarked) {
    for (int pad1 = 0; pad1 < 16; ++pad1) {
        for (int pad2 = 0; pad2 < 16; ++pad2) {
            const std::string text = std::string("T").append(PadFields(pad1, pad2));
            D2rStepList list;
            CollectD2rStepLine(text, list);
            list.Add(text);
            for (std::size_t i : {0u, 1u}) {
                EXPECT_EQ(list.Line(i), text);
                EXPECT_EQ(list.PlainLinePanels(i), -1) << text;
            }
            EXPECT_EQ(list.RestsAt(0), 0u) << text;
            list.MarkTakenByPad1(0);
            list.MarkTakenByPad1(0);
            EXPECT_EQ(list.Line(0), std::string("#").append(text));
            list.MarkTakenByPad2(1);
            EXPECT_EQ(list.Line(1), "&");
        }
    }
}

// Any byte in any column of a field: the field is well formed only when each
// column is its letter or a blank, whatever the bytes around it.
TEST(D2rStepList, TakesAFieldAsWellFormedOnlyWhenEachColumnIsItsLetterOrABlank) {
    for (std::size_t column = 0; column < 4; ++column) {
        for (int byte = 0; byte < 256; ++byte) {
            std::string field = column % 2 == 0 ? " DU " : "L  R";
            field[column] = static_cast<char>(byte);
            int mask = 0;
            bool well_formed = true;
            for (std::size_t k = 0; k < 4; ++k) {
                if (field[k] == "LDUR"[k]) {
                    mask |= 1 << k;
                } else if (field[k] != ' ') {
                    well_formed = false;
                }
            }
            const std::string tail = ":" + field + ":   R:";
            D2rStepList list;
            CollectD2rStepLine("8." + tail, list);
            CollectD2rStepLine("T" + tail, list);
            const bool plain = well_formed && StepOfPanels(mask) != 0;
            EXPECT_EQ(list.PlainLinePanels(0), plain ? mask * 16 + 8 : -1) << column << " " << byte;
            EXPECT_EQ(list.TripletLinePanels(1, false), well_formed ? mask * 16 + 8 : -1) << column << " " << byte;
            EXPECT_EQ(list.Line(0), "8." + tail);
            EXPECT_EQ(list.Line(1), "T" + tail);
        }
    }
}

TEST(D2rStepList, KeepsLinesThatAreNotPlainAsTheyStand) {
    for (const std::string text : {"8.:L UR:    :", "8.: D  :   L:", "8.:LDU :    :", "8,:L   :    :", "8.;L   :    :",
                                   "8.:L   :    ;", "8.:L   :    : ", "8.:l   :    :", "T:L   :    :", "8.:L   :    ", "T:L   :    ", "T:L   :    ;",
                                   "T;L   :    :", "T:l   :    :", "T:L   :    : "}) {
        D2rStepList list;
        list.Add(text);
        EXPECT_EQ(list.Line(0), text);
        EXPECT_EQ(list.PlainLinePanels(0), -1) << text;
        list.MarkTakenByPad1(0);
        EXPECT_EQ(list.Line(0), std::string("#").append(text));
    }
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

// Memory whose sources count their lines into `errors`, as a batch's do.
class CountingStorage final : public Storage {
public:
    explicit CountingStorage(ErrorList& errors) : errors_(errors) {}
    MemoryStorage memory;

    std::unique_ptr<LineSource> OpenSource(const std::filesystem::path& source) override {
        auto input = memory.OpenSource(source);
        errors_.CountLinesOf(*input);
        return input;
    }
    std::unique_ptr<LineSink> CreateDestination(const std::filesystem::path& destination,
                                                const std::filesystem::path& source) override {
        return memory.CreateDestination(destination, source);
    }

private:
    ErrorList& errors_;
};

struct CountedConversion {
    std::string msd;
    ErrorList errors;
};

CountedConversion ConvertCounted(const std::vector<std::string>& d2r) {
    CountedConversion result;
    CountingStorage storage(result.errors);
    storage.memory.files["song.d2r"] = CrLf(d2r);
    Convertd2r2MSD("song.d2r", "song.MSD", kCaption, result.errors, storage);
    result.msd = storage.memory.files.at("song.MSD");
    return result;
}

// A random chart of one or two pads: runs of rests, plain lines of every
// length code, triplets of one to four lines anywhere in a beat, and now and
// then a field of three panels.
std::vector<std::string> RandomD2rChart(std::mt19937& random) {
    std::vector<std::string> d2r = {"DELAY=0"};
    const auto field = [&random] {
        const unsigned roll = random() % 10;
        const int mask = roll < 5 ? 0 : roll < 9 ? std::array{1, 2, 4, 8, 3, 5, 9, 6}[random() % 8] : static_cast<int>(random() % 16);
        std::string text = "    ";
        for (std::size_t column = 0; column < 4; ++column) {
            if (mask & (1 << column)) text[column] = "LDUR"[column];
        }
        return text;
    };
    for (int block = 0; block < 2; ++block) {
        d2r.push_back(random() % 2 == 0 ? "PLAYER=3" : "PLAYER=1");
        d2r.insert(d2r.end(), {"MODE=MANIAC", "LEVEL=5", "MUSICSTART"});
        const int lines = static_cast<int>(random() % 80);
        for (int n = 0; n < lines; ++n) {
            if (random() % 4 == 0) {
                for (unsigned k = random() % 4 + 1; k > 0; --k) d2r.push_back("T:" + field() + ":" + field() + ":");
            } else {
                const char* const codes[] = {"8.", "4.", "4p", "4P"};
                d2r.push_back(codes[random() % 4] + (":" + field()) + ":" + field() + ":");
            }
        }
        d2r.push_back("MUSICEND");
    }
    return d2r;
}

// Every line with a length code made one that is neither plain nor a
// well-formed triplet line by a blank after it, which no reading of its
// fields or length looks at.
std::vector<std::string> WithBlankAfterEveryStepLine(std::vector<std::string> d2r) {
    for (std::string& line : d2r) {
        if (line.starts_with("8.") || line.starts_with("4") || line.starts_with("T:")) line += ' ';
    }
    return d2r;
}

// The lines that the pads take by their panels convert as any line does:
// the same chart, the same error lines on the same source lines, the same notes.
TEST(Convertd2r2MSD, ConvertsPlainLinesAndTripletsAsAnyOtherLine) {
    std::mt19937 random(24);
    for (int chart = 0; chart < 300; ++chart) {
        const std::vector<std::string> d2r = RandomD2rChart(random);
        const CountedConversion plain = ConvertCounted(d2r);
        CountedConversion any = ConvertCounted(WithBlankAfterEveryStepLine(d2r));
        std::vector<ErrorLine> entries = any.errors.Entries();
        for (ErrorLine& entry : entries) {
            if (entry.code == ErrorCode::kPanelField && entry.text.ends_with(' ')) entry.text.pop_back();
        }
        ASSERT_EQ(plain.msd, any.msd) << testing::PrintToString(d2r);
        ASSERT_EQ(plain.errors.Entries(), entries) << testing::PrintToString(d2r);
        ASSERT_EQ(plain.errors.Notes(), any.errors.Notes()) << testing::PrintToString(d2r);
    }
}

}  // namespace
}  // namespace torvane
