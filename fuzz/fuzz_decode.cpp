// Any bytes as one side's MSD step data.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "msd/decoder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    torvane::ErrorList errors;
    const std::string_view steps(reinterpret_cast<const char*>(data), size);
    const auto expanded = torvane::DecodeMSDSteps(steps, "fuzz.msd", errors);
    // Every input byte yields at most 16 cells (a "[" group) and never more.
    if (expanded.size() > 16 * size) __builtin_trap();
    return 0;
}
