// torvane-cli check: what converting each file would change.

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/chart_commands.hpp"
#include "cli/cli.hpp"
#include "cli/json_report.hpp"
#include "preview/check_report.hpp"
#include "preview/chart_names.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "torvane-cli";

constexpr std::string_view kHelp = R"(Usage: torvane-cli check [OPTIONS] FILE...

Tells what converting each MSD, d2r or ddr FILE would change. Each file is
converted to every other format it can go to and back, in memory (MSD through
d2r and through ddr, d2r through MSD and back to d2r, ddr through MSD and back
to ddr), and the charts before and after are compared: steps lost, added and
moved (positions as "measure 12 beat 2.5" of the source's chart), panels
changed, and changes of style, difficulty, level, tempo, title, artist and of
the gap in time (the steps coming earlier or later against the music). Nothing
is written beside the files.

Options:
      --lead-in MODE  for the way through ddr: where the first step of each
                      chart lies: delete (default), first-step or as-is
      --delete N      for --lead-in delete: leading positions (8th notes) to
                      delete, 0 to 150 (default 18)
      --measure M     for --lead-in first-step: measure of the first step,
                      1 to 10 (default 3)
      --beat B        for --lead-in first-step: beat of the first step, 1 to
                      4.5 in steps of 0.5 (default 1)
      --report FILE   write the same as JSON to FILE ("-": standard output,
                      instead of the report for people)
  -h, --help          show this help

Exit status: 0 nothing changes; 1 something changes; 2 usage error; 3 at
least one file could not be read.
)";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

int WholeNumberOption(std::string_view option, const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw UsageError(std::string(option) + " must be a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not '" + text + "'");
    }
    return value;
}

int HalfBeatOption(const std::string& text) {
    double beat = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), beat);
    const double half_beats = beat * 2;
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(beat) ||
        half_beats < 2 || half_beats > 9 || half_beats != std::floor(half_beats)) {
        throw UsageError("--beat must be 1 to 4.5 in steps of 0.5, not '" + text + "'");
    }
    return static_cast<int>(half_beats);
}

int LeadInMode(const std::string& text) {
    if (text == "delete") return DdrOptions::kDeleteLeadIn;
    if (text == "first-step") return DdrOptions::kFirstStepAt;
    if (text == "as-is") return DdrOptions::kAsItIs;
    throw UsageError("--lead-in must be delete, first-step or as-is, not '" + text + "'");
}

std::string_view LeadInName(int mode) {
    switch (mode) {
        case DdrOptions::kFirstStepAt: return "first-step";
        case DdrOptions::kAsItIs: return "as-is";
        default: return "delete";
    }
}

std::string_view KindName(StepChange::Kind kind) {
    switch (kind) {
        case StepChange::Kind::kLost: return "lost";
        case StepChange::Kind::kAdded: return "added";
        case StepChange::Kind::kMoved: return "moved";
        case StepChange::Kind::kPanels: return "panels";
    }
    return "";
}

nlohmann::json PlaceJson(long long tick, unsigned char panels) {
    auto names = nlohmann::json::array();
    for (const auto& [panel, name] : {std::pair{kLeftPanel, "left"}, std::pair{kDownPanel, "down"},
                                      std::pair{kUpPanel, "up"}, std::pair{kRightPanel, "right"}}) {
        if (panels & panel) names.push_back(name);
    }
    return {{"tick", tick}, {"position", FormatPosition(tick)}, {"panels", names}};
}

nlohmann::json ChartJson(const ChartCheck& chart) {
    nlohmann::json json = {{"chart", chart.chart + 1},
                           {"label", chart.label},
                           {"changed", chart.Changed()},
                           {"came_back", chart.came_back},
                           {"lost_reason", chart.came_back ? nlohmann::json(nullptr) : nlohmann::json(chart.lost_reason)},
                           {"shift_ticks", chart.shift}};
    auto values = nlohmann::json::array();
    for (const auto& value : chart.values) {
        values.push_back({{"what", value.what}, {"before", value.before}, {"after", value.after}, {"detail", value.detail}});
    }
    json["values"] = values;
    auto steps = nlohmann::json::array();
    for (const auto& change : chart.steps) {
        nlohmann::json step = {{"change", KindName(change.kind)}, {"pad", change.pad + 1}};
        if (change.kind != StepChange::Kind::kAdded) step["before"] = PlaceJson(change.tick_before, change.panels_before);
        if (change.kind != StepChange::Kind::kLost) step["after"] = PlaceJson(change.tick_after, change.panels_after);
        steps.push_back(step);
    }
    json["steps"] = steps;
    return json;
}

nlohmann::json SourceJson(const CheckResult& result) {
    nlohmann::json json = {{"source", result.source.string()}};
    if (result.failure) {
        json["status"] = "failed";
        json["reason"] = *result.failure;
        return json;
    }
    const SourceCheck& check = *result.check;
    json["status"] = check.Changed() ? "changed" : "unchanged";
    auto charts = nlohmann::json::array();
    for (std::size_t i = 0; i < check.charts.size(); ++i) {
        charts.push_back({{"chart", i + 1}, {"label", DescribeChart(check.charts[i])}});
    }
    json["charts"] = charts;
    auto ways = nlohmann::json::array();
    for (const auto& way : check.ways) {
        nlohmann::json entry = {{"way", RoundTripName(way.way)},
                                {"changed", way.Changed()},
                                {"failure", way.failure ? nlohmann::json(*way.failure) : nlohmann::json(nullptr)}};
        auto way_charts = nlohmann::json::array();
        for (const auto& chart : way.charts) way_charts.push_back(ChartJson(chart));
        entry["charts"] = way_charts;
        entry["added_charts"] = way.added_charts;
        auto lines = nlohmann::json::array();
        for (const auto& line : way.error_lines) lines.push_back(Cp932ToUtf8(line));
        entry["error_lines"] = lines;
        ways.push_back(entry);
    }
    json["round_trips"] = ways;
    return json;
}

nlohmann::json CheckReport(const std::vector<CheckResult>& results, const DdrOptions& options) {
    auto sources = nlohmann::json::array();
    std::size_t changed = 0;
    std::size_t failed = 0;
    for (const auto& result : results) {
        sources.push_back(SourceJson(result));
        if (result.failure) {
            ++failed;
        } else if (result.check->Changed()) {
            ++changed;
        }
    }
    return {{"format_version", 1},
            {"command", "check"},
            {"options",
             {{"lead_in", LeadInName(options.mode)},
              {"delete", options.delete_count},
              {"measure", options.measure},
              {"beat", options.half_beat / 2.0}}},
            {"sources", sources},
            {"summary",
             {{"sources", results.size()},
              {"changed", changed},
              {"unchanged", results.size() - changed - failed},
              {"failed", failed}}}};
}

}  // namespace

std::vector<CheckResult> CheckFiles(const std::vector<fs::path>& sources, const DdrOptions& options, Storage& storage) {
    std::vector<CheckResult> results;
    for (const auto& source : sources) {
        CheckResult result;
        result.source = source;
        try {
            const auto format = FormatOfFile(source);
            if (!format) throw std::runtime_error("not an .msd, .d2r or .ddr file");
            result.check = CheckSource(source, *format, options, storage);
        } catch (const std::exception& error) {
            result.failure = error.what();
        }
        results.push_back(std::move(result));
    }
    return results;
}

int RunCheckCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app("Tells what converting chart files would change.", "torvane-cli check");
    app.set_help_flag("-h,--help");
    std::vector<std::string> files;
    std::string report, lead_in, delete_count, measure, beat;
    DdrOptions options;
    app.add_option("files", files);
    auto* report_option = app.add_option("--report", report);
    auto* lead_in_option = app.add_option("--lead-in", lead_in);
    auto* delete_option = app.add_option("--delete", delete_count);
    auto* measure_option = app.add_option("--measure", measure);
    auto* beat_option = app.add_option("--beat", beat);
    try {
        try {
            app.parse(argc, argv);
        } catch (const CLI::CallForHelp&) {
            out << kHelp;
            return kExitNoChange;
        } catch (const CLI::ParseError& error) {
            throw UsageError(error.what());
        }
        if (lead_in_option->count() > 0) options.mode = LeadInMode(lead_in);
        if (delete_option->count() > 0) options.delete_count = WholeNumberOption("--delete", delete_count, 0, 150);
        if (measure_option->count() > 0) options.measure = WholeNumberOption("--measure", measure, 1, 10);
        if (beat_option->count() > 0) options.half_beat = HalfBeatOption(beat);
        if (files.empty()) throw UsageError("no file given");
        if (report_option->count() > 0 && report.empty()) throw UsageError("--report needs a file name or -");
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.what() << '\n'
            << "Try '" << kProgram << " check --help' for more information.\n";
        return kExitUsage;
    }

    const std::vector<fs::path> sources(files.begin(), files.end());
    const auto results = CheckFiles(sources, options);
    bool failed = false;
    bool changed = false;
    for (const auto& result : results) {
        if (result.failure) {
            err << kProgram << ": " << result.source.string() << ": " << FailureReason(*result.failure, result.source)
                << '\n';
            failed = true;
            continue;
        }
        changed = changed || result.check->Changed();
        if (report != "-") out << FormatCheckReport(*result.check);
    }
    out.flush();
    if (!report.empty() && !WriteJsonReport(CheckReport(results, options), report, out, err)) failed = true;
    if (!out) failed = true;
    if (failed) return kExitFailedFile;
    return changed ? kExitChanges : kExitNoChange;
}

}  // namespace torvane
