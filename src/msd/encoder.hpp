#pragma once

#include <string>
#include <string_view>

namespace torvane {

// One compacting pass over MSD step text: a beat group whose in-between
// positions are empty is written in the next coarser notation.
[[nodiscard]] std::string EncodeMSDSteps(std::string_view steps);

// Passes until one changes nothing; the result is what the writers write.
[[nodiscard]] std::string EncodeMSDStepsFully(std::string steps);

}  // namespace torvane
