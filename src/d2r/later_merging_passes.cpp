// Every merging pass after a given one, run over a stream of lines.
//
// Each pass is a small machine: it stands on a line, or is about to stand on
// the next one, or passes the rest of a beat. Pass n + 1 takes what pass n
// gives. Run one after another, the passes hold the whole chart; run side by
// side they need no more than the lines in flight, but a chart can need a
// pass for every few lines, and most of those passes merge nothing after
// their first merge, yet take every line.
//
// So passes that take the same lines are kept together in blocks. All the
// passes of a block have taken the same lines, up to the block's last one,
// and they take the next one in step: what a pass does with a line depends
// only on where it stands and on that line and the one it stands on, which
// is the block's last line for every pass that stands. Passes that stand
// alike form a class; a block decides once per class, not once per pass.
//
// Taking lines in step is a shortcut: in truth a pass that stands on a line
// holds it back from the passes after it until the next line comes. The
// shortcut gives the same result as long as no pass of the block merges.
// When a line makes a pass merge (or might, because a pass before it holds
// that line and could still merge it on), the block is cut at that pass:
// the passes before it go on with the line; the pass itself merges, and the
// passes after it take back the line they took ahead of time (each class
// remembers where it stood one line earlier) and take the merged line
// instead; or, when the line is not yet settled, they wait for it. Blocks
// that come to take the same lines again are joined.
//
// The last pass stands for all the passes that have not merged yet: they
// all walk alike, so one machine is enough. When it merges, one of them
// stays behind as a pass of its own and the rest go on.

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "d2r/msd_to_d2r.hpp"

namespace torvane {
namespace {

// Where a pass stands before its next line: about to stand on it, standing
// on the block's last line, or passing r more lines of a beat (1 + r).
using Place = std::uint8_t;
constexpr Place kAboutToStand = 0;
constexpr Place kStanding = 1;

constexpr bool Merges(D2rStepLine line, D2rStepLine after) {
    return IsD2rRestLine(after) && line.length == after.length && line.length < D2rLength::kQuarter;
}

// Where a pass stands after one more line that it does not merge: `stood`
// is the line it stood on, if it stood.
constexpr Place After(Place place, D2rStepLine stood) {
    if (place == kAboutToStand) return kStanding;
    if (place == kStanding) {
        const std::uint32_t beat = D2rLinesPerBeat(stood.length);
        if (beat == 1) return kStanding;  // it passes that line and stands on the new one
        return beat == 2 ? kAboutToStand : static_cast<Place>(beat - 1);
    }
    return place == 2 ? kAboutToStand : static_cast<Place>(place - 1);
}

// A line with a number that tells it from any other, merged ones included,
// so that two blocks can tell whether they have taken the same lines.
struct Taken {
    D2rStepLine line;
    std::uint64_t number = UINT64_MAX;
};

// Passes stand in one of 8 places, and a class is told by where its passes
// stand now and one line earlier. A pass names a slot; a slot belongs to a
// class, whose own slot is its root. When two classes come to stand alike,
// one joins the other: its slots point to the other's root, and no pass need
// be renamed. Only live classes (roots with passes) are walked per line.
constexpr std::size_t kSlots = 64;
constexpr std::int64_t kUnknown = INT64_MIN;
constexpr std::uint8_t kNoSlot = 0xFF;

// Left uninitialized in a new block: only slots [0, slot_count) are read.
struct PassClass {
    Place now;
    Place before;          // one line earlier
    std::uint32_t passes;  // of the block
    std::int64_t first;    // where its first pass is, when known (kUnknown)
};

struct Block {
    std::deque<std::uint8_t> passes;  // the slot of each pass, in the order of the passes
    std::int64_t start = 0;           // the place number of passes[0]
    // Every class with passes whose first is unknown has it at `scanned` or
    // after.
    std::int64_t scanned = 0;
    std::array<PassClass, kSlots> classes;  // by root slot
    std::array<std::uint8_t, kSlots> root;
    std::array<std::uint32_t, kSlots> named;  // passes that name each slot
    std::array<std::uint8_t, kSlots> live;
    std::size_t slot_count = 0;  // slots [0, slot_count) are in use
    std::size_t live_count = 0;
    Taken last;                    // the last line taken
    Taken before_last;
    bool holding = false;          // some pass stands on `last`: it has not gone on yet
    bool endless = false;          // the last pass stands for every pass still to come
    std::uint32_t quiet = 0;       // lines taken since the block was last cut or merged in

    [[nodiscard]] PassClass& ClassOf(std::uint8_t slot) { return classes[root[slot]]; }
    [[nodiscard]] bool Any(Place place) const {
        for (std::size_t i = 0; i < live_count; ++i) {
            if (classes[live[i]].now == place) return true;
        }
        return false;
    }
    // Starts over as an empty block.
    void Clear() {
        passes.clear();
        start = 0;
        scanned = 0;
        slot_count = 0;
        live_count = 0;
        last = Taken{};
        before_last = Taken{};
        holding = false;
        endless = false;
        quiet = 0;
    }
    // A new class standing at `now`, `before`; false when the slots are all
    // used.
    bool NewClass(Place now, Place before, std::uint8_t& slot) {
        // A slot that no pass names and that is no live class's root is free.
        std::size_t free = 0;
        while (free < slot_count && (named[free] > 0 || (root[free] == free && classes[free].passes > 0))) ++free;
        if (free == kSlots) return false;
        if (free == slot_count) ++slot_count;
        slot = static_cast<std::uint8_t>(free);
        root[slot] = slot;
        named[slot] = 0;
        classes[slot] = PassClass{now, before, 0, kUnknown};
        return true;
    }
    // The live class that stands at `now`, `before`, or kNoSlot.
    [[nodiscard]] std::uint8_t LiveClass(Place now, Place before) const {
        for (std::size_t i = 0; i < live_count; ++i) {
            if (classes[live[i]].now == now && classes[live[i]].before == before) return live[i];
        }
        return kNoSlot;
    }
    // This block's class for `from`'s class of `slot`: one that stands
    // alike, made when there is none; `to` (all kNoSlot at first) remembers
    // them. A pass must be added to a class made before the next is made.
    std::uint8_t SlotFor(const Block& from, std::uint8_t slot, std::array<std::uint8_t, kSlots>& to) {
        const std::uint8_t r = from.root[slot];
        if (to[r] != kNoSlot) return to[r];
        const PassClass& pass_class = from.classes[r];
        to[r] = LiveClass(pass_class.now, pass_class.before);
        if (to[r] == kNoSlot && !NewClass(pass_class.now, pass_class.before, to[r])) {
            Renumber();
            to.fill(kNoSlot);
            return SlotFor(from, slot, to);
        }
        return to[r];
    }
    void PushFrom(const Block& from, std::uint8_t slot, std::array<std::uint8_t, kSlots>& to) {
        PushBack(SlotFor(from, slot, to));
    }
    void PushBack(std::uint8_t slot) {
        const std::uint8_t r = root[slot];
        if (classes[r].passes++ == 0) {
            classes[r].first = start + static_cast<std::int64_t>(passes.size());
            live[live_count++] = r;
        }
        ++named[r];
        passes.push_back(r);
    }
    void PushFront(std::uint8_t slot) {
        const std::uint8_t r = root[slot];
        passes.push_front(r);
        ++named[r];
        --start;
        if (classes[r].passes++ == 0) live[live_count++] = r;
        classes[r].first = start;
    }
    // One pass of `slot`'s class has left the block.
    void Lose(std::uint8_t slot) {
        --named[slot];
        const std::uint8_t r = root[slot];
        if (--classes[r].passes > 0) return;
        for (std::size_t i = 0; i < live_count; ++i) {
            if (live[i] == r) {
                live[i] = live[--live_count];
                break;
            }
        }
    }
    // Every pass takes `line` without merging.
    void TakeInStep(const Taken& line) {
        for (std::size_t i = 0; i < live_count; ++i) {
            PassClass& pass_class = classes[live[i]];
            pass_class.before = pass_class.now;
            pass_class.now = After(pass_class.now, last.line);
        }
        before_last = last;
        last = line;
        holding = Any(kStanding);
        ++quiet;
        JoinAlikeClasses();
    }
    // Live classes that have come to stand alike become one.
    void JoinAlikeClasses() {
        for (std::size_t i = 1; i < live_count;) {
            const std::uint8_t r = live[i];
            std::size_t j = 0;
            while (j < i && (classes[live[j]].now != classes[r].now || classes[live[j]].before != classes[r].before)) {
                ++j;
            }
            if (j == i) {
                ++i;
                continue;
            }
            const std::uint8_t into = live[j];
            PassClass& kept = classes[into];
            const PassClass& joined = classes[r];
            kept.passes += joined.passes;
            // A first pass that is unknown lies at `scanned` or after.
            if (kept.first == kUnknown || joined.first == kUnknown) {
                const std::int64_t known = kept.first == kUnknown ? joined.first : kept.first;
                kept.first = known != kUnknown && known < scanned ? known : kUnknown;
            } else {
                kept.first = std::min(kept.first, joined.first);
            }
            for (std::size_t slot = 0; slot < slot_count; ++slot) {
                if (root[slot] == r) root[slot] = into;
            }
            live[i] = live[--live_count];
        }
    }
    // Gives every pass its class's root slot, and the classes the first
    // slots, one each.
    void Renumber() {
        JoinAlikeClasses();
        std::array<std::uint8_t, kSlots> to;
        to.fill(kNoSlot);
        std::array<PassClass, kSlots> renumbered;
        for (std::size_t i = 0; i < live_count; ++i) {
            to[live[i]] = static_cast<std::uint8_t>(i);
            renumbered[i] = classes[live[i]];
            renumbered[i].first = kUnknown;
        }
        std::int64_t at = start;
        for (std::uint8_t& slot : passes) {
            slot = to[root[slot]];
            if (renumbered[slot].first == kUnknown) renumbered[slot].first = at;
            ++at;
        }
        slot_count = live_count;
        for (std::size_t i = 0; i < live_count; ++i) {
            classes[i] = renumbered[i];
            root[i] = static_cast<std::uint8_t>(i);
            live[i] = static_cast<std::uint8_t>(i);
            named[i] = renumbered[i].passes;
        }
        scanned = at;
    }
};

// Blocks stay apart for a few lines after a cut, since passes that have just
// merged tend to merge again soon, and cutting a large block costs.
constexpr std::uint32_t kQuietBeforeJoining = 4;
constexpr std::size_t kMostBlocks = 4;

}  // namespace

struct D2rLaterMergingPasses::Passes {
    std::vector<std::unique_ptr<Block>> blocks;
    std::vector<std::unique_ptr<Block>> spare;  // blocks joined away, for reuse
    std::vector<D2rStepLine> given;
    std::uint64_t next_number = 0;

    std::unique_ptr<Block> NewBlock() {
        if (spare.empty()) {
            auto block = std::make_unique_for_overwrite<Block>();
            block->slot_count = 0;
            block->live_count = 0;
            return block;
        }
        std::unique_ptr<Block> block = std::move(spare.back());
        spare.pop_back();
        block->Clear();
        return block;
    }
    void DropBlock(std::size_t k) {
        blocks[k]->Clear();  // hands back the memory of its passes
        spare.push_back(std::move(blocks[k]));
        blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(k));
    }

    Passes() {
        auto block = NewBlock();
        std::uint8_t slot = 0;
        (void)block->NewClass(kAboutToStand, kAboutToStand, slot);
        block->PushBack(slot);
        block->endless = true;
        blocks.push_back(std::move(block));
    }

    void Add(D2rStepLine line) {
        Give({line, next_number++}, 0);
        JoinBlocks();
    }

    void Finish() {
        for (std::size_t k = 0; k < blocks.size(); ++k) {
            if (!blocks[k]->holding) continue;
            blocks[k]->holding = false;
            Give(blocks[k]->last, k + 1);
        }
    }

    // `line` to block k, or out when k is past the last.
    void Give(const Taken& line, std::size_t k) {
        if (k == blocks.size()) {
            given.push_back(line.line);
            return;
        }
        Take(k, line);
    }

    void Take(std::size_t k, const Taken& x) {
        Block& block = *blocks[k];
        const Taken w = block.last;
        const bool merge = Merges(w.line, x.line);
        // The passes that stand on w might yet see x merged on before it
        // reaches them, and then merge with what x becomes.
        const bool might_merge = !merge && IsD2rRestLine(x.line) && x.line.length < w.line.length &&
                                 w.line.length < D2rLength::kQuarter;
        if (block.Any(kStanding) && (merge || might_merge)) {
            // The first pass that either stands on x after taking it or
            // merges it: the passes before it take x in step.
            const bool stays = D2rLinesPerBeat(w.line.length) == 1 && !merge;
            std::array<bool, kSlots> wanted{};
            for (std::size_t i = 0; i < block.live_count; ++i) {
                const Place now = block.classes[block.live[i]].now;
                wanted[block.live[i]] = now == kAboutToStand || (now == kStanding && (merge || stays));
            }
            const std::size_t first = FirstPassOf(block, wanted);
            if (first != SIZE_MAX) {
                if (merge && block.ClassOf(block.passes[first]).now == kStanding) {
                    MergeAt(k, first, x);
                    return;
                }
                if (first + 1 < block.passes.size()) {
                    WaitAfter(k, first, x);
                    return;
                }
            }
        }
        const bool was_holding = block.holding;
        block.TakeInStep(x);
        const bool holding = block.holding;
        if (was_holding) Give(w, k + 1);
        if (!holding) Give(x, k + 1);
    }

    // Pass `at` of block k stands on x after taking it, and could still
    // merge it on; the passes after it wait for what it gives.
    void WaitAfter(std::size_t k, std::size_t at, const Taken& x) {
        CutAfter(k, at);
        Block& front = *blocks[k];
        Block& back = *blocks[k + 1];
        const Taken w = front.last;
        const bool was_holding = front.holding;
        front.TakeInStep(x);
        front.quiet = 0;
        back.holding = back.Any(kStanding);
        // w has gone past the passes in front; if none behind holds it,
        // it goes on.
        if (was_holding && !back.holding) Give(w, k + 2);
    }

    // Pass `at` of block k, the first to stand on the block's last line w,
    // merges x into it.
    void MergeAt(std::size_t k, std::size_t at, const Taken& x) {
        Block* block = blocks[k].get();
        const Taken w = block->last;
        const Taken v = block->before_last;
        const std::uint8_t merging_class = block->passes[at];
        const bool last_pass = at + 1 == block->passes.size();
        const bool endless_merges = block->endless && last_pass;
        bool behind = !last_pass;
        if (!last_pass) {
            CutAfter(k, at);
        } else if (endless_merges) {
            // The passes still to come follow behind the one that merges.
            auto rest = NewBlock();
            std::array<std::uint8_t, kSlots> to;
            to.fill(kNoSlot);
            rest->PushFrom(*block, merging_class, to);
            rest->scanned = 1;
            rest->endless = true;
            block->endless = false;
            blocks.insert(blocks.begin() + static_cast<std::ptrdiff_t>(k) + 1, std::move(rest));
            behind = true;
        }
        Block& front = *blocks[k];
        // No pass before `at` stands; `at` merges and is about to stand.
        for (std::size_t i = 0; i < front.live_count; ++i) {
            PassClass& pass_class = front.classes[front.live[i]];
            pass_class.before = pass_class.now;
            pass_class.now = pass_class.now == kStanding ? kAboutToStand : After(pass_class.now, w.line);
        }
        front.before_last = w;
        front.last = x;
        front.holding = false;
        front.quiet = 0;
        Taken merged{w.line, next_number++};
        merged.line.length = static_cast<D2rLength>(static_cast<int>(w.line.length) + 1);
        if (behind) {
            // The passes behind never had w: they take the merged line
            // where they stood before it.
            Block& back = *blocks[k + 1];
            for (std::size_t i = 0; i < back.live_count; ++i) {
                back.classes[back.live[i]].now = back.classes[back.live[i]].before;
            }
            back.JoinAlikeClasses();
            back.last = v;
            back.before_last = Taken{};
            back.holding = false;
        }
        Give(merged, k + 1);
    }

    // Cuts block k after pass `at`, moving the smaller part into a new block.
    void CutAfter(std::size_t k, std::size_t at) {
        Block& block = *blocks[k];
        auto moved = NewBlock();
        std::array<std::uint8_t, kSlots> to;
        to.fill(kNoSlot);
        moved->last = block.last;
        moved->before_last = block.before_last;
        const std::size_t back_size = block.passes.size() - at - 1;
        if (back_size <= at + 1) {
            for (std::size_t i = at + 1; i < block.passes.size(); ++i) {
                moved->PushFrom(block, block.passes[i], to);
                block.Lose(block.passes[i]);
            }
            moved->scanned = static_cast<std::int64_t>(moved->passes.size());
            block.passes.erase(block.passes.begin() + static_cast<std::ptrdiff_t>(at) + 1, block.passes.end());
            moved->endless = block.endless;
            block.endless = false;
            block.quiet = 0;
            blocks.insert(blocks.begin() + static_cast<std::ptrdiff_t>(k) + 1, std::move(moved));
            return;
        }
        // The front is the smaller: it moves, and the block keeps the back.
        moved->holding = block.holding;
        for (std::size_t i = 0; i <= at; ++i) {
            moved->PushFrom(block, block.passes[i], to);
            block.Lose(block.passes[i]);
        }
        moved->scanned = static_cast<std::int64_t>(moved->passes.size());
        block.passes.erase(block.passes.begin(), block.passes.begin() + static_cast<std::ptrdiff_t>(at) + 1);
        block.start += static_cast<std::int64_t>(at) + 1;
        bool lost = false;
        for (std::size_t i = 0; i < block.live_count; ++i) {
            PassClass& pass_class = block.classes[block.live[i]];
            if (pass_class.first != kUnknown && pass_class.first < block.start) {
                pass_class.first = kUnknown;
                lost = true;
            }
        }
        block.scanned = lost ? block.start : std::max(block.scanned, block.start);
        block.quiet = 0;
        blocks.insert(blocks.begin() + static_cast<std::ptrdiff_t>(k), std::move(moved));
    }

    // The first pass of block whose class is `wanted`, or SIZE_MAX.
    static std::size_t FirstPassOf(Block& block, const std::array<bool, kSlots>& wanted) {
        std::int64_t best = INT64_MAX;
        bool unknown = false;
        for (std::size_t i = 0; i < block.live_count; ++i) {
            const PassClass& pass_class = block.classes[block.live[i]];
            if (!wanted[block.live[i]]) continue;
            if (pass_class.first == kUnknown) {
                unknown = true;
            } else {
                best = std::min(best, pass_class.first);
            }
        }
        if (unknown) {
            // Look further from where the last look stopped, learning the
            // first pass of each class met.
            std::int64_t at = std::max(block.scanned, block.start);
            const std::int64_t end = block.start + static_cast<std::int64_t>(block.passes.size());
            for (; at < end && at < best; ++at) {
                const std::uint8_t c = block.root[block.passes[static_cast<std::size_t>(at - block.start)]];
                if (block.classes[c].first != kUnknown) continue;
                block.classes[c].first = at;
                if (wanted[c]) {
                    best = at++;
                    break;
                }
            }
            block.scanned = at;
        }
        return best == INT64_MAX ? SIZE_MAX : static_cast<std::size_t>(best - block.start);
    }

    // Joins neighbouring blocks whose passes take the same lines from here
    // on: those that have been quiet for a while, or any when there are many.
    void JoinBlocks() {
        for (std::size_t k = 0; k + 1 < blocks.size();) {
            if (!TryJoin(k, blocks.size() > kMostBlocks)) ++k;
        }
    }

    bool TryJoin(std::size_t k, bool now) {
        Block& a = *blocks[k];
        Block& b = *blocks[k + 1];
        if (!now && (a.quiet < kQuietBeforeJoining || b.quiet < kQuietBeforeJoining || b.endless)) return false;
        if (!a.holding) {
            if (b.last.number != a.last.number || b.before_last.number != a.before_last.number) return false;
        } else {
            // b has taken all that a gave; it takes a's last line in step,
            // unless that line could make one of b's passes merge.
            if (b.last.number != a.before_last.number) return false;
            const D2rStepLine w = b.last.line;
            const D2rStepLine x = a.last.line;
            const bool merge = Merges(w, x);
            const bool might_merge =
                !merge && IsD2rRestLine(x) && x.length < w.length && w.length < D2rLength::kQuarter;
            if (b.Any(kStanding) && (merge || might_merge)) return false;
            const bool was_holding = b.holding;
            const Taken released = b.last;
            b.TakeInStep(a.last);
            if (was_holding) Give(released, k + 2);
        }
        Join(k);
        return true;
    }

    // Joins blocks k and k + 1, moving the smaller one's passes.
    void Join(std::size_t k) {
        Block& a = *blocks[k];
        Block& b = *blocks[k + 1];
        const bool holding = a.holding || b.holding;
        const std::uint32_t quiet = std::min(a.quiet, b.quiet);
        if (a.passes.size() >= b.passes.size()) {
            std::array<std::uint8_t, kSlots> to;
            to.fill(kNoSlot);
            for (const std::uint8_t slot : b.passes) a.PushFrom(b, slot, to);
            a.endless = b.endless;
            a.holding = holding;
            a.quiet = quiet;
            DropBlock(k + 1);
        } else {
            std::array<std::uint8_t, kSlots> to;
            to.fill(kNoSlot);
            for (std::size_t i = a.passes.size(); i-- > 0;) b.PushFront(b.SlotFor(a, a.passes[i], to));
            b.last = a.last;
            b.before_last = a.before_last;
            b.holding = holding;
            b.quiet = quiet;
            DropBlock(k);
        }
    }

};

D2rLaterMergingPasses::D2rLaterMergingPasses() : passes_(std::make_unique<Passes>()) {}
D2rLaterMergingPasses::~D2rLaterMergingPasses() = default;

void D2rLaterMergingPasses::Add(D2rStepLine line) { passes_->Add(line); }
void D2rLaterMergingPasses::Finish() { passes_->Finish(); }
std::vector<D2rStepLine>& D2rLaterMergingPasses::Given() { return passes_->given; }

std::vector<D2rStepLine> MergeD2rStepLinesAsStream(const std::vector<D2rStepLine>& lines) {
    D2rLaterMergingPasses passes;
    for (const D2rStepLine line : lines) passes.Add(line);
    passes.Finish();
    return std::move(passes.Given());
}

}  // namespace torvane
