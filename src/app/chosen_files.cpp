#include "app/chosen_files.hpp"

#include <system_error>

#include "batch/sources.hpp"

namespace torvane {

namespace fs = std::filesystem;

ChosenFiles SortDroppedFiles(Conversion conversion, const std::vector<fs::path>& paths) {
    ChosenFiles dropped;
    for (const auto& path : paths) {
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            const auto found = FindSources(conversion, path);
            if (found.empty()) dropped.folders_without_sources.push_back(path);
            for (const auto& file : found) dropped.sources.push_back({file, file.parent_path().lexically_relative(path)});
        } else if (IsSourceOf(conversion, path)) {
            dropped.sources.push_back({path, {}});
        } else {
            dropped.other_files.push_back(path);
        }
    }
    // lexically_relative gives "." for the folder itself.
    for (auto& source : dropped.sources) {
        if (source.subfolder == ".") source.subfolder.clear();
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
