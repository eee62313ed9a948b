// Any bytes as a source of one format (TORVANE_PREVIEW_FORMAT, numbered as
// ChartFormat): checked through every round trip, and its charts read a chart
// at a time and drawn, as torvane-cli check and preview do.
#include <cstddef>
#include <cstdint>
#include <string>

#include "preview/chart_check.hpp"
#include "preview/chart_loader.hpp"
#include "preview/chart_svg.hpp"
#include "preview/check_report.hpp"
#include "text/conversion_error.hpp"
#include "text/line_io.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr auto kFormat = static_cast<torvane::ChartFormat>(TORVANE_PREVIEW_FORMAT);
    constexpr const char* kNames[] = {"", "in.msd", "in.d2r", "in.ddr"};
    torvane::MemoryStorage storage;
    const std::filesystem::path source = kNames[TORVANE_PREVIEW_FORMAT];
    storage.files[source] = std::string(reinterpret_cast<const char*>(data), size);
    try {
        const auto check = torvane::CheckRoundTrips(source, kFormat, {}, storage);
        (void)torvane::FormatCheckReport(check);
        // Read a chart at a time, as preview reads, each chart is drawn, and
        // its head and pads are those the check holds (its steps empty).
        torvane::ErrorList errors;
        torvane::ChartFile file(source, kFormat, errors, storage);
        std::size_t read = 0;
        file.ReadEachChart(errors, [&](std::size_t place, torvane::Chart&& chart) {
            const std::string svg = torvane::RenderChartSvg(chart);
            if (svg.find("</svg>") == std::string::npos) __builtin_trap();
            for (auto& pad : chart.pads) pad = {};
            if (place != read++ || place >= check.charts.size() || !(chart == check.charts[place])) __builtin_trap();
        });
        if (read != check.charts.size() || file.Heads().size() != read) __builtin_trap();
    } catch (const torvane::ConversionError&) {
        // A file that cannot be read: the commands report it.
    }
    return 0;
}
