#include "sm/simfile_chart.hpp"

#include <algorithm>
#include <charconv>
#include <vector>

#include "text/numbers.hpp"

namespace torvane {
namespace {

constexpr std::string_view kGrooveValues = "0.000000,0.000000,0.000000,0.000000,0.000000";
constexpr std::string_view kFieldIndent = "     ";

// Panel bit b of a mask is column b of its pad: left 1, down 2, up 4, right 8
// is the simfile's column order.
constexpr int kPanelsPerPad = 4;

}  // namespace

std::string_view SimfileStepsType(ChartStyle style) {
    switch (style) {
        case ChartStyle::kSingle: return "dance-single";
        case ChartStyle::kDouble: return "dance-double";
        case ChartStyle::kCouple: return "dance-couple";
    }
    return "dance-single";
}

int SimfileColumns(ChartStyle style) { return style == ChartStyle::kSingle ? kPanelsPerPad : 2 * kPanelsPerPad; }

std::string_view SimfileDifficulties::Next(const Chart& chart) {
    if (chart.difficulty == ChartDifficulty::kUnknown) return kEditDifficulty;
    if (!given_.insert({chart.style, chart.difficulty}).second) return kEditDifficulty;
    switch (chart.difficulty) {
        case ChartDifficulty::kBasic: return "Easy";
        case ChartDifficulty::kAnother: return "Medium";
        case ChartDifficulty::kManiac: return "Hard";
        case ChartDifficulty::kUnknown: break;
    }
    return kEditDifficulty;
}

std::optional<long long> SimfileMeter(std::string_view level) {
    const std::string_view digits = TrimBlanksAndControls(level);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    long long meter = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), meter);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return meter;
}

int RowsForMeasure(std::span<const long long> ticks) {
    for (const int rows : kRowsPerMeasure) {
        if (std::all_of(ticks.begin(), ticks.end(),
                        [rows](long long tick) { return tick * rows % kTicksPerMeasure == 0; })) {
            return rows;
        }
    }
    return kRowsPerMeasure.back();
}

long long SimfileMeasures(const Chart& chart) {
    long long last = -1;
    for (const auto& pad : chart.pads) {
        if (!pad.steps.empty()) last = std::max(last, pad.steps.back().tick);
    }
    return last < 0 ? 1 : last / kTicksPerMeasure + 1;
}

void WriteSimfileChart(const SimfileChartHead& head, const Chart& chart, int columns, LineSink& sink) {
    std::string line;
    sink.WriteLine("#NOTES:");
    const auto field = [&](std::string_view value) {
        line.assign(kFieldIndent).append(value).append(":");
        sink.WriteLine(line);
    };
    field(head.steps_type);
    field(head.description);
    field(head.difficulty);
    char meter[24];
    field(std::string_view(meter, static_cast<std::size_t>(std::to_chars(meter, meter + sizeof meter, head.meter).ptr - meter)));
    field(kGrooveValues);

    const std::size_t pads = std::min(chart.pads.size(), static_cast<std::size_t>(columns / kPanelsPerPad));
    std::vector<std::size_t> next(pads, 0);  // each pad's first step not yet written
    std::vector<long long> ticks;
    std::vector<std::pair<long long, int>> marks;  // tick in the measure, column
    std::string rows_text;
    const long long measures = SimfileMeasures(chart);
    for (long long measure = 0; measure < measures; ++measure) {
        const long long end = (measure + 1) * kTicksPerMeasure;
        ticks.clear();
        marks.clear();
        for (std::size_t p = 0; p < pads; ++p) {
            const auto& steps = chart.pads[p].steps;
            for (; next[p] < steps.size() && steps[next[p]].tick < end; ++next[p]) {
                const long long tick = steps[next[p]].tick - measure * kTicksPerMeasure;
                ticks.push_back(tick);
                for (int bit = 0; bit < kPanelsPerPad; ++bit) {
                    if ((steps[next[p]].panels >> bit & 1) != 0) {
                        marks.emplace_back(tick, static_cast<int>(p) * kPanelsPerPad + bit);
                    }
                }
            }
        }
        const int rows = RowsForMeasure(ticks);
        const auto width = static_cast<std::size_t>(columns);
        rows_text.assign(static_cast<std::size_t>(rows) * width, '0');
        for (const auto& [tick, column] : marks) {
            const auto row = static_cast<std::size_t>(tick * rows / kTicksPerMeasure);
            rows_text[row * width + static_cast<std::size_t>(column)] = '1';
        }
        for (int row = 0; row < rows; ++row) {
            sink.WriteLine(std::string_view(rows_text).substr(static_cast<std::size_t>(row) * width, width));
        }
        sink.WriteLine(measure + 1 < measures ? "," : ";");
    }
}

}  // namespace torvane
