#pragma once
// Charts of a file of any of the three formats, as Torvane reads them: an MSD
// file directly, a d2r or ddr file through its conversion to MSD, made in
// memory.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/formats.hpp"
#include "msd/chart_model.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// Sources read from another storage, destinations kept in memory: where the
// conversions that are only looked at, never saved, write. A path written
// here is read back from memory from then on.
class MemoryDestinations : public Storage {
public:
    explicit MemoryDestinations(Storage& sources) : sources_(sources) {}

    [[nodiscard]] std::unique_ptr<LineSource> OpenSource(const std::filesystem::path& source) override;
    [[nodiscard]] std::unique_ptr<LineSink> CreateDestination(const std::filesystem::path& destination,
                                                              const std::filesystem::path& source) override;

    [[nodiscard]] const std::map<std::filesystem::path, std::string>& Written() const { return memory_.files; }

private:
    Storage& sources_;
    MemoryStorage memory_;
};

// The charts of the MSD file `source` in `storage`; the decoder's error lines
// go to `errors`. Throws ConversionError when the file cannot be read.
[[nodiscard]] std::vector<Chart> ReadMSDFileCharts(const std::filesystem::path& source, ErrorList& errors,
                                                   Storage& storage);

// The charts of `source` in the given format. A d2r or ddr file is converted
// to MSD in memory first, with the error lines that conversion reports.
// Throws ConversionError when the file cannot be read or converted.
[[nodiscard]] std::vector<Chart> LoadCharts(const std::filesystem::path& source, ChartFormat format,
                                            ErrorList& errors, Storage& storage = DiskStorage());

// The charts of a file of any format read one at a time, as pictures are
// drawn: first every chart without its steps, which names the pictures, then
// each chart with its steps, so that a file of many charts never holds more
// than one chart's steps. A d2r or ddr file is converted to MSD in memory
// first.
class ChartFile {
public:
    // Reads the charts' heads. The error lines of a conversion to MSD go to
    // `errors`. Throws ConversionError when the file cannot be read or
    // converted. `storage` must outlive the chart file.
    ChartFile(const std::filesystem::path& source, ChartFormat format, ErrorList& errors,
              Storage& storage = DiskStorage());

    // The charts without their steps, in file order.
    [[nodiscard]] const std::vector<Chart>& Heads() const { return heads_; }

    // Reads the charts again with their steps and hands each to `take` with
    // its place among the heads; the decoder's error lines go to `errors`.
    // Throws ConversionError when the file cannot be read, and
    // std::runtime_error when it holds other charts than at first.
    void ReadEachChart(ErrorList& errors, const std::function<void(std::size_t, Chart&&)>& take);

    // Hands `read` the MSD text that the charts are read from, from its
    // first line: for what the chart model does not hold (the music file,
    // every tempo).
    void ReadMSD(const std::function<void(LineSource&)>& read);

private:
    MemoryDestinations memory_;
    std::filesystem::path msd_;  // the source, or its conversion in memory
    std::string file_name_;      // as error lines name it
    // Opened once however often it is read, and rewound after each reading,
    // so that error lines added between readings name no line, as they do
    // once a source is gone.
    std::unique_ptr<LineSource> source_;
    std::vector<Chart> heads_;
};

}  // namespace torvane
