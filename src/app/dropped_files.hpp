#pragma once
// What a drop onto a conversion's button gives that conversion: the sources
// of its format among the dropped files and inside the dropped folders.

#include <filesystem>
#include <vector>

#include "batch/conversions.hpp"

namespace torvane {

struct DroppedSource {
    std::filesystem::path file;
    // Where it lies below the dropped folder it was found in; empty for a
    // dropped file. A chosen destination folder repeats this tree, so that
    // two songs of one name in two folders do not overwrite each other.
    std::filesystem::path subfolder;
};

struct DroppedFiles {
    std::vector<DroppedSource> sources;
    // Dropped files of another format, and dropped folders without a source,
    // in the order of the drop.
    std::vector<std::filesystem::path> other_files;
    std::vector<std::filesystem::path> folders_without_sources;
};

// Dropped files are taken in the order of the drop; a folder gives its
// sources as FindSources walks it.
[[nodiscard]] DroppedFiles SortDroppedFiles(Conversion conversion, const std::vector<std::filesystem::path>& paths);

// Whether a drag of `paths` holds anything the conversion might take: a file
// of its format or a folder. Folders are not walked here, while the pointer moves.
[[nodiscard]] bool MightTakeDrop(Conversion conversion, const std::vector<std::filesystem::path>& paths);

}  // namespace torvane
