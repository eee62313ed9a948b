#pragma once
// The batch of preview and check, planned by the rules of the conversions:
// folders walked for the sources of all three formats, the tree below a
// folder argument kept below --out-dir, and sources whose pictures would
// have the same names found before anything is written.

#include <filesystem>
#include <optional>
#include <vector>

#include "batch/conversions.hpp"
#include "batch/plan.hpp"
#include "preview/chart_loader.hpp"

namespace torvane {

// The conversion whose input checks a source of `format` passes: the one
// that reads that format.
[[nodiscard]] Conversion ConversionReading(ChartFormat format);

// Every source of the three formats below `folder`, in byte order of their
// paths, as FindSources finds them.
[[nodiscard]] std::vector<std::filesystem::path> FindChartSources(const std::filesystem::path& folder);

// Plans the sources of `arguments`. With `pictures` each destination is the
// folder of the source's pictures joined with its name ending in ".svg"
// (`out_dir`, below it the tree of a folder argument, or beside the source);
// a later source whose pictures could have the name of one of an earlier
// source's is kSameDestination: the same stem in one folder, or a ddr stem
// that is another source's stem with the letters of a chart after it
// ("song_sb.ddr" and "song.msd"). Without `pictures` nothing is written and
// no destination is planned.
[[nodiscard]] BatchPlan PlanChartBatch(const std::vector<std::filesystem::path>& arguments,
                                       const std::filesystem::path& out_dir, bool pictures);

}  // namespace torvane
