#pragma once
// A planned batch run and told as every command of torvane-cli tells it: the
// lines of each file on standard output, error lines, "read as UTF-8" and
// failures on standard error, the progress line, the summary of a batch of
// several files, the error log and the JSON report.

#include <nlohmann/json.hpp>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "batch/plan.hpp"
#include "batch/runner.hpp"
#include "cli/cli.hpp"
#include "cli/report.hpp"

namespace torvane {

struct CommandSetup {
    CommandWords words;
    std::string done = "converted";  // the word of the summary line for the files done
    bool quiet = false;
    bool no_progress = false;
    std::optional<std::string> report;  // a file, or "-" for standard output
    std::optional<std::filesystem::path> error_log;
    nlohmann::ordered_json options = nlohmann::ordered_json::object();
    // What a file puts on standard output, unless quiet or the report goes
    // there; empty: DestinationLines.
    std::function<std::string(const FileResult&)> file_text;
    // Adds to a file's entry of the report.
    std::function<void(const FileResult&, nlohmann::ordered_json&)> report_file;
    // Called last for each file, whether or not anything is printed.
    std::function<void(const FileResult&)> file_done;
    // Adds to the summary of the report.
    std::function<void(nlohmann::ordered_json&)> report_summary;
    // The exit status of a batch where no file failed, from its count of
    // error lines; empty: kExitConverted, or kExitErrorLines with error lines.
    std::function<int(std::size_t)> status;
};

// Runs `plan` and returns the exit status: kExitFailedFile when a file
// failed, the error log or the report could not be written, or standard
// output failed.
int RunCommand(const BatchPlan& plan, const BatchSettings& settings, const CommandSetup& setup, std::ostream& out,
               std::ostream& err, const CliTerminal& terminal);

}  // namespace torvane
