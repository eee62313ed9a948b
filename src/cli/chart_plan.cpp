#include "cli/chart_plan.hpp"

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <system_error>

#include "batch/sources.hpp"
#include "text/output_names.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr Conversion kReaders[] = {Conversion::kMSD2d2r, Conversion::kd2r2MSD, Conversion::kddr2MSD};

fs::path Identity(const fs::path& file, const fs::path& current) {
    return (file.is_absolute() ? file : current / file).lexically_normal();
}

// "song" for "song_sb", "song_dx-2" and the like: the stem whose charts
// could be drawn under that name; empty for another name.
std::string ChartStemOf(std::string_view name) {
    if (const std::size_t dash = name.rfind('-'); dash != std::string_view::npos && dash + 1 < name.size() &&
                                                   std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dash) + 1,
                                                               name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        name = name.substr(0, dash);
    }
    if (name.size() < 4 || name[name.size() - 3] != '_') return {};
    if (std::string_view("sdc").find(name[name.size() - 2]) == std::string_view::npos) return {};
    if (std::string_view("bamx").find(name.back()) == std::string_view::npos) return {};
    return std::string(name.substr(0, name.size() - 3));
}

void FindCollisions(BatchPlan& plan) {
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    // The stems of each kind of source in their picture folders, to the file
    // that has them: an MSD or d2r source names its pictures "stem_..", a ddr
    // source "stem".
    std::map<fs::path, std::size_t> chart_stems;
    std::map<fs::path, std::size_t> ddr_stems;
    std::map<fs::path, std::size_t> ddr_chart_stems;  // "song" of "song_sb.ddr"
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        PlannedFile& file = plan.files[i];
        if (file.problem != PlanProblem::kNone) continue;
        const fs::path stem =
            Identity(file.destination.parent_path() / ReplaceExtension(file.destination.filename(), ""), current);
        const bool ddr = FormatOfFile(file.source) == ChartFormat::kddr;
        std::optional<std::size_t> earlier;
        const auto find = [&](const std::map<fs::path, std::size_t>& in, const fs::path& key) {
            if (const auto it = in.find(key); it != in.end() && !earlier) earlier = it->second;
        };
        fs::path chart_stem;
        if (ddr) {
            find(ddr_stems, stem);
            if (const std::string base = ChartStemOf(stem.filename().string()); !base.empty()) {
                chart_stem = stem.parent_path() / base;
                find(chart_stems, chart_stem);
            }
        } else {
            find(chart_stems, stem);
            find(ddr_chart_stems, stem);
        }
        if (earlier) {
            const PlannedFile& other = plan.files[*earlier];
            // The same file named twice is drawn twice.
            if (Identity(other.source, current) == Identity(file.source, current)) continue;
            file.problem = PlanProblem::kSameDestination;
            file.other_source = other.source;
            continue;
        }
        if (ddr) {
            ddr_stems.emplace(stem, i);
            if (!chart_stem.empty()) ddr_chart_stems.emplace(chart_stem, i);
        } else {
            chart_stems.emplace(stem, i);
        }
    }
}

}  // namespace

Conversion ConversionReading(ChartFormat format) {
    switch (format) {
        case ChartFormat::kd2r: return Conversion::kd2r2MSD;
        case ChartFormat::kddr: return Conversion::kddr2MSD;
        case ChartFormat::kMSD: break;
    }
    return Conversion::kMSD2d2r;
}

std::vector<fs::path> FindChartSources(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const Conversion reader : kReaders) {
        auto sources = FindSources(reader, folder);
        found.insert(found.end(), sources.begin(), sources.end());
    }
    std::sort(found.begin(), found.end(),
              [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
    return found;
}

BatchPlan PlanChartBatch(const std::vector<fs::path>& arguments, const fs::path& out_dir, bool pictures) {
    BatchPlan plan;
    const auto destination = [&](const fs::path& source, const fs::path& folder) {
        if (!pictures) return fs::path();
        const fs::path name = ReplaceExtension(source.filename(), ".svg");
        return folder.empty() ? source.parent_path() / name : (folder / name).lexically_normal();
    };
    for (const fs::path& argument : arguments) {
        std::error_code ec;
        if (!fs::is_directory(argument, ec)) {
            plan.files.push_back({argument, destination(argument, out_dir), PlanProblem::kNone, {}});
            continue;
        }
        const auto sources = FindChartSources(argument);
        if (sources.empty()) plan.files.push_back({argument, {}, PlanProblem::kNoSourceInFolder, {}});
        for (const fs::path& source : sources) {
            fs::path folder = out_dir;
            if (!out_dir.empty()) folder /= source.parent_path().lexically_relative(argument);
            plan.files.push_back({source, destination(source, folder), PlanProblem::kNone, {}});
        }
    }
    if (pictures) FindCollisions(plan);
    return plan;
}

}  // namespace torvane
