#include "cli/chart_plan.hpp"

#include <algorithm>
#include <map>
#include <string>
#include <string_view>

#include "preview/chart_names.hpp"
#include "sm/ddr_songs.hpp"
#include "text/output_names.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// The kinds of names a source's pictures take: an MSD or d2r source names
// its pictures "stem_..", a ddr source "stem", and a ddr source "song_sb"
// stands in the way of the charts of "song".
enum NameKind : int { kChartStem, kDdrStem, kDdrChartStem, kSimfile, kDdrSong };

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

// "song" of "song.msd", "song.d2r", "song.ddr" and "song_sb.ddr".
std::string SongOf(const fs::path& source) {
    if (FormatOfFile(source) == ChartFormat::kddr) {
        if (auto stem = DdrSongStem(source)) return *std::move(stem);
    }
    return ReplaceExtension(source.filename(), "").string();
}

PlanNames SimfileNames(const fs::path& source, const fs::path& destination) {
    if (FormatOfFile(source) == ChartFormat::kddr && DdrSongStem(source)) {
        return {{{kSimfile, destination}}, {{kDdrSong, destination}}};
    }
    return {{{kSimfile, destination}, {kDdrSong, destination}}, {{kSimfile, destination}}};
}

}  // namespace

OutputNaming SimfileNaming() {
    return {{kChartFormats.begin(), kChartFormats.end()},
            [](const fs::path& source, const fs::path& folder) {
                const std::string song = SongOf(source);
                const fs::path name = song + std::string(RowOf(OutputFormat::kSimfiles).destination_extension);
                return folder.empty() ? source.parent_path() / name : (folder / song / name).lexically_normal();
            },
            SimfileNames, true};
}

std::vector<std::vector<fs::path>> GroupSongs(BatchPlan& plan) {
    std::vector<PlannedFile> files;
    std::vector<std::vector<fs::path>> sources;
    std::map<std::pair<fs::path, fs::path>, std::size_t> song_entries;  // simfile and source folder to the entry
    std::map<fs::path, std::size_t> song_of_simfile;                     // a ddr song's simfile to its first entry
    for (PlannedFile& file : plan.files) {
        const bool song = (file.problem == PlanProblem::kNone || file.problem == PlanProblem::kSameDestination) &&
                          FormatOfFile(file.source) == ChartFormat::kddr && DdrSongStem(file.source);
        if (song) {
            const fs::path simfile = file.destination.lexically_normal();
            const auto [it, first] = song_entries.emplace(std::pair(simfile, file.source.parent_path()), files.size());
            if (!first) {
                sources[it->second].push_back(file.source);
                continue;
            }
            const auto [other, first_song] = song_of_simfile.emplace(simfile, files.size());
            if (!first_song && file.problem == PlanProblem::kNone) {
                file.problem = PlanProblem::kSameDestination;
                file.other_source = files[other->second].source;
            }
        }
        sources.push_back({file.source});
        files.push_back(std::move(file));
    }
    for (std::vector<fs::path>& song : sources) {
        if (song.size() > 1) song = GroupDdrSongs(song).front().files;
    }
    plan.files = std::move(files);
    return sources;
}

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
