#include "text/error_list.hpp"

#include "text/line_io.hpp"

namespace torvane {

void ErrorList::Add(std::string_view file_name, std::string_view message, std::string_view text) {
    std::string line;
    line.reserve(file_name.size() + message.size() + text.size());
    line.append(file_name).append(message).append(text);
    lines_.push_back(std::move(line));
}

void ErrorList::AddNote(std::string_view code, std::string_view chart, std::string_view value) {
    notes_.push_back(Note{std::string(code), std::string(chart), std::string(value)});
}

void ErrorList::SaveTo(const std::filesystem::path& file) const {
    auto out = DiskStorage().CreateDestination(file, {});
    for (const auto& line : lines_) out->WriteLine(line);
    out->Commit();
}

}  // namespace torvane
