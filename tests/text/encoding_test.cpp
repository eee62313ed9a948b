// Telling UTF-8 from Shift-JIS, and reading a UTF-8 source as code page 932.
#include "text/encoding.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_source.hpp"
#include "test_support.hpp"

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
