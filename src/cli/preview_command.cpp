// torvane-cli preview: one SVG picture per chart.

#include <CLI/CLI.hpp>

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "batch/runner.hpp"
#include "cli/arguments.hpp"
#include "cli/chart_commands.hpp"
#include "cli/chart_plan.hpp"
#include "cli/command_options.hpp"
#include "cli/command_run.hpp"
#include "preview/chart_names.hpp"
#include "preview/chart_svg.hpp"
#include "text/conversion_error.hpp"
#include "text/output_names.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHelp = R"(Usage: torvane-cli preview [OPTIONS] FILE...

Draws every chart of each MSD, d2r or ddr FILE as an SVG picture: a header
with the song, the chart and its counts of steps, jumps and triplets, then the
measures in columns read top to bottom, each step an arrow in its lane,
coloured by its rhythm. A d2r or ddr file is drawn as Torvane reads it, through
its conversion to MSD. A FILE that is a folder stands for every .msd, .d2r and
.ddr file below it, in byte order of their paths.

Each picture is named like the ddr files: song.msd gives song_sb.svg,
song_da.svg, ...; "x" stands for a difficulty the formats do not know; a
further chart of the same style and difficulty gets "-2", "-3", ...;
song_sb.ddr gives song_sb.svg. A source whose pictures could have the names of
an earlier source's (song.msd and song.d2r in one folder, song.msd and
song_sb.ddr) is not drawn. Files are checked and read as the conversions read
them.

Options:
  -o, --out-dir DIR     write every picture into DIR (it must exist); the tree
                        below a folder argument is kept, subfolders are made
  -n, --no-clobber      leave a picture that exists alone
      --encoding ENC    how sources are read: auto (default), cp932 or utf-8
      --lang LANG       the words of the pictures: en (English, default) or
                        ja (Japanese, as the window draws them)
      --report FILE     write a JSON report of the batch to FILE ("-":
                        standard output, instead of the "SOURCE -> PICTURE"
                        lines)
  -q, --quiet           print nothing on standard output, and no summary
      --no-progress     draw no progress line on a terminal
  -h, --help            show this help

Exit status: 0 every picture written; 1 written, with error lines; 2 usage
error; 3 at least one file could not be read or drawn.
)";

// Writes the picture safely, as the conversions write their files.
void WritePicture(const std::string& svg, const fs::path& destination, const fs::path& source, Storage& storage) {
    auto sink = storage.CreateDestination(destination, source);
    std::string_view rest = svg;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        sink->WriteLine(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 2);
    }
    sink->Commit();
}

// Draws the charts of one planned source. `drawn` holds every picture of the
// batch and its source: the plan cannot tell what a source's charts are, so
// a picture that would still replace an earlier one fails its source.
std::vector<fs::path> DrawFile(const PlannedFile& file, EncodingChoice choice, PictureLanguage language,
                               ErrorList& errors, Storage& storage, SourceEncoding& encoding,
                               std::map<fs::path, fs::path>& drawn) {
    const ChartFormat format = FormatOfSource(file.source);
    std::unique_ptr<LineSource> opened;
    encoding = CheckChartSource(file.source, format, choice, storage, opened);
    const fs::path folder = file.destination.parent_path();
    MakeOutputFolder(folder);
    SourceReading reading(storage, file.source, encoding, errors, std::move(opened));
    ChartFile charts(file.source, format, errors, reading);
    const auto names = PreviewNames(file.source, format, charts.Heads(), folder);
    for (const auto& name : names) {
        // The same file named twice is drawn twice, as the plan allows.
        if (const auto it = drawn.find(name); it != drawn.end() && it->second != file.source) {
            throw ConversionError(Failure::kInternal, file.source, "",
                                  "its picture " + name.string() + " would replace that of " + it->second.string());
        }
    }
    std::vector<fs::path> written;
    // A chart at a time: a file of many charts holds one chart's steps.
    charts.ReadEachChart(errors, [&](std::size_t place, Chart&& chart) {
        WritePicture(RenderChartSvg(chart, language), names[place], file.source, storage);
        drawn.emplace(names[place], file.source);
        written.push_back(names[place]);
    });
    return written;
}

}  // namespace

std::vector<fs::path> PreviewNames(const fs::path& source, ChartFormat format, const std::vector<Chart>& charts,
                                   const fs::path& folder) {
    const fs::path stem = ReplaceExtension(source.filename(), "");
    const fs::path base = folder.empty() ? source.parent_path() : folder;
    std::vector<fs::path> names;
    std::map<std::string, int> seen;
    for (const auto& chart : charts) {
        std::string name = stem.string();
        if (format != ChartFormat::kddr) {
            name += '_';
            name += StyleLetter(chart.style);
            name += DifficultyLetter(chart.difficulty);
        }
        const int count = ++seen[name];
        if (count > 1) name += '-' + std::to_string(count);
        names.push_back(base / (name + ".svg"));
    }
    return names;
}

void MakeOutputFolder(const fs::path& folder) {
    std::error_code ec;
    if (folder.empty() || fs::is_directory(folder, ec)) return;
    fs::create_directories(folder, ec);
    if (ec && !fs::is_directory(folder)) throw ConversionError(Failure::kCreate, folder, "", "", ec.value());
}

void AddCommandOptions(CLI::App& app, CommandOptions& options, CommandSetup& setup, BatchSettings& settings) {
    app.add_option("files", options.files);
    options.out_dir_option = app.add_option("-o,--out-dir", options.out_dir);
    options.report_option = app.add_option("--report", options.report);
    options.encoding_option = app.add_option("--encoding", options.encoding);
    app.add_flag("-n,--no-clobber", settings.no_clobber);
    app.add_flag("-q,--quiet", setup.quiet);
    app.add_flag("--no-progress", setup.no_progress);
}

bool ParseCommandLine(CLI::App& app, int argc, char** argv, std::ostream& out, std::string_view help, bool dash_hint) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << help;
        return false;
    } catch (const CLI::ParseError& error) {
        throw UsageError(dash_hint ? WithDashHint(error.what(), argc, argv) : std::string(error.what()));
    }
    return true;
}

void ApplyCommandOptions(const CommandOptions& options, CommandSetup& setup, BatchSettings& settings) {
    if (options.files.empty()) throw UsageError("no file given");
    if (options.report_option->count() > 0) setup.report = ReportOption(options.report);
    if (options.encoding_option->count() > 0) settings.encoding = EncodingOption(options.encoding);
}

fs::path OutDirOf(const CommandOptions& options) {
    return options.out_dir_option->count() > 0 ? OutDirOption(options.out_dir) : fs::path();
}

SourceEncoding CheckChartSource(const fs::path& source, ChartFormat format, EncodingChoice choice, Storage& storage,
                                std::unique_ptr<LineSource>& opened) {
    return CheckSource(ConversionReading(format), source, choice, storage, opened);
}

int RunPreviewCommand(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal) {
    CLI::App app("Draws every chart of MSD, d2r and ddr files as an SVG picture.", "torvane-cli preview");
    app.set_help_flag("-h,--help");
    CommandOptions options;
    std::string lang;
    CommandSetup setup;
    setup.words = {"preview", "chart", "not drawn: its pictures could have the names of those of "};
    setup.done = "drawn";
    BatchSettings settings;
    AddCommandOptions(app, options, setup, settings);
    auto* lang_option = app.add_option("--lang", lang);
    PictureLanguage language = PictureLanguage::kEnglish;
    fs::path folder;
    try {
        if (!ParseCommandLine(app, argc, argv, out, kHelp, true)) return kExitConverted;
        ApplyCommandOptions(options, setup, settings);
        if (lang_option->count() > 0) {
            if (lang == "ja") {
                language = PictureLanguage::kJapanese;
            } else if (lang != "en") {
                throw UsageError("--lang: '" + lang + "' is neither en nor ja");
            }
        }
        folder = OutDirOf(options);
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.what() << '\n'
            << "Try '" << kProgram << " preview --help' for more information.\n";
        return kExitUsage;
    }

    const BatchPlan plan = PlanBatch(PictureNaming(), std::vector<fs::path>(options.files.begin(), options.files.end()), folder);
    std::map<fs::path, fs::path> drawn;
    // One file after the other: `drawn` is the batch's, and pictures are
    // quick to draw next to reading their charts.
    settings.jobs = 1;
    settings.convert = [&](const PlannedFile& file, ErrorList& errors, Storage& storage, SourceEncoding& read_as) {
        return DrawFile(file, settings.encoding, language, errors, storage, read_as, drawn);
    };
    std::size_t pictures = 0;
    setup.options = {{"out_dir", folder.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(folder.string())},
                     {"no_clobber", settings.no_clobber},
                     {"encoding", EncodingName(settings.encoding)}};
    setup.report_file = [&](const FileResult& result, nlohmann::ordered_json& entry) {
        if (result.status == FileStatus::kConverted) entry["status"] = "drawn";
        pictures += result.destinations.size();
    };
    setup.report_summary = [&](nlohmann::ordered_json& summary) { summary["pictures"] = pictures; };
    return RunCommand(plan, settings, setup, out, err, terminal);
}

}  // namespace torvane
