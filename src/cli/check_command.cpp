// torvane-cli check: what converting each file would change.

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "batch/runner.hpp"
#include "cli/arguments.hpp"
#include "cli/chart_commands.hpp"
#include "cli/chart_plan.hpp"
#include "cli/check_json.hpp"
#include "cli/command_options.hpp"
#include "cli/command_run.hpp"
#include "cli/ddr_arguments.hpp"
#include "preview/check_report.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHelp = R"(Usage: torvane-cli check [OPTIONS] FILE...

Tells what converting each MSD, d2r or ddr FILE would change. Each file is
converted to every other format it can go to and back, in memory (MSD through
d2r and through ddr, d2r through MSD and back to d2r, ddr through MSD and back
to ddr), and the charts before and after are compared: steps lost, added and
moved (positions as "measure 12 beat 2.5" of the source's chart), panels
changed, and changes of style, difficulty, level, tempo, title, artist and of
the gap in time (the steps coming earlier or later against the music). Nothing
is written beside the files. A FILE that is a folder stands for every .msd,
.d2r and .ddr file below it, in byte order of their paths; files are checked
and read as the conversions read them.

Options:
      --lead-in MODE  for the way through ddr: where the first step of each
                      chart lies: delete (default), first-step or as-is
      --delete N      for --lead-in delete: leading positions (8th notes) to
                      delete, 0 to 150 (default 18)
      --measure M     for --lead-in first-step: measure of the first step,
                      1 to 10 (default 3)
      --beat B        for --lead-in first-step: beat of the first step, 1 to
                      4.5 in steps of 0.5 (default 1)
      --encoding ENC  how sources are read: auto (default), cp932 or utf-8
      --report FILE   write the same as JSON to FILE ("-": standard output,
                      instead of the report for people)
  -q, --quiet         print nothing on standard output, and no summary
      --no-progress   draw no progress line on a terminal
  -h, --help          show this help

Exit status: 0 nothing changes; 1 something changes; 2 usage error; 3 at
least one file could not be read.
)";

}  // namespace

int RunCheckCommand(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal) {
    CLI::App app("Tells what converting chart files would change.", "torvane-cli check");
    app.set_help_flag("-h,--help");
    std::vector<std::string> files;
    std::string report, encoding;
    DdrOptions options;
    CommandSetup setup;
    setup.words = {"check", "chart", "not checked: it would write the destination of "};
    setup.done = "checked";
    BatchSettings settings;
    app.add_option("files", files);
    auto* report_option = app.add_option("--report", report);
    auto* encoding_option = app.add_option("--encoding", encoding);
    app.add_flag("-q,--quiet", setup.quiet);
    app.add_flag("--no-progress", setup.no_progress);
    const DdrArguments ddr_arguments(app);
    try {
        if (!ParseCommandLine(app, argc, argv, out, kHelp, true)) return kExitNoChange;
        options = ddr_arguments.Read(options);
        if (files.empty()) throw UsageError("no file given");
        if (report_option->count() > 0) setup.report = ReportOption(report);
        if (encoding_option->count() > 0) settings.encoding = EncodingOption(encoding);
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.what() << '\n'
            << "Try '" << kProgram << " check --help' for more information.\n";
        return kExitUsage;
    }

    const BatchPlan plan = PlanBatch(ReadOnlyNaming(), std::vector<fs::path>(files.begin(), files.end()));
    // Each file's findings, kept by its place in the plan until it is told.
    std::vector<std::optional<SourceCheck>> checks(plan.files.size());
    settings.jobs = DefaultJobs();
    settings.convert = [&](const PlannedFile& file, ErrorList& errors, Storage& storage, SourceEncoding& read_as) {
        const ChartFormat format = FormatOfSource(file.source);
        std::unique_ptr<LineSource> opened;
        read_as = CheckChartSource(file.source, format, settings.encoding, storage, opened);
        SourceReading reading(storage, file.source, read_as, errors, std::move(opened));
        checks[static_cast<std::size_t>(&file - plan.files.data())] = CheckRoundTrips(file.source, format, options, reading);
        return std::vector<fs::path>{};
    };
    bool changed = false;
    const auto check_of = [&](const FileResult& result) -> const std::optional<SourceCheck>& {
        return checks[result.index];
    };
    setup.file_text = [&](const FileResult& result) {
        return check_of(result) ? FormatCheckReport(*check_of(result)) : std::string();
    };
    setup.report_file = [&](const FileResult& result, nlohmann::ordered_json& entry) {
        if (result.status != FileStatus::kConverted || !check_of(result)) return;
        entry["status"] = "checked";
        AddCheckReport(*check_of(result), entry);
    };
    setup.options = {{"encoding", EncodingName(settings.encoding)}};
    AddDdrOptionsReport(options, setup.options);
    std::size_t changed_files = 0;
    std::size_t checked_files = 0;
    setup.report_summary = [&](nlohmann::ordered_json& summary) {
        summary["changed"] = changed_files;
        summary["unchanged"] = checked_files - changed_files;
    };
    setup.status = [&](std::size_t) { return changed ? kExitChanges : kExitNoChange; };
    setup.file_done = [&](const FileResult& result) {
        if (result.status != FileStatus::kConverted || !check_of(result)) return;
        ++checked_files;
        if (check_of(result)->Changed()) {
            ++changed_files;
            changed = true;
        }
        checks[result.index].reset();  // told: a library's findings are not all held at once
    };
    return RunCommand(plan, settings, setup, out, err, terminal);
}

}  // namespace torvane
