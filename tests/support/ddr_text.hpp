#pragma once
// The ddr conversions' steps as functions of text, for tests: the engine
// itself works in place or into fixed buffers.

#include <array>
#include <string>
#include <string_view>

#include "ddr/ddr_format.hpp"
#include "ddr/ddr_to_msd.hpp"
#include "ddr/msd_to_ddr.hpp"

namespace torvane {

inline std::string ToDdrPanelCodes(std::string_view expanded) {
    std::string codes(expanded);
    ToDdrPanelCodes(codes);
    return codes;
}

inline std::string CompactDdrMeasure(std::string_view measure) {
    std::array<char, kDdrMeasureCells> slots{};
    return std::string(slots.data(), CompactDdrMeasure(measure, slots));
}

inline std::string DdrMeasureText(std::string_view line) {
    std::string text;
    AppendDdrMeasureText(line, text);
    return text;
}

inline std::string FormatDdrStepLine(char pad_mark, long long measure, std::string_view slots) {
    std::string line;
    FormatDdrStepLineInto(pad_mark, measure, slots, line);
    return line;
}

}  // namespace torvane
