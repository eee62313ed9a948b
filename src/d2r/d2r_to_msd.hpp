#pragma once
// The named steps of d2r to MSD, each callable on its own so that tests can
// pin every rule.

#include <filesystem>
#include <string>
#include <string_view>

#include "d2r/d2r_format.hpp"
#include "d2r/d2r_step_list.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// The DELAY value that says that the "#GAP:" line has been written.
inline constexpr long long kGapWritten = 999999;

struct MsdGap {
    long long gap = 0;      // the "#GAP:" value
    long long lead_in = 0;  // L, the first lead-in line's length
};

// The "#GAP:" value and the lead-in of the first chart: the raw lead-in
// (`raw_length` characters, `raw_is_silent` when all "0") plus kGameLeadIn
// and a measure per START above 4, raised by whole measures past
// kD2rLeadInFloor, each measure adding 256 to DELAY. Throws ConversionError
// when DELAY + 256 n overflows.
[[nodiscard]] MsdGap ComputeMsdGap(bool raw_is_silent, long long raw_length, long long start, long long delay,
                                   std::string_view delay_text, const std::filesystem::path& source);

// What the d2r-to-MSD conversion carries from one chart to the next.
struct D2rToMsdState {
    long long start = kD2rDefaultStart;
    long long delay = 0;
    std::string delay_text = "0";
    std::string style;
    std::string mode;
    std::string level;
    long long first_lead_in = 0;     // L1
    long long first_raw_length = 0;  // R1
    bool first_raw_silent = true;    // R1 is a run of "0" only
};

// Writes one chart from its normalised step list: the "#GAP:" line before the
// first chart, the chart line, and per pad its lead-in lines and step line.
// Marks the step list's triplet lines while it goes.
void WriteMsdChartFromD2r(D2rStepList& step_list, D2rToMsdState& state, LineSink& out,
                          const std::filesystem::path& source, ErrorList& errors);

}  // namespace torvane
