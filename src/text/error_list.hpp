#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// The error lines of one batch, in the order they were found. A line is the
// source's name, the message and the offending text, joined with nothing
// between them, all as code page 932 bytes.
class ErrorList {
public:
    void Add(std::string_view file_name, std::string_view message, std::string_view text = {});

    [[nodiscard]] const std::vector<std::string>& Lines() const { return lines_; }
    [[nodiscard]] bool Empty() const { return lines_.empty(); }
    [[nodiscard]] std::size_t Size() const { return lines_.size(); }
    void Clear() { lines_.clear(); }

    // Writes every line ended by CR LF, replacing the file safely.
    void SaveTo(const std::filesystem::path& file) const;

private:
    std::vector<std::string> lines_;
};

}  // namespace torvane
