#pragma once
// The fixed Japanese texts that go into chart files and error lines, as code
// page 932 bytes. They are converted from UTF-8 once, on first use.

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
    // Error messages; each begins with the full-width colon.
    std::string bad_step_length;       // ：変換不能な脚符長さです
    std::string bad_command;           // ：変換不能なコマンドです
    std::string bad_step_group;        // ：変換不能な脚符情報です
    std::string triplet_mismatch;      // ：プレイヤー間で３連符が不一致です
    std::string bad_panels;            // ：変換不可能な脚符情報です
    std::string bad_option;            // ：指定不可能なオプションです
    std::string step_length_mismatch;  // ：脚符長さが不整合です
    std::string bad_ddr_slot;          // ：変換不可能な脚符です
    std::string unterminated_chart;    // ：譜面データが「;」で終わっていません
    std::string unknown_difficulty;    // ：変換不可能な難易度です
    std::string chart_start_mismatch;  // ：譜面の開始位置がＧＡＰと不整合です

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
