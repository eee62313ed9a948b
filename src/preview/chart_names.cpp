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
