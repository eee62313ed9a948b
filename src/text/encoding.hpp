#pragma once
// Sources saved as UTF-8. Chart text is code page 932 inside the engine; a
// UTF-8 source is turned into code page 932 line by line on the way in, so
// that the converters read what its Shift-JIS twin would give them.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "text/line_io.hpp"

namespace torvane {

enum class SourceEncoding { kCp932, kUtf8 };

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Checks bytes for UTF-8 as they come, in pieces cut anywhere. Overlong
// forms, surrogates and code points past U+10FFFF are not UTF-8.
class Utf8Scan {
public:
    void Feed(std::string_view bytes);
    // The input is complete: a sequence cut off by its end is not UTF-8.
    void End();

    [[nodiscard]] bool Valid() const { return valid_; }
    // Whether a character of three or more bytes was seen. Japanese text in
    // UTF-8 always has one; half-width katakana in Shift-JIS ("ﾃｽ" is C3 BD)
    // can pass for two-byte UTF-8, but never for a longer sequence.
    [[nodiscard]] bool HasLongSequence() const { return long_sequence_; }

private:
    bool valid_ = true;
    bool long_sequence_ = false;
    int pending_ = 0;  // continuation bytes still expected
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
};

// The UTF-8 form of a character as error lines name it: "U+1F600".
[[nodiscard]] std::string CodePointName(std::string_view utf8_character);

// Turns UTF-8 lines into code page 932. A character without a code page 932
// form, or a byte that is not UTF-8, becomes "?" and is handed to
// `unconvertible` (its bytes as they stood).
class Utf8ToCp932Lines {
public:
    Utf8ToCp932Lines();
    ~Utf8ToCp932Lines();
    Utf8ToCp932Lines(const Utf8ToCp932Lines&) = delete;
    Utf8ToCp932Lines& operator=(const Utf8ToCp932Lines&) = delete;

    void Convert(std::string_view utf8, std::string& cp932,
                 const std::function<void(std::string_view)>& unconvertible);

private:
    void* cd_;  // iconv_t
};

// A source read as UTF-8: the byte-order mark that may begin it is dropped
// and every line becomes code page 932. Each character that has no code page
// 932 form is handed to `unconvertible` once, however often the converter
// rewinds and reads the line again.
[[nodiscard]] std::unique_ptr<LineSource> MakeUtf8Source(
    std::unique_ptr<LineSource> source, std::function<void(std::string_view character)> unconvertible);

}  // namespace torvane
