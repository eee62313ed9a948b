#include "app/batch_run.hpp"

namespace torvane {

BatchOutcome RunBatchFiles(const std::vector<BatchFile>& files, const ConvertFile& convert,
                           const FileStarting& starting, const FileFailed& failed) {
    BatchOutcome outcome;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (starting && !starting(i)) {
            outcome.not_started = files.size() - i;
            break;
        }
        try {
            convert(files[i]);
            ++outcome.converted;
        } catch (const ConversionError& error) {
            outcome.failed.push_back({files[i].source, error});
            if (failed) failed(outcome.failed.back());
        }
    }
    return outcome;
}

}  // namespace torvane
