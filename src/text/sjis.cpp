#include "text/sjis.hpp"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace torvane {
namespace {

// Converts with iconv, putting `replacement` for every character that cannot
// be converted or is not valid input, and going on after it.
std::string ConvertWithReplacement(const char* to, const char* from, std::string_view input,
                                   std::string_view replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    std::string out;
    out.reserve(input.size() * 3 / 2 + 8);
    char buffer[4096];
    char* in = const_cast<char*>(input.data());
    std::size_t in_left = input.size();
    while (in_left > 0) {
        char* dst = buffer;
        std::size_t dst_left = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &in_left, &dst, &dst_left);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ: not convertible; EINVAL: cut off at the end. Replace one
        // input character: for UTF-8 input skip its continuation bytes.
        out.append(replacement);
        std::size_t skip = 1;
        if (std::string_view(from) == "UTF-8") {
            while (skip < in_left && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
        } else if (IsSjisLeadByte(static_cast<unsigned char>(in[0])) && in_left > 1) {
            skip = 2;
        }
        in += skip;
        in_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dst_left);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    iconv_close(cd);
    return out;
}

}  // namespace

std::string_view WithoutLastCharacter(std::string_view text) {
    if (text.empty()) return text;
    // A last byte that cannot end a double-byte character ends a character of
    // its own: the ";" of nearly every line.
    if (!IsSjisTrailByte(static_cast<unsigned char>(text.back()))) return text.substr(0, text.size() - 1);
    std::size_t last = 0;
    for (std::size_t i = 0; i < text.size(); i += SjisCharacterLength(text, i)) last = i;
    return text.substr(0, last);
}

std::string Utf8ToCp932(std::string_view utf8) {
    return ConvertWithReplacement("CP932", "UTF-8", utf8, "?");
}

std::string Cp932ToUtf8(std::string_view cp932) {
    return ConvertWithReplacement("UTF-8", "CP932", cp932, "?");
}

namespace {

bool IsUtf8(std::string_view text) {
    iconv_t cd = iconv_open("UTF-8", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return true;
    char* in = const_cast<char*>(text.data());
    std::size_t in_left = text.size();
    char buffer[256];
    bool valid = true;
    while (in_left > 0 && valid) {
        char* out = buffer;
        std::size_t out_left = sizeof buffer;
        if (iconv(cd, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1) && errno != E2BIG) {
            valid = false;
        }
    }
    iconv_close(cd);
    return valid;
}

}  // namespace

std::string FileNameForErrorLine(const std::filesystem::path& source) {
    const std::string name = source.filename().string();
    return IsUtf8(name) ? Utf8ToCp932(name) : name;
}

}  // namespace torvane
