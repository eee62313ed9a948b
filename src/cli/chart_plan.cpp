#include "cli/chart_plan.hpp"

#include <algorithm>
#include <string>
#include <string_view>

#include "preview/chart_names.hpp"
#include "text/output_names.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// The kinds of names a source's pictures take: an MSD or d2r source names
// its pictures "stem_..", a ddr source "stem", and a ddr source "song_sb"
// stands in the way of the charts of "song".
enum NameKind : int { kChartStem, kDdrStem, kDdrChartStem };

// "song" for "song_sb", "song_dx-2" and the like: the stem whose charts
// could be drawn under that name; empty for another name.
std::string ChartStemOf(std::string_view name) {
    if (const std::size_t dash = name.rfind('-'); dash != std::string_view::npos && dash + 1 < name.size() &&
                                                   std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dash) + 1,
                                                               name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        name = name.substr(0, dash);
    }
    if (name.size() < 4 || name[name.size() - 3] != '_') return {};
    if (!StyleOfFileLetter(name[name.size() - 2])) return {};
    if (!DifficultyOfFileLetter(name.back()) && name.back() != kUnknownDifficultyLetter) return {};
    return std::string(name.substr(0, name.size() - 3));
}

PlanNames PictureNames(const fs::path& source, const fs::path& destination) {
    const fs::path stem = destination.parent_path() / ReplaceExtension(destination.filename(), "");
    if (FormatOfFile(source) != ChartFormat::kddr) return {{{kChartStem, stem}, {kDdrChartStem, stem}}, {{kChartStem, stem}}};
    PlanNames names{{{kDdrStem, stem}}, {{kDdrStem, stem}}};
    if (const std::string base = ChartStemOf(stem.filename().string()); !base.empty()) {
        const fs::path chart_stem = stem.parent_path() / base;
        names.stopped_by.push_back({kChartStem, chart_stem});
        names.takes.push_back({kDdrChartStem, chart_stem});
    }
    return names;
}

}  // namespace

OutputNaming PictureNaming() {
    return {{kChartFormats.begin(), kChartFormats.end()},
            [](const fs::path& source, const fs::path& folder) {
                const fs::path name = ReplaceExtension(source.filename(), RowOf(OutputFormat::kPictures).destination_extension);
                return folder.empty() ? source.parent_path() / name : (folder / name).lexically_normal();
            },
            PictureNames, false};
}

OutputNaming ReadOnlyNaming() {
    return {{kChartFormats.begin(), kChartFormats.end()}, [](const fs::path&, const fs::path&) { return fs::path(); },
            nullptr, false};
}

}  // namespace torvane
