#pragma once

#include <array>
#include <cstddef>
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

// Compacts the beat group that ends `text`, its "(" at `open` and no ")"
// yet, as far as the passes go: it becomes plain 8th notes, or a group closed
// by ")". Every beat that the writers build passes through here, in place.
inline void CompactGroupAtEnd(std::string& text, std::size_t open) {
    for (;;) {
        const CompactedGroup compacted = CompactGroupOnce(std::string_view(text).substr(open + 1));
        switch (compacted.kind) {
            case CompactedGroup::kPlain:
                text[open] = compacted.steps[0];
                text[open + 1] = compacted.steps[1];
                text.resize(open + 2);
                return;
            case CompactedGroup::kSixteenths:
                // The next pass sees the group of four 16th notes.
                for (std::size_t i = 0; i < 4; ++i) text[open + 1 + i] = compacted.steps[i];
                text.resize(open + 5);
                continue;
            case CompactedGroup::kKept:
                text += ')';
                return;
        }
    }
}

// One compacting pass over MSD step text: a beat group whose in-between
// positions are empty is written in the next coarser notation.
[[nodiscard]] std::string EncodeMSDSteps(std::string_view steps);

// Passes until one changes nothing; the result is what the writers write.
[[nodiscard]] std::string EncodeMSDStepsFully(std::string steps);

}  // namespace torvane
