#include "d2r/d2r_step_list.hpp"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace torvane {

namespace {

// The panels of a pad field in which each column is a blank or its own
// letter ("L", "D", "U", "R"); -1 otherwise. The four columns at once: a
// column is right when it is zero after XOR with its letter or with a blank.
int WellFormedFieldMask(const char* field) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint32_t kLetters = 'L' | 'D' << 8 | 'U' << 16 | 'R' << 24;
        constexpr std::uint32_t kBlanks = 0x20202020;
        constexpr std::uint32_t kLows = 0x7f7f7f7f;
        constexpr std::uint32_t kHighs = 0x80808080;
        std::uint32_t word = 0;
        std::memcpy(&word, field, sizeof word);
        // The high bit of each byte that is not zero; exact, as no byte carries.
        const auto not_zero = [](std::uint32_t v) { return (((v & kLows) + kLows) | v) & kHighs; };
        const std::uint32_t not_letter = not_zero(word ^ kLetters);
        if ((not_letter & not_zero(word ^ kBlanks)) != 0) return -1;
        // The letter bits, from bit 7 of each byte to bits 28 .. 31.
        const std::uint32_t letters = (~not_letter & kHighs) >> 7;
        return static_cast<int>((letters * 0x10204080U) >> 28);
    }
    int mask = 0;
    for (int column = 0; column < 4; ++column) {
        if (field[column] == "LDUR"[column]) {
            mask |= 1 << column;
        } else if (field[column] != ' ') {
            return -1;
        }
    }
    return mask;
}

// The same for at most two panels, which have a step character.
int PlainFieldMask(const char* field) {
    const int mask = WellFormedFieldMask(field);
    return mask >= 0 && StepOfPanels(mask) != 0 ? mask : -1;
}

// Pad 1's mask times 16 plus pad 2's when `line` is "T:", two well-formed
// fields and ":" after each; -1 otherwise.
int TripletLineMasks(std::string_view line) {
    if (line.size() != 12 || line[0] != 'T' || line[1] != ':' || line[6] != ':' || line[11] != ':') return -1;
    const int pad1 = WellFormedFieldMask(line.data() + 2);
    const int pad2 = WellFormedFieldMask(line.data() + 7);
    return pad1 < 0 || pad2 < 0 ? -1 : pad1 * 16 + pad2;
}

// Pad 1's mask times 16 plus pad 2's when `tail` (11 bytes) is what follows
// "8." in a plain line: ":", each pad's field and ":" after it; -1 otherwise.
int PlainTailMasks(const char* tail) {
    if (tail[0] != ':' || tail[5] != ':' || tail[10] != ':') return -1;
    const int pad1 = PlainFieldMask(tail + 1);
    const int pad2 = PlainFieldMask(tail + 6);
    return pad1 < 0 || pad2 < 0 ? -1 : pad1 * 16 + pad2;
}

constexpr std::size_t kPlainTailSize = 11;

}  // namespace

bool D2rStepList::AddPlainLine(const char* tail, std::size_t rests) {
    const int masks = PlainTailMasks(tail);
    if (masks < 0) return false;
    const std::size_t at = entries_.size();
    entries_.resize(at + 1 + rests, kRest);
    if (masks != 0) entries_[at] = kPlain + static_cast<std::uint32_t>(masks);
    return true;
}

void D2rStepList::Add(std::string_view head, std::string_view tail) {
    const std::size_t length = head.size() + tail.size();
    if (length == kD2rRestUnit.size() && (head.size() == 2 || (tail.empty() && head.size() == length))) {
        // "8." and the plain tail, given whole or as the head "8." and its tail.
        const std::string_view rest = tail.empty() ? head.substr(2) : tail;
        if (head[0] == '8' && head[1] == '.' && rest.size() == kPlainTailSize) {
            if (const int masks = PlainTailMasks(rest.data()); masks >= 0) {
                entries_.push_back(masks == 0 ? kRest : kPlain + static_cast<std::uint32_t>(masks));
                return;
            }
        }
    }
    if (tail.empty() && !head.empty() && head[0] == 'T') {
        if (const int masks = TripletLineMasks(head); masks >= 0) {
            entries_.push_back(kTriplet + static_cast<std::uint32_t>(masks));
            return;
        }
    }
    // Records begin below kPlain, and their lengths fit four bytes.
    if (length > kPlain - kLengthBytes - 1 || text_.size() > kPlain - kLengthBytes - 1 - length) {
        throw std::length_error("a step block of more than 4 GB");
    }
    const std::size_t at = text_.size();
    entries_.push_back(static_cast<std::uint32_t>(at));
    const auto length32 = static_cast<std::uint32_t>(length);
    text_.resize(at + kLengthBytes + 1 + length);
    char* record = text_.data() + at;
    std::memcpy(record, &length32, kLengthBytes);
    record[kLengthBytes] = ' ';
    std::copy(head.begin(), head.end(), record + kLengthBytes + 1);
    std::copy(tail.begin(), tail.end(), record + kLengthBytes + 1 + head.size());
}

void D2rStepList::Clear(std::size_t first_source_line) {
    text_.clear();
    entries_.clear();
    first_source_line_ = first_source_line;
    line_units_.clear();
    cursor_line_ = 0;
    cursor_unit_ = 0;
}

std::size_t D2rStepList::SourceLineOf(std::size_t i) {
    if (first_source_line_ == 0) return 0;
    // Back to a line that begins at or before `i`, then on to the line that
    // holds it; lines that gave no unit are passed over.
    while (cursor_line_ > 0 && cursor_unit_ > i) {
        --cursor_line_;
        cursor_unit_ -= line_units_[cursor_line_];
    }
    while (cursor_line_ < line_units_.size() && cursor_unit_ + line_units_[cursor_line_] <= i) {
        cursor_unit_ += line_units_[cursor_line_];
        ++cursor_line_;
    }
    return first_source_line_ + cursor_line_;
}

void D2rStepList::MarkTakenByPad1(std::size_t i) {
    switch (entries_[i]) {
        case kRest: entries_[i] = kRestTakenByPad1; return;
        case kRestTakenByPad1:
        case kTakenByPad2: return;
        default: break;
    }
    const std::uint32_t entry = entries_[i];
    if (entry >= kTripletTakenByPad1 || (entry >= kPlainTakenByPad1 && entry < kTriplet)) return;
    if (entry >= kPlain) {
        entries_[i] += kMasks;
    } else {
        text_[entries_[i] + kLengthBytes] = '#';
    }
}

void CollectD2rStepLine(std::string_view line, D2rStepList& step_list) {
    // A lone "4" has no length code and goes like any other such line.
    std::uint8_t rests = 0;
    bool code = false;
    if (line.size() >= 2) {
        if (line[0] == '8') {
            code = line[1] == '.';
        } else if (line[0] == '4') {
            switch (line[1]) {
                case '.': rests = 1; break;
                case 'p': rests = 3; break;
                case 'P': rests = 7; break;
                default: break;
            }
            code = rests != 0;
        }
    }
    // Most lines: a length code and the plain tail, as the writer writes them.
    if (code && line.size() == kD2rRestUnit.size() && step_list.AddPlainLine(line.data() + 2, rests)) {
        step_list.CountSourceLine(static_cast<std::uint8_t>(rests + 1));
        return;
    }
    if (line.starts_with("8.") || line.starts_with("T")) {
        step_list.Add(line);
        step_list.CountSourceLine(1);
        return;
    }
    if (rests == 0) {
        step_list.CountSourceLine(0);
        return;
    }
    step_list.Add("8.", line.substr(2));
    step_list.AddRestUnits(rests);
    step_list.CountSourceLine(static_cast<std::uint8_t>(rests + 1));
}

}  // namespace torvane
