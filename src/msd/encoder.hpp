#pragma once

#include <array>
#include <string>
#include <string_view>

namespace torvane {

// What one compacting pass makes of one beat group, given the text between
// its brackets: a triplet stepped only on its first third, or four 16th notes
// with empty off-beats, become two plain 8th notes; eight 32nd notes with
// empty off-beats become four 16th notes. Any other group stays. The first
// character is never tested; it may be a rest too.
struct CompactedGroup {
    enum Kind : unsigned char { kKept, kPlain, kSixteenths };
    Kind kind = kKept;
    std::array<char, 4> steps{};  // two 8th notes, or the four 16th notes
};

[[nodiscard]] constexpr CompactedGroup CompactGroupOnce(std::string_view group) {
    switch (group.size()) {
        case 3:
            if (group[1] == '0' && group[2] == '0') return {CompactedGroup::kPlain, {group[0], '0'}};
            break;
        case 4:
            if (group[1] == '0' && group[3] == '0') return {CompactedGroup::kPlain, {group[0], group[2]}};
            break;
        case 8:
            if (group[1] == '0' && group[3] == '0' && group[5] == '0' && group[7] == '0') {
                return {CompactedGroup::kSixteenths, {group[0], group[2], group[4], group[6]}};
            }
            break;
        default:
            break;
    }
    return {};
}

// What the passes make of one beat group in the end, appended to `out`:
// plain 8th notes, or a group with its brackets.
void AppendCompactedGroup(std::string_view group, std::string& out);

// One compacting pass over MSD step text: a beat group whose in-between
// positions are empty is written in the next coarser notation.
[[nodiscard]] std::string EncodeMSDSteps(std::string_view steps);

// Passes until one changes nothing; the result is what the writers write.
[[nodiscard]] std::string EncodeMSDStepsFully(std::string steps);

}  // namespace torvane
