#include "preview/chart_loader.hpp"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>
#include <utility>

#include "d2r/d2r.hpp"
#include "ddr/ddr.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/output_names.hpp"
#include "text/sjis.hpp"

namespace torvane {

std::optional<ChartFormat> FormatOfFile(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".msd") return ChartFormat::kMSD;
    if (extension == ".d2r") return ChartFormat::kd2r;
    if (extension == ".ddr") return ChartFormat::kddr;
    return std::nullopt;
}

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
    if (format == ChartFormat::kMSD) return ReadMSDFileCharts(source, errors, storage);
    MemoryDestinations memory(storage);
    const auto converted = ReplaceExtension(source, ".MSD");
    if (format == ChartFormat::kd2r) {
        Convertd2r2MSD(source, converted, kCaption, errors, memory);
    } else {
        Convertddr2MSD(source, converted, kCaption, errors, memory);
    }
    return ReadMSDFileCharts(converted, errors, memory);
}

ChartFile::ChartFile(const std::filesystem::path& source, ChartFormat format, ErrorList& errors, Storage& storage)
    : memory_(storage), msd_(source) {
    if (format != ChartFormat::kMSD) {
        msd_ = ReplaceExtension(source, ".MSD");
        if (format == ChartFormat::kd2r) {
            Convertd2r2MSD(source, msd_, kCaption, errors, memory_);
        } else {
            Convertddr2MSD(source, msd_, kCaption, errors, memory_);
        }
    }
    file_name_ = FileNameForErrorLine(msd_);
    heads_ = ReadMSDChartHeads(*OpenMSD());
}

std::unique_ptr<LineSource> ChartFile::OpenMSD() {
    // A conversion in memory is read where it lies, not copied for each pass.
    if (const auto it = memory_.Written().find(msd_); it != memory_.Written().end()) return MakeBorrowedMemorySource(it->second);
    return memory_.OpenSource(msd_);
}

void ChartFile::ReadEachChart(ErrorList& errors, const std::function<void(std::size_t, Chart&&)>& take) {
    const auto input = OpenMSD();
    ReadMSDChartsOneByOne(*input, heads_, file_name_, errors, [&](std::size_t place, Chart&& chart) {
        const bool same = place < heads_.size() && chart.style == heads_[place].style &&
                          chart.difficulty == heads_[place].difficulty && chart.level == heads_[place].level;
        if (!same) throw ConversionError(Failure::kInternal, msd_, {}, "the file changed while it was read");
        take(place, std::move(chart));
    });
}

}  // namespace torvane
