#pragma once

#include <string>
#include <string_view>

#include "text/error_list.hpp"

namespace torvane {

// Expands one side's MSD step data into the expanded step text: one character
// per 32nd-note cell (8 per beat), a triplet beat as "T" and its three steps,
// ":" and ";" kept. Each group that cannot be converted adds one error line
// naming `file_name` (the source's name as error lines show it) and the group.
[[nodiscard]] std::string DecodeMSDSteps(std::string_view steps, std::string_view file_name,
                                         ErrorList& errors);

}  // namespace torvane
