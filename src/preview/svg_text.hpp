#pragma once
// The text of a picture as it is written: one buffer that grows by doubling,
// numbers written in place, so that a chart of many thousand steps costs no
// string per step.

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace torvane {

class SvgText {
public:
    explicit SvgText(std::size_t expected_bytes) { text_.resize(expected_bytes); }

    void Put(std::string_view bytes) {
        Room(bytes.size());
        std::memcpy(text_.data() + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
    }
    void Put(char c) {
        Room(1);
        text_[used_++] = c;
    }
    // A whole number in the shortest form.
    void PutNumber(long long value);
    // A pair of path coordinates: the space between them is left out when the
    // second one's minus sign parts them anyway.
    void PutPair(long long x, long long y);
    // Code page 932 text as XML character data in UTF-8: the markup
    // characters become references and the control characters that XML 1.0
    // forbids become "?".
    void PutEscaped(std::string_view cp932);

    [[nodiscard]] std::size_t Size() const { return used_; }
    // Drops what was written after `size`.
    void Truncate(std::size_t size) { used_ = size < used_ ? size : used_; }
    [[nodiscard]] std::string Take() &&;

private:
    void Room(std::size_t bytes) {
        if (text_.size() - used_ < bytes) Grow(bytes);
    }
    void Grow(std::size_t bytes);

    std::string text_;
    std::size_t used_ = 0;
};

}  // namespace torvane
