#pragma once
// Stable codes for what reports say: the message of each error line, and the
// words for people beside each note code (text/note_codes.hpp).

#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// An error line taken apart: "song.msd：変換不能な脚符長さです(12345)" has the
// code "beat-group-length", the message "：変換不能な脚符長さです" and the text
// "(12345)". A line of no known message has the code "unknown", an empty
// message and the whole line after the file name as its text.
struct ErrorLineParts {
    std::string_view code;
    std::string_view message;  // code page 932
    std::string_view text;     // code page 932
};

// `file_name` is the name the line begins with (FileNameForErrorLine).
[[nodiscard]] ErrorLineParts SplitErrorLine(std::string_view line, std::string_view file_name);

struct CodeDescription {
    std::string_view code;
    std::string_view english;
    std::string_view japanese{};  // UTF-8; the notes' sentences for the window
};

// Every error line code with what its message says, in English.
[[nodiscard]] const std::vector<CodeDescription>& ErrorLineCodes();

// Every note code with what it says, in English.
[[nodiscard]] const std::vector<CodeDescription>& NoteCodes();

// The English words of a note code; empty for an unknown code.
[[nodiscard]] std::string_view NoteDescription(std::string_view code);
// The Japanese sentence of a note code, UTF-8; empty for an unknown code.
[[nodiscard]] std::string_view NoteDescriptionJapanese(std::string_view code);

}  // namespace torvane
