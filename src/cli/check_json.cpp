#include "cli/check_json.hpp"

#include <string>
#include <string_view>
#include <utility>

#include "preview/chart_names.hpp"
#include "preview/check_report.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

nlohmann::ordered_json PlaceJson(long long tick, unsigned char panels) {
    auto names = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < kPanelsInOrder.size(); ++i) {
        if (panels & kPanelsInOrder[i]) names.push_back(kPanelNames[i]);
    }
    return {{"tick", tick}, {"position", FormatPosition(tick)}, {"panels", names}};
}

nlohmann::ordered_json ChartJson(const ChartCheck& chart) {
    nlohmann::ordered_json json = {{"chart", chart.chart + 1},
                           {"label", chart.label},
                           {"changed", chart.Changed()},
                           {"came_back", chart.came_back},
                           {"lost_reason", chart.came_back ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(chart.lost_reason)},
                           {"shift_ticks", chart.shift}};
    auto values = nlohmann::ordered_json::array();
    for (const auto& value : chart.values) {
        values.push_back({{"what", value.what}, {"before", value.before}, {"after", value.after}, {"detail", value.detail}});
    }
    json["values"] = values;
    auto steps = nlohmann::ordered_json::array();
    for (const auto& change : chart.steps) {
        nlohmann::ordered_json step = {{"change", NameOfStepChange(change.kind).code}, {"pad", change.pad + 1}};
        if (change.kind != StepChange::Kind::kAdded) step["before"] = PlaceJson(change.tick_before, change.panels_before);
        if (change.kind != StepChange::Kind::kLost) step["after"] = PlaceJson(change.tick_after, change.panels_after);
        steps.push_back(step);
    }
    json["steps"] = steps;
    if (chart.StepsCut()) {
        // Only the first changes are listed: the count of each kind says the rest.
        json["steps_total"] = chart.StepChanges();
        nlohmann::ordered_json counts;
        for (const auto kind : {StepChange::Kind::kLost, StepChange::Kind::kAdded, StepChange::Kind::kMoved,
                                StepChange::Kind::kPanels}) {
            counts[std::string(NameOfStepChange(kind).code)] = chart.step_counts[static_cast<std::size_t>(kind)];
        }
        json["step_counts"] = counts;
    }
    return json;
}

}  // namespace

void AddCheckReport(const SourceCheck& check, nlohmann::ordered_json& entry) {
    entry["changed"] = check.Changed();
    auto charts = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < check.charts.size(); ++i) {
        charts.push_back({{"chart", i + 1}, {"label", DescribeChart(check.charts[i])}});
    }
    entry["charts"] = charts;
    auto ways = nlohmann::ordered_json::array();
    for (const auto& way : check.ways) {
        nlohmann::ordered_json item = {{"way", RoundTripName(way.way)},
                                       {"changed", way.Changed()},
                                       {"failure", way.failure ? nlohmann::ordered_json(*way.failure) : nlohmann::ordered_json(nullptr)}};
        auto way_charts = nlohmann::ordered_json::array();
        for (const auto& chart : way.charts) way_charts.push_back(ChartJson(chart));
        item["charts"] = way_charts;
        item["added_charts"] = way.added_charts;
        auto lines = nlohmann::ordered_json::array();
        for (const auto& line : way.error_lines) lines.push_back(Cp932ToUtf8(line));
        item["error_lines"] = lines;
        if (way.error_line_count > way.error_lines.size()) item["error_lines_total"] = way.error_line_count;
        ways.push_back(item);
    }
    entry["round_trips"] = ways;
}

}  // namespace torvane
