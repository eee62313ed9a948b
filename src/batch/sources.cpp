#include "batch/sources.hpp"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace torvane {

namespace fs = std::filesystem;

std::string_view SourceExtension(Conversion conversion) { return RowOf(RowOf(conversion).from).source_extension; }

bool IsSourceOf(Conversion conversion, const fs::path& file) {
    return FormatOfFile(file) == RowOf(conversion).from;
}

namespace {

bool IsSpecialFile(fs::file_type type) {
    return type == fs::file_type::fifo || type == fs::file_type::socket || type == fs::file_type::block ||
           type == fs::file_type::character;
}

// The type of an entry as its folder's listing gives it: only where the file
// system lists no types is the entry looked at.
fs::file_type ListedType(const fs::directory_entry& entry) {
    std::error_code ec;
    if (entry.is_symlink(ec)) return fs::file_type::symlink;
    if (ec) return fs::file_type::none;
    // Not a link: these read the listed type, or the entry's own.
    if (entry.is_directory(ec)) return fs::file_type::directory;
    if (entry.is_regular_file(ec)) return fs::file_type::regular;
    if (entry.is_fifo(ec)) return fs::file_type::fifo;
    if (entry.is_socket(ec)) return fs::file_type::socket;
    if (entry.is_block_file(ec)) return fs::file_type::block;
    if (entry.is_character_file(ec)) return fs::file_type::character;
    return ec ? fs::file_type::none : fs::file_type::unknown;
}

// One folder's entries, then each subfolder's; the whole is sorted at the end.
void Walk(std::span<const ChartFormat> formats, const fs::path& folder, std::vector<FoundSource>& found) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        found.push_back({folder, WalkProblem::kUnreadableFolder, ec.value()});
        return;
    }
    std::vector<fs::path> subfolders;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        if (entry.path().filename().string().starts_with('.')) continue;
        // No file is looked at but links.
        const fs::file_type type = ListedType(entry);
        if (type == fs::file_type::directory) {
            subfolders.push_back(entry.path());
            continue;
        }
        const auto format = FormatOfFile(entry.path());
        if (!format || std::find(formats.begin(), formats.end(), *format) == formats.end()) continue;
        if (type == fs::file_type::regular) {
            found.push_back({entry.path(), WalkProblem::kNone, 0});
        } else if (type == fs::file_type::symlink) {
            const FoundSource target = ExamineSource(entry.path());
            std::error_code ignored;
            // A link to a folder is not a folder to walk.
            if (target.problem == WalkProblem::kNone && fs::is_directory(entry.path(), ignored)) continue;
            found.push_back(target);
        } else if (IsSpecialFile(type)) {
            found.push_back({entry.path(), WalkProblem::kNotARegularFile, 0});
        }
    }
    // A folder whose listing broke off part of the way cannot be read whole.
    if (ec) found.push_back({folder, WalkProblem::kUnreadableFolder, ec.value()});
    for (const fs::path& subfolder : subfolders) Walk(formats, subfolder, found);
}

}  // namespace

FoundSource ExamineSource(const fs::path& source) {
    std::error_code ec;
    const fs::file_status status = fs::status(source, ec);
    if (ec) {
        if (ec.value() == ELOOP) return {source, WalkProblem::kBrokenLink, ec.value()};
        if (ec.value() == ENOENT && fs::is_symlink(fs::symlink_status(source, ec))) {
            return {source, WalkProblem::kBrokenLink, ENOENT};
        }
        return {source, WalkProblem::kNone, 0};
    }
    if (IsSpecialFile(status.type())) return {source, WalkProblem::kNotARegularFile, 0};
    return {source, WalkProblem::kNone, 0};
}

std::vector<FoundSource> WalkSources(Conversion conversion, const fs::path& folder) {
    const ChartFormat format = RowOf(conversion).from;
    return WalkSources(std::span(&format, 1), folder);
}

std::vector<FoundSource> WalkSources(std::span<const ChartFormat> formats, const fs::path& folder) {
    std::vector<FoundSource> found;
    Walk(formats, folder, found);
    std::sort(found.begin(), found.end(),
              [](const FoundSource& a, const FoundSource& b) { return a.path.native() < b.path.native(); });
    return found;
}

std::vector<fs::path> FindSources(Conversion conversion, const fs::path& folder) {
    std::vector<fs::path> sources;
    for (FoundSource& found : WalkSources(conversion, folder)) {
        if (found.problem == WalkProblem::kNone) sources.push_back(std::move(found.path));
    }
    return sources;
}

}  // namespace torvane
