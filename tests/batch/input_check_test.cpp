// What is checked before a source is converted, and how its encoding is told.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "batch/input_check.hpp"
#include "batch/runner.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::J;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct FormatLineCase {
    Conversion conversion;
    std::string line;
    bool of_format;
};

class FormatLines : public ::testing::TestWithParam<FormatLineCase> {};

TEST_P(FormatLines, AreTheTagsKeysDirectivesAndStepLinesOfTheSourceFormat) {
    EXPECT_EQ(IsLineOfFormat(GetParam().conversion, GetParam().line), GetParam().of_format) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatLines,
    ::testing::Values(FormatLineCase{Conversion::kMSD2d2r, "#TITLE:x;", true},
                      FormatLineCase{Conversion::kMSD2ddr, "#DOUBLE:BASIC:1:", true},
                      FormatLineCase{Conversion::kMSD2d2r, "#GAP:0;", true},
                      FormatLineCase{Conversion::kMSD2d2r, "#title x", false},
                      FormatLineCase{Conversion::kMSD2d2r, "TITLE=x", false},
                      FormatLineCase{Conversion::kMSD2d2r, " #TITLE:x;", false},
                      FormatLineCase{Conversion::kMSD2d2r, "#;", false},
                      FormatLineCase{Conversion::kd2r2MSD, "TITLE=x", true},
                      FormatLineCase{Conversion::kd2r2MSD, "GAMEMODE=ORIGINAL", true},
                      FormatLineCase{Conversion::kd2r2MSD, "8.:L   :    :", true},
                      FormatLineCase{Conversion::kd2r2MSD, "4P:    :    :", true},
                      FormatLineCase{Conversion::kd2r2MSD, "T:LD  :    :", true},
                      FormatLineCase{Conversion::kd2r2MSD, "40208060", false},  // MSD step data
                      FormatLineCase{Conversion::kd2r2MSD, "#TITLE:x;", false},
                      FormatLineCase{Conversion::kd2r2MSD, "* comment", false},
                      FormatLineCase{Conversion::kddr2MSD, "#title x", true},
                      FormatLineCase{Conversion::kddr2MSD, "#maniac", true},
                      FormatLineCase{Conversion::kddr2MSD, "#001:1000", true},
                      FormatLineCase{Conversion::kddr2MSD, "$1000:1000", true},
                      FormatLineCase{Conversion::kddr2MSD, "#01:1000", false},
                      FormatLineCase{Conversion::kddr2MSD, "#comment LEVEL 3", false},
                      FormatLineCase{Conversion::kddr2MSD, "#TITLE:x;", false},
                      FormatLineCase{Conversion::kddr2MSD, "#SINGLE:BASIC:1:", false}));

// The kind of the refusal of `bytes` as a source of `conversion`, or nothing.
std::optional<ConversionError> Refusal(Conversion conversion, const std::string& bytes) {
    MemoryStorage storage;
    storage.files["in"] = bytes;
    try {
        (void)CheckSource(conversion, "in", EncodingChoice::kAuto, storage);
    } catch (const ConversionError& error) {
        return error;
    }
    return std::nullopt;
}

TEST(CheckSource, RefusesEmptyBinaryAndWrongFormatFiles) {
    EXPECT_EQ(Refusal(Conversion::kMSD2d2r, "")->Kind(), Failure::kEmptyFile);
    EXPECT_EQ(Refusal(Conversion::kMSD2d2r, std::string("#TITLE:a;\r\n\0\0", 13))->Kind(), Failure::kBinaryData);
    const auto wrong = Refusal(Conversion::kddr2MSD, CrLf({"#TITLE:a;", "#SINGLE:BASIC:1:", "4;"}));
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->Kind(), Failure::kWrongFormat);
    EXPECT_EQ(EnglishReason(*wrong), "not a ddr file (no ddr directive or step line in it)");
    EXPECT_EQ(EnglishReason(*Refusal(Conversion::kMSD2ddr, CrLf({"TITLE=a", "8.:L   :    :"}))),
              "not an MSD file (no MSD tag in it)");
    EXPECT_EQ(EnglishReason(*Refusal(Conversion::kd2r2MSD, "\r\n\r\n")), "not a d2r file (no d2r key or step line in it)");
    EXPECT_EQ(Refusal(Conversion::kMSD2d2r, "random words\n")->Kind(), Failure::kWrongFormat);
}

TEST(CheckSource, AcceptsAHeaderOnlyMsdAndAFormatLineFarDown) {
    EXPECT_FALSE(Refusal(Conversion::kMSD2d2r, CrLf({"#TITLE:only a header;"})));
    std::string late(100000, 'x');
    late += "\r\n#BPM:120;\r\n";
    EXPECT_FALSE(Refusal(Conversion::kMSD2d2r, late));
}

TEST(CheckSource, LooksForNulOnlyInTheFirst64KiB) {
    std::string head = "#TITLE:a;\r\n";
    head.append(kBinaryCheckBytes - head.size() - 2, 'x');
    EXPECT_EQ(Refusal(Conversion::kMSD2d2r, head + std::string("\0\r\n", 3))->Kind(), Failure::kBinaryData);
    std::string tail = head;
    tail.append(100, 'x');
    EXPECT_FALSE(Refusal(Conversion::kMSD2d2r, tail + std::string("\r\n\0\r\n", 5)));
}

SourceEncoding Encoding(const std::string& bytes, EncodingChoice choice = EncodingChoice::kAuto) {
    MemoryStorage storage;
    storage.files["in"] = bytes;
    return CheckSource(Conversion::kMSD2d2r, "in", choice, storage);
}

// Titles, artists and comments as real charts hold them, in Shift-JIS.
const std::vector<std::string> kJapaneseTexts = {
    "恋のメロディ", "ﾃｽﾄ", "ｱｲｳｴｵ", "ﾀｲﾄﾙ：恋のﾒﾛﾃﾞｨ", "夏祭り★ダンス", "桜吹雪～Remix～",
    "作曲：山田太郎", "ステップ譜面　上級", "踊れ！　ＤＡＮＣＥ　ＭＡＮＩＡＣ", "♪ハッピー♪", "鬼", "難易度：激ムズ",
    "ﾊﾟｰﾃｨｰ ﾀｲﾑ", "Ｂｅａｔ　ｏｆ　ｔｈｅ　Ｎｉｇｈｔ", "秋の夜長に", "雪月花", "ｶﾞﾝﾊﾞﾚ!!", "風の谷のうた",
    "東京ナイト（Ｅｘｔｅｎｄｅｄ）", "αβγ", "①②③", "〒東京都", "ﾎﾞｸﾉｺﾄ", "曲名未定", "ＢＰＭ変化あり",
};

TEST(CheckSource, NeverTakesTypicalShiftJisForUtf8) {
    std::vector<std::string> whole_file = {"#TITLE:" + J(kJapaneseTexts[0]) + ";"};
    for (const std::string& text : kJapaneseTexts) {
        const std::string title = "#TITLE:" + J(text) + ";";
        EXPECT_EQ(Encoding(CrLf({title, "#ARTIST:" + J(text) + ";", "#SINGLE:BASIC:3:", "4;"})),
                  SourceEncoding::kCp932)
            << text;
        EXPECT_EQ(Encoding(CrLf({"#" + J(text), "#MSD:" + J(text) + ";"})), SourceEncoding::kCp932) << text;
        whole_file.push_back("#MSD:" + J(text) + ";");
    }
    EXPECT_EQ(Encoding(CrLf(whole_file)), SourceEncoding::kCp932);
}

TEST(CheckSource, ReadsUtf8WithALongCharacterOrTheByteOrderMarkAsUtf8) {
    for (const std::string& text : kJapaneseTexts) {
        // Only characters of three or more bytes tell UTF-8.
        if (std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xE0; })) {
            continue;
        }
        // One three-byte character alone is a kanji and a half-width
        // katakana of Shift-JIS as well ("鬼" is E9 AC BC): Shift-JIS it is.
        if (text == "鬼") {
            EXPECT_EQ(Encoding(CrLf({"#TITLE:" + text + ";"})), SourceEncoding::kCp932);
            continue;
        }
        EXPECT_EQ(Encoding(CrLf({"#TITLE:" + text + ";"})), SourceEncoding::kUtf8) << text;
    }
    // Two-byte characters alone could be Shift-JIS half-width katakana.
    EXPECT_EQ(Encoding(CrLf({"#TITLE:Café;"})), SourceEncoding::kCp932);
    EXPECT_EQ(Encoding("\xEF\xBB\xBF#TITLE:Cafe;\r\n"), SourceEncoding::kUtf8);
    // Valid UTF-8 until a byte that is not.
    EXPECT_EQ(Encoding(CrLf({"#TITLE:恋;", "#ARTIST:\x82\xa0;"})), SourceEncoding::kCp932);
    EXPECT_EQ(Encoding(CrLf({"#TITLE:恋;"}), EncodingChoice::kUtf8), SourceEncoding::kUtf8);
    EXPECT_EQ(Encoding(CrLf({"#TITLE:恋;"}), EncodingChoice::kCp932), SourceEncoding::kCp932);
}

// A Shift-JIS chart of each format with Japanese in every place a chart can
// hold it, and its two UTF-8 twins.
struct Twins {
    std::string cp932;
    std::string utf8;
    std::string utf8_with_mark;
    std::string utf16le;  // each with its mark
    std::string utf16be;
};

std::string Utf16(const std::string& utf8, bool big_endian) {
    std::string utf16 = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        std::vector<char32_t> units = {code};
        if (code >= 0x10000) units = {0xD800 + ((code - 0x10000) >> 10), 0xDC00 + ((code - 0x10000) & 0x3FF)};
        for (const char32_t unit : units) {
            const char high = static_cast<char>(unit >> 8);
            const char low = static_cast<char>(unit & 0xFF);
            utf16 += big_endian ? std::string{high, low} : std::string{low, high};
        }
    }
    return utf16;
}

Twins MakeTwins(const std::string& cp932) {
    const std::string utf8 = Cp932ToUtf8(cp932);
    return {cp932, utf8, "\xEF\xBB\xBF" + utf8, Utf16(utf8, false), Utf16(utf8, true)};
}

const std::string kJapaneseMsd = CrLf({
    "#" + J("譜面：山田ﾃｽﾄ") + ";",
    "#TITLE:" + J("恋のﾒﾛﾃﾞｨ～夏～") + ";",
    "#ARTIST:" + J("作曲：ＤＪ太郎") + ";",
    "#FILE:" + J("曲.wav") + ";",
    "#MSD:" + J("踊れ！") + ";",
    "#BPM:150;",
    "#GAP:-40;",
    "#SINGLE:BASIC:3:",
    "00000000(4000)2(4268)(123)8;",
    "#DOUBLE:ANOTHER:5:",
    "000000004000:000000006000;",
});

// The outputs of converting `bytes` as a source of `conversion` with the
// runner's conversion of one file, by destination name.
std::map<std::string, std::string> Convert(Conversion conversion, const std::string& bytes, const std::string& name,
                                           std::vector<std::string>& error_lines) {
    TempDir dir;
    WriteFile(dir / name, bytes);
    PlannedFile file{dir / name, DestinationFor(conversion, dir / name, dir / "out"), PlanProblem::kNone, {}};
    ErrorList errors;
    SourceEncoding encoding = SourceEncoding::kCp932;
    std::map<std::string, std::string> outputs;
    for (const auto& written : ConvertPlannedFile(conversion, BatchSettings{}, file, errors, DiskStorage(), encoding)) {
        outputs[written.filename().string()] = ReadFile(written);
    }
    error_lines = errors.Lines();
    return outputs;
}

TEST(Utf8Sources, GiveTheBytesOfTheirShiftJisTwinInEveryConversion) {
    // The d2r and ddr sources are what the MSD converts to.
    std::vector<std::string> lines;
    const auto d2r = Convert(Conversion::kMSD2d2r, kJapaneseMsd, "song.msd", lines).at("song.d2r");
    const auto ddr = Convert(Conversion::kMSD2ddr, kJapaneseMsd, "song.msd", lines).at("song_sb.ddr");
    struct Case {
        Conversion conversion;
        std::string name;
        std::string source;
    };
    for (const Case& c : {Case{Conversion::kMSD2d2r, "song.msd", kJapaneseMsd},
                          Case{Conversion::kMSD2ddr, "song.msd", kJapaneseMsd},
                          Case{Conversion::kd2r2MSD, "song.d2r", d2r}, Case{Conversion::kddr2MSD, "song_sb.ddr", ddr}}) {
        const Twins twins = MakeTwins(c.source);
        ASSERT_NE(twins.utf8, twins.cp932);
        std::vector<std::string> cp932_lines, utf8_lines, marked_lines, le_lines, be_lines;
        const auto expected = Convert(c.conversion, twins.cp932, c.name, cp932_lines);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(Convert(c.conversion, twins.utf8, c.name, utf8_lines), expected) << c.name;
        EXPECT_EQ(Convert(c.conversion, twins.utf8_with_mark, c.name, marked_lines), expected) << c.name;
        EXPECT_EQ(Convert(c.conversion, twins.utf16le, c.name, le_lines), expected) << c.name;
        EXPECT_EQ(Convert(c.conversion, twins.utf16be, c.name, be_lines), expected) << c.name;
        EXPECT_EQ(utf8_lines, cp932_lines);
        EXPECT_EQ(marked_lines, cp932_lines);
        EXPECT_EQ(le_lines, cp932_lines);
        EXPECT_EQ(be_lines, cp932_lines);
    }
}

TEST(CheckSource, ReadsUtf16WithItsMarkInEitherOrderWhateverTheChoice) {
    const std::string msd = CrLf({"#TITLE:" + J("恋のうた") + ";", "#SINGLE:BASIC:3:", "4;"});
    const Twins twins = MakeTwins(msd);
    for (const EncodingChoice choice : {EncodingChoice::kAuto, EncodingChoice::kUtf8, EncodingChoice::kCp932}) {
        EXPECT_EQ(Encoding(twins.utf16le, choice), SourceEncoding::kUtf16LE);
        EXPECT_EQ(Encoding(twins.utf16be, choice), SourceEncoding::kUtf16BE);
    }
    // Without its mark, UTF-16 is binary data as before.
    EXPECT_EQ(Refusal(Conversion::kMSD2d2r, twins.utf16le.substr(2))->Kind(), Failure::kBinaryData);
    // Still of the format or not.
    EXPECT_EQ(Refusal(Conversion::kddr2MSD, twins.utf16le)->Kind(), Failure::kWrongFormat);
}

TEST(CheckSource, RefusesWhatIsNotUtf8UnderTheUtf8ChoiceNamingItsLine) {
    struct Case {
        std::string bytes;
        std::string line;
    };
    for (const Case& c : {Case{CrLf({"#TITLE:" + J("恋") + ";"}), "line 1"},
                          Case{CrLf({"#TITLE:恋;", "#ARTIST:x;", "#MSD:" + J("ﾃｽﾄ") + ";"}), "line 3"},
                          Case{"#TITLE:a;\r#ARTIST:b;\n\r\n#MSD:\xE6\x81;", "line 4"},  // cut off at the end
                          Case{"\xEF\xBB\xBF#TITLE:a;\r\n\xFF;\r\n", "line 2"}}) {
        MemoryStorage storage;
        storage.files["in"] = c.bytes;
        try {
            (void)CheckSource(Conversion::kMSD2d2r, "in", EncodingChoice::kUtf8, storage);
            ADD_FAILURE() << c.line;
        } catch (const ConversionError& error) {
            EXPECT_EQ(error.Kind(), Failure::kNotUtf8);
            EXPECT_EQ(error.Text(), c.line);
            EXPECT_EQ(EnglishReason(error), "not UTF-8 (" + c.line + ")");
        }
    }
}

// The titles of the issue both ways, through the whole check: Shift-JIS that
// passes for UTF-8, and UTF-8 with characters that code page 932 lacks.
TEST(CheckSource, WeighsTheUtf8ReadingAgainstTheShiftJisReading) {
    for (const std::string& title : {J("箏・Koto Ensemble"), J("鬼ｼ"), J("驍ｼ Remix")}) {
        EXPECT_EQ(Encoding(CrLf({"#TITLE:" + title + ";", "#SINGLE:BASIC:3:", "4;"})), SourceEncoding::kCp932);
    }
    for (const std::string title : {"Love♥テスト", "Café ★ ダンス", "ダンス💃", "恋のうた"}) {
        EXPECT_EQ(Encoding(CrLf({"#TITLE:" + title + ";", "#SINGLE:BASIC:3:", "4;"})), SourceEncoding::kUtf8)
            << title;
    }
    std::vector<std::string> lines;
    const auto outputs = Convert(Conversion::kMSD2d2r, CrLf({"#TITLE:Love♥テスト;", "#SINGLE:BASIC:3:", "4;"}),
                                 "song.msd", lines);
    EXPECT_NE(outputs.at("song.d2r").find("TITLE=Love?" + J("テスト") + "\r\n"), std::string::npos);
    EXPECT_EQ(lines, std::vector<std::string>{"song.msd" + ErrorMessage(ErrorCode::kNoCp932Form) + "U+2665"});
}

TEST(Utf8Sources, ACharacterWithoutAShiftJisFormBecomesAQuestionMarkAndOneErrorLine) {
    std::vector<std::string> lines;
    const auto outputs =
        Convert(Conversion::kMSD2d2r, CrLf({"#TITLE:曲😀;", "#SINGLE:BASIC:3:", "(12345)4;"}), "song.msd", lines);
    EXPECT_NE(outputs.at("song.d2r").find("TITLE=" + J("曲") + "?\r\n"), std::string::npos);
    // Reported once, though the file is read twice; beside the chart's own line.
    EXPECT_EQ(lines, (std::vector<std::string>{"song.msd" + ErrorMessage(ErrorCode::kNoCp932Form) + "U+1F600",
                                               "song.msd" + ErrorMessage(ErrorCode::kBeatGroupLength) + "(12345)"}));
}

}  // namespace
}  // namespace torvane
