// Placeholder until the d2r conversions are built.
#include "d2r/d2r.hpp"
#include "text/conversion_error.hpp"

namespace torvane {
void ConvertMSD2d2r(const std::filesystem::path&, const std::filesystem::path&, std::string_view, ErrorList&, Storage&) {
    throw ConversionError("MSD to d2r is not built yet");
}
void Convertd2r2MSD(const std::filesystem::path&, const std::filesystem::path&, std::string_view, ErrorList&, Storage&) {
    throw ConversionError("d2r to MSD is not built yet");
}
}  // namespace torvane
