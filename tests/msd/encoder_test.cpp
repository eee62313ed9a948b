#include "msd/encoder.hpp"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace torvane {
namespace {

struct PassCase {
    std::string input;
    std::string one_pass;
};

TEST(EncodeMSDSteps, OnePassCompactsEachGroupOnce) {
    const std::vector<PassCase> cases = {
        {"", ""},
        {"10203040", "10203040"},
        {"(1000)(2000)", "1020"},
        {"(1020)(3040)", "1234"},
        {"(10203040)", "(1234)"},
        {"(10002000)", "(1020)"},
        {"(100)(020)", "10(020)"},
        {"(1234)", "(1234)"},
        {"(000)(000)(000)(000)", "00000000"},
        {"(00000000)(00000000)(00000000)(00000000)", "(0000)(0000)(0000)(0000)"},
        {"(0)(12)(12345)", "(0)(12)(12345)"},
        {"(1000", "(1000"},           // no ")" anywhere after it: left alone
        {"((1000)", "(10"},           // the outer group is not compactible, the inner one is
        {"(0000)x(0000", "00x(0000"},
        {"(30)(100)", "(30)10"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeMSDSteps(c.input), c.one_pass) << c.input;
    }
}

TEST(EncodeMSDStepsFully, RepeatsUntilAPassChangesNothing) {
    const std::vector<PassCase> cases = {
        {"(10002000)", "12"},
        {"(10203040)", "(1234)"},
        {"(00000000)(00000000)(00000000)(00000000)", "00000000"},
        {"(10000000)(00000000)(123)(00003000)", "1000(123)03"},
        {"(12345)", "(12345)"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::string result = EncodeMSDStepsFully(c.input);
        EXPECT_EQ(result, c.one_pass) << c.input;
        EXPECT_EQ(EncodeMSDSteps(result), result) << "a further pass changes nothing: " << c.input;
    }
}

// Random texts of steps, groups and stray brackets: whether groups nest or
// not, the result is that of passes repeated until one changes nothing.
TEST(EncodeMSDStepsFully, GivesWhatRepeatedPassesGive) {
    std::mt19937 random(7);
    const std::string_view alphabet[] = {"0000000()1234", "0()", "00000000(((())))12"};
    for (int round = 0; round < 30000; ++round) {
        std::string text;
        if (round % 4 < 3) {
            const std::string_view letters = alphabet[round % 4];
            text.assign(random() % 48, ' ');
            for (char& c : text) c = letters[random() % letters.size()];
        } else {
            // Beat groups as the converters build them: mostly rests.
            for (std::size_t beats = random() % 12; beats > 0; --beats) {
                const std::size_t size = std::array<std::size_t, 6>{1, 2, 3, 4, 8, 8}[random() % 6];
                if (size > 1) text += '(';
                for (std::size_t k = 0; k < size; ++k) text += random() % 4 == 0 ? "1234"[random() % 4] : '0';
                if (size > 1) text += ')';
            }
        }
        std::string passes = text;
        for (;;) {
            std::string next = EncodeMSDSteps(passes);
            if (next == passes) break;
            passes = std::move(next);
        }
        ASSERT_EQ(EncodeMSDStepsFully(text), passes) << text;
    }
}

TEST(EncodeMSDSteps, ManyOpenGroupsWithoutClosingStayLinear) {
    const std::string text(1 << 20, '(');
    EXPECT_EQ(EncodeMSDSteps(text), text);
}

}  // namespace
}  // namespace torvane
