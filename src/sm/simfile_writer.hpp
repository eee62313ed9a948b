#pragma once
// A song's charts as one simfile: the song values of its first source, then
// one "#NOTES:" section per chart in the order of the sources and their
// charts. MSD files are read directly, d2r and ddr files through their
// conversion to MSD in memory, as pictures read them.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "msd/header.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// What the lines of one MSD text give a simfile beyond its chart model.
struct SimfileSongScan {
    struct ChartScan {
        std::string label;       // as error lines name the chart: "#SINGLE:BASIC:5:"
        std::size_t steps_5 = 0; // steps "5", which press no panel
    };
    std::optional<std::string> title;  // the first of each tag, code page 932
    std::optional<std::string> artist;
    std::optional<std::string> file;
    std::vector<std::string> tempos;  // every "#BPM:" value in file order
    std::vector<std::string> gaps;    // every "#GAP:" value
    std::vector<ChartScan> charts;    // in file order
};

// The steps "5" in one side's MSD step data as the step decoder reads it:
// outside groups, and inside beat groups of 1, 2, 3, 4 or 8 characters; not
// in groups it cannot convert, nor after an opening without its closing.
[[nodiscard]] std::size_t CountMSDSteps5(std::string_view side);

// Reads `msd` from where it stands to its end.
[[nodiscard]] SimfileSongScan ScanSimfileSong(LineSource& msd);

// The one timing a simfile holds: the first tempo and gap of its song.
struct SimfileTiming {
    double tempo = 0;  // beats per minute, positive
    double gap = 0;    // kGapUnitsPerBeat units a beat
    std::string tempo_text;
    std::string gap_text;

    // Seconds that beat 0 of every chart lies before the music's start as
    // the simfile's "#OFFSET:" gives it: GAP * 60 / (64 * BPM).
    [[nodiscard]] double Offset() const { return gap * 60.0 / (static_cast<double>(kGapUnitsPerBeat) * tempo); }
};

// The timing of the first "#BPM:" and "#GAP:" of `scan`; a gap of 0 without
// one. Throws ConversionError naming `source` and "#BPM:" when the tempo is
// missing or not a positive number, and "#GAP:" when the gap is not a number.
[[nodiscard]] SimfileTiming SimfileTimingOf(const SimfileSongScan& scan, const std::filesystem::path& source);

// Leaves the note "timing-per-chart-lost" for every tempo and gap of `scan`
// that differs from `timing` (after the first of the song, which made it).
void NoteTimingLost(const SimfileSongScan& scan, const SimfileTiming& timing, bool first_source, ErrorList& errors);

// What was written, for placing the music beside the simfile.
struct WrittenSimfile {
    std::string music;       // the "#MUSIC:" name in UTF-8, unescaped; empty without "#FILE:"
    std::string file_value;  // the "#FILE:" value, code page 932
    std::size_t charts = 0;
};

// Writes the simfile of the song whose charts are in `sources` (MSD, d2r or
// ddr files, by their extensions) to `destination`, safely. The song values
// are the first source's. Chart problems and what the simfile cannot hold
// go to `errors` as error lines and notes. Throws ConversionError when a
// source cannot be read or converted, or gives no tempo; nothing is then
// written.
WrittenSimfile WriteSimfile(std::span<const std::filesystem::path> sources, const std::filesystem::path& destination,
                            ErrorList& errors, Storage& storage = DiskStorage());

}  // namespace torvane
