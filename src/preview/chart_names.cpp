#include "preview/chart_names.hpp"

#include "text/sjis.hpp"

namespace torvane {

std::string_view StyleName(ChartStyle style) { return StyleWord(style, PictureLanguage::kEnglish); }

std::string DifficultyName(const Chart& chart) {
    const PictureWords& words = WordsOf(PictureLanguage::kEnglish);
    if (chart.difficulty != ChartDifficulty::kUnknown) {
        return std::string(words.difficulties[static_cast<std::size_t>(chart.difficulty)]);
    }
    return chart.difficulty_word.empty() ? std::string(words.no_difficulty) : chart.difficulty_word;
}

std::string DescribeChart(const Chart& chart) {
    return std::string(StyleName(chart.style)) + ' ' + Cp932ToUtf8(DifficultyName(chart)) + " level " +
           Cp932ToUtf8(chart.level);
}

const PictureWords& WordsOf(PictureLanguage language) {
    static const PictureWords kEnglish{
        {"Single", "Couple", "Double"}, {"Basic", "Another", "Maniac"}, "no difficulty", "level ", "(no title)", "? BPM",
        "step", "jump", "triplet", false, true,
        {"on the beat (red)", "8th (blue)", "16th (yellow)", "32nd (green)", "triplet (purple)"}};
    static const PictureWords kJapanese{
        {"シングル", "カップル", "ダブル"}, {"ベーシック", "アナザー", "マニアック"}, "難易度なし", "レベル",
        "（タイトルなし）", "BPM不明", "ステップ", "同時踏み", "3連符", true, false,
        {"拍の頭（赤）", "8分（青）", "16分（黄）", "32分（緑）", "3連符（紫）"}};
    return language == PictureLanguage::kJapanese ? kJapanese : kEnglish;
}

std::string_view StyleWord(ChartStyle style, PictureLanguage language) {
    return WordsOf(language).styles[static_cast<std::size_t>(style)];
}

std::string DifficultyWord(const Chart& chart, PictureLanguage language) {
    const PictureWords& words = WordsOf(language);
    if (chart.difficulty != ChartDifficulty::kUnknown) {
        return std::string(words.difficulties[static_cast<std::size_t>(chart.difficulty)]);
    }
    return chart.difficulty_word.empty() ? std::string(words.no_difficulty) : Cp932ToUtf8(chart.difficulty_word);
}

char StyleLetter(ChartStyle style) { return WordsOf(style).file_letter; }

char DifficultyLetter(ChartDifficulty difficulty) {
    const DifficultyWords* words = WordsOf(difficulty);
    return words != nullptr ? words->file_letter : kUnknownDifficultyLetter;
}

}  // namespace torvane
