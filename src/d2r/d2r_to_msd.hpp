#pragma once
// The named steps of d2r to MSD, each callable on its own so that tests can
// pin every rule.

#include <filesystem>
#include <string>
#include <string_view>

#include "d2r/d2r_step_list.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// The DELAY value that says that the "#GAP:" line has been written.
inline constexpr long long kGapWritten = 999999;
// The largest START: it becomes a lead-in line of 18 "0" and 8 more per
// measure above 4, which may not pass kMaxLeadIn.
[[nodiscard]] constexpr long long MaxStart(long long max_lead_in) { return (max_lead_in - 18) / 8 + 4; }
inline constexpr long long kMaxStart = MaxStart(kMaxLeadIn);
// A START below 4 costs nothing but measures added to the gap, 256 each;
// below this one the gap would no longer fit 64 bits.
inline constexpr long long kMinStart = -(1LL << 52);

struct MsdGap {
    long long gap = 0;      // the "#GAP:" value
    long long lead_in = 0;  // L, the first lead-in line's length
};

// The "#GAP:" value and the lead-in of the first chart: the raw lead-in
// (`raw_length` characters, `raw_is_silent` when all "0") plus 18 and 8 per
// measure of START above 4, raised by whole measures past 26, each measure
// adding 256 to DELAY. Throws ConversionError when DELAY + 256 n overflows.
[[nodiscard]] MsdGap ComputeMsdGap(bool raw_is_silent, long long raw_length, long long start, long long delay,
                                   std::string_view delay_text, const std::filesystem::path& source);

// What the d2r-to-MSD conversion carries from one chart to the next.
struct D2rToMsdState {
    long long start = 4;
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
