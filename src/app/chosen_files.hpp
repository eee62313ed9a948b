#pragma once
// The files that a batch is given: those chosen in the file dialog, or the
// sources of the button's format among the files and inside the folders
// dropped onto it.

#include <filesystem>
#include <vector>

#include "batch/conversions.hpp"

namespace torvane {

struct ChosenFiles {
    // What the batch is planned over, in order: the chosen files, or the
    // dropped files of the button's format and the dropped folders, which the
    // plan walks.
    std::vector<std::filesystem::path> arguments;
    // Dropped files of another format, in the order of the drop; the file
    // dialog gives none.
    std::vector<std::filesystem::path> other_files;
};

// Sorts dropped files and folders in the order of the drop; folders are
// walked later, by the plan.
[[nodiscard]] ChosenFiles SortDroppedFiles(Conversion conversion, const std::vector<std::filesystem::path>& paths);

// Whether a drag of `paths` holds anything the conversion might take: a file
// of its format or a folder. Folders are not walked here, while the pointer moves.
[[nodiscard]] bool MightTakeDrop(Conversion conversion, const std::vector<std::filesystem::path>& paths);

}  // namespace torvane
