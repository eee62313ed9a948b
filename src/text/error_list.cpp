#include "text/error_list.hpp"

#include "text/line_io.hpp"

namespace torvane {

void ErrorList::Add(std::string_view file_name, std::string_view message, std::string_view text) {
    std::string line;
    line.reserve(file_name.size() + message.size() + text.size());
    line.append(file_name).append(message).append(text);
    lines_.push_back(std::move(line));
}

void ErrorList::SaveTo(const std::filesystem::path& file) const {
    auto out = DiskStorage().CreateDestination(file, {});
    for (const auto& line : lines_) out->WriteLine(line);
    out->Commit();
}

}  // namespace torvane
