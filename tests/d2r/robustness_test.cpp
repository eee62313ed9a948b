// Damaged files of both kinds, put together at random from pieces of real
// lines: a conversion may report error lines or refuse a bad number, but it
// never fails in any other way, never reads past the end of a line or list,
// and always writes a destination when it does not throw.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "d2r/d2r.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

std::string RandomFile(std::mt19937& random, const std::vector<std::string>& pieces) {
    std::string file;
    const int lines = std::uniform_int_distribution<int>(0, 40)(random);
    for (int i = 0; i < lines; ++i) {
        const int parts = std::uniform_int_distribution<int>(1, 3)(random);
        for (int p = 0; p < parts; ++p) {
            file += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
        }
        file += std::uniform_int_distribution<int>(0, 9)(random) == 0 ? "\n" : "\r\n";
    }
    return file;
}

void ConvertRandomFiles(unsigned corpus, const std::vector<std::string>& pieces, bool from_msd) {
    std::mt19937 random(corpus);
    for (int i = 0; i < 300; ++i) {
        MemoryStorage storage;
        const std::string source = from_msd ? "in.msd" : "in.d2r";
        storage.files[source] = RandomFile(random, pieces);
        ErrorList errors;
        try {
            if (from_msd) {
                ConvertMSD2d2r(source, "out", kCaption, errors, storage);
            } else {
                Convertd2r2MSD(source, "out", kCaption, errors, storage);
            }
            EXPECT_EQ(storage.files.count("out"), 1u) << storage.files[source];
        } catch (const ConversionError&) {
            EXPECT_EQ(storage.files.count("out"), 0u) << storage.files[source];
        }
    }
}

TEST(DamagedMsdFiles, ConvertOrRefuseWithoutAnyOtherFailure) {
    const std::vector<std::string> pieces = {
        "#SINGLE:", "#DOUBLE:", "#COUPLE:", "BASIC:", "ANOTHER:", "MANIAC:", "3:", "#GAP:", "#BPM:", "#TITLE:",
        "#FILE:", "#MSD:", "0000", "00000000", "12", "(123)", "(4444)", "(12345678)", "(", ")", "[9]", "{C}", "(1",
        "[", "{", ":", ";", "-40;", "1e9;", "-1e9;", "x;", "150.5;", "\x82\xa0", "\x82", "T", ""};
    for (unsigned corpus = 1; corpus <= 4; ++corpus) ConvertRandomFiles(corpus, pieces, true);
}

TEST(DamagedD2rFiles, ConvertOrRefuseWithoutAnyOtherFailure) {
    const std::vector<std::string> pieces = {
        "8.:", "4.:", "4p:", "4P:", "T:", "T", "4", "8", "#", "&", "L   :", "LDUR:", "    :", " D R:", "U", ":",
        "*", "PLAYER=1", "PLAYER=2", "PLAYER=3", "MODE=BASIC", "LEVEL=3", "DELAY=", "-40", "999999", "START=",
        "1", "0", "TEMPO10=", "1500", "x", "MUSICEND", "TITLE=", "\x82\xa0", "\x82", ""};
    for (unsigned corpus = 1; corpus <= 4; ++corpus) ConvertRandomFiles(corpus, pieces, false);
}

}  // namespace
}  // namespace torvane
