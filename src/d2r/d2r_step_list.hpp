#pragma once
// The step list of a d2r step block, as the d2r-to-MSD reader collects it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "d2r/d2r_format.hpp"

namespace torvane {

// The texts of the lines of one head and two well-formed pad fields, by pad
// 1's mask times 16 plus pad 2's: `head` and each field followed by ":".
constexpr std::array<std::array<char, 16>, 256> D2rLineTexts(std::string_view head) {
    std::array<std::array<char, 16>, 256> texts{};
    for (std::size_t masks = 0; masks < texts.size(); ++masks) {
        auto& text = texts[masks];
        for (std::size_t k = 0; k < head.size(); ++k) text[k] = head[k];
        for (std::size_t pad = 0; pad < 2; ++pad) {
            const std::size_t mask = pad == 0 ? masks >> 4 : masks & 15;
            for (std::size_t column = 0; column < 4; ++column) {
                text[head.size() + 5 * pad + column] = (mask >> column) & 1 ? "LDUR"[column] : ' ';
            }
            text[head.size() + 4 + 5 * pad] = ':';
        }
    }
    return texts;
}

// The step list of one block: a line per 32nd-note unit, as the pads read
// them. A unit of rest costs four bytes, and so does a plain line: "8.:", two
// well-formed pad fields of at most two panels each, ":" after each (what the
// writer writes, and most of any chart), and a triplet line of well-formed
// fields. Any other line costs four bytes and its text with a five-byte head. While the pads are read, a line that pad 1
// takes into a triplet gets a "#" in front, and one that pad 2 takes becomes
// "&".
class D2rStepList {
public:
    // Adds the line `head` + `tail`. Throws std::length_error when the block's
    // stored text would pass 4 GB.
    void Add(std::string_view head, std::string_view tail = {});
    // Adds "8." + `tail`, its 11 bytes a plain line's, and `rests` units of
    // rest after it; false, adding nothing, for any other tail.
    [[nodiscard]] bool AddPlainLine(const char* tail, std::size_t rests);
    void AddRestUnit() { entries_.push_back(kRest); }
    void AddRestUnits(std::size_t count) { entries_.insert(entries_.end(), count, kRest); }
    // Empties the list for a block whose first line is `first_source_line`
    // of its source (0: not known).
    void Clear(std::size_t first_source_line = 0);
    // Counts a line of the block's source that gave the last `units` units,
    // at most eight. For error lines, which the pads find after the whole
    // block is read.
    void CountSourceLine(std::uint8_t units) { line_units_.push_back(units); }
    // The source line of the line that gave unit `i`, 0 when not known.
    // Moves a cursor from the unit last asked for, so that asking in the
    // order of the units costs as much as the block's lines, once.
    [[nodiscard]] std::size_t SourceLineOf(std::size_t i);
    [[nodiscard]] std::size_t Size() const { return entries_.size(); }
    // How many units of rest, never taken into a triplet, follow from `i` on.
    [[nodiscard]] std::size_t RestsAt(std::size_t i) const {
        std::size_t end = i;
        while (end < entries_.size() && entries_[end] == kRest) ++end;
        return end - i;
    }
    // The panels of line `i` when it is a plain line not taken into a
    // triplet, as pad 1's mask times 16 plus pad 2's; -1 for any other line.
    // Such a line decodes without a word to each pad's step of its panels,
    // asks for no option, and bears a step when either mask is not 0.
    [[nodiscard]] int PlainLinePanels(std::size_t i) const {
        const std::uint32_t entry = entries_[i];
        return entry >= kPlain && entry < kPlain + kMasks ? static_cast<int>(entry - kPlain) : -1;
    }
    // The panels of line `i` when it is a triplet line of well-formed fields
    // ("T:", any number of panels), marked by pad 1 or not as `taken` says,
    // as in PlainLinePanels; -1 for any other line.
    [[nodiscard]] int TripletLinePanels(std::size_t i, bool taken) const {
        const std::uint32_t first = taken ? kTripletTakenByPad1 : kTriplet;
        const std::uint32_t entry = entries_[i];
        return entry >= first && entry < first + kMasks ? static_cast<int>(entry - first) : -1;
    }
    // The line as it reads now; valid until the next Add.
    [[nodiscard]] std::string_view Line(std::size_t i) const {
        const std::uint32_t entry = entries_[i];
        switch (entry) {
            case kRest: return kD2rRestUnit;
            case kRestTakenByPad1: return "#8.:    :    :";
            case kTakenByPad2: return "&";
            default: break;
        }
        if (entry >= kTriplet) {
            // Triplet lines of well-formed fields, marked "#" or not.
            const bool taken = entry >= kTripletTakenByPad1;
            const auto& text = kTripletLineTexts[entry - (taken ? kTripletTakenByPad1 : kTriplet)];
            return taken ? std::string_view(text.data(), kTripletLineSize + 1)
                         : std::string_view(text.data() + 1, kTripletLineSize);
        }
        if (entry >= kPlain) {
            // Plain lines, marked "#" or not.
            const bool taken = entry >= kPlainTakenByPad1;
            const auto& text = kPlainLineTexts[entry - (taken ? kPlainTakenByPad1 : kPlain)];
            return taken ? std::string_view(text.data(), kD2rRestUnit.size() + 1)
                         : std::string_view(text.data() + 1, kD2rRestUnit.size());
        }
        const std::size_t at = entries_[i];
        std::uint32_t length = 0;
        std::memcpy(&length, text_.data() + at, kLengthBytes);
        const std::size_t mark = at + kLengthBytes;
        return text_[mark] == '#' ? std::string_view(text_).substr(mark, length + 1)
                                  : std::string_view(text_).substr(mark + 1, length);
    }
    void MarkTakenByPad1(std::size_t i);
    void MarkTakenByPad2(std::size_t i) { entries_[i] = kTakenByPad2; }

private:
    static constexpr std::uint32_t kRest = UINT32_MAX;
    static constexpr std::uint32_t kRestTakenByPad1 = UINT32_MAX - 1;
    static constexpr std::uint32_t kTakenByPad2 = UINT32_MAX - 2;
    // Plain lines: kPlain + masks, and kPlainTakenByPad1 + masks once pad 1
    // took one into a triplet. Triplet lines "T:" whose two fields are well
    // formed (any number of panels) are kept as kTriplet + masks in the same
    // way, for the room alone: the pads read them as any other line. Records
    // begin below kPlain.
    static constexpr std::uint32_t kMasks = 256;
    static constexpr std::uint32_t kPlain = UINT32_MAX - 3 - 4 * kMasks;
    static constexpr std::uint32_t kPlainTakenByPad1 = kPlain + kMasks;
    static constexpr std::uint32_t kTriplet = kPlain + 2 * kMasks;
    static constexpr std::uint32_t kTripletTakenByPad1 = kPlain + 3 * kMasks;
    static constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);
    static constexpr std::size_t kTripletLineSize = 12;  // "T:", two fields, ":" after each

    static constexpr auto kPlainLineTexts = D2rLineTexts("#8.:");
    static constexpr auto kTripletLineTexts = D2rLineTexts("#T:");

    // Each stored line: its length (4 bytes), a mark byte (" " or "#"), its text.
    std::string text_;
    // Per line: a k... value above, or where its record begins in text_.
    std::vector<std::uint32_t> entries_;
    // The block's source lines: the first one's number and how many units
    // each gave; the cursor of SourceLineOf, a line and its first unit.
    std::size_t first_source_line_ = 0;
    std::vector<std::uint8_t> line_units_;
    std::size_t cursor_line_ = 0;
    std::size_t cursor_unit_ = 0;
};

// Normalises one line of a step block into the step list: "8." and "T" lines
// stay, "4.", "4p" and "4P" lines become an "8." line followed by 1, 3 or 7
// rest units, and comments and lines without a length code are dropped.
// Counts the line as a source line of the list.
void CollectD2rStepLine(std::string_view line, D2rStepList& step_list);

}  // namespace torvane
