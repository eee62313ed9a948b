// Any bytes as a source under each --encoding: the input checks, then every
// line read through the encoding reader, as a conversion would read them.
// The first byte picks the conversion and the encoding.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "batch/input_check.hpp"
#include "text/conversion_error.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torvane;
    if (size == 0) return 0;
    static constexpr Conversion kConversions[] = {Conversion::kMSD2d2r, Conversion::kd2r2MSD, Conversion::kMSD2ddr,
                                                  Conversion::kddr2MSD};
    static constexpr EncodingChoice kChoices[] = {EncodingChoice::kAuto, EncodingChoice::kCp932,
                                                  EncodingChoice::kUtf8};
    const Conversion conversion = kConversions[data[0] % 4];
    const EncodingChoice choice = kChoices[(data[0] / 4) % 3];
    MemoryStorage storage;
    const std::filesystem::path source = "in.src";
    storage.files[source] = std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    ErrorList errors;
    try {
        std::unique_ptr<LineSource> opened;
        const SourceEncoding encoding = CheckSource(conversion, source, choice, storage, opened);
        if (choice == EncodingChoice::kCp932 && encoding != SourceEncoding::kCp932) __builtin_trap();
        SourceReading reading(storage, source, encoding, errors, std::move(opened));
        for (int pass = 0; pass < 2; ++pass) {
            auto lines = reading.OpenSource(source);
            std::string line;
            std::size_t count = 0;
            while (lines->ReadLine(line)) {
                // Lines never hold their ends.
                if (line.find('\n') != std::string::npos) __builtin_trap();
                ++count;
            }
            (void)count;
        }
    } catch (const ConversionError&) {
        // A refused source is a proper outcome.
    }
    return 0;
}
