#include "batch/formats.hpp"

#include <algorithm>

#include "d2r/d2r.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/output_names.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

void D2rAsMsd(const fs::path& source, const fs::path& destination, std::string_view caption, ErrorList& errors,
              Storage& storage, long long max_lead_in) {
    Convertd2r2MSD(source, destination, caption, errors, storage, max_lead_in);
}

void DdrAsMsd(const fs::path& source, const fs::path& destination, std::string_view caption, ErrorList& errors,
              Storage& storage, long long /*max_lead_in*/) {
    Convertddr2MSD(source, destination, caption, errors, storage);
}

std::vector<fs::path> WriteD2r(const fs::path& source, const fs::path& destination, std::string_view caption,
                               const DdrOptions& /*options*/, ErrorList& errors, Storage& storage,
                               long long max_lead_in) {
    ConvertMSD2d2r(source, destination, caption, errors, storage, max_lead_in);
    return {destination};
}

std::vector<fs::path> WriteDdr(const fs::path& source, const fs::path& destination, std::string_view caption,
                               const DdrOptions& options, ErrorList& errors, Storage& storage,
                               long long /*max_lead_in*/) {
    return ConvertMSD2ddr(source, destination, caption, options, errors, storage);
}

// Indexed by the formats' codes less one.
constexpr std::array<FormatRow, 5> kFormats = {{
    {"MSD", ".msd", ".MSD", DestinationNaming::kExtensionReplaced, nullptr, nullptr},
    {"d2r", ".d2r", ".d2r", DestinationNaming::kExtensionReplaced, D2rAsMsd, WriteD2r},
    {"ddr", ".ddr", ".ddr", DestinationNaming::kOnePerChart, DdrAsMsd, WriteDdr},
    {"pictures", "", ".svg", DestinationNaming::kOnePerChart, nullptr, nullptr},
    {"simfiles", "", ".sm", DestinationNaming::kFolderPerSong, nullptr, nullptr},
}};

// Indexed by Conversion.
constexpr std::array<ConversionRow, 4> kConversions = {{
    {"msd2d2r", ChartFormat::kMSD, ChartFormat::kd2r},
    {"d2r2msd", ChartFormat::kd2r, ChartFormat::kMSD},
    {"msd2ddr", ChartFormat::kMSD, ChartFormat::kddr},
    {"ddr2msd", ChartFormat::kddr, ChartFormat::kMSD},
}};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const FormatRow& RowOf(ChartFormat format) { return kFormats[static_cast<std::size_t>(format) - 1]; }

const FormatRow& RowOf(OutputFormat format) { return kFormats[static_cast<std::size_t>(format) - 1]; }

std::optional<ChartFormat> FormatOfFile(const fs::path& file) {
    const std::string extension = file.extension().string();
    for (const ChartFormat format : kChartFormats) {
        const std::string_view wanted = RowOf(format).source_extension;
        if (std::equal(extension.begin(), extension.end(), wanted.begin(), wanted.end(),
                       [](char a, char b) { return Lower(a) == b; })) {
            return format;
        }
    }
    return std::nullopt;
}

ChartFormat FormatOfSource(const fs::path& source) {
    const auto format = FormatOfFile(source);
    if (!format) {
        throw ConversionError(Failure::kWrongFormat, source, "an MSD, d2r or ddr",
                              "its name ends in none of .msd, .d2r and .ddr");
    }
    return *format;
}

const ConversionRow& RowOf(Conversion conversion) { return kConversions[static_cast<std::size_t>(conversion)]; }

std::optional<Conversion> ConversionNamed(std::string_view name) {
    for (std::size_t i = 0; i < kConversions.size(); ++i) {
        if (kConversions[i].name == name) return static_cast<Conversion>(i);
    }
    return std::nullopt;
}

Conversion ConversionReading(ChartFormat format) {
    for (std::size_t i = 0; i < kConversions.size(); ++i) {
        if (kConversions[i].from == format) return static_cast<Conversion>(i);
    }
    return Conversion::kMSD2d2r;
}

fs::path ReadAsMsd(const fs::path& source, ChartFormat format, ErrorList& errors, Storage& storage,
                   long long max_lead_in) {
    const FormatRow& row = RowOf(format);
    if (row.read_as_msd == nullptr) return source;
    const fs::path msd = ReplaceExtension(source, RowOf(ChartFormat::kMSD).destination_extension);
    row.read_as_msd(source, msd, kCaption, errors, storage, max_lead_in);
    return msd;
}

}  // namespace torvane
