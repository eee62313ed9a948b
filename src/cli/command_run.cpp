#include "cli/command_run.hpp"

#include <memory>
#include <ostream>
#include <string_view>

#include "cli/arguments.hpp"
#include "cli/output.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/safe_file.hpp"
#include "text/temp_files.hpp"
#include "text/output_names.hpp"

namespace torvane {

namespace {

// The files of --report and --error-log, checked before anything is
// converted: a file that cannot be written there is a usage error.
std::unique_ptr<ReportFile> OpenReportFile(std::string_view option, const std::filesystem::path& path) {
    try {
        return std::make_unique<ReportFile>(path);
    } catch (const ConversionError& error) {
        throw UsageError(std::string(option) + " " + DisplayPath(path.string()) + ": " + EnglishReason(error));
    }
}

// The text of the error log: the lines as they are, each ended by CR LF.
std::string ErrorLogText(const ErrorList& errors) {
    std::string text;
    for (const auto& line : errors.Lines()) text.append(line).append("\r\n");
    return text;
}

}  // namespace

int RunCommand(const BatchPlan& plan, const BatchSettings& settings, const CommandSetup& setup, std::ostream& out,
               std::ostream& err, const CliTerminal& terminal) {
    // A closed output of an earlier command of the same process is past.
    if (StopReason() == kStopClosedOutput) ClearStop();
    const bool report_to_out = setup.report && *setup.report == "-";
    std::unique_ptr<ReportFile> report_file;
    std::unique_ptr<ReportFile> error_log_file;
    try {
        if (setup.report && !report_to_out) report_file = OpenReportFile("--report", *setup.report);
        if (setup.error_log) error_log_file = OpenReportFile("--error-log", *setup.error_log);
    } catch (const UsageError& error) {
        const bool own_help = setup.words.name == "check" || setup.words.name == "preview";
        err << kProgram << ": " << error.what() << '\n'
            << "Try '" << kProgram << (own_help ? " " + setup.words.name : std::string()) << " --help' for more information.\n";
        return kExitUsage;
    }
    const bool file_lines = !setup.quiet && !report_to_out;
    Output output(out);
    ProgressLine progress(err, terminal.err_is_terminal && !setup.no_progress, terminal.err_columns);
    ErrorList errors;  // every error line of the batch, for the error log
    std::size_t error_line_count = 0;
    std::size_t note_count = 0;
    nlohmann::ordered_json report_files = nlohmann::ordered_json::array();

    BatchCallbacks callbacks;
    if (progress.Enabled()) callbacks.progress = [&](const BatchProgress& state) { progress.Show(state); };
    // A signal, or standard output that can take no more: nothing more is
    // worth converting.
    callbacks.stop_requested = [&] {
        // The files in hand are broken off as for a signal.
        if (output.Failed()) RequestStop(kStopClosedOutput);
        return StopReason() != 0;
    };
    callbacks.file_done = [&](const FileResult& result) {
        progress.Wipe();
        const std::string source = DisplayPath(result.source.string());
        if (result.encoding != SourceEncoding::kCp932 && settings.encoding == EncodingChoice::kAuto) {
            err << kProgram << ": " << source << ": read as "
                << (result.encoding == SourceEncoding::kUtf8 ? "UTF-8" : "UTF-16") << '\n';
        }
        if (file_lines) {
            output.Write(setup.file_text ? setup.file_text(result) : DestinationLines(result));
            output.Flush();  // ahead of the file's error lines when both go to one terminal
        }
        PrintErrorLines(source, result.error_lines, err);
        if (result.status == FileStatus::kFailed) {
            err << kProgram << ": " << source << ": " << EnglishFileReason(result, setup.words) << '\n';
        }
        err.flush();
        for (const auto& line : result.error_lines) errors.Add(line);
        error_line_count += result.error_lines.size();
        note_count += result.notes.size();
        if (setup.report) {
            nlohmann::ordered_json entry = FileReport(result, setup.words);
            if (setup.report_file) setup.report_file(result, entry);
            report_files.push_back(std::move(entry));
        }
        if (setup.file_done) setup.file_done(result);
    };

    const BatchSummary summary = RunBatch(plan, settings, callbacks);
    progress.Wipe();

    bool failed = summary.failed > 0 || summary.stopped;
    if (error_log_file != nullptr && !errors.Empty()) {
        try {
            error_log_file->Write(ErrorLogText(errors));
        } catch (const ConversionError& error) {
            err << kProgram << ": " << DisplayPath(setup.error_log->string()) << ": " << EnglishReason(error) << '\n';
            failed = true;
        }
    }
    if (plan.files.size() > 1 && !setup.quiet && !summary.stopped) {
        err << kProgram << ": " << SummaryText(summary, setup.done) << '\n';
    }

    int status = failed                 ? kExitFailedFile
                 : setup.status         ? setup.status(error_line_count)
                 : error_line_count == 0 ? kExitConverted
                                         : kExitErrorLines;
    if (summary.stopped && StopReason() > 0) status = 128 + StopReason();
    if (setup.report) {
        nlohmann::ordered_json report;
        report["report_version"] = kReportVersion;
        report["program"] = std::string(kProgram) + " " + std::string(kCaption);
        report["conversion"] = setup.words.name;
        report["options"] = setup.options;
        report["files"] = std::move(report_files);
        report["summary"] = {{"files", summary.files},
                             {"converted", summary.converted},
                             {"with_error_lines", summary.with_error_lines},
                             {"failed", summary.failed},
                             {"skipped", summary.skipped},
                             {"error_lines", error_line_count},
                             {"notes", note_count}};
        if (setup.report_summary) setup.report_summary(report["summary"]);
        if (summary.stopped) {
            report["summary"]["not_started"] = summary.not_started;
            report["interrupted"] = true;
        }
        // A report that cannot be written makes the status 3; the status it
        // gives is what the program ends with otherwise.
        report["exit_status"] = status;
        const std::string text = ReportText(report);
        if (report_to_out) {
            output.Write(text);
            output.Flush();
        } else {
            try {
                report_file->Write(text);
            } catch (const ConversionError& error) {
                err << kProgram << ": " << DisplayPath(*setup.report) << ": " << EnglishReason(error) << '\n';
                status = kExitFailedFile;
            }
        }
    }
    output.Flush();
    if (output.Failed()) {
        err << kProgram << ": standard output: " << output.Reason() << '\n';
        status = kExitFailedFile;
    }
    // Ended by a signal as the signal would have ended it, once the report of
    // what was done is written.
    if (summary.stopped && StopReason() > 0) status = 128 + StopReason();
    return status;
}

}  // namespace torvane
