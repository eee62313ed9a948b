#pragma once
// How a chart is named to people and in file names.

#include <string>
#include <string_view>

#include "msd/chart_model.hpp"

namespace torvane {

// "Single", "Double", "Couple".
[[nodiscard]] std::string_view StyleName(ChartStyle style);

// "Basic", "Another", "Maniac", or the word a chart of another difficulty
// has (code page 932 bytes), "no difficulty" when it has none.
[[nodiscard]] std::string DifficultyName(const Chart& chart);

// "Single Basic level 3", UTF-8.
[[nodiscard]] std::string DescribeChart(const Chart& chart);

// The language of the words in a picture of a chart: torvane-cli writes
// English unless asked, the window Japanese.
enum class PictureLanguage { kEnglish, kJapanese };

// The words of a picture, UTF-8, in one language.
struct PictureWords {
    std::string_view styles[3];        // indexed by ChartStyle
    std::string_view difficulties[3];  // indexed by ChartDifficulty, kUnknown aside
    std::string_view no_difficulty;
    std::string_view level;        // before the level: "level ", "レベル"
    std::string_view no_title;
    std::string_view unknown_tempo;  // in place of "150 BPM"
    // Counts: "12 steps" in English, "ステップ 12" in Japanese.
    std::string_view step, jump, triplet;
    bool count_after_word;
    bool plural_s;
    std::string_view rhythms[5];  // on the beat, 8th, 16th, 32nd, triplet, with their colours
};

[[nodiscard]] const PictureWords& WordsOf(PictureLanguage language);

// The style and difficulty in `language`, UTF-8 (a difficulty word of the
// chart's own is converted from code page 932).
[[nodiscard]] std::string_view StyleWord(ChartStyle style, PictureLanguage language);
[[nodiscard]] std::string DifficultyWord(const Chart& chart, PictureLanguage language);

// The letter of a picture's name for a difficulty the formats do not know.
inline constexpr char kUnknownDifficultyLetter = 'x';

// The letters of the ddr file names: "s", "d", "c"; "b", "a", "m", and "x"
// for a difficulty the formats do not know.
[[nodiscard]] char StyleLetter(ChartStyle style);
[[nodiscard]] char DifficultyLetter(ChartDifficulty difficulty);

}  // namespace torvane
