#include "text/encoding.hpp"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace torvane {
namespace {

// Whether the 8 bytes from `p` are all ASCII.
bool AsciiWord(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
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

void Utf8Scan::Feed(std::string_view bytes) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (valid_ && p != end) {
        if (pending_ == 0) {
            // Charts are mostly ASCII.
            while (end - p >= 8 && AsciiWord(p)) p += 8;
            if (p == end) break;
            const auto lead = static_cast<unsigned char>(*p++);
            if (lead < 0x80) continue;
            const std::size_t length = SequenceLength(lead);
            if (length == 0) {
                valid_ = false;
                break;
            }
            pending_ = static_cast<int>(length) - 1;
            if (length >= 3) long_sequence_ = true;
            // The second byte's range rules out overlong forms, surrogates
            // and code points past U+10FFFF.
            low_ = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
            high_ = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
            continue;
        }
        const auto c = static_cast<unsigned char>(*p++);
        if (c < low_ || c > high_) {
            valid_ = false;
            break;
        }
        --pending_;
        low_ = 0x80;
        high_ = 0xBF;
    }
}

void Utf8Scan::End() {
    if (pending_ != 0) valid_ = false;
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

    bool ReadLine(std::string& line) override {
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

    void Rewind() override {
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

}  // namespace torvane
