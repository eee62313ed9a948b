// Error lines as the conversions make them: each keeps its code, the line of
// the source where its offending text begins, the chart and the place in it
// where known, and renders to the bytes that "ErrLog.txt" has always held.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/conversions.hpp"
#include "batch/input_check.hpp"
#include "test_support.hpp"
#include "text/fixed_texts.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

using test::CrLf;

struct Expected {
    ErrorCode code;
    std::string rendered;  // UTF-8 for reading; compared as code page 932
    std::size_t source_line;
    std::string chart;
    std::string at;
};

struct ErrorLineCase {
    std::string name;
    Conversion conversion;
    std::string source_name;
    SourceEncoding encoding;
    std::string source;  // UTF-8 text; code page 932 unless `encoding` says otherwise
    std::vector<Expected> lines;
};

class ErrorLineTable : public ::testing::TestWithParam<ErrorLineCase> {};

TEST_P(ErrorLineTable, KeepsCodeLineAndChartAndRendersTheLoggedBytes) {
    const ErrorLineCase& c = GetParam();
    MemoryStorage storage;
    const std::filesystem::path source = "pack/a/" + c.source_name;
    storage.files[source] = c.encoding == SourceEncoding::kCp932 ? Utf8ToCp932(c.source) : c.source;
    ErrorList errors;
    SourceReading reading(storage, source, c.encoding, errors);
    (void)RunConversion(c.conversion, source, DestinationFor(c.conversion, source), kCaption, DdrOptions{},
                        errors, reading);
    ASSERT_EQ(errors.Entries().size(), c.lines.size()) << c.name;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        const ErrorLine& got = errors.Entries()[i];
        const Expected& want = c.lines[i];
        EXPECT_EQ(got.code, want.code) << c.name << " " << i;
        EXPECT_EQ(Cp932ToUtf8(RenderErrorLine(got)), want.rendered) << c.name << " " << i;
        EXPECT_EQ(errors.Lines()[i], Utf8ToCp932(want.rendered)) << c.name << " " << i;
        EXPECT_EQ(got.source_line, want.source_line) << c.name << " " << i;
        EXPECT_EQ(Cp932ToUtf8(got.chart), want.chart) << c.name << " " << i;
        EXPECT_EQ(got.at, want.at) << c.name << " " << i;
    }
}

const std::string kHead = "#TITLE:t;\r\n#BPM:120;\r\n#GAP:0;\r\n";

// A second side over several lines, and what msd2d2r and msd2ddr alike say of it.
const std::string kSecondSide =
    kHead + CrLf({"#DOUBLE:BASIC:1:4000", "00000000:", "0000", "4(12345)", "(123)[9]4", "4{C};"});
const std::vector<Expected> kSecondSideLines = {
    {ErrorCode::kBeatGroupLength, "song.msd：変換不能な脚符長さです(12345)", 7, "#DOUBLE:BASIC:1:", "measure 1 beat 3"},
    {ErrorCode::kTwoBeatGroup, "song.msd：変換不能な脚符情報です[9]", 8, "#DOUBLE:BASIC:1:", "measure 2 beat 1"},
    {ErrorCode::kCommandGroup, "song.msd：変換不能なコマンドです{C}", 9, "#DOUBLE:BASIC:1:", "measure 2 beat 4"}};

INSTANTIATE_TEST_SUITE_P(
    Conversions, ErrorLineTable,
    ::testing::Values(
        ErrorLineCase{"group_on_a_later_line_of_its_chart",
                      Conversion::kMSD2d2r,
                      "song.msd",
                      SourceEncoding::kCp932,
                      kHead + CrLf({"#SINGLE:BASIC:1:", "4444", "(12345)4;"}),
                      {{ErrorCode::kBeatGroupLength, "song.msd：変換不能な脚符長さです(12345)", 6,
                        "#SINGLE:BASIC:1:", "measure 1 beat 3"}}},
        // The line where the group begins, not the one that ends the chart;
        // the beat on the side's own timeline, its lead-in included, however
        // the conversion moves that lead-in.
        ErrorLineCase{"d2r_group_on_a_middle_line",
                      Conversion::kMSD2d2r,
                      "song.msd",
                      SourceEncoding::kCp932,
                      kHead + CrLf({"#SINGLE:BASIC:1:", "00004444", "44(12345)4", "4444;"}),
                      {{ErrorCode::kBeatGroupLength, "song.msd：変換不能な脚符長さです(12345)", 6,
                        "#SINGLE:BASIC:1:", "measure 2 beat 2"}}},
        ErrorLineCase{"d2r_second_side_over_several_lines",
                      Conversion::kMSD2d2r,
                      "song.msd",
                      SourceEncoding::kCp932,
                      kSecondSide, kSecondSideLines},
        ErrorLineCase{"ddr_second_side_over_several_lines",
                      Conversion::kMSD2ddr,
                      "song.msd",
                      SourceEncoding::kCp932,
                      kSecondSide, kSecondSideLines},
        ErrorLineCase{"ddr_chart_of_unknown_difficulty_over_several_lines",
                      Conversion::kMSD2ddr,
                      "song.msd",
                      SourceEncoding::kCp932,
                      kHead + CrLf({"#SINGLE:HARD:9:", "", "4444", "(12345);"}),
                      {{ErrorCode::kUnknownDifficulty, "song.msd：変換不可能な難易度です#SINGLE:HARD:9:", 4,
                        "#SINGLE:HARD:9:", ""},
                       {ErrorCode::kBeatGroupLength, "song.msd：変換不能な脚符長さです(12345)", 7, "#SINGLE:HARD:9:",
                        "measure 1 beat 3"}}},
        ErrorLineCase{"two_charts_two_lines",
                      Conversion::kMSD2d2r,
                      "song.msd",
                      SourceEncoding::kCp932,
                      kHead + CrLf({"#SINGLE:BASIC:1:4{C}4;", "#SINGLE:MANIAC:7:4[8]4;"}),
                      {{ErrorCode::kCommandGroup, "song.msd：変換不能なコマンドです{C}", 4, "#SINGLE:BASIC:1:",
                        "measure 1 beat 1"},
                       {ErrorCode::kTwoBeatGroup, "song.msd：変換不能な脚符情報です[8]", 5, "#SINGLE:MANIAC:7:",
                        "measure 1 beat 1"}}},
        ErrorLineCase{"unterminated_chart_names_it",
                      Conversion::kMSD2d2r,
                      "song.msd",
                      SourceEncoding::kCp932,
                      kHead + CrLf({"#SINGLE:BASIC:1:4444", "4444"}),
                      // The chart's line, which its label names.
                      {{ErrorCode::kUnterminatedChart, "song.msd：譜面データが「;」で終わっていません#SINGLE:BASIC:1:",
                        4, "#SINGLE:BASIC:1:", ""}}},
        ErrorLineCase{"unknown_difficulty_names_the_chart",
                      Conversion::kMSD2ddr,
                      "song.msd",
                      SourceEncoding::kCp932,
                      kHead + CrLf({"#SINGLE:HARD:9:4444;"}),
                      {{ErrorCode::kUnknownDifficulty, "song.msd：変換不可能な難易度です#SINGLE:HARD:9:", 4,
                        "#SINGLE:HARD:9:", ""}}},
        ErrorLineCase{"d2r_pad_field",
                      Conversion::kd2r2MSD,
                      "song.d2r",
                      SourceEncoding::kCp932,
                      CrLf({"DELAY=0", "START=1", "PLAYER=1", "MODE=BASIC", "LEVEL=3", "MUSICSTART", "4P:L   :    :",
                            "4P:LDU :    :", "4P:L   :    :", "MUSICEND"}),
                      // A step block is read whole before it is converted: the
                      // line is still the offending line's, its text the line
                      // as split.
                      {{ErrorCode::kPanelField, "song.d2r：変換不可能な脚符情報です8.:LDU :    :", 8, "", ""}}},
        // Comments and lines without a length code give no units, long notes
        // several; the block's end is reported on its own line, though the
        // reader has read the line after it.
        ErrorLineCase{"d2r_lines_of_a_block_that_give_several_units_or_none",
                      Conversion::kd2r2MSD,
                      "song.d2r",
                      SourceEncoding::kCp932,
                      CrLf({"DELAY=0", "START=1", "PLAYER=3", "MODE=BASIC", "LEVEL=3", "MUSICSTART", "4P:L   :    :",
                            "* comment", "4p:L   :LDU :", "4x", "T:L   :    :", "T:LDUR:    :", "T:L   :    :",
                            "8.:L   :    :T", "XX", "*----------------------"}),
                      {{ErrorCode::kOption, "song.d2r：指定不可能なオプションですXX", 15, "", ""},
                       {ErrorCode::kPanelField, "song.d2r：変換不可能な脚符情報ですT:LDUR:    :", 12, "", ""},
                       {ErrorCode::kOption, "song.d2r：指定不可能なオプションです8.:L   :    :T", 14, "", ""},
                       {ErrorCode::kPanelField, "song.d2r：変換不可能な脚符情報です8.:L   :LDU :", 9, "", ""},
                       {ErrorCode::kOption, "song.d2r：指定不可能なオプションです8.:L   :    :T", 14, "", ""}}},
        ErrorLineCase{"ddr_slot",
                      Conversion::kddr2MSD,
                      "song_sb.ddr",
                      SourceEncoding::kCp932,
                      CrLf({"#title t", "#basic", "#001:1842", "#002:1x42", "#003:9000"}),
                      {{ErrorCode::kDdrSlot, "song_sb.ddr：変換不可能な脚符ですx", 4, "", "measure 2 beat 2"}}},
        ErrorLineCase{"utf8_character_without_a_form",
                      Conversion::kMSD2d2r,
                      "song.msd",
                      SourceEncoding::kUtf8,
                      "#TITLE:t;\r\n#ARTIST:Love♥;\r\n#BPM:120;\r\n#GAP:0;\r\n#SINGLE:BASIC:1:4444;\r\n",
                      {{ErrorCode::kNoCp932Form, "song.msd：Shift-JISで表せない文字ですU+2665", 2, "", ""}}}),
    [](const ::testing::TestParamInfo<ErrorLineCase>& info) { return info.param.name; });

TEST(ErrorList, APlainLineIsWrittenAsItIsAndTheLogHoldsTheRenderedBytes) {
    ErrorList errors;
    errors.Add("song.msd", ErrorCode::kBeatGroupLength, "(12345)");
    errors.Add(PlainErrorLine("whole line"));
    EXPECT_EQ(errors.Lines(), (std::vector<std::string>{Utf8ToCp932("song.msd：変換不能な脚符長さです(12345)"),
                                                        "whole line"}));
    // Lines added outside any reading stand on no line.
    EXPECT_EQ(errors.Entries()[0].source_line, 0u);
}

}  // namespace
}  // namespace torvane
