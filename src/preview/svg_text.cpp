#include "preview/svg_text.hpp"

#include <algorithm>
#include <charconv>
#include <utility>

#include "text/sjis.hpp"

namespace torvane {

void SvgText::PutNumber(long long value) {
    constexpr std::size_t kLongestNumber = 20;
    Room(kLongestNumber);
    char* const at = text_.data() + used_;
    used_ += static_cast<std::size_t>(std::to_chars(at, at + kLongestNumber, value).ptr - at);
}

void SvgText::PutPair(long long x, long long y) {
    PutNumber(x);
    if (y >= 0) Put(' ');
    PutNumber(y);
}

void SvgText::PutEscaped(std::string_view cp932) {
    for (const char c : Cp932ToUtf8(cp932)) {
        switch (c) {
            case '&': Put("&amp;"); break;
            case '<': Put("&lt;"); break;
            case '>': Put("&gt;"); break;
            case '"': Put("&quot;"); break;
            case '\t':
            case '\n':
            case '\r': Put(' '); break;
            default: Put(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c); break;
        }
    }
}

std::string SvgText::Take() && {
    text_.resize(used_);
    return std::move(text_);
}

void SvgText::Grow(std::size_t bytes) { text_.resize(std::max(2 * text_.size(), used_ + bytes)); }

}  // namespace torvane
