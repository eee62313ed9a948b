#include "preview/check_report.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "text/sjis.hpp"

namespace torvane {
namespace {

std::string Plural(std::size_t count, std::string_view one) {
    std::string text = std::to_string(count) + ' ' + std::string(one);
    if (count != 1) text += 's';
    return text;
}

// "12 steps moved, 2 lost".
std::string StepSummary(const std::array<std::size_t, 4>& counts) {
    std::string text;
    for (const auto kind : {StepChange::Kind::kLost, StepChange::Kind::kAdded, StepChange::Kind::kMoved,
                            StepChange::Kind::kPanels}) {
        const std::size_t count = counts[static_cast<std::size_t>(kind)];
        if (count == 0) continue;
        text += text.empty() ? Plural(count, "step") + ' ' : std::string(", ") + std::to_string(count) + ' ';
        text += NameOfStepChange(kind).words;
    }
    return text;
}

void AppendChart(std::string& out, const ChartCheck& chart, std::size_t pads, std::size_t steps_listed) {
    out += "    chart " + std::to_string(chart.chart + 1) + ", " + chart.label + ":";
    if (!chart.came_back) {
        out += " lost: " + chart.lost_reason + "\n";
        return;
    }
    out += '\n';
    for (const auto& value : chart.values) {
        out += "      " + value.what + ": " + (value.before.empty() ? "(empty)" : value.before) + " -> " +
               (value.after.empty() ? "(empty)" : value.after);
        if (!value.detail.empty()) out += " (" + value.detail + ")";
        out += '\n';
    }
    const std::size_t changes = chart.StepChanges();
    if (changes == 0) return;
    out += "      " + StepSummary(chart.step_counts) + '\n';
    const std::size_t listed = std::min(steps_listed, chart.steps.size());
    for (std::size_t i = 0; i < listed; ++i) {
        out += "        ";
        if (pads > 1) out += "pad " + std::to_string(chart.steps[i].pad + 1) + ' ';
        out += DescribeStepChange(chart.steps[i]) + '\n';
    }
    if (changes > listed) out += "        and " + std::to_string(changes - listed) + " more\n";
}

}  // namespace

std::string PanelNames(unsigned char panels) {
    std::string names;
    for (std::size_t i = 0; i < kPanelsInOrder.size(); ++i) {
        if ((panels & kPanelsInOrder[i]) == 0) continue;
        if (!names.empty()) names += ' ';
        names += kPanelNames[i];
    }
    return names;
}

std::string DescribeStepChange(const StepChange& change) {
    std::string text(NameOfStepChange(change.kind).words);
    text += ": ";
    switch (change.kind) {
        case StepChange::Kind::kLost: return text + FormatPosition(change.tick_before) + ", " + PanelNames(change.panels_before);
        case StepChange::Kind::kAdded: return text + FormatPosition(change.tick_after) + ", " + PanelNames(change.panels_after);
        case StepChange::Kind::kMoved:
            return text + FormatPosition(change.tick_before) + " -> " + FormatPosition(change.tick_after) + ", " +
                   PanelNames(change.panels_before);
        case StepChange::Kind::kPanels:
            return text + FormatPosition(change.tick_before) + ", " + PanelNames(change.panels_before) + " -> " +
                   PanelNames(change.panels_after);
    }
    return text;
}

std::string FormatCheckReport(const SourceCheck& check, std::size_t steps_listed) {
    std::string out = check.source.string() + ": " + Plural(check.charts.size(), "chart") + '\n';
    for (const auto& way : check.ways) {
        out += "  " + std::string(RoundTripName(way.way)) + ":";
        if (way.failure) {
            out += " the conversion fails: " + *way.failure + '\n';
            continue;
        }
        if (!way.Changed()) {
            out += " no change\n";
            continue;
        }
        out += '\n';
        for (const auto& chart : way.charts) {
            if (!chart.Changed()) continue;
            AppendChart(out, chart, chart.chart < check.charts.size() ? check.charts[chart.chart].pads.size() : 1,
                        steps_listed);
        }
        for (const auto& label : way.added_charts) out += "    added chart: " + label + '\n';
    }
    return out;
}

}  // namespace torvane
