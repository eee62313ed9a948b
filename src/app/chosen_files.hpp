#pragma once
// The files that a batch is given: those chosen in the file dialog, or the
// sources of the button's format among the files and inside the folders
// dropped onto it.

#include <filesystem>
#include <vector>

#include "batch/conversions.hpp"

namespace torvane {

struct ChosenSource {
    std::filesystem::path file;
    // Where it lies below the dropped folder it was found in; empty for a
    // file chosen or dropped itself. A chosen destination folder repeats this tree, so that
    // two songs of one name in two folders do not overwrite each other.
    std::filesystem::path subfolder;
};

struct ChosenFiles {
    std::vector<ChosenSource> sources;
    // Dropped files of another format, and dropped folders without a source,
    // in the order of the drop; the file dialog gives none.
    std::vector<std::filesystem::path> other_files;
    std::vector<std::filesystem::path> folders_without_sources;
};

// Dropped files are taken in the order of the drop; a folder gives its
// sources as FindSources walks it.
[[nodiscard]] ChosenFiles SortDroppedFiles(Conversion conversion, const std::vector<std::filesystem::path>& paths);

// Whether a drag of `paths` holds anything the conversion might take: a file
// of its format or a folder. Folders are not walked here, while the pointer moves.
[[nodiscard]] bool MightTakeDrop(Conversion conversion, const std::vector<std::filesystem::path>& paths);

}  // namespace torvane
