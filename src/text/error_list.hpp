#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// What a conversion could not carry over, or filled in by itself, though the
// chart is not at fault: the written tempo is a default, a level was cut, ...
// `code` is stable for scripts; `chart` names the chart as error lines do
// (code page 932, empty for the whole file); `value` is the datum the note is
// about (the level kept, the tempo found in a comment, ...), code page 932.
struct Note {
    std::string code;
    std::string chart;
    std::string value;

    friend bool operator==(const Note&, const Note&) = default;
};

// The error lines of one batch, in the order they were found. A line is the
// source's name, the message and the offending text, joined with nothing
// between them, all as code page 932 bytes. Beside them, the notes.
class ErrorList {
public:
    void Add(std::string_view file_name, std::string_view message, std::string_view text = {});
    void AddNote(std::string_view code, std::string_view chart = {}, std::string_view value = {});

    [[nodiscard]] const std::vector<Note>& Notes() const { return notes_; }

    [[nodiscard]] const std::vector<std::string>& Lines() const { return lines_; }
    [[nodiscard]] bool Empty() const { return lines_.empty(); }
    [[nodiscard]] std::size_t Size() const { return lines_.size(); }
    void Clear() {
        lines_.clear();
        notes_.clear();
    }

    // Writes every line ended by CR LF, replacing the file safely.
    void SaveTo(const std::filesystem::path& file) const;

private:
    std::vector<std::string> lines_;
    std::vector<Note> notes_;
};

}  // namespace torvane
