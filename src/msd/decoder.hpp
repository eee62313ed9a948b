#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/error_list.hpp"

namespace torvane {

// Expands one side's MSD step data into the expanded step text: one character
// per 32nd-note cell (8 per beat), a triplet beat as "T" and its three steps,
// ":" and ";" kept. Each group that cannot be converted adds one error line
// naming `file_name` (the source's name as error lines show it) and the group.
// When `triplet_beats` is given, it gets the place in the result of the "T" of
// every triplet beat, in order: a "T" written inside a group is copied like
// any character there, and only these places tell the two apart.
[[nodiscard]] std::string DecodeMSDSteps(std::string_view steps, std::string_view file_name,
                                         ErrorList& errors, std::vector<std::size_t>* triplet_beats = nullptr);

}  // namespace torvane
