// Merging the step lines of a chart until a pass changes nothing.
//
// Each pass of the merge rule walks the list from its start: at a line it
// either joins the rest line after it or skips a beat's worth of lines. Most
// charts are done after a few whole passes, but some need a pass for every
// few lines (each pass finds one new pair a little further on), so running
// whole passes is quadratic. The walk below gives exactly the same result as
// the passes, but skips the parts of a pass that are known to repeat an
// earlier walk:
// - A pass follows the one before it exactly up to that pass's first merge, so
//   it starts there.
// - Every stretch of lines walked without a merge is remembered as jumps from
//   a walked line to a line 8^l moves further on (l from 1 to 5). A later
//   walk that reaches that line takes the jump as long as no line in between
//   has changed since, because then it would walk the very same way and merge
//   nothing. Jumps are built from jumps too, so that a long unchanged stretch
//   costs a pass only a few of them.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

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

// The latest time at which each line changed, for "has any line in [a, b]
// changed after t": a tree of maxima over the line numbers. Times are given
// in the order they come, each at least as late as any before it.
class ChangeTimes {
public:
    // The leaves are the lines, as many as there are: the tree's queries go
    // from the leaves up, which needs no power of two.
    explicit ChangeTimes(std::size_t count) : leaves_(std::max<std::size_t>(count, 1)), tree_(2 * leaves_, 0) {}
    // `time` is the latest yet, so it is the maximum of every node above the
    // line too; a node that has it already got it with all above it.
    void Set(std::size_t line, std::uint32_t time) {
        for (std::size_t i = line + leaves_; i > 0 && tree_[i] != time; i >>= 1) tree_[i] = time;
    }
    [[nodiscard]] bool ChangedAfter(std::size_t first, std::size_t last, std::uint32_t time) const {
        for (std::size_t a = first + leaves_, b = last + leaves_ + 1; a < b; a >>= 1, b >>= 1) {
            if ((a & 1) != 0 && tree_[a++] > time) return true;
            if ((b & 1) != 0 && tree_[--b] > time) return true;
        }
        return false;
    }

private:
    std::size_t leaves_;
    std::vector<std::uint32_t> tree_;
};

class MergeWalk {
public:
    explicit MergeWalk(const std::vector<D2rStepLine>& lines)
        : count_(static_cast<std::uint32_t>(lines.size())),
          kind_(lines.size()),
          rest_(lines.size()),
          next_(lines.size()),
          jumps_(lines.size()),
          changes_(lines.size()) {
        for (std::uint32_t i = 0; i < count_; ++i) {
            kind_[i] = static_cast<std::uint8_t>(lines[i].length);
            rest_[i] = IsD2rRestLine(lines[i]) ? 1 : 0;
            next_[i] = i + 1;
        }
    }

    // Runs passes until one merges nothing.
    void Run() {
        std::uint32_t start = 0;
        for (;;) {
            const std::uint32_t first_merge = Pass(start);
            if (first_merge == kNone) return;
            start = first_merge;
        }
    }

    // The merged lines, in order.
    [[nodiscard]] std::vector<D2rStepLine> Result(std::vector<D2rStepLine> lines) const {
        std::size_t kept = 0;
        for (std::uint32_t i = 0; i < count_; i = next_[i]) {
            D2rStepLine line = lines[i];
            line.length = static_cast<D2rLength>(kind_[i]);
            lines[kept++] = line;
        }
        lines.resize(kept);
        return lines;
    }

private:
    static constexpr std::uint32_t kNone = UINT32_MAX;
    // Jumps of 8, 64, ... 32768 moves; a single move is made afresh, which
    // costs less than asking whether a remembered one still holds.
    static constexpr std::size_t kLevels = 5;

    struct Hop {
        std::uint32_t to = kNone;  // count_ stands for the end of the list
        std::uint32_t time = 0;
    };

    // One pass from `start`, which the pass is known to reach; returns its
    // first merged line, or kNone when it merged nothing.
    std::uint32_t Pass(std::uint32_t start) {
        std::uint32_t first_merge = kNone;
        walked_.clear();
        std::uint32_t at = start;
        while (at < count_ && next_[at] < count_) {
            std::uint32_t landing = Jump(at);
            if (landing == kNone) {
                const std::uint32_t after = next_[at];
                if (rest_[after] && kind_[at] == kind_[after] && kind_[at] != kQuarter) {
                    if (kind_[at] < kQuarter) ++kind_[at];
                    next_[at] = next_[after];
                    ++clock_;
                    changes_.Set(at, clock_);
                    changes_.Set(after, clock_);
                    if (first_merge == kNone) first_merge = at;
                    walked_.clear();
                    at = next_[at];
                    continue;
                }
                landing = at;
                for (std::uint32_t n = D2rLinesPerBeat(static_cast<D2rLength>(kind_[at])); n > 0 && landing < count_; --n) {
                    landing = next_[landing];
                }
            }
            walked_.push_back(at);
            Remember(landing);
            at = landing;
        }
        return first_merge;
    }

    // After a move from the last walked line to `landing`, remembers jumps to
    // it from the lines walked 8, 64, ... moves before. A move may be a jump,
    // so a jump covers at least that many walk steps.
    void Remember(std::uint32_t landing) {
        std::size_t moves = 8;
        for (std::size_t level = 0; level < kLevels && moves <= walked_.size(); ++level, moves *= 8) {
            jumps_[walked_[walked_.size() - moves]][level] = Hop{landing, clock_};
        }
    }

    // Where the longest jump from `at` lands whose lines have not changed
    // since it was walked, or kNone.
    std::uint32_t Jump(std::uint32_t at) const {
        for (std::size_t level = kLevels; level-- > 0;) {
            const Hop hop = jumps_[at][level];
            if (hop.to == kNone) continue;
            const std::uint32_t last = (hop.to < count_ ? hop.to : count_) - 1;
            if (!changes_.ChangedAfter(at, last, hop.time)) return hop.to;
        }
        return kNone;
    }

    std::uint32_t count_;
    std::vector<std::uint8_t> kind_;
    std::vector<std::uint8_t> rest_;
    std::vector<std::uint32_t> next_;  // lines are only ever removed, never moved
    std::vector<std::array<Hop, kLevels>> jumps_;
    ChangeTimes changes_;
    std::uint32_t clock_ = 0;
    std::vector<std::uint32_t> walked_;  // lines walked since the pass's last merge
};

}  // namespace

std::vector<D2rStepLine> MergeD2rStepLinesByWalking(std::vector<D2rStepLine> lines) {
    if (lines.size() >= UINT32_MAX) {
        // Beyond the walk's line numbers: plain passes.
        for (;;) {
            const std::size_t before = lines.size();
            lines = MergeD2rStepLines(std::move(lines));
            if (lines.size() == before) return lines;
        }
    }
    MergeWalk walk(lines);
    walk.Run();
    return walk.Result(std::move(lines));
}

std::vector<D2rStepLine> MergeD2rStepLines(std::vector<D2rStepLine> lines) {
    (void)MergePassFrom(lines, 0);
    return lines;
}

namespace {

// Passes from the `done`-th on, the first of them from `start`.
std::vector<D2rStepLine> MergeFromPass(std::vector<D2rStepLine> lines, int done, std::size_t start) {
    // A pass changes the list exactly when it merges, and every merge removes
    // a line. Most charts are done after a few whole passes, which also shrink
    // the list; the rest is left to the walk that does not repeat itself.
    for (int pass = done; pass < 4; ++pass) {
        start = MergePassFrom(lines, start);
        if (start == kNoMerge) return lines;
    }
    return MergeD2rStepLinesByWalking(std::move(lines));
}

}  // namespace

std::vector<D2rStepLine> MergeD2rStepLinesFully(std::vector<D2rStepLine> lines) {
    return MergeFromPass(std::move(lines), 0, 0);
}

std::vector<D2rStepLine> MergeD2rStepLinesAfterFirstPass(std::vector<D2rStepLine> lines, std::size_t first_merge) {
    return MergeFromPass(std::move(lines), 1, first_merge);
}

D2rMergeBeats& D2rMergeBeats::OfThisThread() {
    thread_local const std::unique_ptr<D2rMergeBeats> beats = std::make_unique<D2rMergeBeats>();
    return *beats;
}

D2rMergeBeat D2rMergeBeats::WorkOut(unsigned rests, unsigned codes, Taken taken) {
    constexpr unsigned kLines = 8;  // of a beat; the refs of the lines stood on follow
    // Lines are told by their pads: one of the eight by "a" + its place, one
    // stood on before by "A" + its pass; a rest line's pads are "0" whichever
    // it is.
    std::array<D2rMergePassPlace, kPasses> places{};
    for (unsigned q = 0; q < kPasses; ++q) {
        const unsigned code = codes >> (4 * q) & 15u;
        D2rMergePassPlace& place = places[q];
        if (code < d2r_pass_code::kStandingOnAlone) {
            place.beat_left = code;
            continue;
        }
        place.standing = true;
        place.at = {D2rLength::kQuarter, static_cast<char>('A' + q), 'x'};
        if (code == d2r_pass_code::kStandingOnAlone) continue;
        const unsigned shorter = code - d2r_pass_code::kStandingOnShorter;
        place.at.length = static_cast<D2rLength>(shorter / 2);
        if (shorter % 2 != 0) place.at.pad1 = place.at.pad2 = '0';
    }
    const auto ref = [codes](D2rStepLine line) {
        unsigned source = D2rMergeBeat::Ref::kRest;
        if (line.pad1 >= 'a') source = static_cast<unsigned>(line.pad1 - 'a');
        if (line.pad1 >= 'A' && line.pad1 < 'a') source = kLines + static_cast<unsigned>(line.pad1 - 'A');
        // A line stood on before that passes a beat alone is never merged: a
        // triplet keeps its length. (One stood on before that was shorter
        // may have become a quarter.)
        const bool alone = source >= kLines && source != D2rMergeBeat::Ref::kRest &&
                           (codes >> (4 * (source - kLines)) & 15u) == d2r_pass_code::kStandingOnAlone;
        const unsigned length = alone ? D2rMergeBeat::Ref::kAsItStands : static_cast<unsigned>(line.length);
        return D2rMergeBeat::Ref{static_cast<std::uint8_t>(source | length << 4)};
    };
    D2rMergeBeat beat;
    bool fourth_merged = false;
    // The eight lines go through the passes as the passes take them, each
    // line a pass gives going on at once to the next.
    const auto take = [&](auto&& self, D2rStepLine line, unsigned q) -> void {
        std::array<D2rStepLine, 2> given{};
        D2rStepLine* end = given.data();
        if (TakeIntoD2rMergePass(line, places[q], end) && q + 1 == kPasses) fourth_merged = true;
        for (const D2rStepLine* g = given.data(); g != end; ++g) {
            ++beat.given[q];
            if (q + 1 < kPasses) {
                self(self, *g, q + 1);
            } else if (beat.count < D2rMergeBeat::kMostLines) {
                beat.lines[beat.count++] = ref(*g);
            }
        }
    };
    if (taken == kOneTriplet) {
        take(take, D2rStepLine{D2rLength::kTriplet, 'a', 'x'}, 0);
    } else {
        for (unsigned k = 0; k < (taken == kEight ? kLines : 1); ++k) {
            const bool rest = (rests >> k & 1u) != 0;
            take(take, D2rStepLine{D2rLength::k32nd, rest ? '0' : static_cast<char>('a' + k), rest ? '0' : 'x'}, 0);
        }
    }
    if (fourth_merged) return beat;
    for (unsigned q = 0; q < kPasses; ++q) {
        beat.after = static_cast<std::uint16_t>(beat.after | D2rPassCode(places[q]) << (4 * q));
        if (!places[q].standing) continue;
        beat.stood[q] = ref(places[q].at);
        beat.standing = static_cast<std::uint8_t>(beat.standing | 1u << q);
    }
    beat.usable = true;
    return beat;
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
