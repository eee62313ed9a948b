#include "msd/pad_builder.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "msd/encoder.hpp"

namespace torvane {
namespace {


MsdPadBuilder Units(std::string_view steps) {
    MsdPadBuilder pad;
    for (char step : steps) pad.AddUnit(step);
    return pad;
}

TEST(MsdPadBuilder, CompactsEachBeatAsItCloses) {
    const struct {
        const char* units;
        const char* text;
    } cases[] = {
        {"12345678", "(12345678)"}, {"10203040", "(1234)"}, {"10002000", "12"},   {"00000000", "00"},
        {"40000000", "40"},         {"10200000", "(1200)"}, {"1000000040", "10(40"},
    };
    for (const auto& c : cases) EXPECT_EQ(Units(c.units).Text(), c.text) << c.units;
}

// Rests added as a run give what they give one by one, from any point of a beat.
TEST(MsdPadBuilder, AddsRestsAsARunAsUnitsOfRestOneByOne) {
    for (const std::string before : {"", "4", "4000", "1234567", "12345678", "123456781"}) {
        for (std::size_t count = 0; count <= 40; ++count) {
            MsdPadBuilder by_run = Units(before);
            by_run.AddRests(count);
            const MsdPadBuilder by_unit = Units(before + std::string(count, '0'));
            EXPECT_EQ(by_run.Text(), by_unit.Text()) << before << " + " << count;
            EXPECT_EQ(by_run.BeatOpen(), by_unit.BeatOpen()) << before << " + " << count;
            EXPECT_EQ(by_run.UnitsInBeat(), by_unit.UnitsInBeat()) << before << " + " << count;
        }
    }
}

struct TripletStartCase {
    std::string units;
    std::string text;
    bool started;  // on a beat or after a silent half beat
};

void PrintTo(const TripletStartCase& c, std::ostream* os) { *os << c.units; }

class StartTriplet : public ::testing::TestWithParam<TripletStartCase> {};

TEST_P(StartTriplet, BeginsOnABeatOrAfterASilentHalfBeat) {
    const TripletStartCase& c = GetParam();
    MsdPadBuilder pad = Units(c.units);
    EXPECT_EQ(pad.StartTriplet(), c.started);
    EXPECT_EQ(pad.Text(), c.text);
    EXPECT_FALSE(pad.BeatOpen());
    EXPECT_EQ(pad.UnitsInBeat(), 0);
}

INSTANTIATE_TEST_SUITE_P(Places, StartTriplet,
                         ::testing::Values(TripletStartCase{"", "", true},
                                           // Closed beats are kept compacted: "(40000000)".
                                           TripletStartCase{"40000000", "40", true},
                                           TripletStartCase{"4000", "4", true},
                                           TripletStartCase{"400000004000", "404", true},
                                           TripletStartCase{"40", "40", false},
                                           TripletStartCase{"4020", "(4200)", false},
                                           TripletStartCase{"400000", "40", false}));

struct LeadInCase {
    std::string units;
    std::string raw;
    std::string kept;
};

void PrintTo(const LeadInCase& c, std::ostream* os) { *os << c.units; }

class TakeWholeBeats : public ::testing::TestWithParam<LeadInCase> {};

TEST_P(TakeWholeBeats, CompactsTheWholeBeatsAndKeepsTheOpenOne) {
    MsdPadBuilder pad = Units(GetParam().units);
    EXPECT_EQ(pad.TakeWholeBeats(), GetParam().raw);
    EXPECT_EQ(pad.Text(), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Pads, TakeWholeBeats,
                         ::testing::Values(LeadInCase{"", "", ""}, LeadInCase{"00000000", "00", ""},
                                           LeadInCase{"0000000000000000", "0000", ""},
                                           LeadInCase{"00000000000", "00", "(000"},
                                           LeadInCase{"0000", "", "(0000"}));

TEST(MsdPadBuilder, CompactsATripletLikeAnyBeatGroup) {
    MsdPadBuilder pad;
    pad.AddTriplet('1', '2', '3');
    pad.AddTriplet('4', '0', '0');  // stepped on its first third only
    pad.AddTriplet('0', '5', '0');
    EXPECT_EQ(pad.Finish(), "(123)40(050)");
}

// A beat or triplet written as it closes is what the encoder's compacting
// gives its group, for every beat of rests, steps and other characters.
TEST(MsdPadBuilder, WritesEachGroupAsCompactingItGives) {
    const std::string kSteps = "01T";
    for (int units = 3; units <= 8; units += 5) {
        int count = 1;
        for (int k = 0; k < units; ++k) count *= static_cast<int>(kSteps.size());
        for (int n = 0; n < count; ++n) {
            std::string group = "(";
            for (int k = 0, rest = n; k < units; ++k, rest /= static_cast<int>(kSteps.size())) {
                group += kSteps[static_cast<std::size_t>(rest) % kSteps.size()];
            }
            MsdPadBuilder pad;
            if (units == 3) {
                pad.AddTriplet(group[1], group[2], group[3]);
            } else {
                for (char step : group.substr(1)) pad.AddUnit(step);
            }
            const std::string units_text = group.substr(1);
            CompactGroupAtEnd(group, 0);
            EXPECT_EQ(pad.Text(), group) << units_text;
        }
    }
}

TEST(MsdPadBuilder, FinishesTheOpenBeatWithRests) {
    MsdPadBuilder pad = Units("4");
    EXPECT_EQ(pad.Finish(), "40");
    EXPECT_EQ(pad.Text(), "");
}

}  // namespace
}  // namespace torvane
