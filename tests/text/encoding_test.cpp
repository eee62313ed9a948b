// Telling UTF-8 from Shift-JIS, and reading a UTF-8 source as code page 932.
#include "text/encoding.hpp"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "memory_source.hpp"
#include "test_support.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

using test::J;

struct ScanCase {
    std::string bytes;
    bool valid;
    bool long_sequence;
};

TEST(Utf8Scan, JudgesTheSameWhereverTheBytesAreCut) {
    const std::vector<ScanCase> cases = {
        {"plain ascii text that is long enough for words", true, false},
        {"caf\xC3\xA9", true, false},
        {"\xE6\x81\x8B", true, true},              // 恋
        {"\xF0\x9F\x98\x80", true, true},          // U+1F600
        {"\xC3\xBD\xC4", false, false},            // "ﾃｽﾄ" in Shift-JIS
        {"\xC3\xBD", true, false},                 // "ﾃｽ": two-byte UTF-8, never long
        {"\x82\xA0", false, false},                // あ in Shift-JIS
        {"\xC0\x80", false, false},                // overlong
        {"\xE0\x80\x80", false, false},            // overlong
        {"\xED\xA0\x80", false, false},            // surrogate
        {"\xF4\x90\x80\x80", false, false},        // past U+10FFFF
        {"\xE6\x81", false, false},                // cut off at the end
        {"\xE6\x81\x8Bx\x8B", false, false},
    };
    for (const ScanCase& c : cases) {
        for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            Utf8Scan scan;
            scan.Feed(std::string_view(c.bytes).substr(0, cut));
            scan.Feed(std::string_view(c.bytes).substr(cut));
            scan.End();
            EXPECT_EQ(scan.Valid(), c.valid) << testing::PrintToString(c.bytes) << " cut at " << cut;
            if (c.valid) {
                EXPECT_EQ(scan.HasLongSequence(), c.long_sequence) << testing::PrintToString(c.bytes);
            }
        }
    }
}

TEST(CodePointName, NamesTheCharacterOrTheByte) {
    EXPECT_EQ(CodePointName("\xF0\x9F\x98\x80"), "U+1F600");
    EXPECT_EQ(CodePointName("\xC3\xA9"), "U+00E9");
    EXPECT_EQ(CodePointName("\xFF"), "0xFF");
}

std::vector<std::string> ReadAll(LineSource& source) {
    std::vector<std::string> lines;
    for (std::string line; source.ReadLine(line);) lines.push_back(line);
    return lines;
}

TEST(Utf8Source, DropsTheByteOrderMarkOfTheFirstLineOnlyAndConvertsEveryLine) {
    const std::string bytes = "\xEF\xBB\xBF#TITLE:恋;\r\n\xEF\xBB\xBFx\r\nﾃｽﾄ\r\n";
    std::vector<std::string> unconvertible;
    auto source = MakeUtf8Source(MakeMemorySource(bytes), [&](std::string_view c) { unconvertible.emplace_back(c); });
    const std::vector<std::string> expected = {"#TITLE:" + J("恋") + ";", "?x", J("ﾃｽﾄ")};
    EXPECT_EQ(ReadAll(*source), expected);
    EXPECT_EQ(unconvertible, std::vector<std::string>{"\xEF\xBB\xBF"});  // U+FEFF inside a file has no form
}

TEST(Utf8Source, HandsEachUnconvertibleCharacterOverOnceAcrossRewinds) {
    const std::string bytes = "a😀\r\nb\xFF\r\nc😀\r\n";
    std::vector<std::string> unconvertible;
    auto source = MakeUtf8Source(MakeMemorySource(bytes), [&](std::string_view c) { unconvertible.emplace_back(c); });
    std::string line;
    ASSERT_TRUE(source->ReadLine(line));  // a first pass that stops early
    EXPECT_EQ(line, "a?");
    source->Rewind();
    EXPECT_EQ(ReadAll(*source), (std::vector<std::string>{"a?", "b?", "c?"}));
    source->Rewind();
    (void)ReadAll(*source);
    EXPECT_EQ(unconvertible, (std::vector<std::string>{"😀", "\xFF", "😀"}));
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

// Every two-byte character of code page 932 as iconv has it: JIS X 0208
// (rows 1 to 8 and 16 to 84), the NEC special characters and both IBM
// extensions, without the user-defined codes.
std::vector<std::string> Cp932Characters() {
    std::vector<std::string> characters;
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if ((lead >= 0xA0 && lead < 0xE0) || (lead >= 0xF0 && lead <= 0xF9)) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            std::string sjis = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[8];
            char* in = sjis.data();
            char* out_p = out;
            std::size_t in_left = 2;
            std::size_t out_left = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &in, &in_left, &out_p, &out_left) != static_cast<std::size_t>(-1)) {
                characters.push_back(sjis);
            }
        }
    }
    iconv_close(cd);
    return characters;
}

std::vector<std::string> HalfWidthKatakana() {
    std::vector<std::string> characters;
    for (unsigned byte = 0xA1; byte <= 0xDF; ++byte) characters.emplace_back(1, static_cast<char>(byte));
    return characters;
}

bool AutoReadsAsUtf8(std::string_view bytes) {
    Utf8Scan utf8;
    Cp932Scan cp932;
    utf8.Feed(bytes);
    cp932.Feed(bytes);
    utf8.End();
    cp932.End();
    return ReadsAsUtf8(utf8, cp932);
}

bool IsUtf8WithLongSequence(std::string_view bytes) {
    Utf8Scan scan;
    scan.Feed(bytes);
    scan.End();
    return scan.Valid() && scan.HasLongSequence();
}

TEST(ReadsAsUtf8, NeverTakesAPairOfShiftJisCharactersThatPassesForUtf8) {
    const auto jis = Cp932Characters();
    ASSERT_EQ(jis.size(), 7724u);
    std::vector<std::string> seconds = jis;
    for (const auto& kana : HalfWidthKatakana()) seconds.push_back(kana);
    // Within titles as they stand, the pair's neighbours ASCII, or the whole
    // would not pass for UTF-8.
    const std::vector<std::pair<std::string, std::string>> titles = {
        {"#TITLE:", ";\r\n"}, {"#TITLE:", " Koto Ensemble (Long Version);\r\n"}, {"#ARTIST:feat. ", " & DJ-7;\r\n"}};
    std::size_t pairs = 0;
    std::size_t first_characters = 0;
    std::size_t taken_for_utf8 = 0;
    for (const std::string& first : jis) {
        // A long sequence must begin at the first character: the second
        // alone is too short for one, and half-width katakana lead none.
        if (static_cast<unsigned char>(first[0]) < 0xE0) continue;
        bool counted = false;
        for (const std::string& second : seconds) {
            const std::string pair = first + second;
            if (!IsUtf8WithLongSequence(pair)) continue;
            ++pairs;
            if (!counted) ++first_characters;
            counted = true;
            if (AutoReadsAsUtf8(pair)) ++taken_for_utf8;
            for (const auto& [before, after] : titles) {
                if (AutoReadsAsUtf8(before + pair + after)) ++taken_for_utf8;
            }
        }
    }
    EXPECT_EQ(first_characters, 741u);
    EXPECT_EQ(pairs, 1283412u);
    EXPECT_EQ(taken_for_utf8, 0u);
    // The title that was taken for UTF-8: 箏 and ・ read as U+2D41, Tifinagh.
    EXPECT_FALSE(AutoReadsAsUtf8("#TITLE:" + J("箏・Koto Ensemble") + ";\r\n"));
}

TEST(ReadsAsUtf8, ReadsUtf8WithCharactersWithoutAShiftJisFormAmongJapanese) {
    for (const std::string text : {"Love♥テスト", "Café ★ ダンス", "ダンス💃", "🎵", "Ünïcödé ダンス ♪"}) {
        EXPECT_TRUE(AutoReadsAsUtf8("#TITLE:" + text + ";\r\n")) << text;
    }
}

// The characters of JIS X 0208 whose UTF-8 form, alone in a title, reads as
// Shift-JIS; the man page gives the number.
constexpr std::size_t kSingleCharactersTakenForShiftJis = 3567;

// How often a character or two of JIS X 0208 in UTF-8, alone in a title,
// reads as Shift-JIS. Two in a row always read as UTF-8; one alone reads so
// only when its Shift-JIS reading needs a code that no text holds, and the
// count here is the man page's.
TEST(ReadsAsUtf8, ReadsJapaneseUtf8AsUtf8ButForSomeCharactersStandingAlone) {
    const auto jis = Cp932Characters();
    std::vector<std::string> utf8;
    for (const std::string& sjis : jis) {
        const std::string text = Cp932ToUtf8(sjis);
        if (text.size() >= 3) utf8.push_back(text);
    }
    std::size_t alone_as_sjis = 0;
    for (const std::string& text : utf8) {
        if (!AutoReadsAsUtf8("#TITLE:" + text + ";\r\n")) ++alone_as_sjis;
    }
    EXPECT_EQ(alone_as_sjis, kSingleCharactersTakenForShiftJis) << "of " << utf8.size();
    std::size_t pairs_as_sjis = 0;
    for (std::size_t i = 0; i < utf8.size(); i += 7) {
        for (std::size_t j = 0; j < utf8.size(); j += 5) {
            if (!AutoReadsAsUtf8("#TITLE:" + utf8[i] + utf8[j] + ";\r\n")) ++pairs_as_sjis;
        }
    }
    EXPECT_EQ(pairs_as_sjis, 0u);
}

}  // namespace
}  // namespace torvane
