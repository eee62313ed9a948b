#include "app/batch_run.hpp"

#include <vector>

#include "app/failure_text.hpp"

namespace torvane {

void TakeFileResult(const BatchPlan& plan, const FileResult& result, ErrorList& errors,
                    WindowBatchOutcome& outcome) {
    // Lines the file gave before it failed come first, as they were found.
    for (const auto& line : result.error_lines) errors.Add(line);
    if (result.status != FileStatus::kFailed) return;
    if (result.problem == PlanProblem::kSameDestination) {
        const std::filesystem::path& destination = plan.files[result.index].destination;
        errors.Add(PlainErrorLine(SameDestinationLine(result.source, result.other_source, destination, outcome.base)));
        outcome.failed << SameDestinationText(result.source, result.other_source, destination, outcome.base);
        return;
    }
    const ConversionError error = result.failure != nullptr
                                      ? *result.failure
                                      : ConversionError(Failure::kInternal, result.source, "", "no reason given");
    errors.Add(PlainErrorLine(FailedFileLine(result.source, error, outcome.base)));
    outcome.failed << FailedFileText(result.source, error, outcome.base);
}

std::vector<std::filesystem::path> TakeFoldersWithoutSources(BatchPlan& plan) {
    std::vector<std::filesystem::path> folders;
    for (const auto& file : plan.files) {
        if (file.problem == PlanProblem::kNoSourceInFolder) folders.push_back(file.source);
    }
    std::erase_if(plan.files, [](const PlannedFile& file) { return file.problem == PlanProblem::kNoSourceInFolder; });
    return folders;
}

}  // namespace torvane
