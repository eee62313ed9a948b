#include "msd/encoder.hpp"

#include <utility>

namespace torvane {

std::string EncodeMSDSteps(std::string_view steps) {
    std::string out;
    out.reserve(steps.size());
    const std::size_t n = steps.size();
    std::size_t close = 0;
    bool no_more_closing = false;
    std::size_t i = 0;
    while (i < n) {
        if (steps[i] != '(' || no_more_closing) {
            // Everything up to the next group is copied as it stands.
            std::size_t next = no_more_closing ? n : steps.find('(', i + 1);
            if (next == std::string_view::npos) next = n;
            out.append(steps.substr(i, next - i));
            i = next;
            continue;
        }
        if (close < i || i == 0) close = steps.find(')', i);
        if (close == std::string_view::npos) {
            no_more_closing = true;
        } else {
            const CompactedGroup group = CompactGroupOnce(steps.substr(i + 1, close - i - 1));
            if (group.kind == CompactedGroup::kPlain) {
                out.append(group.steps.data(), 2);
                i = close + 1;
                continue;
            }
            if (group.kind == CompactedGroup::kSixteenths) {
                // Looked at again only by the next pass.
                out.append(1, '(').append(group.steps.data(), 4).append(1, ')');
                i = close + 1;
                continue;
            }
        }
        // Any other group stays; the scan goes on inside it.
        out += steps[i];
        ++i;
    }
    return out;
}

namespace {

// Whether every "(" of the text is closed by a ")" before the next "(": then
// every group is compacted by the passes on its own, whatever its neighbours.
bool GroupsAreFlat(std::string_view steps) {
    bool open = false;
    for (const char c : steps) {
        if (c == '(') {
            if (open) return false;
            open = true;
        } else if (c == ')') {
            open = false;
        }
    }
    return !open;
}

}  // namespace

std::string EncodeMSDStepsFully(std::string steps) {
    if (GroupsAreFlat(steps)) {
        // One scan, each group taken straight to what the last pass leaves.
        std::string out;
        out.reserve(steps.size());
        const std::string_view text = steps;
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t open = text.find('(', i);
            if (open == std::string_view::npos) {
                out.append(text.substr(i));
                break;
            }
            out.append(text.substr(i, open - i));
            const std::size_t close = text.find(')', open);
            const std::size_t group_open = out.size();
            out.append(text.substr(open, close - open));
            CompactGroupAtEnd(out, group_open);
            i = close + 1;
        }
        return out;
    }
    for (;;) {
        std::string next = EncodeMSDSteps(steps);
        if (next == steps) return steps;
        steps = std::move(next);
    }
}

}  // namespace torvane
