#pragma once
// Finding the sources of a conversion in a folder.

#include <filesystem>
#include <string_view>
#include <vector>

#include "batch/conversions.hpp"

namespace torvane {

// ".msd", ".d2r" or ".ddr": what a conversion reads.
[[nodiscard]] std::string_view SourceExtension(Conversion conversion);

// Whether `file`'s extension is the conversion's, compared without case.
[[nodiscard]] bool IsSourceOf(Conversion conversion, const std::filesystem::path& file);

// Every source of the conversion below `folder`, recursively, in byte order
// of their paths, so that every run is the same. Links to folders are not
// followed; names beginning with "." are passed over. Folders that cannot be
// read are passed over too.
[[nodiscard]] std::vector<std::filesystem::path> FindSources(Conversion conversion,
                                                             const std::filesystem::path& folder);

}  // namespace torvane
