#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "d2r/d2r_steps.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {

void WriteD2rBanner(LineSink& out, std::string_view caption) {
    const FixedTexts& texts = Texts();
    out.WriteLine("*");
    std::string line = "* ";
    line.append(texts.made_by_prefix).append(caption).append(texts.made_by_suffix);
    out.WriteLine(line);
    line = "* ";
    line.append(texts.publication).append(kPublicationAddress);
    out.WriteLine(line);
    out.WriteLine("*");
}

std::string_view FormatD2rStepLine(D2rStepLine line, std::array<char, kD2rStepLineSize>& buffer) {
    static constexpr std::string_view kCodes[] = {"8.:", "4.:", "4p:", "4P:", "T:"};
    const std::string_view code = kCodes[static_cast<std::size_t>(line.length)];
    char* at = std::copy(code.begin(), code.end(), buffer.begin());
    at = std::copy_n(kD2rPadFields[static_cast<unsigned char>(line.pad1)].begin(), 4, at);
    *at++ = ':';
    at = std::copy_n(kD2rPadFields[static_cast<unsigned char>(line.pad2)].begin(), 4, at);
    *at++ = ':';
    return {buffer.data(), static_cast<std::size_t>(at - buffer.data())};
}

std::string D2rStepLineText(D2rStepLine line) {
    std::array<char, kD2rStepLineSize> buffer{};
    return std::string(FormatD2rStepLine(line, buffer));
}

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

std::vector<std::string> D2rStepList::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(Size());
    for (std::size_t i = 0; i < Size(); ++i) lines.emplace_back(Line(i));
    return lines;
}

}  // namespace torvane
