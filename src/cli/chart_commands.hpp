#pragma once
// torvane-cli preview and check: the two commands that look at charts
// rather than convert them.
//
//   torvane-cli preview [OPTIONS] FILE...
//   torvane-cli check [CONVERSION-OPTIONS] [OPTIONS] FILE...
//   torvane-cli sm [OPTIONS] FILE...
//
// Both run the batch of the conversions (batch/runner.hpp) over a plan of
// their own (cli/chart_plan.hpp), with a converter of their own: the same
// folders, collisions, input checks, reading of UTF-8, summary and report.

#include <filesystem>
#include <iosfwd>
#include <vector>

#include "batch/input_check.hpp"
#include "batch/plan.hpp"
#include "cli/cli.hpp"
#include "ddr/ddr.hpp"
#include "msd/chart_model.hpp"
#include "preview/chart_check.hpp"
#include "preview/chart_loader.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// Exit statuses of check; preview uses those of the conversions.
inline constexpr int kExitNoChange = 0;
inline constexpr int kExitChanges = 1;

// The pictures of a source's charts: the destination stem (the source's name
// without extension, in `folder` or beside the source), "_", the style and the
// difficulty letter ("x" for a difficulty the formats do not know), "-2",
// "-3"... for a further chart of the same style and difficulty, ".svg". A
// ddr file holds one chart and keeps its own stem: song_sb.ddr gives
// song_sb.svg.
[[nodiscard]] std::vector<std::filesystem::path> PreviewNames(const std::filesystem::path& source, ChartFormat format,
                                                              const std::vector<Chart>& charts,
                                                              const std::filesystem::path& folder = {});

// Checks a source as the conversion reading its format checks it, and opens
// it for reading in its encoding; `opened` is handed to a SourceReading.
[[nodiscard]] SourceEncoding CheckChartSource(const std::filesystem::path& source, ChartFormat format,
                                              EncodingChoice choice, Storage& storage,
                                              std::unique_ptr<LineSource>& opened);

// Makes `folder` and the folders above it that are missing; a
// ConversionError of kind kCreate when it cannot.
void MakeOutputFolder(const std::filesystem::path& folder);

// The commands; `argv[0]` is the command's own name. They write what the
// help of each says and return the exit status.
int RunPreviewCommand(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal = {});
int RunCheckCommand(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal = {});
int RunSmCommand(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal = {});

}  // namespace torvane
