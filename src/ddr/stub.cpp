// Placeholder until the ddr conversions are built.
#include "ddr/ddr.hpp"
#include "text/conversion_error.hpp"

namespace torvane {
std::vector<std::filesystem::path> ConvertMSD2ddr(const std::filesystem::path&, const std::filesystem::path&, std::string_view, const DdrOptions&, ErrorList&, Storage&) {
    throw ConversionError("MSD to ddr is not built yet");
}
void Convertddr2MSD(const std::filesystem::path&, const std::filesystem::path&, std::string_view, ErrorList&, Storage&) {
    throw ConversionError("ddr to MSD is not built yet");
}
}  // namespace torvane
