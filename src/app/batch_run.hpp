#pragma once
// The window's side of a batch that the shared runner converts: what the
// window keeps of each file's result for its notice and "ErrLog.txt".

#include <QStringList>

#include <cstddef>
#include <filesystem>
#include <vector>

#include "batch/plan.hpp"
#include "batch/runner.hpp"
#include "text/error_list.hpp"

namespace torvane {

struct WindowBatchOutcome {
    // The notice's line of each file that was not converted (failed, or
    // writing the destination of an earlier source), in the batch's order.
    QStringList failed;
    // Files that a cancel left alone, the last ones of the batch.
    std::size_t not_started = 0;
    std::size_t converted = 0;
    // The deepest folder that holds every source: failed files are named from there.
    std::filesystem::path base;
    // What a drop held that the batch passed over: files of another format,
    // and folders without a source of the conversion.
    std::vector<std::filesystem::path> other_files;
    std::vector<std::filesystem::path> folders_without_sources;
};

// Takes one file's result, in the batch's order: its error lines, and for a
// file that was not converted one line more, go to `errors`; its notice line
// to `outcome`, the file named from `outcome.base`. Safe on any thread that owns `errors` and `outcome` for the batch.
void TakeFileResult(const BatchPlan& plan, const FileResult& result, ErrorList& errors,
                    WindowBatchOutcome& outcome);

// Takes the folders that hold no source of the plan's conversion out of
// `plan`, for the notice to name; the runner is given files only.
[[nodiscard]] std::vector<std::filesystem::path> TakeFoldersWithoutSources(BatchPlan& plan);

}  // namespace torvane
