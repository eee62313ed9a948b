#pragma once
// What both MSD writers share.

#include <cstddef>
#include <string_view>

#include "text/line_io.hpp"

namespace torvane {

// The four banner lines of an MSD file, naming `caption`.
void WriteMsdBanner(LineSink& out, std::string_view caption);

// A line of `count` "0" characters (a lead-in); nothing when `count` is 0.
void WriteZeroLine(LineSink& out, std::size_t count);

}  // namespace torvane
