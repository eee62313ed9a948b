#pragma once
// Finding the sources of a conversion in a folder.

#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "batch/conversions.hpp"

namespace torvane {

// ".msd", ".d2r" or ".ddr": what a conversion reads.
[[nodiscard]] std::string_view SourceExtension(Conversion conversion);

// Whether `file`'s extension is the conversion's, compared without case.
[[nodiscard]] bool IsSourceOf(Conversion conversion, const std::filesystem::path& file);

// What a folder walk found that cannot be read as a source.
enum class WalkProblem {
    kNone,
    kUnreadableFolder,  // a folder that cannot be listed (the path is the folder)
    kBrokenLink,        // a link named like a source that leads nowhere, or into a loop of links
    kNotARegularFile,   // a FIFO, socket or device named like a source
};

struct FoundSource {
    std::filesystem::path path;
    WalkProblem problem = WalkProblem::kNone;
    int system_error = 0;  // the errno that told the problem, 0 when none did
};

// Everything below `folder` that the conversion would read, recursively, in
// byte order of their paths so that every run is the same: each source, and
// each thing that stands where a source or a folder of sources would and
// cannot be read. Links to folders are not followed; names beginning with
// "." are passed over. `folder` itself unreadable gives one kUnreadableFolder.
[[nodiscard]] std::vector<FoundSource> WalkSources(Conversion conversion, const std::filesystem::path& folder);

// The same for the sources of any of `formats`.
[[nodiscard]] std::vector<FoundSource> WalkSources(std::span<const ChartFormat> formats,
                                                   const std::filesystem::path& folder);

// The sources of WalkSources alone.
[[nodiscard]] std::vector<std::filesystem::path> FindSources(Conversion conversion,
                                                             const std::filesystem::path& folder);

// What stands at a path given as a source, told without opening it: kNone
// for a regular file (or a link to one) and for a path that does not exist,
// which opening reports.
[[nodiscard]] FoundSource ExamineSource(const std::filesystem::path& source);

}  // namespace torvane
