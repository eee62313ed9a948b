#include "batch/conversions.hpp"

#include <exception>

#include "d2r/d2r.hpp"
#include "text/conversion_error.hpp"
#include "text/output_names.hpp"

namespace torvane {

std::string_view DestinationExtension(Conversion conversion) {
    switch (conversion) {
        case Conversion::kMSD2d2r: return ".d2r";
        case Conversion::kMSD2ddr: return ".ddr";
        case Conversion::kd2r2MSD:
        case Conversion::kddr2MSD: break;
    }
    return ".MSD";
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
    switch (conversion) {
        case Conversion::kMSD2d2r:
            ConvertMSD2d2r(source, destination, caption, errors, storage, max_lead_in);
            break;
        case Conversion::kd2r2MSD:
            Convertd2r2MSD(source, destination, caption, errors, storage, max_lead_in);
            break;
        case Conversion::kMSD2ddr:
            return ConvertMSD2ddr(source, destination, caption, options, errors, storage);
        case Conversion::kddr2MSD:
            Convertddr2MSD(source, destination, caption, errors, storage);
            break;
    }
    return {destination};
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
