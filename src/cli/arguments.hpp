#pragma once
// The command line's values, read the same way by every command: a bad value
// is a UsageError, whose message the command prints before its hint.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "batch/input_check.hpp"
#include "batch/runner.hpp"

namespace torvane {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::string_view kProgram = "torvane-cli";
inline constexpr int kMaxJobs = static_cast<int>(kMaxBatchJobs);

[[nodiscard]] std::string Quoted(std::string_view text);

[[nodiscard]] int WholeNumberOption(std::string_view option, const std::string& text, int low, int high);

// --beat: 1 to 4.5 in steps of 0.5 (kDdrHalfBeat), as half beats.
[[nodiscard]] int HalfBeatOption(const std::string& text);

// --lead-in: a DdrOptions mode, and back to its word.
[[nodiscard]] DdrOptions::Mode LeadInMode(const std::string& text);
[[nodiscard]] std::string_view LeadInName(DdrOptions::Mode mode);

// --encoding: auto, cp932 or utf-8, and back to its word.
[[nodiscard]] EncodingChoice EncodingOption(const std::string& text);
[[nodiscard]] std::string_view EncodingName(EncodingChoice choice);

// --report: a file name, or "-".
[[nodiscard]] std::string ReportOption(const std::string& text);

// --out-dir: a folder that exists.
[[nodiscard]] std::filesystem::path OutDirOption(const std::string& text);

// `message` of a command line the parser refused, with a hint when one of
// its arguments begins with "-" and names a file or folder that is there: such
// a name must follow "--".
[[nodiscard]] std::string WithDashHint(std::string message, int argc, char** argv);

// The jobs of a batch by default: DefaultBatchJobs, as in the window.
[[nodiscard]] unsigned DefaultJobs();

}  // namespace torvane
