#include "cli/command_run.hpp"

#include <ostream>
#include <string_view>

#include "cli/arguments.hpp"
#include "cli/output.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {

int RunCommand(const BatchPlan& plan, const BatchSettings& settings, const CommandSetup& setup, std::ostream& out,
               std::ostream& err, const CliTerminal& terminal) {
    const bool report_to_out = setup.report && *setup.report == "-";
    const bool file_lines = !setup.quiet && !report_to_out;
    Output output(out);
    ProgressLine progress(err, terminal.err_is_terminal && !setup.no_progress, terminal.err_columns);
    ErrorList errors;  // every error line of the batch, for the error log
    std::size_t error_line_count = 0;
    std::size_t note_count = 0;
    nlohmann::ordered_json report_files = nlohmann::ordered_json::array();

    BatchCallbacks callbacks;
    callbacks.progress = [&](const BatchProgress& state) { progress.Show(state); };
    callbacks.file_done = [&](const FileResult& result) {
        progress.Wipe();
        const std::string source = result.source.string();
        if (result.encoding != SourceEncoding::kCp932 && settings.encoding == EncodingChoice::kAuto) {
            err << kProgram << ": " << source << ": read as "
                << (result.encoding == SourceEncoding::kUtf8 ? "UTF-8" : "UTF-16") << '\n';
        }
        if (file_lines) {
            output.Write(setup.file_text ? setup.file_text(result) : DestinationLines(result));
            output.Flush();  // ahead of the file's error lines when both go to one terminal
        }
        PrintErrorLines(result.error_lines, err);
        if (result.status == FileStatus::kFailed) {
            err << kProgram << ": " << source << ": " << EnglishFileReason(result, setup.words) << '\n';
        }
        err.flush();
        for (const auto& line : result.error_lines) errors.Add(line, {});
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

    bool failed = summary.failed > 0;
    if (setup.error_log && !errors.Empty()) {
        try {
            errors.SaveTo(*setup.error_log);
        } catch (const ConversionError& error) {
            err << kProgram << ": " << setup.error_log->string() << ": " << EnglishReason(error) << '\n';
            failed = true;
        }
    }
    if (plan.files.size() > 1 && !setup.quiet) {
        err << kProgram << ": " << SummaryText(summary, setup.done) << '\n';
    }

    int status = failed                 ? kExitFailedFile
                 : setup.status         ? setup.status(error_line_count)
                 : error_line_count == 0 ? kExitConverted
                                         : kExitErrorLines;
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
        // A report that cannot be written makes the status 3; the status it
        // gives is what the program ends with otherwise.
        report["exit_status"] = status;
        const std::string text = ReportText(report);
        if (report_to_out) {
            output.Write(text);
            output.Flush();
        } else {
            try {
                ReplaceFileSafely(*setup.report, text);
            } catch (const ConversionError& error) {
                err << kProgram << ": " << *setup.report << ": " << EnglishReason(error) << '\n';
                status = kExitFailedFile;
            }
        }
    }
    output.Flush();
    if (output.Failed()) {
        err << kProgram << ": standard output: " << output.Reason() << '\n';
        status = kExitFailedFile;
    }
    return status;
}

}  // namespace torvane
