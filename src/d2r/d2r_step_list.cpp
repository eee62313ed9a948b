#include "d2r/d2r_step_list.hpp"

#include <algorithm>
#include <stdexcept>

namespace torvane {

void D2rStepList::Add(std::string_view head, std::string_view tail) {
    if (head.size() + tail.size() == kD2rRestUnit.size() && head == kD2rRestUnit.substr(0, head.size()) &&
        tail == kD2rRestUnit.substr(head.size())) {
        entries_.push_back(kRest);
        return;
    }
    const std::size_t length = head.size() + tail.size();
    // Records begin below kTakenByPad2, and their lengths fit four bytes.
    if (length > kTakenByPad2 - kLengthBytes - 1 || text_.size() > kTakenByPad2 - kLengthBytes - 1 - length) {
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

void D2rStepList::Clear() {
    text_.clear();
    entries_.clear();
}

void D2rStepList::MarkTakenByPad1(std::size_t i) {
    switch (entries_[i]) {
        case kRest: entries_[i] = kRestTakenByPad1; return;
        case kRestTakenByPad1:
        case kTakenByPad2: return;
        default: text_[entries_[i] + kLengthBytes] = '#';
    }
}

void CollectD2rStepLine(std::string_view line, D2rStepList& step_list) {
    if (line.starts_with("8.") || line.starts_with("T")) {
        step_list.Add(line);
        return;
    }
    // A lone "4" has no length code and goes like any other such line.
    if (line.size() < 2 || line[0] != '4') return;
    int rests = 0;
    switch (line[1]) {
        case '.': rests = 1; break;
        case 'p': rests = 3; break;
        case 'P': rests = 7; break;
        default: return;
    }
    step_list.Add("8.", line.substr(2));
    for (int i = 0; i < rests; ++i) step_list.AddRestUnit();
}

}  // namespace torvane
