#pragma once
// The ddr conversions.

#include <filesystem>
#include <string_view>
#include <vector>

#include "msd/header.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// A ddr file holds no tempo: its charts read as MSD at this one.
inline constexpr std::string_view kDdrTempo = "120.0";

// The range of an option value of MSD to ddr, and its value at start.
struct DdrOptionRange {
    int lowest;
    int highest;
    int initial;
};
// Leading positions to delete; by default the games' own lead-in.
inline constexpr DdrOptionRange kDdrDeleteCount{0, 150, static_cast<int>(kGameLeadIn)};
// The measure of the first step, counted from 1.
inline constexpr DdrOptionRange kDdrMeasure{1, 10, 3};
// The beat of the first step in half beats: 2 to 9 are beats 1.0 to 4.5.
inline constexpr DdrOptionRange kDdrHalfBeat{2, 9, 2};

// Where the first step of each chart lies in the ddr files.
struct DdrOptions {
    // Numbered as the option dialog's radio items.
    enum class Mode {
        kDeleteLeadIn = 0,  // delete `delete_count` leading positions
        kFirstStepAt = 1,   // first step at measure `measure`, half beat `half_beat`
        kAsItIs = 2,        // keep each chart's lead-in
    };
    using enum Mode;
    Mode mode = kDeleteLeadIn;
    int delete_count = kDdrDeleteCount.initial;
    int measure = kDdrMeasure.initial;
    int half_beat = kDdrHalfBeat.initial;
};

// Converts the MSD file `source` into one ddr file per chart, named from
// `destination` ("song.ddr" gives "song_sb.ddr", ...). Returns the files
// written, in order, each once (a later chart of the same style and
// difficulty replaces a file). Options outside their ranges are brought into
// them. Chart problems become lines of `errors`; throws
// ConversionError when the file cannot be converted (files of charts already
// finished stay written; the chart in hand leaves its file as it was).
std::vector<std::filesystem::path> ConvertMSD2ddr(const std::filesystem::path& source,
                                                  const std::filesystem::path& destination,
                                                  std::string_view caption, const DdrOptions& options,
                                                  ErrorList& errors, Storage& storage = DiskStorage());

// Converts the ddr file `source` into the MSD file `destination`.
void Convertddr2MSD(const std::filesystem::path& source, const std::filesystem::path& destination,
                    std::string_view caption, ErrorList& errors, Storage& storage = DiskStorage());

}  // namespace torvane
