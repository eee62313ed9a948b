#pragma once
// The named steps of ddr to MSD, each callable on its own so that tests can
// pin every rule.

#include <string>
#include <string_view>
#include <vector>

#include "text/error_list.hpp"

namespace torvane {

// Turns the slots of a step line (from its sixth character) into MSD step
// characters in place. A slot without one is reported once per occurrence
// (a double-byte character once, whole); it stays when MSD reads it as a step
// ("7", "B") and becomes the rest "0" otherwise, so that the pad's later steps
// keep their time.
void DdrToMSDCodes(std::string& line, std::string_view file_name, ErrorList& errors);
// The same on the `size` bytes of a line at `line`.
void DdrToMSDCodes(char* line, std::size_t size, std::string_view file_name, ErrorList& errors);

// Appends the MSD text of one measure from a step line whose slots are
// already MSD step characters: eight 8th notes or four beat groups;
// "00000000" for a line of a length that the format does not have. With
// `compacted`, each beat group is written as EncodeMSDStepsFully leaves it.
void AppendDdrMeasureText(std::string_view line, std::string& text, bool compacted = false);

// The MSD step text of one pad of a step block: every measure from `first` to
// `last` in its place, "00000000" where the pad has no line. Empty when the
// pad has no line at all. With `compacted`, what EncodeMSDStepsFully makes of
// it: a slot is never a bracket, so the groups are compacted each on its own
// as they are written.
[[nodiscard]] std::string BuildDdrPadText(const std::vector<std::string_view>& block, char pad_mark, int first,
                                          int last, bool compacted = false);

}  // namespace torvane
