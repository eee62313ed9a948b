#pragma once
// The report of a batch as one JSON document, for scripts, the same for the
// conversions and for preview and check. Its schema is in doc/torvane-cli.1;
// kReportVersion changes whenever a reader would have to.

#include <nlohmann/json.hpp>

#include <string>

#include "batch/runner.hpp"

namespace torvane {

inline constexpr int kReportVersion = 1;

// How a command names itself and the problems of its plan.
struct CommandWords {
    std::string name;     // "msd2d2r", ..., "preview", "check"
    std::string sources;  // what a folder may lack: ".msd" gives "no .msd file in it"
    // Before the earlier source of a kSameDestination file.
    std::string same_destination = "not converted: it would write the destination of ";
};

// The words of a conversion.
[[nodiscard]] CommandWords WordsOf(Conversion conversion);

// The entry of one error line: its code, message, text and the line as
// logged; the source line, chart and place where known (UTF-8).
[[nodiscard]] nlohmann::ordered_json ErrorLineReport(const ErrorLine& line);

// The entry of one file: source, destinations, status, reason, encoding,
// error lines (UTF-8, each with its code) and notes.
[[nodiscard]] nlohmann::ordered_json FileReport(const FileResult& result, const CommandWords& words);

// The reason of a failed or skipped file, or null.
[[nodiscard]] nlohmann::ordered_json ReasonReport(const FileResult& result, const CommandWords& words);

// The English reason of a failed or skipped file, without its source's name.
[[nodiscard]] std::string EnglishFileReason(const FileResult& result, const CommandWords& words);

// "msd2d2r", "d2r2msd", "msd2ddr", "ddr2msd".
[[nodiscard]] std::string_view ConversionName(Conversion conversion);

// The document as text: UTF-8, two-space indentation, ended by a line end;
// bytes of names that are not UTF-8 become U+FFFD.
[[nodiscard]] std::string ReportText(const nlohmann::ordered_json& report);

}  // namespace torvane
