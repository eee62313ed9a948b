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

std::string EncodeMSDStepsFully(std::string steps) {
    for (;;) {
        std::string next = EncodeMSDSteps(steps);
        if (next == steps) return steps;
        steps = std::move(next);
    }
}

}  // namespace torvane
