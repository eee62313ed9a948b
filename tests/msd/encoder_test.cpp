#include "msd/encoder.hpp"

#include <gtest/gtest.h>

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

TEST(EncodeMSDSteps, ManyOpenGroupsWithoutClosingStayLinear) {
    const std::string text(1 << 20, '(');
    EXPECT_EQ(EncodeMSDSteps(text), text);
}

}  // namespace
}  // namespace torvane
