// Any bytes as a source file of this conversion.
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    torvane::fuzz::Convert(torvane::Conversion::kddr2MSD, data, size);
    return 0;
}
