#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/error_list.hpp"
#include "text/fixed_texts.hpp"
#include "text/numbers.hpp"
#include "text/output_names.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

using test::ReadFile;
using test::TempDir;

TEST(FixedTexts, AreCodePage932Bytes) {
    // "：" is 81 46 in code page 932; "変換" is 95 CF 8A B7.
    EXPECT_EQ(ErrorMessage(ErrorCode::kBeatGroupLength).substr(0, 6), "\x81\x46\x95\xcf\x8a\xb7");
    EXPECT_EQ(Texts().made_by_suffix.substr(0, 2), "\x81\x69");  // "（"
    EXPECT_EQ(ErrorMessage(ErrorCode::kUnterminatedChart).front(), '\x81');
    for (const std::string* message :
         {&ErrorMessage(ErrorCode::kBeatGroupLength), &ErrorMessage(ErrorCode::kCommandGroup), &ErrorMessage(ErrorCode::kTwoBeatGroup), &ErrorMessage(ErrorCode::kTripletMismatch),
          &ErrorMessage(ErrorCode::kPanelField), &ErrorMessage(ErrorCode::kOption), &ErrorMessage(ErrorCode::kTripletOffBeat), &ErrorMessage(ErrorCode::kDdrSlot),
          &ErrorMessage(ErrorCode::kUnterminatedChart), &ErrorMessage(ErrorCode::kUnknownDifficulty), &ErrorMessage(ErrorCode::kChartStartsBeforeGap)}) {
        EXPECT_EQ(message->substr(0, 2), "\x81\x46") << "messages begin with the full-width colon";
        EXPECT_EQ(message->find('?'), std::string::npos) << "every character has a code page 932 form";
    }
}

TEST(Sjis, ConvertsBothWaysAndMarksWhatHasNoForm) {
    EXPECT_EQ(Utf8ToCp932("曲.msd"), "\x8b\xc8.msd");
    EXPECT_EQ(Cp932ToUtf8("\x8b\xc8.msd"), "曲.msd");
    EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b");
    EXPECT_EQ(Utf8ToCp932("a\xff" "b"), "a?b");
    EXPECT_EQ(Cp932ToUtf8("a\x81"), "a?");
    EXPECT_EQ(FileNameForErrorLine("/charts/曲/song.msd"), "song.msd");
    EXPECT_EQ(FileNameForErrorLine("/charts/曲.msd"), "\x8b\xc8.msd");
    // A name that is not UTF-8 is taken for code page 932 already.
    EXPECT_EQ(FileNameForErrorLine(std::filesystem::path("/charts") / "\x82\xa0.msd"), "\x82\xa0.msd");
}

TEST(SjisCharacterLength, TakesALeadByteAndItsTrailByteTogether) {
    EXPECT_EQ(SjisCharacterLength("\x82\x54:", 0), 2u);  // "５"
    EXPECT_EQ(SjisCharacterLength("5:", 0), 1u);
    EXPECT_EQ(SjisCharacterLength("\x82", 0), 1u) << "a lead byte at the end";
    EXPECT_EQ(SjisCharacterLength("\x82:", 0), 1u) << "\":\" is no trail byte";
    EXPECT_EQ(SjisCharacterLength("\x82\x7f", 0), 1u) << "7F is no trail byte";
    EXPECT_EQ(SjisCharacterLength("a\x83\x5c", 1), 2u) << "a second byte that looks like \"\\\"";
}

TEST(WithoutLastCharacter, DropsADoubleByteCharacterWhole) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"abc;", "abc"},
        {"abc", "ab"},
        {"\x83\x65\x83\x67", "\x83\x65"},  // テト
        {"a\x83\x67", "a"},
        // 83 83 is "ャ"; the second 83 is its second byte, not a first one.
        {"\x83\x83\x83", "\x83\x83"},
        {"\x83\x83\x83\x67", "\x83\x83"},
        // A lone first byte at the end is a character of its own.
        {"ab\x83", "ab"},
    };
    for (const auto& [text, kept] : cases) EXPECT_EQ(WithoutLastCharacter(text), kept) << text;
}

TEST(ErrorList, JoinsNameMessageAndTextAndSavesCrLfLines) {
    ErrorList errors;
    errors.Add("song.msd", ErrorCode::kBeatGroupLength, "(12345)");
    errors.Add("b.d2r", ErrorCode::kOption);
    ASSERT_EQ(errors.Size(), 2u);
    EXPECT_EQ(errors.Lines()[0], "song.msd" + ErrorMessage(ErrorCode::kBeatGroupLength) + "(12345)");
    EXPECT_EQ(errors.Lines()[1], "b.d2r" + ErrorMessage(ErrorCode::kOption));
    TempDir dir;
    errors.SaveTo(dir / "ErrLog.txt");
    EXPECT_EQ(ReadFile(dir / "ErrLog.txt"), errors.Lines()[0] + "\r\n" + errors.Lines()[1] + "\r\n");
    errors.Clear();
    EXPECT_TRUE(errors.Empty());
}

TEST(ErrorList, KeepsTheFirstLinesAndNotesAndCountsTheOtherLines) {
    struct Case {
        std::size_t keep;
        std::size_t kept;
        std::size_t not_kept;
    };
    for (const Case c : {Case{0, 0, 5}, Case{2, 2, 3}, Case{5, 5, 0}, Case{9, 5, 0}}) {
        ErrorList errors;
        errors.KeepAtMost(c.keep);
        for (int i = 0; i < 4; ++i) {
            errors.Add("song.msd", ErrorCode::kBeatGroupLength, "(" + std::to_string(i) + ")");
            errors.AddNote("note", "", std::to_string(i));
        }
        errors.Add(PlainErrorLine("last"));
        ASSERT_EQ(errors.Size(), c.kept) << c.keep;
        EXPECT_EQ(errors.LinesNotKept(), c.not_kept) << c.keep;
        EXPECT_EQ(errors.Notes().size(), std::min<std::size_t>(c.keep, 4)) << c.keep;
        if (c.kept > 1) {
            EXPECT_EQ(errors.Lines()[1], "song.msd" + ErrorMessage(ErrorCode::kBeatGroupLength) + "(1)");
        }
        if (!errors.Notes().empty()) {
            EXPECT_EQ(errors.Notes()[0].value, "0");
        }
        errors.Clear();
        EXPECT_EQ(errors.LinesNotKept(), 0u);
    }
}

TEST(ReadDecimal, ReadsTrimmedDecimalNumbers) {
    struct Case {
        const char* text;
        double value;
    };
    for (const Case& c : {Case{"150", 150}, Case{" 128.55\t", 128.55}, Case{"-0.05", -0.05}, Case{"+3", 3},
                          Case{"1e3", 1000}, Case{"\x01 12.9 \x7f", 12.9}, Case{".5", 0.5}}) {
        EXPECT_DOUBLE_EQ(ReadDecimal(c.text, "a.msd", "#BPM:"), c.value) << c.text;
    }
}

TEST(ReadDecimal, RejectsWhatIsNotAFiniteNumberNamingFileKeyAndText) {
    for (const char* text : {"", " ", "abc", "1,5", "12a", "inf", "nan", "1e999", "--1", "+-1"}) {
        EXPECT_THROW((void)ReadDecimal(text, "a.msd", "#BPM:"), ConversionError) << text;
    }
    try {
        (void)ReadDecimal("fast", "/x/song.msd", "#BPM:");
        FAIL();
    } catch (const ConversionError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("song.msd"), std::string::npos);
        EXPECT_NE(message.find("#BPM:"), std::string::npos);
        EXPECT_NE(message.find("fast"), std::string::npos);
    }
}

TEST(ReadWholeNumber, ReadsSignedIntegersOnly) {
    EXPECT_EQ(ReadWholeNumber(" -40 ", "a", "DELAY="), -40);
    EXPECT_EQ(ReadWholeNumber("+4", "a", "START="), 4);
    for (const char* text : {"", "1.5", "x", "99999999999999999999"}) {
        EXPECT_THROW((void)ReadWholeNumber(text, "a", "DELAY="), ConversionError) << text;
    }
}

TEST(FormatGeneral, WritesAtMostSevenSignificantDigits) {
    EXPECT_EQ(FormatGeneral(150), "150");
    EXPECT_EQ(FormatGeneral(128.5), "128.5");
    EXPECT_EQ(FormatGeneral(1285.0 / 10), "128.5");
    EXPECT_EQ(FormatGeneral(123.45678), "123.4568");
    EXPECT_EQ(FormatGeneral(-0.0), "0");
    EXPECT_EQ(FormatGeneral(0.1), "0.1");
}

TEST(ReplaceExtension, ReplacesFromTheLastDotOfTheFileName) {
    EXPECT_EQ(ReplaceExtension("song.msd", ".d2r"), "song.d2r");
    EXPECT_EQ(ReplaceExtension("a.b.msd", ".MSD"), "a.b.MSD");
    EXPECT_EQ(ReplaceExtension("song", ".ddr"), "song.ddr");
    EXPECT_EQ(ReplaceExtension("/x.y/song", ".ddr"), "/x.y/song.ddr");
    EXPECT_EQ(ReplaceExtension("/x/song.msd", ".d2r"), "/x/song.d2r");
}

TEST(ConversionError, WordsEachKindFromItsDataAndNamesTheFileOnce) {
    struct Case {
        ConversionError error;
        const char* what;
        const char* code;
    };
    const Case cases[] = {
        {ConversionError(Failure::kOpenForReading, "/x/song.msd", {}, {}, ENOENT),
         "/x/song.msd: cannot open it for reading: No such file or directory", "open-for-reading"},
        {ConversionError(Failure::kCreate, "/ro/song.d2r", {}, {}, EACCES),
         "/ro/song.d2r: cannot create it: Permission denied", "create"},
        {ConversionError(Failure::kSourceIsDestination, "a/song.MSD"),
         "a/song.MSD: is the source file itself; it is left unchanged", "source-is-destination"},
        {ConversionError(Failure::kNotANumber, "/x/song.msd", "#BPM:", "abc"),
         "song.msd: the value of #BPM: \"abc\" is not a number", "not-a-number"},
        {ConversionError(Failure::kNumberOutOfRange, "/x/song.d2r", "START", "99999"),
         "song.d2r: the value of START \"99999\" is out of range", "number-out-of-range"},
        {ConversionError(Failure::kWrongFormat, "song.ddr", "an MSD", "no MSD tag in it"),
         "song.ddr: not an MSD file (no MSD tag in it)", "wrong-format"},
        {ConversionError(Failure::kTooLarge, "song.d2r", {}, "a step block of more than 4 GB"),
         "song.d2r: too large to convert: a step block of more than 4 GB", "too-large"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.error.what(), c.what);
        EXPECT_EQ(FailureCode(c.error.Kind()), c.code);
    }
}

}  // namespace
}  // namespace torvane
