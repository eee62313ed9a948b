#pragma once
// The batch of preview and check, planned by the batch's planner with a
// naming of their own: folders walked for the sources of all three formats,
// the tree below a folder argument kept below --out-dir, and sources whose
// pictures would have the same names found before anything is written.

#include <filesystem>
#include <vector>

#include "batch/plan.hpp"

namespace torvane {

// The naming of pictures: each destination is the folder of the source's
// pictures joined with its name ending in ".svg" (`out_dir`, below it the
// tree of a folder argument, or beside the source); a later source whose
// pictures could have the name of one of an earlier source's is
// kSameDestination: the same stem in one folder, or a ddr stem that is
// another source's stem with the letters of a chart after it ("song_sb.ddr"
// and "song.msd").
[[nodiscard]] OutputNaming PictureNaming();

// The naming of simfiles: one "song.sm" per song, beside the source, or with
// `out_dir` in a folder of its own below it, "out_dir/.../song/song.sm". The
// ddr files of one song ("song_sb.ddr", "song_da.ddr", ... in one folder)
// name one simfile and do not stand in one another's way; any other source
// that would write the same simfile does.
[[nodiscard]] OutputNaming SimfileNaming();

// The sources of each simfile of `plan` (planned with SimfileNaming): the
// later ddr files of a song join the first one's entry, in the order of
// their charts, and leave the plan; a ddr file of a song planned into the
// simfile of a song of another folder is kSameDestination. Returns, by
// place in the plan, the sources of each entry.
[[nodiscard]] std::vector<std::vector<std::filesystem::path>> GroupSongs(BatchPlan& plan);

// The naming of a batch that reads every format and writes nothing: no
// destination is planned.
[[nodiscard]] OutputNaming ReadOnlyNaming();

}  // namespace torvane
