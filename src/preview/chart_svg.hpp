#pragma once
// A picture of a chart as SVG text: a header with the song and the chart's
// figures, then the measures in columns read top to bottom, as on a printed
// chart sheet, each step an arrow in its lane coloured by its rhythm.

#include <string>

#include "msd/chart_model.hpp"
#include "preview/chart_counts.hpp"
#include "preview/chart_names.hpp"

namespace torvane {

// The SVG 1.1 document of `chart`, UTF-8, lines ended by CR LF, its words
// in `language`. The same chart always gives the same bytes.
[[nodiscard]] std::string RenderChartSvg(const Chart& chart, PictureLanguage language = PictureLanguage::kEnglish);

}  // namespace torvane
