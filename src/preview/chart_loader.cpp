#include "preview/chart_loader.hpp"

#include <stdexcept>
#include <string>
#include <utility>

#include "text/conversion_error.hpp"
#include "text/sjis.hpp"

namespace torvane {

std::unique_ptr<LineSource> MemoryDestinations::OpenSource(const std::filesystem::path& source) {
    if (memory_.files.count(source) != 0) return memory_.OpenSource(source);
    return sources_.OpenSource(source);
}

std::unique_ptr<LineSink> MemoryDestinations::CreateDestination(const std::filesystem::path& destination,
                                                                const std::filesystem::path& source) {
    return memory_.CreateDestination(destination, source);
}

std::vector<Chart> ReadMSDFileCharts(const std::filesystem::path& source, ErrorList& errors, Storage& storage) {
    const auto input = storage.OpenSource(source);
    return ReadMSDCharts(*input, FileNameForErrorLine(source), errors);
}

std::vector<Chart> LoadCharts(const std::filesystem::path& source, ChartFormat format, ErrorList& errors,
                              Storage& storage) {
    MemoryDestinations memory(storage);
    return ReadMSDFileCharts(ReadAsMsd(source, format, errors, memory), errors, memory);
}

ChartFile::ChartFile(const std::filesystem::path& source, ChartFormat format, ErrorList& errors, Storage& storage)
    : memory_(storage), msd_(ReadAsMsd(source, format, errors, memory_)) {
    file_name_ = FileNameForErrorLine(msd_);
    // A conversion in memory is read where it lies, not copied.
    if (const auto it = memory_.Written().find(msd_); it != memory_.Written().end()) {
        source_ = MakeBorrowedMemorySource(it->second);
    } else {
        source_ = memory_.OpenSource(msd_);
    }
    heads_ = ReadMSDChartHeads(*source_);
    source_->Rewind();
}

void ChartFile::ReadMSD(const std::function<void(LineSource&)>& read) {
    read(*source_);
    source_->Rewind();
}

void ChartFile::ReadEachChart(ErrorList& errors, const std::function<void(std::size_t, Chart&&)>& take) {
    ReadMSD([&](LineSource& input) {
        ReadMSDChartsOneByOne(input, heads_, file_name_, errors, [&](std::size_t place, Chart&& chart) {
            const bool same = place < heads_.size() && chart.style == heads_[place].style &&
                              chart.difficulty == heads_[place].difficulty && chart.level == heads_[place].level;
            if (!same) throw ConversionError(Failure::kInternal, msd_, {}, "the file changed while it was read");
            take(place, std::move(chart));
        });
    });
}

}  // namespace torvane
