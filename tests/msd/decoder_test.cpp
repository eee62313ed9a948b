#include "msd/decoder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

struct DecodeCase {
    std::string input;
    std::string expanded;
};

// The worked examples and the notations of every group size.
const std::vector<DecodeCase> kExpansions = {
    {"", ""},
    {"12", "10002000"},
    {"0(34)", "000030004000"},
    {"(123)4", "T1234000"},
    {"(1)", "10000000"},
    {"(1234)", "10203040"},
    {"(12345678)", "12345678"},
    {"1 2;x", "10002000;"},
    {"1234:5678;", "1000200030004000:5000600070008000;"},
    {"0a2", "00002000"},
    {"ab", ""},
    {"AB", "A000B000"},
    {"(1a3)", "T1a3"},
    {"1a3", "10003000"},
    {"5", "5000"},
    {")]}1", "1000"},
    {"((1)", "(0001000"},  // a group ends at its first ")"; inside it nothing is checked
    {"12345678", "10002000300040005000600070008000"},
    {"(123)(456)(789)(AB0)", "T123T456T789TAB0"},
};

TEST(DecodeMSDSteps, ExpandsEveryNotationToCells) {
    for (const auto& c : kExpansions) {
        ErrorList errors;
        EXPECT_EQ(DecodeMSDSteps(c.input, "song.msd", errors), c.expanded) << c.input;
        EXPECT_TRUE(errors.Empty()) << c.input;
    }
}

struct ReportCase {
    std::string input;
    std::string expanded;
    std::vector<std::string> errors;  // message and offending text, after the file name
};

TEST(DecodeMSDSteps, ReportsAndRepairsGroupsItCannotConvert) {
    const std::vector<ReportCase> cases = {
        {"(12345)", "00000000", {ErrorMessage(ErrorCode::kBeatGroupLength) + "(12345)"}},
        {"()", "00000000", {ErrorMessage(ErrorCode::kBeatGroupLength) + "()"}},
        {"(12345)[9]{C}", "00000000" + std::string(16, '0'),
         {ErrorMessage(ErrorCode::kBeatGroupLength) + "(12345)", ErrorMessage(ErrorCode::kTwoBeatGroup) + "[9]", ErrorMessage(ErrorCode::kCommandGroup) + "{C}"}},
        {"1{xy}2", "10002000", {ErrorMessage(ErrorCode::kCommandGroup) + "{xy}"}},
        {"(1234567)(123456789)", std::string(16, '0'),
         {ErrorMessage(ErrorCode::kBeatGroupLength) + "(1234567)", ErrorMessage(ErrorCode::kBeatGroupLength) + "(123456789)"}},
        {"[]", std::string(16, '0'), {ErrorMessage(ErrorCode::kTwoBeatGroup) + "[]"}},
        // An opening without its closing partner takes the rest of the text.
        {"12(34", "10002000", {ErrorMessage(ErrorCode::kBeatGroupLength) + "(34"}},
        {"1[2", "1000", {ErrorMessage(ErrorCode::kTwoBeatGroup) + "[2"}},
        {"1{2;", "1000", {ErrorMessage(ErrorCode::kCommandGroup) + "{2;"}},
        {"(", "", {ErrorMessage(ErrorCode::kBeatGroupLength) + "("}},
    };
    for (const auto& c : cases) {
        ErrorList errors;
        EXPECT_EQ(DecodeMSDSteps(c.input, "song.msd", errors), c.expanded) << c.input;
        std::vector<std::string> expected;
        for (const auto& e : c.errors) expected.push_back("song.msd" + e);
        EXPECT_EQ(errors.Lines(), expected) << c.input;
    }
}

// The second side of the chart data "12:0000" "4(123)(12345)" "[9];" (lines
// 7 to 9), given to the decoder with its lead-in of four rests as it stands,
// lengthened or taken off: each group keeps its line and its beat on the
// side's own timeline.
TEST(DecodeMSDSteps, PlacesEachGroupOnItsLineAndBeatWhereverTheLeadInMoved) {
    const ChartSourceLines lines{7, {7, 20}};
    const StepTextPlace place{"#DOUBLE:BASIC:3:", &lines, 3, 24};
    for (const std::size_t rests : {4, 0, 1, 9}) {
        ErrorList errors;
        const std::string side = std::string(rests, '0') + "4(123)(12345)[9];";
        (void)DecodeMSDSteps(side, "song.msd", errors, nullptr, &place);
        EXPECT_EQ(errors.Entries(),
                  (std::vector<ErrorLine>{
                      {ErrorCode::kBeatGroupLength, "song.msd", "(12345)", 8, "#DOUBLE:BASIC:3:", "measure 1 beat 4"},
                      {ErrorCode::kTwoBeatGroup, "song.msd", "[9]", 9, "#DOUBLE:BASIC:3:", "measure 2 beat 1"}}))
            << rests;
    }
}

TEST(DecodeMSDSteps, ListsWhereEachTripletBeatBegins) {
    ErrorList errors;
    std::vector<std::size_t> triplet_beats;
    // A "T" written in a group is copied like any character; only the list
    // tells it from a triplet beat's.
    EXPECT_EQ(DecodeMSDSteps("0(123)(1T23)(T06)(12345)(4)", "a.msd", errors, &triplet_beats),
              "0000T12310T02030TT0600000000" "40000000");
    EXPECT_EQ(triplet_beats, (std::vector<std::size_t>{4, 16}));
}

TEST(DecodeMSDSteps, DropsDoubleByteCharactersWholeOutsideGroups) {
    // The second bytes 0x28 "(", 0x5B "[", 0x41 "A" and 0x31 "1" are not
    // possible trail bytes for all of these, so use real characters whose
    // trail bytes are ASCII letters and brackets.
    ErrorList errors;
    const std::string text = test::J("ソ") + "1" + "\x83\x41" + "2" + "\x81\x5b" + "3" + "\x95\x7b" + "4";
    EXPECT_EQ(DecodeMSDSteps(text, "a.msd", errors), "1000200030004000");
    EXPECT_TRUE(errors.Empty());
    // A lead byte at the very end is dropped alone.
    EXPECT_EQ(DecodeMSDSteps("1\x83", "a.msd", errors), "1000");
    // Inside a group bytes are taken as they stand.
    EXPECT_EQ(DecodeMSDSteps("(\x83\x41" "1)", "a.msd", errors), "T\x83\x41" "1");
}

TEST(DecodeMSDSteps, AClosingBracketThatIsASecondByteClosesNothing) {
    // "ゾ" is 83 5D and "マ" 83 7D: their second bytes are "]" and "}".
    const std::string group = "[" + test::J("ゾ") + "1]";
    const std::string command = "{" + test::J("マ") + "1}";
    ErrorList errors;
    EXPECT_EQ(DecodeMSDSteps(group + "2" + command + "3", "song.msd", errors), std::string(16, '0') + "20003000");
    EXPECT_EQ(errors.Lines(), (std::vector<std::string>{"song.msd" + ErrorMessage(ErrorCode::kTwoBeatGroup) + group,
                                                        "song.msd" + ErrorMessage(ErrorCode::kCommandGroup) + command}));
}

TEST(DecodeMSDSteps, ALeadByteTakesOnlyAValidSecondByteWithIt) {
    // 81 followed by "(" or "1" is no character: the "(" still opens a
    // group and the "1" is still a step; 81 "A" is one character.
    ErrorList errors;
    EXPECT_EQ(DecodeMSDSteps("\x81(1234)", "a.msd", errors), "10203040");
    EXPECT_EQ(DecodeMSDSteps("\x81" "1", "a.msd", errors), "1000");
    EXPECT_EQ(DecodeMSDSteps("\x81" "A2", "a.msd", errors), "2000");
    EXPECT_TRUE(errors.Empty());
}

TEST(DecodeMSDSteps, MeasuresOfPlainAndTripletBeatsHaveTheirLengths) {
    ErrorList errors;
    EXPECT_EQ(DecodeMSDSteps("40404040", "a", errors).size(), 32u);
    EXPECT_EQ(DecodeMSDSteps("(400)(400)(400)(400)", "a", errors).size(), 16u);
}

TEST(DecodeMSDSteps, ManyUnclosedGroupsStayLinear) {
    // Each "(" would search the rest of the text again if the search were not
    // shared; a megabyte of them must still decode at once.
    ErrorList errors;
    const std::string text = "1" + std::string(1 << 20, '[') + "]";
    const std::string out = DecodeMSDSteps(text, "a", errors);
    EXPECT_EQ(out, "1000" + std::string(16, '0'));
    EXPECT_EQ(errors.Size(), 1u);
}

}  // namespace
}  // namespace torvane
