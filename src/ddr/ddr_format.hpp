#pragma once
// The ddr format, for both directions: file names, the banner, the song
// header lines, step lines and their panel codes. Chart text is bytes.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "msd/header.hpp"
#include "msd/panels.hpp"

namespace torvane {

// The file of one chart: `destination` with its extension replaced by "_",
// the style letter ("s", "c", "d"), the difficulty letter ("b", "a", "m") and
// ".ddr": "song.ddr" gives "song_sb.ddr".
[[nodiscard]] std::filesystem::path DdrChartFileName(const std::filesystem::path& destination, char style,
                                                     char difficulty);

// The four banner lines that start every header block.
[[nodiscard]] std::vector<std::string> DdrBanner(std::string_view caption);

// The ddr line of each MSD song tag, in the order in which the MSD reader
// tries the tags; only the title is read back.
inline constexpr std::array<HeaderKey, 6> kDdrHeaderKeys = {{
    {kFileTag, "#comment FILE "},
    {kTitleTag, "#title ", true},
    {kArtistTag, "#comment ARTIST "},
    {kMsdTag, "#comment MSD:"},
    {kBpmTag, "#comment BPM "},
    {kGapTag, "#comment GAP "},
}};

// A step line written over `line`: the pad mark "#" or "$", the measure
// number with at least three digits, ":" and the slots.
void FormatDdrStepLineInto(char pad_mark, long long measure, std::string_view slots, std::string& line);

// The measure number of a step line: the three digits after its "#" or "$".
// Any other line, and a line for measure 000, gives 0. A fourth digit is not
// read.
[[nodiscard]] int DdrMeasureNumber(std::string_view line);

// Where the slot at byte `slot` of a step line stands, for error lines:
// "measure M beat B" by the line's own measure number.
[[nodiscard]] std::string DdrSlotPlace(std::string_view line, std::size_t slot);

// A slot is the panel mask of its moment as one lower-case hexadecimal digit.
[[nodiscard]] constexpr char DdrSlotOfPanels(int panels) { return "0123456789abcdef"[panels & 15]; }

// The panel mask of a slot, read as a hexadecimal digit of either case; -1
// for any other character.
[[nodiscard]] constexpr int PanelsOfDdrSlot(char slot) {
    if (slot >= '0' && slot <= '9') return slot - '0';
    if (slot >= 'a' && slot <= 'f') return slot - 'a' + 10;
    if (slot >= 'A' && slot <= 'F') return slot - 'A' + 10;
    return -1;
}

}  // namespace torvane
