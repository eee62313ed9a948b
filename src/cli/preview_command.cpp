// torvane-cli preview: one SVG picture per chart.

#include <CLI/CLI.hpp>

#include <map>
#include <nlohmann/json.hpp>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cli/chart_commands.hpp"
#include "cli/cli.hpp"
#include "cli/json_report.hpp"
#include "preview/chart_names.hpp"
#include "preview/chart_svg.hpp"
#include "text/output_names.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "torvane-cli";

constexpr std::string_view kHelp = R"(Usage: torvane-cli preview [OPTIONS] FILE...

Draws every chart of each MSD, d2r or ddr FILE as an SVG picture: a header
with the song, the chart and its counts of steps, jumps and triplets, then the
measures in columns read top to bottom, each step an arrow in its lane,
coloured by its rhythm. A d2r or ddr file is drawn as Torvane reads it, through
its conversion to MSD.

Each picture is named like the ddr files: song.msd gives song_sb.svg,
song_da.svg, ...; "x" stands for a difficulty the formats do not know; a
further chart of the same style and difficulty gets "-2", "-3", ...;
song_sb.ddr gives song_sb.svg.

Options:
  -o, --out-dir DIR  write every picture into DIR (it must exist)
      --report FILE  write a JSON report of the batch to FILE ("-": standard
                     output, instead of the "SOURCE -> PICTURE" lines)
  -q, --quiet        print nothing on standard output
  -h, --help         show this help

Exit status: 0 every picture written; 1 written, with error lines; 2 usage
error; 3 at least one file could not be read or drawn.
)";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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

std::vector<PreviewResult> PreviewFiles(const std::vector<fs::path>& sources, const fs::path& folder,
                                        Storage& storage) {
    std::vector<PreviewResult> results;
    std::map<fs::path, fs::path> written_for;  // each picture of the batch and its source
    for (const auto& source : sources) {
        PreviewResult result;
        result.source = source;
        ErrorList errors;
        try {
            const auto format = FormatOfFile(source);
            if (!format) throw std::runtime_error("not an .msd, .d2r or .ddr file");
            ChartFile file(source, *format, errors, storage);
            const auto names = PreviewNames(source, *format, file.Heads(), folder);
            for (const auto& name : names) {
                if (const auto it = written_for.find(name); it != written_for.end()) {
                    throw std::runtime_error("its picture " + name.string() + " would replace that of " +
                                             it->second.string());
                }
            }
            // A chart at a time: a file of many charts holds one chart's steps.
            file.ReadEachChart(errors, [&](std::size_t place, Chart&& chart) {
                WritePicture(RenderChartSvg(chart), names[place], source, storage);
                written_for.emplace(names[place], source);
                result.written.push_back(names[place]);
            });
        } catch (const std::exception& error) {
            result.failure = error.what();
        }
        result.error_lines = errors.Lines();
        results.push_back(std::move(result));
    }
    return results;
}

namespace {

nlohmann::json ErrorLinesJson(const std::vector<std::string>& lines) {
    auto json = nlohmann::json::array();
    for (const auto& line : lines) json.push_back(Cp932ToUtf8(line));
    return json;
}

nlohmann::json PreviewReport(const std::vector<PreviewResult>& results) {
    nlohmann::json sources = nlohmann::json::array();
    std::size_t failed = 0;
    std::size_t pictures = 0;
    for (const auto& result : results) {
        nlohmann::json entry;
        entry["source"] = result.source.string();
        entry["status"] = result.failure ? "failed" : "previewed";
        entry["reason"] = result.failure ? nlohmann::json(*result.failure) : nlohmann::json(nullptr);
        auto destinations = nlohmann::json::array();
        for (const auto& file : result.written) destinations.push_back(file.string());
        entry["destinations"] = destinations;
        entry["error_lines"] = ErrorLinesJson(result.error_lines);
        sources.push_back(entry);
        failed += result.failure ? 1 : 0;
        pictures += result.written.size();
    }
    return {{"format_version", 1},
            {"command", "preview"},
            {"sources", sources},
            {"summary", {{"sources", results.size()}, {"failed", failed}, {"pictures", pictures}}}};
}

}  // namespace

int RunPreviewCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app("Draws every chart of MSD, d2r and ddr files as an SVG picture.", "torvane-cli preview");
    app.set_help_flag("-h,--help");
    std::vector<std::string> files;
    std::string out_dir;
    std::string report;
    bool quiet = false;
    app.add_option("files", files);
    auto* out_dir_option = app.add_option("-o,--out-dir", out_dir);
    auto* report_option = app.add_option("--report", report);
    app.add_flag("-q,--quiet", quiet);
    try {
        try {
            app.parse(argc, argv);
        } catch (const CLI::CallForHelp&) {
            out << kHelp;
            return kExitConverted;
        } catch (const CLI::ParseError& error) {
            throw UsageError(error.what());
        }
        if (files.empty()) throw UsageError("no file given");
        if (report_option->count() > 0 && report.empty()) throw UsageError("--report needs a file name or -");
        if (out_dir_option->count() > 0) {
            std::error_code ec;
            if (out_dir.empty() || !fs::is_directory(out_dir, ec)) {
                throw UsageError("the --out-dir folder '" + out_dir + "' does not exist");
            }
        }
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.what() << '\n'
            << "Try '" << kProgram << " preview --help' for more information.\n";
        return kExitUsage;
    }

    std::vector<fs::path> sources(files.begin(), files.end());
    const auto results = PreviewFiles(sources, out_dir);
    const bool report_to_out = report == "-";
    bool failed = false;
    bool error_lines = false;
    for (const auto& result : results) {
        if (!quiet && !report_to_out) {
            for (const auto& file : result.written) out << result.source.string() << " -> " << file.string() << '\n';
        }
        for (const auto& line : result.error_lines) err << Cp932ToUtf8(line) << '\n';
        error_lines = error_lines || !result.error_lines.empty();
        if (result.failure) {
            err << kProgram << ": " << result.source.string() << ": " << FailureReason(*result.failure, result.source) << '\n';
            failed = true;
        }
    }
    if (!report.empty() && !WriteJsonReport(PreviewReport(results), report, out, err)) failed = true;
    if (failed) return kExitFailedFile;
    return error_lines ? kExitErrorLines : kExitConverted;
}

}  // namespace torvane
