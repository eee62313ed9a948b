#include "sm/simfile_chart.hpp"

#include <algorithm>
#include <charconv>
#include <bit>
#include <cstdint>
#include <cstring>
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

namespace {

// For each tick of a measure, the row counts of kRowsPerMeasure that put it
// on a row, bit i for the i-th: a measure's steps all fit the counts whose
// bit every one of them has.
using RowCounts = unsigned;
constexpr auto kRowCountsOfTick = [] {
    std::array<RowCounts, static_cast<std::size_t>(kTicksPerMeasure)> fits{};
    for (long long tick = 0; tick < kTicksPerMeasure; ++tick) {
        for (std::size_t i = 0; i < kRowsPerMeasure.size(); ++i) {
            if (tick * kRowsPerMeasure[i] % kTicksPerMeasure == 0) fits[static_cast<std::size_t>(tick)] |= 1U << i;
        }
    }
    return fits;
}();
constexpr RowCounts kAllRowCounts = (1U << kRowsPerMeasure.size()) - 1;

RowCounts RowCountsOf(long long tick) {
    return kRowCountsOfTick[static_cast<std::size_t>(tick % kTicksPerMeasure)];
}

// For each mask of panels, what turns its four cells of a row from "0" to
// "1": the bit that "1" has above "0", in the bytes of the panels stepped on.
static_assert(('0' | 1) == '1');
constexpr auto kStepCellBits = [] {
    std::array<std::uint32_t, 16> bits{};
    for (unsigned panels = 0; panels < bits.size(); ++panels) {
        std::array<unsigned char, kPanelsPerPad> cells{};
        for (int bit = 0; bit < kPanelsPerPad; ++bit) cells[static_cast<std::size_t>(bit)] = (panels >> bit & 1u) != 0 ? 1 : 0;
        bits[panels] = std::bit_cast<std::uint32_t>(cells);
    }
    return bits;
}();

int FewestRows(RowCounts fitting) {
    return fitting == 0 ? kRowsPerMeasure.back() : kRowsPerMeasure[static_cast<std::size_t>(std::countr_zero(fitting))];
}

}  // namespace

int RowsForMeasure(std::span<const long long> ticks) {
    RowCounts fitting = kAllRowCounts;
    for (const long long tick : ticks) fitting &= RowCountsOf(tick);
    return FewestRows(fitting);
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
    std::vector<std::size_t> first(pads, 0);  // each pad's first step not yet written
    std::vector<std::size_t> next(pads, 0);   // and its first step after the measure
    std::string rows_text;
    // As many empty rows, each ended, as a measure can have.
    const auto width = static_cast<std::size_t>(columns);
    const std::size_t row_size = width + 2;
    std::string empty_rows;
    empty_rows.reserve(static_cast<std::size_t>(kRowsPerMeasure.back()) * row_size);
    for (int row = 0; row < kRowsPerMeasure.back(); ++row) empty_rows.append(width, '0').append("\r\n");

    const long long measures = SimfileMeasures(chart);
    for (long long measure = 0; measure < measures; ++measure) {
        const long long start = measure * kTicksPerMeasure;
        const long long end = start + kTicksPerMeasure;
        RowCounts fitting = kAllRowCounts;
        for (std::size_t p = 0; p < pads; ++p) {
            const std::vector<ChartStep>& steps = chart.pads[p].steps;
            std::size_t n = next[p];
            // A measure's steps begin where the last measure's ended, so each
            // lies 0 to 95 ticks into it.
            for (; n < steps.size() && steps[n].tick < end; ++n) {
                fitting &= kRowCountsOfTick[static_cast<std::size_t>(steps[n].tick - start)];
            }
            next[p] = n;
        }
        const auto rows = static_cast<unsigned>(FewestRows(fitting));
        rows_text.assign(empty_rows, 0, rows * row_size);
        for (std::size_t p = 0; p < pads; ++p) {
            const std::vector<ChartStep>& steps = chart.pads[p].steps;
            char* const columns_of_pad = rows_text.data() + p * kPanelsPerPad;
            for (std::size_t n = first[p]; n < next[p]; ++n) {
                const auto tick = static_cast<unsigned>(steps[n].tick - start);  // 0 to 95
                char* const row = columns_of_pad + tick * rows / static_cast<unsigned>(kTicksPerMeasure) * row_size;
                std::uint32_t cells;
                std::memcpy(&cells, row, sizeof cells);
                cells |= kStepCellBits[steps[n].panels & 15u];
                std::memcpy(row, &cells, sizeof cells);
            }
            first[p] = next[p];
        }
        // The measure goes out in one write: its rows ended here, its last
        // line ended by the sink.
        rows_text.push_back(measure + 1 < measures ? ',' : ';');
        sink.WriteLine(rows_text);
    }
}

}  // namespace torvane
