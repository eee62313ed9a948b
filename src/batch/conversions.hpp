#pragma once
// The four conversions as the window and the command line run them: the
// destination name of each source, and one call per source.

#include <filesystem>
#include <string_view>
#include <vector>

#include "batch/formats.hpp"
#include "d2r/d2r_format.hpp"
#include "ddr/ddr.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// ".d2r", ".MSD" or ".ddr".
[[nodiscard]] std::string_view DestinationExtension(Conversion conversion);

// The destination of `source`: its file name with the extension replaced,
// inside `folder`, or beside the source when `folder` is empty.
[[nodiscard]] std::filesystem::path DestinationFor(Conversion conversion,
                                                   const std::filesystem::path& source,
                                                   const std::filesystem::path& folder = {});

// Runs one conversion and returns the files it wrote. Throws ConversionError
// and nothing else: whatever else goes wrong inside a conversion (memory
// running out, a fault of the program) becomes one too, for the source.
// `max_lead_in` bounds the leading rests (8th notes) that a header value may
// ask the d2r conversions for; a lower one keeps fuzzing fast.
std::vector<std::filesystem::path> RunConversion(Conversion conversion,
                                                 const std::filesystem::path& source,
                                                 const std::filesystem::path& destination,
                                                 std::string_view caption, const DdrOptions& options,
                                                 ErrorList& errors, Storage& storage = DiskStorage(),
                                                 long long max_lead_in = kMaxLeadIn);

}  // namespace torvane
