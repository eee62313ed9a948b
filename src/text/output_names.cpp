#include "text/output_names.hpp"

#include <string>

namespace torvane {

std::filesystem::path ReplaceExtension(const std::filesystem::path& name, std::string_view extension) {
    std::string file = name.filename().string();
    const auto dot = file.rfind('.');
    if (dot != std::string::npos) file.erase(dot);
    file.append(extension);
    return name.parent_path() / file;
}

}  // namespace torvane
