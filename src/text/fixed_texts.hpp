#pragma once
// The fixed Japanese texts that go into chart files, as code page 932 bytes
// (the messages of error lines are in text/error_codes.hpp). They are converted from UTF-8 once, on first use.

#include <array>
#include <string>
#include <string_view>

namespace torvane {

// Where the program is published; the third line of every file's banner.
// Written without "//", which MSD parsers take for the start of a comment
// and would lose the ";" after it.
inline constexpr std::string_view kPublicationAddress = "torvane.org";

// The window's caption, which every converted file names in its banner.
inline constexpr std::string_view kCaption = "Torvane Ver.4.2";

struct FixedTexts {
    // Banner pieces.
    std::string made_by_prefix;  // このファイルは
    std::string made_by_suffix;  // （ＭＩＲＶＯ作）により作成されました。
    std::string publication;     // 公開ページ：
};

[[nodiscard]] const FixedTexts& Texts();

// The four banner lines that begin every file the program writes, naming
// `caption` and the address; each format puts its comment `mark` in front of
// every line and `end` after it ("#" and ";" in MSD).
[[nodiscard]] std::array<std::string, 4> BannerLines(std::string_view mark, std::string_view end,
                                                    std::string_view caption);

}  // namespace torvane
