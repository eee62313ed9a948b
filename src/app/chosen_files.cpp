#include "app/chosen_files.hpp"

#include <system_error>

#include "batch/sources.hpp"

namespace torvane {

namespace fs = std::filesystem;

ChosenFiles SortDroppedFiles(Conversion conversion, const std::vector<fs::path>& paths) {
    ChosenFiles dropped;
    for (const auto& path : paths) {
        std::error_code ec;
        if (fs::is_directory(path, ec) || IsSourceOf(conversion, path)) {
            dropped.arguments.push_back(path);
        } else {
            dropped.other_files.push_back(path);
        }
    }
    return dropped;
}

bool MightTakeDrop(Conversion conversion, const std::vector<fs::path>& paths) {
    for (const auto& path : paths) {
        std::error_code ec;
        if (IsSourceOf(conversion, path) || fs::is_directory(path, ec)) return true;
    }
    return false;
}

}  // namespace torvane
