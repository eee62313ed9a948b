#pragma once
// The check of a source as people read it: a few lines per chart.

#include <cstddef>
#include <string>

#include "preview/chart_check.hpp"

namespace torvane {

// "left", "left down", ...: the panels of a step in their lanes' order.
[[nodiscard]] std::string PanelNames(unsigned char panels);

// One change of a step: "moved: measure 5 beat 2.5 -> measure 5 beat 3, left".
[[nodiscard]] std::string DescribeStepChange(const StepChange& change);

// The report of one source, UTF-8, lines ended by "\n": per round trip
// "no change", or per chart what changed, with at most `steps_listed` step
// changes of a chart spelt out and the rest counted.
[[nodiscard]] std::string FormatCheckReport(const SourceCheck& check, std::size_t steps_listed = 8);

}  // namespace torvane
