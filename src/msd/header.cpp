#include "msd/header.hpp"

#include "msd/styles.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

// The music file's name with its extension changed to "s.wav". Only a "."
// after the last folder separator starts an extension; a "\" that is the
// second byte of a double-byte character separates nothing.
std::string ShortcutSoundName(std::string_view value) {
    std::size_t last_separator = std::string_view::npos;
    std::size_t last_dot = std::string_view::npos;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (SjisCharacterLength(value, i) == 2) {
            ++i;
        } else if (c == '\\' || c == ':') {
            last_separator = i;
        } else if (c == '.') {
            last_dot = i;
        }
    }
    std::string name(value);
    if (last_dot != std::string_view::npos && (last_separator == std::string_view::npos || last_dot > last_separator)) {
        name.erase(last_dot);
    }
    name.append("s.wav");
    return name;
}

// `line` after its first `tag_length` bytes, without its last `trim`
// characters.
std::string_view ValueAfter(std::string_view line, std::size_t tag_length, std::size_t trim) {
    for (std::size_t i = 0; i < trim && !line.empty(); ++i) line = WithoutLastCharacter(line);
    return line.size() > tag_length ? line.substr(tag_length) : std::string_view();
}

}  // namespace

std::string_view MsdHeaderValue(std::string_view line, std::size_t tag_length) {
    return ValueAfter(line, tag_length, 1);
}

void TranslateHeaderLine(std::string_view key, std::size_t tag_length, std::string_view line, std::size_t trim,
                         std::string& result) {
    if (key == "#") {
        for (const StyleWords& style : kChartStyles) {
            if (line == style.d2r_player) result = style.MsdStyle();
        }
        return;
    }
    const std::string_view value = ValueAfter(line, tag_length, trim);
    result.assign(key);
    if (key == "SHORTCUT=") {
        result.append(ShortcutSoundName(value));
    } else {
        result.append(value);
    }
    if (trim == 0 && !key.empty()) result.push_back(';');
}

std::string HeaderLineFromMsd(const HeaderKey& row, std::string_view line) {
    std::string result;
    TranslateHeaderLine(row.key, row.msd_tag.size(), line, 1, result);
    return result;
}

std::string HeaderLineToMsd(const HeaderKey& row, std::string_view line) {
    std::string result;
    TranslateHeaderLine(row.msd_tag, row.key.size(), line, 0, result);
    return result;
}

}  // namespace torvane
