// Any bytes as built MSD step text, compacted until a pass changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "msd/encoder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string steps(reinterpret_cast<const char*>(data), size);
    const auto compact = torvane::EncodeMSDStepsFully(steps);
    // Compaction never lengthens the text, and the result is a fixed point.
    if (compact.size() > steps.size()) __builtin_trap();
    if (torvane::EncodeMSDSteps(compact) != compact) __builtin_trap();
    // It is what passes give, one after the other, until one changes nothing.
    for (;;) {
        std::string next = torvane::EncodeMSDSteps(steps);
        if (next == steps) break;
        steps = std::move(next);
    }
    if (steps != compact) __builtin_trap();
    return 0;
}
