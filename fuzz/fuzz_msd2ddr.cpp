// Any bytes as an MSD source; the first two bytes choose the options, so that
// every mode and shift is explored.
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    torvane::DdrOptions options;
    if (size >= 2) {
        options.mode = static_cast<torvane::DdrOptions::Mode>(data[0] % 3);
        options.delete_count = data[1] % 151;
        options.measure = 1 + data[1] % 10;
        options.half_beat = 2 + data[0] / 3 % 8;
        data += 2;
        size -= 2;
    }
    torvane::fuzz::Convert(torvane::Conversion::kMSD2ddr, data, size, options);
    return 0;
}
