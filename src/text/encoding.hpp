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

enum class SourceEncoding { kCp932, kUtf8, kUtf16LE, kUtf16BE };

// "cp932", "utf-8", "utf-16le", "utf-16be".
[[nodiscard]] std::string_view EncodingCode(SourceEncoding encoding);

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
inline constexpr std::string_view kUtf16LEByteOrderMark = "\xFF\xFE";
inline constexpr std::string_view kUtf16BEByteOrderMark = "\xFE\xFF";

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
    // Characters of scripts that chart text does not use (IsChartScript):
    // what Shift-JIS read as UTF-8 turns into ("箏・" is U+2D41, Tifinagh).
    [[nodiscard]] std::size_t ForeignCharacters() const { return foreign_; }
    // Whether two characters of three or more bytes came one right after the
    // other: Japanese words do in UTF-8, while Shift-JIS that passes for UTF-8
    // gives such characters one at a time, each from a kanji and the byte
    // after it.
    [[nodiscard]] bool HasLongRun() const { return long_run_; }
    // When not valid: the offset of the byte that made it so, from the first
    // byte fed.
    [[nodiscard]] std::size_t InvalidAt() const { return invalid_at_; }

private:
    void Invalid(std::size_t at);

    bool valid_ = true;
    bool long_sequence_ = false;
    int pending_ = 0;  // continuation bytes still expected
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
    char32_t code_ = 0;  // of the character being read
    std::size_t foreign_ = 0;
    bool long_run_ = false;
    std::size_t long_end_ = static_cast<std::size_t>(-1);  // just past the last long character
    std::size_t fed_ = 0;
    std::size_t lead_at_ = 0;  // of the character being read
    std::size_t invalid_at_ = 0;
};

// Whether a character belongs to the scripts of chart text: Latin, kana,
// kanji, punctuation, symbols and emoji, and the Greek and Cyrillic letters
// that code page 932 holds. Hangul, Tifinagh, the scripts of India, private
// use and the like do not.
[[nodiscard]] bool IsChartScript(char32_t code);

// Reads bytes as code page 932 as they come, in pieces cut anywhere, and
// counts what no code page 932 text holds: a byte that begins no character,
// a lead byte without its second byte, and codes that are unassigned or
// user-defined (F040 to F9FC).
class Cp932Scan {
public:
    void Feed(std::string_view bytes);
    // The input is complete: a lead byte at its end has no second byte.
    void End();

    [[nodiscard]] std::size_t OddCodes() const { return odd_; }

private:
    unsigned char lead_ = 0;  // a lead byte waiting for its second byte
    std::size_t odd_ = 0;
};

// Whether text of both scans (fed the same bytes) is UTF-8 rather than code
// page 932: valid UTF-8 holding a character of three or more bytes, whose
// characters outside the scripts of chart text are fewer than the codes of
// its code page 932 reading that no text holds; when neither reading has
// any, UTF-8 that holds two long characters in a row. Shift-JIS that is also
// valid UTF-8 reads without such codes; UTF-8 of three-byte characters read
// as code page 932 seldom gets far without one.
[[nodiscard]] bool ReadsAsUtf8(const Utf8Scan& utf8, const Cp932Scan& cp932);

// A UTF-16 source (without its byte-order mark, which it may begin with)
// read as lines of UTF-8, split at CR, LF and CR LF as any source. Reads the
// bytes of `raw`, which it borrows.
class Utf16Lines final : public LineSource {
public:
    Utf16Lines(LineSource& raw, bool big_endian) : raw_(raw), big_endian_(big_endian) {}

    [[nodiscard]] bool ReadNextLine(std::string& line) override;
    void RewindSource() override;

private:
    bool Fill();  // decodes the next bytes into text_; false at the end

    LineSource& raw_;
    bool big_endian_;
    bool started_ = false;
    bool ended_ = false;
    std::string bytes_;  // undecoded rest: an odd byte, half a surrogate pair
    std::string text_;   // decoded, not yet handed out
    std::size_t at_ = 0;  // in text_
    bool after_cr_ = false;
};

// A UTF-16 source of its own: Utf16Lines over `raw`, which it owns.
[[nodiscard]] std::unique_ptr<LineSource> MakeUtf16Source(std::unique_ptr<LineSource> raw, bool big_endian);

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
