#pragma once
// torvane-cli preview and check: the two commands that look at charts
// rather than convert them.
//
//   torvane-cli preview [-o DIR] [--report FILE] FILE...
//   torvane-cli check [CONVERSION-OPTIONS] [--report FILE] FILE...
//
// Each is a parser around a function that takes the list of sources and
// returns a result per source, so that the batch rules shared with the
// conversions (folders, collisions, input checks) can hand it its sources.

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "ddr/ddr.hpp"
#include "msd/chart_model.hpp"
#include "preview/chart_check.hpp"
#include "preview/chart_loader.hpp"
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

struct PreviewResult {
    std::filesystem::path source;
    std::vector<std::filesystem::path> written;
    std::optional<std::string> failure;  // why not every picture was written (UTF-8)
    std::vector<std::string> error_lines;  // what reading the charts reported, code page 932
};

// Writes the pictures of each source, in order. A source whose picture
// would replace one that an earlier source of the batch wrote is refused.
[[nodiscard]] std::vector<PreviewResult> PreviewFiles(const std::vector<std::filesystem::path>& sources,
                                                      const std::filesystem::path& folder,
                                                      Storage& storage = DiskStorage());

struct CheckResult {
    std::filesystem::path source;
    std::optional<SourceCheck> check;
    std::optional<std::string> failure;  // the source could not be read (UTF-8)
};

[[nodiscard]] std::vector<CheckResult> CheckFiles(const std::vector<std::filesystem::path>& sources,
                                                  const DdrOptions& options, Storage& storage = DiskStorage());

// The commands; `argv[0]` is the command's own name. They write what the
// help of each says and return the exit status.
int RunPreviewCommand(int argc, char** argv, std::ostream& out, std::ostream& err);
int RunCheckCommand(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace torvane
