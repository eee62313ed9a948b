#pragma once
// Steps of a chart model written as a test reads them: "96:L 108:LD", the
// tick and the panels (L, D, U, R) of each step, in order.

#include <sstream>
#include <string>
#include <vector>

#include "msd/chart_model.hpp"

namespace torvane::test {

inline std::string PanelLetters(unsigned char panels) {
    std::string letters;
    if (panels & kLeft) letters += 'L';
    if (panels & kDown) letters += 'D';
    if (panels & kUp) letters += 'U';
    if (panels & kRight) letters += 'R';
    return letters;
}

inline std::string StepsText(const std::vector<ChartStep>& steps) {
    std::string text;
    for (const auto& step : steps) {
        if (!text.empty()) text += ' ';
        text += std::to_string(step.tick) + ':' + PanelLetters(step.panels);
    }
    return text;
}

// The same steps moved by `ticks`.
inline std::vector<ChartStep> Shifted(std::vector<ChartStep> steps, long long ticks) {
    for (auto& step : steps) step.tick += ticks;
    return steps;
}

}  // namespace torvane::test
