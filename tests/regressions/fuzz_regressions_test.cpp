// Every input that once made a fuzz target fail, run again through the same
// operation: it must convert or fail with a ConversionError, and a failed
// conversion leaves no destination behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "batch/conversions.hpp"
#include "msd/decoder.hpp"
#include "msd/encoder.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

void RunInput(const std::string& target, const std::string& bytes) {
    if (target == "decode") {
        ErrorList errors;
        EXPECT_LE(DecodeMSDSteps(bytes, "fuzz.msd", errors).size(), 16 * bytes.size());
        return;
    }
    if (target == "encode") {
        const auto compact = EncodeMSDStepsFully(bytes);
        EXPECT_EQ(EncodeMSDSteps(compact), compact);
        return;
    }
    Conversion conversion = Conversion::kMSD2d2r;
    DdrOptions options;
    std::string source_bytes = bytes;
    if (target == "d2r2msd") conversion = Conversion::kd2r2MSD;
    if (target == "ddr2msd") conversion = Conversion::kddr2MSD;
    if (target == "msd2ddr") {
        conversion = Conversion::kMSD2ddr;
        if (bytes.size() >= 2) {
            const auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
            options.mode = static_cast<DdrOptions::Mode>(b0 % 3);
            options.delete_count = b1 % 151;
            options.measure = 1 + b1 % 10;
            options.half_beat = 2 + b0 / 3 % 8;
            source_bytes = bytes.substr(2);
        }
    }
    MemoryStorage storage;
    storage.files["in.src"] = source_bytes;
    const fs::path destination = std::string("out") + std::string(DestinationExtension(conversion));
    ErrorList errors;
    try {
        (void)RunConversion(conversion, "in.src", destination, kCaption, options, errors, storage);
    } catch (const ConversionError&) {
        if (conversion != Conversion::kMSD2ddr) {
            EXPECT_EQ(storage.files.size(), 1u);
        }
    }
}

TEST(FuzzRegressions, EveryKeptInputConvertsOrFailsCleanly) {
    const fs::path root = TORVANE_FUZZ_REGRESSIONS;
    int count = 0;
    if (fs::exists(root)) {
        for (const auto& folder : fs::directory_iterator(root)) {
            if (!folder.is_directory()) continue;
            for (const auto& file : fs::directory_iterator(folder)) {
                SCOPED_TRACE(file.path().string());
                RunInput(folder.path().filename().string(), test::ReadFile(file.path()));
                ++count;
            }
        }
    }
    if (count == 0) GTEST_SKIP() << "no kept inputs yet";
}

}  // namespace
}  // namespace torvane
