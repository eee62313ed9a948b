#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "d2r/msd_to_d2r.hpp"
#include "step_line_text.hpp"

namespace torvane {
namespace {

// The rule itself: whole passes until one changes nothing.
std::vector<D2rStepLine> MergeByWholePasses(std::vector<D2rStepLine> lines) {
    for (;;) {
        std::vector<D2rStepLine> merged = MergeD2rStepLines(lines);
        if (merged == lines) return lines;
        lines = std::move(merged);
    }
}

D2rStepLine Line(std::string_view prefix, bool rest, int panel) {
    if (rest) return ParseD2rStepLine(std::string(prefix) + (prefix == "T:" ? "    :    :" : ":    :    :"));
    std::string field = "    ";
    field[static_cast<std::size_t>(panel % 4)] = "LDUR"[panel % 4];
    return ParseD2rStepLine(std::string(prefix) + (prefix == "T:" ? "" : ":") + field + ":    :");
}

// Step lines as the converter builds them, one per 32nd note: runs of rests
// and steps in random rhythms, with triplet beats and already merged lengths.
std::vector<D2rStepLine> RandomLines(std::mt19937& random, std::size_t count) {
    std::vector<D2rStepLine> lines;
    const double rest_share = std::uniform_real_distribution<double>(0.2, 0.95)(random);
    std::uniform_int_distribution<int> choice(0, 99);
    while (lines.size() < count) {
        const int c = choice(random);
        if (c < 4) {
            for (int t = 0; t < 3; ++t) lines.push_back(Line("T:", choice(random) < 50, t));
        } else if (c < 10) {
            static constexpr std::string_view kMerged[] = {"4.", "4p", "4P"};
            lines.push_back(Line(kMerged[c % 3], choice(random) < 60, c));
        } else {
            lines.push_back(Line("8.", choice(random) < rest_share * 100, c));
        }
    }
    return lines;
}

TEST(MergeD2rStepLinesByWalking, GivesTheResultOfWholePassesOnRandomLines) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 3000; ++round) {
        const auto lines = RandomLines(random, std::uniform_int_distribution<std::size_t>(0, 120)(random));
        ASSERT_EQ(MergeD2rStepLinesByWalking(lines), MergeByWholePasses(lines)) << "round " << round;
    }
    // Long lists, so that jumps over jumps over jumps are built and taken.
    for (int round = 0; round < 20; ++round) {
        const auto lines = RandomLines(random, 6000);
        ASSERT_EQ(MergeD2rStepLinesByWalking(lines), MergeByWholePasses(lines)) << "long round " << round;
    }
}

// A chart whose every pass finds one new pair a little further on: the
// 32nd-note cells "1" followed by "00011" again and again.
std::vector<D2rStepLine> CreepingMerges(int repeats) {
    std::vector<D2rStepLine> lines = {Line("8.", false, 0)};
    for (int r = 0; r < repeats; ++r) {
        for (char cell : std::string("00011")) lines.push_back(Line("8.", cell == '0', r));
    }
    return lines;
}

TEST(MergeD2rStepLinesByWalking, GivesTheResultOfWholePassesWhenEveryPassMergesOnePair) {
    for (int repeats : {1, 2, 7, 50, 700}) {
        const auto lines = CreepingMerges(repeats);
        EXPECT_EQ(MergeD2rStepLinesByWalking(lines), MergeByWholePasses(lines)) << repeats;
        EXPECT_EQ(MergeD2rStepLinesFully(lines), MergeByWholePasses(lines)) << repeats;
    }
}

}  // namespace
}  // namespace torvane
