#pragma once
// torvane-cli: the window's batch for whole folders and scripts.
//
//   torvane-cli CONVERSION [OPTIONS] FILE...
//
// Unlike the window, a file that cannot be converted does not end the batch:
// it is reported, its destination stays as it was, and the next file follows.

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <vector>

#include "batch/conversions.hpp"
#include "ddr/ddr.hpp"
#include "text/error_list.hpp"

namespace torvane {

// Exit statuses; scripts rely on them.
inline constexpr int kExitConverted = 0;   // every file converted, no error line
inline constexpr int kExitErrorLines = 1;  // every file converted, with error lines
inline constexpr int kExitUsage = 2;       // bad command line; nothing converted
inline constexpr int kExitFailedFile = 3;  // at least one file could not be converted

// Converts one source into `destination` (msd2ddr derives its chart files
// from it) and returns the files written. Throws when the file cannot be
// converted.
using ConvertFile = std::function<std::vector<std::filesystem::path>(
    Conversion conversion, const std::filesystem::path& source, const std::filesystem::path& destination,
    const DdrOptions& options, ErrorList& errors)>;

// Where the program runs.
struct CliTerminal {
    bool err_is_terminal = false;  // a progress line may be drawn on `err`
    int err_columns = 80;          // its width
};

// The whole program: parses `argv`, converts, writes "SOURCE -> DESTINATION"
// lines to `out` and error lines (UTF-8) and failures to `err`, and returns
// the exit status.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal = {});

// The same with the conversion of one file replaced, so that the batch can be
// run without touching real charts: no input check, no encoding, and the
// destinations are whatever `convert` says it wrote. Files are converted one
// after the other unless -j says otherwise, so that `convert` need not be
// thread-safe.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, const ConvertFile& convert);

}  // namespace torvane
