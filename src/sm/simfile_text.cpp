#include "sm/simfile_text.hpp"

#include <algorithm>
#include <cmath>
#include <charconv>

#include "text/note_codes.hpp"
#include "text/sjis.hpp"

namespace torvane {

std::string EscapeSimfileValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 8);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        // Every "/" that another follows is escaped, so that "///" leaves no
        // "//" behind either: "\/\//".
        if (c == '\\' || c == ':' || c == ';' || (c == '/' && i + 1 < value.size() && value[i + 1] == '/')) {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

std::string SimfileText(std::string_view cp932, std::string_view tag, ErrorList& errors) {
    std::string utf8 = Cp932ToUtf8(cp932);
    // The converter puts "?" for every sequence that is not code page 932 and
    // no valid character becomes "?", so more of them means a bad byte.
    if (std::count(utf8.begin(), utf8.end(), '?') > std::count(cp932.begin(), cp932.end(), '?')) {
        std::string value(tag);
        value.append(cp932);
        errors.AddNote(note::kTextNotCp932, {}, value);
    }
    return utf8;
}

std::string_view MusicNameOf(std::string_view file_value) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < file_value.size();) {
        const std::size_t length = SjisCharacterLength(file_value, i);
        if (length == 1 && (file_value[i] == '\\' || file_value[i] == '/')) start = i + 1;
        i += length;
    }
    return file_value.substr(start);
}

std::string FormatSixDecimals(double value) {
    // A double has at most 309 digits before its point.
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    std::string out(text, result.ptr);
    if (out == "-0.000000") out.erase(0, 1);
    return out;
}

}  // namespace torvane
