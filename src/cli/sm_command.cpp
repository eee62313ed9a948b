// torvane-cli sm: one simfile per song.

#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "batch/runner.hpp"
#include "cli/arguments.hpp"
#include "cli/chart_commands.hpp"
#include "cli/chart_plan.hpp"
#include "cli/command_options.hpp"
#include "cli/command_run.hpp"
#include "sm/music_file.hpp"
#include "sm/simfile_writer.hpp"
#include "text/output_names.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHelp = R"(Usage: torvane-cli sm [OPTIONS] FILE...

Writes the charts of MSD, d2r and ddr files as simfiles (.sm), one per song,
for today's dance simulators. An MSD or d2r file is one song; the ddr files
of one song in one folder (song_sb.ddr, song_da.ddr, ... as msd2ddr names
them) are one song; a ddr file without such a suffix is a song of its own. A
FILE that is a folder stands for every .msd, .d2r and .ddr file below it, in
byte order of their paths. d2r and ddr files are read as the conversions to
MSD read them.

song.msd gives song.sm beside it; with --out-dir each song gets a folder of
its own, DIR/.../song/song.sm (the tree below a folder argument is kept),
and the music file that #FILE: names is linked (or copied) from beside the
source into that folder under the name #MUSIC: gives. Sources that would
write one simfile (song.msd and song.d2r, or song.msd and song_sb.ddr) are a
collision: the later one is not converted. See the manual page for how
charts, levels, tempo and gap are written.

Options:
  -o, --out-dir DIR     write every simfile into a folder of its own in DIR
                        (it must exist), with its music file
  -n, --no-clobber      leave a simfile that exists alone
  -j, --jobs N          convert N songs at once (default: the number of
                        processors); the output is the same for any N
      --encoding ENC    how sources are read: auto (default), cp932 or utf-8
      --report FILE     write a JSON report of the batch to FILE ("-":
                        standard output, instead of the "SOURCE -> SIMFILE"
                        lines)
  -q, --quiet           print nothing on standard output
      --no-progress     draw no progress line on a terminal
  -h, --help            show this help

Exit status: 0 every song converted, no error line; 1 every song converted,
with error lines; 2 usage error; 3 at least one song could not be converted.
)";

// Writes the simfile of one planned song: each source checked and read as
// the conversion reading its format reads it, then the simfile, then with
// an out folder the music beside it.
std::vector<fs::path> WriteSong(const PlannedFile& file, const std::vector<fs::path>& sources, EncodingChoice choice,
                                bool place_music, ErrorList& errors, Storage& storage, SourceEncoding& encoding) {
    std::vector<std::unique_ptr<SourceReading>> readings;
    Storage* reading = &storage;
    for (const fs::path& source : sources) {
        std::unique_ptr<LineSource> opened;
        const SourceEncoding read_as = CheckChartSource(source, FormatOfSource(source), choice, storage, opened);
        if (&source == &sources.front() || read_as != SourceEncoding::kCp932) encoding = read_as;
        readings.push_back(std::make_unique<SourceReading>(*reading, source, read_as, errors, std::move(opened)));
        reading = readings.back().get();
    }
    const fs::path folder = file.destination.parent_path();
    MakeOutputFolder(folder);
    const WrittenSimfile written = WriteSimfile(sources, file.destination, errors, *reading);
    if (place_music && !written.file_value.empty()) {
        (void)PlaceMusicFile(sources.front(), written.file_value, written.music, folder, errors);
    }
    return {file.destination};
}

}  // namespace

int RunSmCommand(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal) {
    CLI::App app("Writes the charts of MSD, d2r and ddr files as simfiles.", "torvane-cli sm");
    app.set_help_flag("-h,--help");
    CommandOptions options;
    std::string jobs;
    CommandSetup setup;
    setup.words = {"sm", "chart", "not converted: it would write the simfile of "};
    BatchSettings settings;
    AddCommandOptions(app, options, setup, settings);
    auto* jobs_option = app.add_option("-j,--jobs", jobs);
    fs::path folder;
    try {
        if (!ParseCommandLine(app, argc, argv, out, kHelp, true)) return kExitConverted;
        ApplyCommandOptions(options, setup, settings);
        folder = OutDirOf(options);
        settings.jobs = jobs_option->count() > 0 ? static_cast<unsigned>(WholeNumberOption("--jobs", jobs, 1, kMaxJobs))
                                                 : DefaultJobs();
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.what() << '\n'
            << "Try '" << kProgram << " sm --help' for more information.\n";
        return kExitUsage;
    }

    BatchPlan plan = PlanBatch(SimfileNaming(), std::vector<fs::path>(options.files.begin(), options.files.end()), folder,
                               settings.no_clobber);
    const std::vector<std::vector<fs::path>> songs = GroupSongs(plan);
    const bool place_music = !folder.empty();
    settings.convert = [&](const PlannedFile& file, ErrorList& errors, Storage& storage, SourceEncoding& read_as) {
        const auto place = static_cast<std::size_t>(&file - plan.files.data());
        return WriteSong(file, songs[place], settings.encoding, place_music, errors, storage, read_as);
    };
    setup.options = {{"out_dir", folder.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(folder.string())},
                     {"no_clobber", settings.no_clobber},
                     {"encoding", EncodingName(settings.encoding)},
                     {"jobs", settings.jobs}};
    setup.report_file = [&](const FileResult& result, nlohmann::ordered_json& entry) {
        const std::vector<fs::path>& sources = songs[result.index];
        if (sources.size() > 1) {
            auto list = nlohmann::ordered_json::array();
            for (const fs::path& source : sources) list.push_back(DisplayPath(source.string()));
            entry["sources"] = list;
        }
    };
    return RunCommand(plan, settings, setup, out, err, terminal);
}

}  // namespace torvane
