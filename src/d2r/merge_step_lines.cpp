// Merging the step lines of a chart until a pass changes nothing.
//
// Each pass of the merge rule walks the list from its start: at a line it
// either joins the rest line after it or skips a beat's worth of lines. Most
// charts are done after a few whole passes, which also shrink the list; a
// pass follows the one before it exactly up to that pass's first merge, so
// it starts there. The passes after those few run side by side over the
// rest (later_merging_passes.cpp).

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "d2r/msd_to_d2r.hpp"

namespace torvane {
namespace {

constexpr auto kQuarter = static_cast<std::uint8_t>(D2rLength::kQuarter);
constexpr std::size_t kNoMerge = SIZE_MAX;
constexpr std::size_t kMostLinesPerBeat = 8;

// Whether the pass, standing at `line`, joins `after` to it.
constexpr bool Merges(D2rStepLine line, D2rStepLine after) {
    return IsD2rRestLine(after) && line.length == after.length && line.length != D2rLength::kQuarter;
}

// Moves lines [from, from + count) down to `to` (to <= from). A beat is 1,
// 2, 4 or 8 lines: copies of a fixed size, which the compiler makes a few
// moves, not a call for every beat.
inline void MoveLines(D2rStepLine* lines, std::size_t to, std::size_t from, std::size_t count) {
    switch (count) {
        case 8: std::memmove(lines + to, lines + from, 8 * sizeof(D2rStepLine)); return;
        case 4: std::memmove(lines + to, lines + from, 4 * sizeof(D2rStepLine)); return;
        case 2: std::memmove(lines + to, lines + from, 2 * sizeof(D2rStepLine)); return;
        case 1: lines[to] = lines[from]; return;
        default: std::memmove(lines + to, lines + from, count * sizeof(D2rStepLine)); return;
    }
}

// The same, from another list.
inline void MoveLines(D2rStepLine* to, std::size_t at, const D2rStepLine* from, std::size_t count) {
    switch (count) {
        case 8: std::memcpy(to + at, from, 8 * sizeof(D2rStepLine)); return;
        case 4: std::memcpy(to + at, from, 4 * sizeof(D2rStepLine)); return;
        case 2: std::memcpy(to + at, from, 2 * sizeof(D2rStepLine)); return;
        case 1: to[at] = from[0]; return;
        default: std::memcpy(to + at, from, count * sizeof(D2rStepLine)); return;
    }
}

// One merging pass over `lines`, in place, from `start`: a line that the pass
// is known to stand on, with nothing merged before it. Returns the first line
// that the pass merged, or kNoMerge when it merged nothing. Up to its first
// merge a pass moves nothing, and the pass after it walks the same way up to
// there, so it can start at that line.
std::size_t MergePassFrom(std::vector<D2rStepLine>& list, std::size_t start) {
    D2rStepLine* const lines = list.data();
    const std::size_t count = list.size();
    std::size_t next = start;
    while (next + 1 < count && !Merges(lines[next], lines[next + 1])) next += D2rLinesPerBeat(lines[next].length);
    if (next + 1 >= count) return kNoMerge;
    const std::size_t first_merge = next;
    // From here the list is lines[..kept) followed by lines[next..): the pass
    // never looks back, and never writes ahead of what it reads.
    std::size_t kept = next;
    while (next + 1 < count) {
        D2rStepLine line = lines[next];
        const D2rStepLine after = lines[next + 1];
        // Merges(line, after), in the order that rejects soonest: lengths
        // that can double (below a quarter, so never a triplet), equal, and
        // the line after silent on both pads.
        if (static_cast<std::uint8_t>(line.length) < kQuarter && line.length == after.length &&
            ((after.pad1 ^ '0') | (after.pad2 ^ '0')) == 0) {
            // Two lines of one length make one line of twice that length.
            line.length = static_cast<D2rLength>(static_cast<int>(line.length) + 1);
            lines[kept++] = line;
            next += 2;
        } else {
            const std::size_t beat = std::min<std::size_t>(count - next, D2rLinesPerBeat(line.length));
            MoveLines(lines, kept, next, beat);
            kept += beat;
            next += beat;
        }
    }
    if (next < count) lines[kept++] = lines[next];
    list.resize(kept);
    return first_merge;
}

}  // namespace

std::vector<D2rStepLine> MergeD2rStepLines(std::vector<D2rStepLine> lines) {
    (void)MergePassFrom(lines, 0);
    return lines;
}

namespace {

// Passes from the `done`-th on, the first of them from `start`.
std::vector<D2rStepLine> MergeFromPass(std::vector<D2rStepLine> lines, int done, std::size_t start) {
    // A pass changes the list exactly when it merges, and every merge removes
    // a line. Most charts are done after a few whole passes, which also shrink
    // the list; the passes after those run side by side from the last one's
    // first merge, before which every later pass leaves the lines as they are.
    for (int pass = done; pass < 4; ++pass) {
        start = MergePassFrom(lines, start);
        if (start == kNoMerge) return lines;
    }
    D2rLaterMergingPasses later;
    for (std::size_t k = start; k < lines.size(); ++k) later.Add(lines[k]);
    later.Finish();
    lines.resize(start);
    lines.insert(lines.end(), later.Given().begin(), later.Given().end());
    return lines;
}

}  // namespace

std::vector<D2rStepLine> MergeD2rStepLinesFully(std::vector<D2rStepLine> lines) {
    return MergeFromPass(std::move(lines), 0, 0);
}

std::vector<D2rStepLine> MergeD2rStepLinesAfterFirstPass(std::vector<D2rStepLine> lines, std::size_t first_merge) {
    return MergeFromPass(std::move(lines), 1, first_merge);
}

void ContinueD2rMergePass(const D2rStepLine* lines, std::size_t count, D2rMergePassState& state,
                          std::vector<D2rStepLine>& out) {
    // A pass gives at most one line more than it takes: the one it stood on.
    const std::size_t base = out.size();
    out.resize(base + count + 1);
    D2rStepLine* const start = out.data() + base;
    D2rStepLine* given = start;
    D2rMergePassPlace place = state.place;
    // The line given where the pass first merged.
    const auto note_merge = [&](const D2rStepLine* merged) {
        if (state.first_merge == kNoMerge) state.first_merge = state.given + static_cast<std::size_t>(merged - start);
    };
    // One line at a time while the pass stands on a line or inside a beat.
    std::size_t i = 0;
    const auto take = [&] {
        D2rStepLine* const before = given;
        if (TakeIntoD2rMergePass(lines[i++], place, given)) note_merge(before);
    };
    while (i < count && (place.standing || place.beat_left > 0)) take();
    // The pass is about to stand on lines[i], and a beat from there lies
    // within the block: a pair or a beat at a time, as a whole pass goes
    // (what TakeIntoD2rMergePass does, line after line).
    while (count - i >= kMostLinesPerBeat) {
        D2rStepLine line = lines[i];
        const D2rStepLine after = lines[i + 1];
        if (static_cast<std::uint8_t>(line.length) < kQuarter && line.length == after.length &&
            ((after.pad1 ^ '0') | (after.pad2 ^ '0')) == 0) {
            note_merge(given);
            line.length = static_cast<D2rLength>(static_cast<int>(line.length) + 1);
            *given++ = line;
            i += 2;
        } else {
            const std::size_t beat = D2rLinesPerBeat(line.length);
            MoveLines(given, 0, lines + i, beat);
            given += beat;
            i += beat;
        }
    }
    while (i < count) take();
    state.place = place;
    state.given += static_cast<std::size_t>(given - start);
    out.resize(base + static_cast<std::size_t>(given - start));
}

void FinishD2rMergePass(D2rMergePassState& state, std::vector<D2rStepLine>& out) {
    if (!state.place.standing) return;
    out.push_back(state.place.at);
    ++state.given;
    state.place.standing = false;
}

}  // namespace torvane
