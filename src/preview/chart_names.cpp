#include "preview/chart_names.hpp"

#include "text/sjis.hpp"

namespace torvane {

std::string_view StyleName(ChartStyle style) {
    switch (style) {
        case ChartStyle::kSingle: return "Single";
        case ChartStyle::kDouble: return "Double";
        case ChartStyle::kCouple: return "Couple";
    }
    return "Single";
}

std::string DifficultyName(const Chart& chart) {
    switch (chart.difficulty) {
        case ChartDifficulty::kBasic: return "Basic";
        case ChartDifficulty::kAnother: return "Another";
        case ChartDifficulty::kManiac: return "Maniac";
        case ChartDifficulty::kUnknown: break;
    }
    return chart.difficulty_word.empty() ? std::string("no difficulty") : chart.difficulty_word;
}

std::string DescribeChart(const Chart& chart) {
    return std::string(StyleName(chart.style)) + ' ' + Cp932ToUtf8(DifficultyName(chart)) + " level " +
           Cp932ToUtf8(chart.level);
}

const PictureWords& WordsOf(PictureLanguage language) {
    static const PictureWords kEnglish{
        "Single", "Double", "Couple", "Basic", "Another", "Maniac", "no difficulty", "level ", "(no title)", "? BPM",
        "step", "jump", "triplet", false, true,
        {"on the beat (red)", "8th (blue)", "16th (yellow)", "32nd (green)", "triplet (purple)"}};
    static const PictureWords kJapanese{
        "シングル", "ダブル", "カップル", "ベーシック", "アナザー", "マニアック", "難易度なし", "レベル",
        "（タイトルなし）", "BPM不明", "ステップ", "同時踏み", "3連符", true, false,
        {"拍の頭（赤）", "8分（青）", "16分（黄）", "32分（緑）", "3連符（紫）"}};
    return language == PictureLanguage::kJapanese ? kJapanese : kEnglish;
}

std::string_view StyleWord(ChartStyle style, PictureLanguage language) {
    const PictureWords& words = WordsOf(language);
    switch (style) {
        case ChartStyle::kSingle: return words.single;
        case ChartStyle::kDouble: return words.double_play;
        case ChartStyle::kCouple: return words.couple;
    }
    return words.single;
}

std::string DifficultyWord(const Chart& chart, PictureLanguage language) {
    const PictureWords& words = WordsOf(language);
    switch (chart.difficulty) {
        case ChartDifficulty::kBasic: return std::string(words.basic);
        case ChartDifficulty::kAnother: return std::string(words.another);
        case ChartDifficulty::kManiac: return std::string(words.maniac);
        case ChartDifficulty::kUnknown: break;
    }
    return chart.difficulty_word.empty() ? std::string(words.no_difficulty) : Cp932ToUtf8(chart.difficulty_word);
}

char StyleLetter(ChartStyle style) {
    switch (style) {
        case ChartStyle::kSingle: return 's';
        case ChartStyle::kDouble: return 'd';
        case ChartStyle::kCouple: return 'c';
    }
    return 's';
}

char DifficultyLetter(ChartDifficulty difficulty) {
    switch (difficulty) {
        case ChartDifficulty::kBasic: return 'b';
        case ChartDifficulty::kAnother: return 'a';
        case ChartDifficulty::kManiac: return 'm';
        case ChartDifficulty::kUnknown: break;
    }
    return 'x';
}

}  // namespace torvane
