#pragma once
// The options that the commands writing a file per source share: the files,
// -o, --report, --encoding, -n, -q and --no-progress.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <ostream>
#include <string_view>
#include <string>
#include <vector>

#include "batch/runner.hpp"
#include "cli/command_run.hpp"

namespace torvane {

struct CommandOptions {
    std::vector<std::string> files;
    std::string out_dir, report, encoding;
    CLI::Option* out_dir_option = nullptr;
    CLI::Option* report_option = nullptr;
    CLI::Option* encoding_option = nullptr;
};

// Declares the shared options on `app`; the flags go straight into `setup`
// and `settings`.
void AddCommandOptions(CLI::App& app, CommandOptions& options, CommandSetup& setup, BatchSettings& settings);

// Parses the command line into `app`. False when it asked for help, which
// is then written to `out`; a UsageError for a line that does not parse
// (`dash_hint`: with the hint of WithDashHint).
[[nodiscard]] bool ParseCommandLine(CLI::App& app, int argc, char** argv, std::ostream& out, std::string_view help,
                                    bool dash_hint);

// After parsing: a UsageError without a file, the report and the encoding
// into `setup` and `settings`.
void ApplyCommandOptions(const CommandOptions& options, CommandSetup& setup, BatchSettings& settings);

// The --out-dir folder, empty without one; a UsageError when it is no folder.
[[nodiscard]] std::filesystem::path OutDirOf(const CommandOptions& options);

}  // namespace torvane
