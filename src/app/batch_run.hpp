#pragma once
// The window's batch over its files, apart from any dialog: each file is
// converted in turn, a file that fails is recorded and the next one goes on,
// and the batch stops early only when asked to between two files.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <vector>

#include "text/conversion_error.hpp"

namespace torvane {

struct BatchFile {
    std::filesystem::path source;
    std::filesystem::path destination;
};

struct FailedFile {
    std::filesystem::path source;
    ConversionError error;
};

struct BatchOutcome {
    std::size_t converted = 0;
    std::vector<FailedFile> failed;
    // Files that a cancel left alone, the last ones of the list.
    std::size_t not_started = 0;
};

// Before each file: its index in `files`; false stops the batch there.
using FileStarting = std::function<bool(std::size_t index)>;
// Converts one file; throws ConversionError when it cannot.
using ConvertFile = std::function<void(const BatchFile& file)>;
// After a failed file, before the next one starts.
using FileFailed = std::function<void(const FailedFile& failure)>;

BatchOutcome RunBatchFiles(const std::vector<BatchFile>& files, const ConvertFile& convert,
                           const FileStarting& starting, const FileFailed& failed = {});

}  // namespace torvane
