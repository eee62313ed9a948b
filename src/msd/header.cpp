#include "msd/header.hpp"

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

}  // namespace

void TranslateHeaderLine(std::string_view key, std::size_t tag_length, std::string_view line, std::size_t trim,
                         std::string& result) {
    if (key == "#") {
        if (line == "PLAYER=1") {
            result = "#SINGLE";
        } else if (line == "PLAYER=2") {
            result = "#COUPLE";
        } else if (line == "PLAYER=3") {
            result = "#DOUBLE";
        }
        return;
    }
    std::string_view kept = line;
    for (std::size_t i = 0; i < trim && !kept.empty(); ++i) kept = WithoutLastCharacter(kept);
    const std::string_view value = kept.size() > tag_length ? kept.substr(tag_length) : std::string_view();
    result.assign(key);
    if (key == "SHORTCUT=") {
        result.append(ShortcutSoundName(value));
    } else {
        result.append(value);
    }
    if (trim == 0 && !key.empty()) result.push_back(';');
}

}  // namespace torvane
