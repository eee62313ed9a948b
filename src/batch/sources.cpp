#include "batch/sources.hpp"

#include <algorithm>
#include <system_error>

namespace torvane {

namespace fs = std::filesystem;

std::string_view SourceExtension(Conversion conversion) {
    switch (conversion) {
        case Conversion::kd2r2MSD: return ".d2r";
        case Conversion::kddr2MSD: return ".ddr";
        case Conversion::kMSD2d2r:
        case Conversion::kMSD2ddr: break;
    }
    return ".msd";
}

bool IsSourceOf(Conversion conversion, const fs::path& file) {
    const std::string extension = file.extension().string();
    const std::string_view wanted = SourceExtension(conversion);
    return std::equal(extension.begin(), extension.end(), wanted.begin(), wanted.end(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

std::vector<fs::path> FindSources(Conversion conversion, const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        if (entry.path().filename().string().starts_with('.')) {
            if (entry.is_directory(ec) && !entry.is_symlink(ec)) it.disable_recursion_pending();
            continue;
        }
        // A link to a folder is not a folder to walk; a link to a file is a file.
        if (entry.is_symlink(ec) && entry.is_directory(ec)) continue;
        if (entry.is_regular_file(ec) && IsSourceOf(conversion, entry.path())) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end(),
              [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
    return found;
}

}  // namespace torvane
