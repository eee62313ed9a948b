#include "msd/header.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace torvane {
namespace {

struct HeaderCase {
    std::string key;
    std::size_t tag_length;
    std::string line;
    std::size_t trim;
    std::string result;
};

TEST(TranslateHeaderLine, CutsTheValueAndPutsItBehindTheKey) {
    const std::vector<HeaderCase> cases = {
        {"MUSIC=", 6, "#FILE:song.wav;", 1, "MUSIC=song.wav"},
        {"SHORTCUT=", 6, "#FILE:song.wav;", 1, "SHORTCUT=songs.wav"},
        {"SHORTCUT=", 6, "#FILE:song;", 1, "SHORTCUT=songs.wav"},
        {"SHORTCUT=", 6, "#FILE:a.b.wav;", 1, "SHORTCUT=a.bs.wav"},
        {"SHORTCUT=", 6, "#FILE:dir.x\\song;", 1, "SHORTCUT=dir.x\\songs.wav"},
        {"SHORTCUT=", 6, "#FILE:c:song;", 1, "SHORTCUT=c:songs.wav"},
        {"SHORTCUT=", 6, "#FILE:;", 1, "SHORTCUT=s.wav"},
        // "ソ" is 83 5C: its second byte is no folder separator.
        {"SHORTCUT=", 6, "#FILE:a.\x83\x5c" "b;", 1, "SHORTCUT=as.wav"},
        {"TITLE=", 7, "#TITLE:abc", 1, "TITLE=ab"},
        {"TITLE=", 7, "#TITLE: a=b:c ;", 1, "TITLE= a=b:c "},
        // Without ";" a double-byte last character goes whole: "テスト" gives
        // "テス", and "ソ" (83 5C) is no "\" followed by a character.
        {"TITLE=", 7, "#TITLE:\x83\x65\x83\x58\x83\x67", 1, "TITLE=\x83\x65\x83\x58"},
        {"TITLE=", 7, "#TITLE:\x83\x5c", 1, "TITLE="},
        {"TITLE=", 7, "#TITLE:\x83\x5c;", 1, "TITLE=\x83\x5c"},
        {"* MSD:", 5, "#MSD:x;", 1, "* MSD:x"},
        {"#comment GAP ", 5, "#GAP:", 1, "#comment GAP "},
        {"#comment GAP ", 5, "#GAP:;", 1, "#comment GAP "},
        {"#title ", 7, "#TITLE:Sample;", 1, "#title Sample"},
        {"#TITLE:", 6, "TITLE=abc", 0, "#TITLE:abc;"},
        {"#TITLE:", 6, "TITLE= abc ", 0, "#TITLE: abc ;"},
        {"#FILE:", 6, "MUSIC=", 0, "#FILE:;"},
        {"#TITLE:", 7, "#title Sample", 0, "#TITLE:Sample;"},
        {"", 6, "LEVEL=10", 0, "10"},
        {"", 5, "MODE=BASIC", 0, "BASIC"},
    };
    for (const auto& c : cases) {
        std::string result = "old";
        TranslateHeaderLine(c.key, c.tag_length, c.line, c.trim, result);
        EXPECT_EQ(result, c.result) << c.line << " with " << c.key;
    }
}

TEST(TranslateHeaderLine, MapsOnlyWholePlayerLinesToStyles) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"PLAYER=1", "#SINGLE"}, {"PLAYER=2", "#COUPLE"}, {"PLAYER=3", "#DOUBLE"},
        {"PLAYER=4", "kept"},    {"PLAYER=1 ", "kept"},   {"PLAYER=", "kept"},
    };
    for (const auto& [line, expected] : cases) {
        std::string result = "kept";
        TranslateHeaderLine("#", 7, line, 0, result);
        EXPECT_EQ(result, expected) << line;
    }
}

}  // namespace
}  // namespace torvane
