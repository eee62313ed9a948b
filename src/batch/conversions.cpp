#include "batch/conversions.hpp"

#include <exception>

#include "text/conversion_error.hpp"
#include "text/output_names.hpp"

namespace torvane {

std::string_view DestinationExtension(Conversion conversion) {
    return RowOf(RowOf(conversion).to).destination_extension;
}

std::filesystem::path DestinationFor(Conversion conversion, const std::filesystem::path& source,
                                     const std::filesystem::path& folder) {
    const auto name = ReplaceExtension(source.filename(), DestinationExtension(conversion));
    if (folder.empty()) {
        return ReplaceExtension(source, DestinationExtension(conversion));
    }
    return folder / name;
}

namespace {

std::vector<std::filesystem::path> Convert(Conversion conversion, const std::filesystem::path& source,
                                           const std::filesystem::path& destination, std::string_view caption,
                                           const DdrOptions& options, ErrorList& errors, Storage& storage,
                                           long long max_lead_in) {
    const ConversionRow& row = RowOf(conversion);
    if (row.to == ChartFormat::kMSD) {
        RowOf(row.from).read_as_msd(source, destination, caption, errors, storage, max_lead_in);
        return {destination};
    }
    return RowOf(row.to).write(source, destination, caption, options, errors, storage, max_lead_in);
}

}  // namespace

std::vector<std::filesystem::path> RunConversion(Conversion conversion,
                                                 const std::filesystem::path& source,
                                                 const std::filesystem::path& destination,
                                                 std::string_view caption, const DdrOptions& options,
                                                 ErrorList& errors, Storage& storage, long long max_lead_in) {
    try {
        return Convert(conversion, source, destination, caption, options, errors, storage, max_lead_in);
    } catch (const ConversionError&) {
        throw;
    } catch (const std::exception&) {
        // Only exceptions of the library: a stop of the runner passes.
        throw CurrentAsConversionError(source);
    }
}

}  // namespace torvane
