#pragma once
// The ddr conversions.

#include <filesystem>
#include <string_view>
#include <vector>

#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

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
    int delete_count = 18;  // 0 to 150
    int measure = 3;        // 1 to 10
    int half_beat = 2;      // 2 to 9: beat 1.0 to 4.5
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
