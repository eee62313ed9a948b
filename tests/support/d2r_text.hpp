#pragma once
// The d2r converter's step lines and step lists as text, for tests: the
// engine itself only ever writes them into a buffer or reads them one by one.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "d2r/d2r_format.hpp"
#include "d2r/d2r_step_list.hpp"

namespace torvane {

inline std::string D2rStepLineText(D2rStepLine line) {
    std::array<char, kD2rStepLineSize> buffer{};
    return std::string(FormatD2rStepLine(line, buffer));
}

// The pad field of a step character.
inline std::string_view PadField(char step) { return {kD2rPadFields[static_cast<unsigned char>(step)].data(), 4}; }

// Every line of a step list as it reads now.
inline std::vector<std::string> StepListLines(const D2rStepList& list) {
    std::vector<std::string> lines;
    lines.reserve(list.Size());
    for (std::size_t i = 0; i < list.Size(); ++i) lines.emplace_back(list.Line(i));
    return lines;
}

}  // namespace torvane
