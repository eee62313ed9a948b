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
        {
            if (close < i || i == 0) close = steps.find(')', i);
            if (close == std::string_view::npos) {
                no_more_closing = true;
            } else {
                const std::string_view g = steps.substr(i + 1, close - i - 1);
                if (g.size() == 3 && g[1] == '0' && g[2] == '0') {
                    // A triplet stepped only on its first third: two 8th notes.
                    out += g[0];
                    out += '0';
                    i = close + 1;
                    continue;
                }
                if (g.size() == 4 && g[1] == '0' && g[3] == '0') {
                    // 16th notes with empty off-beats: two 8th notes.
                    out += g[0];
                    out += g[2];
                    i = close + 1;
                    continue;
                }
                if (g.size() == 8 && g[1] == '0' && g[3] == '0' && g[5] == '0' && g[7] == '0') {
                    // 32nd notes with empty off-beats: four 16th notes, looked
                    // at again only by the next pass.
                    out += '(';
                    out += g[0];
                    out += g[2];
                    out += g[4];
                    out += g[6];
                    out += ')';
                    i = close + 1;
                    continue;
                }
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

// What the passes make of one group "(g)" in the end, appended to `out`.
void AppendCompactedGroup(std::string_view g, std::string& out) {
    char quarter[4];
    for (;;) {
        if (g.size() == 3 && g[1] == '0' && g[2] == '0') {
            out.append({g[0], '0'});
            return;
        }
        if (g.size() == 4 && g[1] == '0' && g[3] == '0') {
            out.append({g[0], g[2]});
            return;
        }
        if (g.size() == 8 && g[1] == '0' && g[3] == '0' && g[5] == '0' && g[7] == '0') {
            // The next pass sees the group of four 16th notes.
            quarter[0] = g[0];
            quarter[1] = g[2];
            quarter[2] = g[4];
            quarter[3] = g[6];
            g = std::string_view(quarter, 4);
            continue;
        }
        out.append(1, '(').append(g).append(1, ')');
        return;
    }
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
            AppendCompactedGroup(text.substr(open + 1, close - open - 1), out);
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
