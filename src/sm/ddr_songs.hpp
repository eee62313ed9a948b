#pragma once
// The ddr files of one song: MSD to ddr writes one file per chart, named
// from the song's stem ("song_sb.ddr", "song_da.ddr", ...), and a simfile
// takes them back together.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace torvane {

// The stem of a ddr file named as MSD to ddr names its charts: the name
// before "_", a style letter ("s", "c", "d") and a difficulty letter ("b",
// "a", "m") and ".ddr". Letters and extension are compared without case, as
// old file systems kept names in upper case. None for any other name, and
// for a name with nothing before the suffix.
[[nodiscard]] std::optional<std::string> DdrSongStem(const std::filesystem::path& ddr_file);

struct DdrSong {
    std::string name;                         // the stem, or the whole name without ".ddr"
    std::vector<std::filesystem::path> files;  // charts in the order single, couple, double; basic, another, maniac
};

// Groups the ddr files of one folder into songs, in the order of each
// song's first file: files of one stem and a style-and-difficulty suffix are
// one song; a file without such a suffix is a song of its own (even when its
// name is another song's stem: that is a collision for whoever writes them).
[[nodiscard]] std::vector<DdrSong> GroupDdrSongs(const std::vector<std::filesystem::path>& ddr_files);

}  // namespace torvane
