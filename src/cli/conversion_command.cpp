#include "cli/conversion_command.hpp"

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "batch/plan.hpp"
#include "batch/runner.hpp"
#include "cli/arguments.hpp"
#include "cli/command_run.hpp"
#include "cli/ddr_arguments.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

struct Batch {
    Conversion conversion = Conversion::kMSD2d2r;
    std::vector<std::string> files;
    fs::path out_dir;
    std::optional<fs::path> error_log;
    std::optional<std::string> report;  // a file, or "-" for standard output
    bool quiet = false;
    bool no_clobber = false;
    bool no_progress = false;
    EncodingChoice encoding = EncodingChoice::kAuto;
    unsigned jobs = 1;
    DdrOptions ddr_options;
};

Conversion ConversionOfArgument(const std::string& name) {
    if (const auto conversion = ConversionNamed(name)) return *conversion;
    if (name.empty()) throw UsageError("no conversion given (msd2d2r, d2r2msd, msd2ddr or ddr2msd)");
    throw UsageError("unknown conversion " + Quoted(name) + " (use msd2d2r, d2r2msd, msd2ddr, ddr2msd, preview or check)");
}

Request ParseArguments(int argc, char** argv, Batch& batch, unsigned default_jobs) {
    CLI::App app("Converts step charts between MSD, d2r and ddr.", std::string(kProgram));
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", std::string(kCaption));

    std::string conversion, out_dir, error_log, report, encoding, jobs;
    app.add_option("conversion", conversion);
    app.add_option("files", batch.files);
    auto* out_dir_option = app.add_option("-o,--out-dir", out_dir);
    auto* error_log_option = app.add_option("--error-log", error_log);
    auto* report_option = app.add_option("--report", report);
    auto* encoding_option = app.add_option("--encoding", encoding);
    auto* jobs_option = app.add_option("-j,--jobs", jobs);
    app.add_flag("-q,--quiet", batch.quiet);
    app.add_flag("-n,--no-clobber", batch.no_clobber);
    app.add_flag("--no-progress", batch.no_progress);
    const DdrArguments ddr_arguments(app);

    // Started without even argv[0], the parser would reserve room for -1
    // arguments and throw.
    const char* const no_arguments[] = {kProgram.data(), nullptr};
    try {
        if (argc > 0) {
            app.parse(argc, argv);
        } else {
            app.parse(1, no_arguments);
        }
    } catch (const CLI::CallForHelp&) {
        return Request::kHelp;
    } catch (const CLI::CallForVersion&) {
        return Request::kVersion;
    } catch (const CLI::ParseError& error) {
        throw UsageError(WithDashHint(error.what(), argc, argv));
    }

    batch.conversion = ConversionOfArgument(conversion);
    if (batch.conversion != Conversion::kMSD2ddr) {
        if (const CLI::Option* given = ddr_arguments.FirstGiven()) {
            throw UsageError(given->get_name() + " applies to msd2ddr only");
        }
    }
    batch.ddr_options = ddr_arguments.Read(batch.ddr_options);

    if (batch.files.empty()) throw UsageError("no file given");
    if (encoding_option->count() > 0) batch.encoding = EncodingOption(encoding);
    batch.jobs = jobs_option->count() > 0 ? static_cast<unsigned>(WholeNumberOption("--jobs", jobs, 1, kMaxJobs))
                                          : default_jobs;
    if (report_option->count() > 0) batch.report = ReportOption(report);
    if (error_log_option->count() > 0) {
        if (error_log.empty()) throw UsageError("--error-log needs a file name");
        batch.error_log = error_log;
    }
    if (out_dir_option->count() > 0) batch.out_dir = OutDirOption(out_dir);
    return Request::kBatch;
}

nlohmann::ordered_json OptionsReport(const Batch& batch) {
    nlohmann::ordered_json options;
    options["out_dir"] = batch.out_dir.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(batch.out_dir.string());
    options["no_clobber"] = batch.no_clobber;
    options["encoding"] = EncodingName(batch.encoding);
    options["jobs"] = batch.jobs;
    options["error_log"] = batch.error_log ? nlohmann::ordered_json(batch.error_log->string()) : nlohmann::ordered_json(nullptr);
    if (batch.conversion == Conversion::kMSD2ddr) {
        AddDdrOptionsReport(batch.ddr_options, options);
    }
    return options;
}

}  // namespace

int RunConversionCommand(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal,
                         const ConvertFile* convert, Request& request) {
    Batch batch;
    // A stand-in conversion runs one file after the other unless told.
    request = ParseArguments(argc, argv, batch, convert != nullptr ? 1U : DefaultJobs());
    if (request != Request::kBatch) return kExitConverted;

    std::vector<fs::path> arguments(batch.files.begin(), batch.files.end());
    const BatchPlan plan = PlanBatch(batch.conversion, arguments, batch.out_dir, batch.no_clobber);

    BatchSettings settings;
    settings.ddr_options = batch.ddr_options;
    settings.encoding = batch.encoding;
    settings.no_clobber = batch.no_clobber;
    settings.jobs = batch.jobs;
    if (convert != nullptr) {
        settings.convert = [&](const PlannedFile& file, ErrorList& file_errors, Storage&, SourceEncoding&) {
            return (*convert)(batch.conversion, file.source, file.destination, batch.ddr_options, file_errors);
        };
    }

    CommandSetup setup;
    setup.words = WordsOf(batch.conversion);
    setup.quiet = batch.quiet;
    setup.no_progress = batch.no_progress;
    setup.report = batch.report;
    setup.error_log = batch.error_log;
    setup.options = OptionsReport(batch);
    return RunCommand(plan, settings, setup, out, err, terminal);
}

}  // namespace torvane
