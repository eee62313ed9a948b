#pragma once
// The d2r conversions.

#include <filesystem>
#include <string_view>

#include "d2r/d2r_format.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// Converts the MSD file `source` into the d2r file `destination`. `caption`
// goes into the banner; chart problems become lines of `errors`. Throws
// ConversionError when the file cannot be converted; the destination is then
// left as it was.
void ConvertMSD2d2r(const std::filesystem::path& source, const std::filesystem::path& destination,
                    std::string_view caption, ErrorList& errors, Storage& storage = DiskStorage(),
                    long long max_lead_in = kMaxLeadIn);

// Converts the d2r file `source` into the MSD file `destination`, likewise.
void Convertd2r2MSD(const std::filesystem::path& source, const std::filesystem::path& destination,
                    std::string_view caption, ErrorList& errors, Storage& storage = DiskStorage(),
                    long long max_lead_in = kMaxLeadIn);

}  // namespace torvane
