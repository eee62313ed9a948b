#pragma once
// Runs one conversion on bytes held in memory. A ConversionError is a proper
// outcome for a bad file; anything else escapes and is reported as a crash.

#include <cstddef>
#include <cstdint>
#include <string>

#include "batch/conversions.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/line_io.hpp"

namespace torvane::fuzz {

// Far below the program's limit: a mutated gap would otherwise ask for up to
// a million rests per chart, and the target would try few inputs a second.
inline constexpr long long kFuzzMaxLeadIn = 4096;

inline void Convert(Conversion conversion, const std::uint8_t* data, std::size_t size,
                    const DdrOptions& options = {}) {
    MemoryStorage storage;
    const std::filesystem::path source = "in.src";
    storage.files[source] = std::string(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path destination = std::string("out") + std::string(DestinationExtension(conversion));
    ErrorList errors;
    try {
        (void)RunConversion(conversion, source, destination, kCaption, options, errors, storage, kFuzzMaxLeadIn);
    } catch (const ConversionError&) {
        // A failed conversion must not leave a destination behind.
        if (storage.files.size() != 1 && conversion != Conversion::kMSD2ddr) __builtin_trap();
    }
}

}  // namespace torvane::fuzz
