#pragma once
// A batch's files, worked out before anything is converted: the sources that
// the arguments name (folders walked), the destination of each, and the
// files that cannot be converted whatever they hold.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/conversions.hpp"

namespace torvane {

// Why a planned file is not converted, though its content is not at fault.
enum class PlanProblem {
    kNone,
    kNoSourceInFolder,    // a folder argument holds no source of the conversion (failed)
    kSameDestination,     // an earlier source of the batch writes the same destination (failed)
    kDestinationExists,   // no-clobber and the destination exists (skipped)
};

// A stable name for reports: "no-source-in-folder", "same-destination",
// "destination-exists".
[[nodiscard]] std::string_view PlanProblemCode(PlanProblem problem);

struct PlannedFile {
    // As the argument gave it, or the argument's path joined with the part
    // below it for a source found in a folder; for kNoSourceInFolder the folder.
    std::filesystem::path source;
    // Where it goes; for msd2ddr the name that its chart files are named from
    // ("song.ddr" gives "song_sb.ddr", ...).
    std::filesystem::path destination;
    PlanProblem problem = PlanProblem::kNone;
    // kSameDestination: the earlier source.
    std::filesystem::path other_source;
};

struct BatchPlan {
    Conversion conversion = Conversion::kMSD2d2r;
    std::vector<PlannedFile> files;
};

// Plans a batch over `arguments` in the order given. A folder argument is
// walked for the conversion's sources (FindSources); with `out_dir` its tree
// is kept below `out_dir` ("lib/a/song.msd" given as "lib" goes to
// "out_dir/a/song.d2r"), a file argument goes straight into `out_dir`, and
// without `out_dir` every destination lies beside its source. A second
// source that would write the destination of an earlier one, whether by the
// same name or a name that differs only in the case of its extension, is
// kSameDestination; the same file named twice is planned twice. With
// `no_clobber` a destination that exists is kDestinationExists (msd2ddr,
// whose chart files are known only when converted, leaves that to the
// writer).
[[nodiscard]] BatchPlan PlanBatch(Conversion conversion, const std::vector<std::filesystem::path>& arguments,
                                  const std::filesystem::path& out_dir = {}, bool no_clobber = false);

}  // namespace torvane
