#include "text/encoding.hpp"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvane {
namespace {

// Whether the 8 bytes from `p` are all ASCII.
bool AsciiWord(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

// Past the ASCII bytes from `p`, as far as whole words of them go: charts
// are mostly ASCII, and both scans pass over all of it.
const char* SkipAscii(const char* p, const char* end) {
#if defined(__SSE2__)
    while (end - p >= 16 && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) == 0) p += 16;
#endif
    while (end - p >= 8 && AsciiWord(p)) p += 8;
    return p;
}

// The length of the UTF-8 sequence that `lead` begins, 0 when it begins none.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

bool IsChartScript(char32_t code) {
    struct Range {
        char32_t first;
        char32_t last;
    };
    // In order of code points.
    static constexpr Range kRanges[] = {
        {0x0000, 0x007F},    // ASCII
        {0x00A0, 0x04FF},    // Latin-1, Latin Extended A and B, IPA, modifiers, combining marks, and the
                             // Greek and Cyrillic of code page 932
        {0x1E00, 0x1EFF},    // Latin Extended Additional
        {0x2000, 0x2BFF},    // punctuation, currency, letterlike, arrows, maths, technical, boxes, shapes,
                             // symbols, dingbats
        {0x2E80, 0x2FDF},    // CJK and Kangxi radicals
        {0x3000, 0x30FF},    // CJK punctuation, hiragana, katakana
        {0x3190, 0x319F},    // kanbun
        {0x31C0, 0x31FF},    // CJK strokes, katakana extension
        {0x3200, 0x9FFF},    // enclosed CJK, CJK compatibility, kanji
        {0xF900, 0xFAFF},    // CJK compatibility ideographs
        {0xFB00, 0xFB06},    // Latin ligatures
        {0xFE00, 0xFE6F},    // variation selectors, vertical and small forms
        {0xFEFF, 0xFEFF},    // the byte-order mark
        {0xFF00, 0xFFEF},    // half-width and full-width forms
        {0x1D400, 0x1D7FF},  // mathematical letters
        {0x1F000, 0x1FAFF},  // game symbols, enclosed forms, pictographs, emoji
        {0x20000, 0x3FFFF},  // kanji of the supplementary planes
        {0xE0000, 0xE01EF},  // tags and variation selectors of emoji
    };
    for (const Range& range : kRanges) {
        if (code < range.first) return false;
        if (code <= range.last) return true;
    }
    return false;
}

void Utf8Scan::Invalid(std::size_t at) {
    valid_ = false;
    invalid_at_ = at;
}

void Utf8Scan::Feed(std::string_view bytes) {
    const char* const begin = bytes.data();
    const char* p = begin;
    const char* const end = p + bytes.size();
    while (valid_ && p != end) {
        if (pending_ == 0) {
            // Charts are mostly ASCII.
            p = SkipAscii(p, end);
            if (p == end) break;
            const auto lead = static_cast<unsigned char>(*p++);
            if (lead < 0x80) continue;
            const std::size_t length = SequenceLength(lead);
            if (length == 0) {
                Invalid(fed_ + static_cast<std::size_t>(p - begin) - 1);
                break;
            }
            lead_at_ = fed_ + static_cast<std::size_t>(p - begin) - 1;
            pending_ = static_cast<int>(length) - 1;
            if (length >= 3) long_sequence_ = true;
            code_ = lead & (0x7F >> length);
            // The second byte's range rules out overlong forms, surrogates
            // and code points past U+10FFFF.
            low_ = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
            high_ = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
            continue;
        }
        const auto c = static_cast<unsigned char>(*p++);
        if (c < low_ || c > high_) {
            Invalid(fed_ + static_cast<std::size_t>(p - begin) - 1);
            break;
        }
        code_ = (code_ << 6) | (c & 0x3F);
        if (--pending_ == 0) {
            if (!IsChartScript(code_)) ++foreign_;
            if (code_ >= 0x800) {
                if (lead_at_ == long_end_) long_run_ = true;
                long_end_ = fed_ + static_cast<std::size_t>(p - begin);
            }
        }
        low_ = 0x80;
        high_ = 0xBF;
    }
    fed_ += bytes.size();
}

void Utf8Scan::End() {
    if (valid_ && pending_ != 0) Invalid(lead_at_);
}

namespace {

// Which two-byte codes of code page 932 are characters, as iconv knows them;
// the user-defined codes, which iconv gives private-use code points, are not.
const std::vector<bool>& Cp932Assigned() {
    static const std::vector<bool> assigned = [] {
        std::vector<bool> table(0x10000, false);
        iconv_t cd = iconv_open("UTF-16LE", "CP932");
        if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert from CP932");
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0) continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F) continue;
                char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char out[8];
                char* in_p = in;
                char* out_p = out;
                std::size_t in_left = 2;
                std::size_t out_left = sizeof out;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                if (iconv(cd, &in_p, &in_left, &out_p, &out_left) == static_cast<std::size_t>(-1) || in_left != 0 ||
                    out_p - out != 2) {
                    continue;
                }
                const unsigned code = static_cast<unsigned char>(out[0]) | (static_cast<unsigned char>(out[1]) << 8);
                table[(lead << 8) | trail] = code < 0xE000 || code > 0xF8FF;
            }
        }
        iconv_close(cd);
        return table;
    }();
    return assigned;
}

bool IsCp932Lead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0; }

}  // namespace

void Cp932Scan::Feed(std::string_view bytes) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p != end) {
        if (lead_ == 0) {
            p = SkipAscii(p, end);
            if (p == end) break;
        }
        const auto byte = static_cast<unsigned char>(*p);
        if (lead_ != 0) {
            const bool trail = byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
            // The table of assigned codes is made the first time a text has
            // a double-byte character: most charts have none.
            if (!trail || !Cp932Assigned()[(static_cast<unsigned>(lead_) << 8) | byte]) ++odd_;
            lead_ = 0;
            // A byte that cannot end the character may begin the next.
            if (trail) ++p;
            continue;
        }
        ++p;
        if (byte < 0x80 || (byte >= 0xA1 && byte <= 0xDF)) continue;
        if (IsCp932Lead(byte) && byte <= 0xFC) {
            lead_ = byte;
        } else {
            ++odd_;  // 80, A0, FD to FF
        }
    }
}

void Cp932Scan::End() {
    if (lead_ != 0) ++odd_;
    lead_ = 0;
}

bool ReadsAsUtf8(const Utf8Scan& utf8, const Cp932Scan& cp932) {
    if (!utf8.Valid() || !utf8.HasLongSequence()) return false;
    if (utf8.ForeignCharacters() == 0 && cp932.OddCodes() == 0) return utf8.HasLongRun();
    return utf8.ForeignCharacters() < cp932.OddCodes();
}

std::string_view EncodingCode(SourceEncoding encoding) {
    switch (encoding) {
        case SourceEncoding::kCp932: return "cp932";
        case SourceEncoding::kUtf8: return "utf-8";
        case SourceEncoding::kUtf16LE: return "utf-16le";
        case SourceEncoding::kUtf16BE: return "utf-16be";
    }
    return "cp932";
}

std::string CodePointName(std::string_view utf8_character) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8_character[i]); };
    const std::size_t length = utf8_character.empty() ? 0 : SequenceLength(byte(0));
    char name[16];
    if (length < 2 || utf8_character.size() < length) {
        // Not UTF-8: the byte itself.
        std::snprintf(name, sizeof name, "0x%02X", utf8_character.empty() ? 0u : byte(0));
        return name;
    }
    std::uint32_t code = byte(0) & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (byte(i) & 0x3F);
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
    return name;
}

Utf8ToCp932Lines::Utf8ToCp932Lines() {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert from UTF-8 to CP932");
    cd_ = cd;
}

Utf8ToCp932Lines::~Utf8ToCp932Lines() { iconv_close(static_cast<iconv_t>(cd_)); }

void Utf8ToCp932Lines::Convert(std::string_view utf8, std::string& cp932,
                               const std::function<void(std::string_view)>& unconvertible) {
    cp932.clear();
    auto* const cd = static_cast<iconv_t>(cd_);
    // Code page 932 never takes more bytes than UTF-8 for a character.
    cp932.resize(utf8.size() + 8);
    char* in = const_cast<char*>(utf8.data());
    std::size_t in_left = utf8.size();
    char* out = cp932.data();
    std::size_t out_left = cp932.size();
    while (in_left > 0) {
        if (iconv(cd, &in, &in_left, &out, &out_left) != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            const auto used = static_cast<std::size_t>(out - cp932.data());
            cp932.resize(cp932.size() * 2);
            out = cp932.data() + used;
            out_left = cp932.size() - used;
            continue;
        }
        // EILSEQ or EINVAL: one character is "?", whatever its length.
        std::size_t skip = SequenceLength(static_cast<unsigned char>(*in));
        if (skip == 0) skip = 1;
        skip = std::min(skip, in_left);
        for (std::size_t k = 1; k < skip; ++k) {
            if ((static_cast<unsigned char>(in[k]) & 0xC0) != 0x80) {
                skip = k;
                break;
            }
        }
        unconvertible(std::string_view(in, skip));
        if (out_left == 0) {
            const auto used = static_cast<std::size_t>(out - cp932.data());
            cp932.resize(cp932.size() * 2);
            out = cp932.data() + used;
            out_left = cp932.size() - used;
        }
        *out++ = '?';
        --out_left;
        in += skip;
        in_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    cp932.resize(static_cast<std::size_t>(out - cp932.data()));
}

namespace {

class Utf8Source final : public LineSource {
public:
    Utf8Source(std::unique_ptr<LineSource> source, std::function<void(std::string_view)> unconvertible)
        : source_(std::move(source)), unconvertible_(std::move(unconvertible)) {}

    bool ReadNextLine(std::string& line) override {
        if (!source_->ReadLine(utf8_)) return false;
        std::string_view text = utf8_;
        if (line_number_ == 0 && text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
        const bool first_reading = line_number_ >= lines_read_;
        ++line_number_;
        if (first_reading) lines_read_ = line_number_;
        // Most lines of a chart are ASCII, the same in both encodings.
        if (IsAscii(text)) {
            line.assign(text);
            return true;
        }
        converter_.Convert(text, line, first_reading ? unconvertible_ : ignore_);
        return true;
    }

    void RewindSource() override {
        source_->Rewind();
        line_number_ = 0;
    }

private:
    static bool IsAscii(std::string_view text) {
        std::size_t i = 0;
        for (; i + 8 <= text.size(); i += 8) {
            if (!AsciiWord(text.data() + i)) return false;
        }
        for (; i < text.size(); ++i) {
            if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
        }
        return true;
    }

    std::unique_ptr<LineSource> source_;
    std::function<void(std::string_view)> unconvertible_;
    std::function<void(std::string_view)> ignore_ = [](std::string_view) {};
    Utf8ToCp932Lines converter_;
    std::string utf8_;
    std::size_t line_number_ = 0;  // lines read since the last rewind
    std::size_t lines_read_ = 0;   // the most lines read in any one reading
};

}  // namespace

std::unique_ptr<LineSource> MakeUtf8Source(std::unique_ptr<LineSource> source,
                                           std::function<void(std::string_view character)> unconvertible) {
    return std::make_unique<Utf8Source>(std::move(source), std::move(unconvertible));
}

namespace {

void AppendUtf8(char32_t code, std::string& text) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

bool Utf16Lines::Fill() {
    if (ended_) return false;
    char buffer[64 * 1024];
    const std::size_t n = raw_.ReadBytes(buffer, sizeof buffer);
    if (n == 0) {
        ended_ = true;
        // An odd byte or half a surrogate pair at the end.
        if (!bytes_.empty()) AppendUtf8(kReplacement, text_);
        bytes_.clear();
        return !text_.empty();
    }
    bytes_.append(buffer, n);
    std::size_t i = 0;
    if (!started_ && bytes_.size() >= 2) {
        started_ = true;
        const std::string_view mark = big_endian_ ? kUtf16BEByteOrderMark : kUtf16LEByteOrderMark;
        if (std::string_view(bytes_).starts_with(mark)) i = 2;
    }
    const auto unit = [&](std::size_t at) {
        const auto a = static_cast<unsigned char>(bytes_[at]);
        const auto b = static_cast<unsigned char>(bytes_[at + 1]);
        return static_cast<char32_t>(big_endian_ ? (a << 8) | b : (b << 8) | a);
    };
    text_.erase(0, at_);
    at_ = 0;
    for (; i + 2 <= bytes_.size(); i += 2) {
        const char32_t first = unit(i);
        if (first < 0xD800 || first > 0xDFFF) {
            AppendUtf8(first, text_);
            continue;
        }
        if (first >= 0xDC00) {
            AppendUtf8(kReplacement, text_);
            continue;
        }
        if (i + 4 > bytes_.size()) break;  // the pair's second half is still to come
        const char32_t second = unit(i + 2);
        if (second < 0xDC00 || second > 0xDFFF) {
            AppendUtf8(kReplacement, text_);
            continue;
        }
        AppendUtf8(0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00), text_);
        i += 2;
    }
    bytes_.erase(0, i);
    return true;
}

bool Utf16Lines::ReadNextLine(std::string& line) {
    line.clear();
    for (;;) {
        if (after_cr_ && at_ < text_.size()) {
            after_cr_ = false;
            if (text_[at_] == '\n') ++at_;
        }
        const std::size_t end = text_.find_first_of("\r\n", at_);
        if (end != std::string::npos) {
            line.assign(text_, at_, end - at_);
            at_ = end + 1;
            if (text_[end] == '\r') after_cr_ = true;
            return true;
        }
        if (!Fill()) {
            if (at_ >= text_.size()) return false;
            line.assign(text_, at_);
            at_ = text_.size();
            return true;
        }
    }
}

void Utf16Lines::RewindSource() {
    raw_.Rewind();
    started_ = false;
    ended_ = false;
    bytes_.clear();
    text_.clear();
    at_ = 0;
    after_cr_ = false;
}

namespace {

class Utf16Source final : public LineSource {
public:
    Utf16Source(std::unique_ptr<LineSource> raw, bool big_endian)
        : raw_(std::move(raw)), lines_(*raw_, big_endian) {}

    bool ReadNextLine(std::string& line) override { return lines_.ReadLine(line); }
    void RewindSource() override { lines_.Rewind(); }

private:
    std::unique_ptr<LineSource> raw_;
    Utf16Lines lines_;
};

}  // namespace

std::unique_ptr<LineSource> MakeUtf16Source(std::unique_ptr<LineSource> raw, bool big_endian) {
    return std::make_unique<Utf16Source>(std::move(raw), big_endian);
}

}  // namespace torvane
