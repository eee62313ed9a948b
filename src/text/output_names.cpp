#include "text/output_names.hpp"

#include <string>

#include "text/sjis.hpp"

namespace torvane {

std::filesystem::path ReplaceExtension(const std::filesystem::path& name, std::string_view extension) {
    std::string file = name.filename().string();
    const auto dot = file.rfind('.');
    if (dot != std::string::npos) file.erase(dot);
    file.append(extension);
    return name.parent_path() / file;
}

}  // namespace torvane

namespace torvane {
namespace {

// The length of the UTF-8 character at `i`, 0 when none begins there
// (overlong forms, surrogates and code points past U+10FFFF are none).
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    std::size_t length = 0;
    unsigned code = 0;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))) return 0;
    if (code >= 0xD800 && code <= 0xDFFF) return 0;
    return length;
}

bool IsUtf8Text(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

void AppendByte(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.append("\\x").push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 0x0F]);
}

// Appends the one-byte character `c`, escaped where it must be.
void AppendAscii(std::string& out, unsigned char c) {
    switch (c) {
        case '\\': out.append("\\\\"); return;
        case '\n': out.append("\\n"); return;
        case '\t': out.append("\\t"); return;
        case '\r': out.append("\\r"); return;
        default: break;
    }
    if (c < 0x20 || c == 0x7F) {
        AppendByte(out, c);
    } else {
        out.push_back(static_cast<char>(c));
    }
}

}  // namespace

std::string DisplayPath(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const bool utf8 = IsUtf8Text(bytes);
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            AppendAscii(out, c);
            ++i;
            continue;
        }
        if (utf8) {
            const std::size_t length = Utf8Length(bytes, i);
            // C1 control characters are escaped like the others.
            if (length == 2 && c == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0) {
                AppendByte(out, c);
                AppendByte(out, static_cast<unsigned char>(bytes[i + 1]));
            } else {
                out.append(bytes.substr(i, length));
            }
            i += length;
            continue;
        }
        const std::size_t length = SjisCharacterLength(bytes, i);
        const std::string_view character = bytes.substr(i, length);
        const bool cp932 = (length == 2 && IsSjisTrailByte(static_cast<unsigned char>(character[1]))) ||
                           (length == 1 && c >= 0xA1 && c <= 0xDF);
        const std::string decoded = cp932 ? Cp932ToUtf8(character) : std::string();
        if (!decoded.empty() && decoded != "?") {
            out.append(decoded);
            i += length;
        } else {
            AppendByte(out, c);
            ++i;
        }
    }
    return out;
}

}  // namespace torvane
