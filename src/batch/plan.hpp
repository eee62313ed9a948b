#pragma once
// A batch's files, worked out before anything is converted: the sources that
// the arguments name (folders walked), the destination of each, and the
// files that cannot be converted whatever they hold.

#include <cstddef>
#include <compare>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "batch/conversions.hpp"
#include "text/conversion_error.hpp"

namespace torvane {

// Why a planned file is not converted, though its content is not at fault.
enum class PlanProblem {
    kNone,
    kNoSourceInFolder,    // a folder argument holds no source of the conversion (failed)
    kSameDestination,     // an earlier source of the batch writes the same destination (failed)
    kDestinationExists,   // no-clobber and the destination exists (skipped)
    kUnreadableFolder,    // a folder (an argument, or one below it) that cannot be listed (failed)
    kBrokenLink,          // a link that leads nowhere or into a loop of links (failed)
    kNotARegularFile,     // a FIFO, socket or device: never opened (failed)
};

// A stable name for reports: "no-source-in-folder", "same-destination",
// "destination-exists", "unreadable-folder", "broken-link",
// "not-a-regular-file".
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
    // The errno that told kUnreadableFolder or kBrokenLink.
    int system_error = 0;
};

// The engine's failure of a problem that a file cannot be read at all, for
// front ends that word failures: kUnreadableFolder, kBrokenLink and
// kNotARegularFile give a ConversionError of the same code; none for the
// other problems.
[[nodiscard]] std::shared_ptr<const ConversionError> PlanProblemFailure(const PlannedFile& file);

struct BatchPlan {
    Conversion conversion = Conversion::kMSD2d2r;
    std::vector<PlannedFile> files;
};

// A name that a planned source takes for what it writes: two sources that
// take one name write over each other. `kind` keeps apart the names of
// different rules that look alike.
struct PlanName {
    int kind = 0;
    std::filesystem::path path;  // absolute, with "." and ".." taken out

    friend auto operator<=>(const PlanName&, const PlanName&) = default;
};

struct PlanNames {
    std::vector<PlanName> stopped_by;  // an earlier source that took one of these stops this one
    std::vector<PlanName> takes;
};

// How a batch names what it writes for each source.
struct OutputNaming {
    // The formats that a folder argument is walked for.
    std::vector<ChartFormat> reads;
    // The destination of `source` whose output goes into `folder`, or beside
    // the source for an empty one; an empty path when nothing is written.
    std::function<std::filesystem::path(const std::filesystem::path& source, const std::filesystem::path& folder)>
        destination;
    // The names a source takes, given its destination made absolute and
    // normal; none given: the destination alone.
    std::function<PlanNames(const std::filesystem::path& source, const std::filesystem::path& destination)> names;
    // Whether the destination is the one file written, so that no-clobber
    // can be told before converting (not so when a file is written per chart).
    bool destination_is_the_file = true;
};

// The naming of a conversion: DestinationFor of its one format.
[[nodiscard]] OutputNaming NamingOf(Conversion conversion);

// Plans a batch over `arguments` in the order given. A folder argument is
// walked for the sources of `naming.reads` (WalkSources); with `out_dir` its
// tree is kept below `out_dir` ("lib/a/song.msd" given as "lib" goes to
// "out_dir/a/song.d2r"), a file argument goes straight into `out_dir`, and
// without `out_dir` every destination lies beside its source. A later
// source that takes a name an earlier one took (by default: writes its
// destination, whether by the same name or a name that differs only in the
// case of its extension) is kSameDestination; the same file named twice is
// planned twice. With `no_clobber` a destination that exists is
// kDestinationExists (when it is the file written). What cannot be read
// (WalkSources, ExamineSource) is planned as a file of its problem, in its
// place, and is never opened.
[[nodiscard]] BatchPlan PlanBatch(const OutputNaming& naming, const std::vector<std::filesystem::path>& arguments,
                                  const std::filesystem::path& out_dir = {}, bool no_clobber = false);

// The plan of a conversion.
[[nodiscard]] BatchPlan PlanBatch(Conversion conversion, const std::vector<std::filesystem::path>& arguments,
                                  const std::filesystem::path& out_dir = {}, bool no_clobber = false);

}  // namespace torvane
