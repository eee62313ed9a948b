#pragma once
// Step lines written as text in tests, read into the converter's form and
// back, so that expectations stay in the notation of the format.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "d2r/d2r_format.hpp"
#include "d2r_text.hpp"

namespace torvane {

// The line whose text is `text`; a text the converter could not build fails
// the test that gave it.
inline D2rStepLine ParseD2rStepLine(std::string_view text) {
    static constexpr std::string_view kCodes[] = {"8.:", "4.:", "4p:", "4P:", "T:"};
    static constexpr std::string_view kSteps = "0123456789AB";
    const auto step_of = [](std::string_view field) {
        for (const char step : kSteps) {
            if (PadField(step) == field) return step;
        }
        return '?';
    };
    for (std::size_t k = 0; k < std::size(kCodes); ++k) {
        const std::string_view code = kCodes[k];
        if (text.substr(0, code.size()) != code || text.size() != code.size() + 10) continue;
        const D2rStepLine line = MakeD2rStepLine(static_cast<D2rLength>(k), step_of(text.substr(code.size(), 4)),
                                                 step_of(text.substr(code.size() + 5, 4)));
        if (D2rStepLineText(line) == text) return line;
    }
    ADD_FAILURE() << "no step line: \"" << text << "\"";
    return {};
}

// Failures show a line as its text.
inline void PrintTo(const D2rStepLine& line, std::ostream* os) { *os << '"' << D2rStepLineText(line) << '"'; }

inline std::vector<D2rStepLine> ParseD2rStepLines(const std::vector<std::string>& texts) {
    std::vector<D2rStepLine> lines;
    for (const auto& text : texts) lines.push_back(ParseD2rStepLine(text));
    return lines;
}

inline std::vector<std::string> D2rStepLineTexts(const std::vector<D2rStepLine>& lines) {
    std::vector<std::string> texts;
    for (const D2rStepLine line : lines) texts.push_back(D2rStepLineText(line));
    return texts;
}

}  // namespace torvane
