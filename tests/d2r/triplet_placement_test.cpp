// Where MSD to d2r puts triplet beats: "T:" lines only where the d2r reader
// takes them back, the 32nd-note grid everywhere else, both pads in step.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "d2r/d2r.hpp"
#include "d2r/triplet_placement.hpp"
#include "msd/chart_section.hpp"
#include "msd/decoder.hpp"
#include "test_support.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

using test::CrLf;
using test::SplitCrLf;

D2rPadCells Cells(const std::string& msd) {
    ErrorList errors;
    D2rPadCells cells;
    cells.text = DecodeMSDSteps(msd, "song.msd", errors, &cells.triplet_beats);
    return cells;
}

TEST(D2rReaderTakesTriplet, OnABeatOrAfterASilentHalfBeat) {
    EXPECT_TRUE(D2rReaderTakesTriplet(0, 0));
    EXPECT_TRUE(D2rReaderTakesTriplet(4, 3));
    EXPECT_TRUE(D2rReaderTakesTriplet(4, 4));
    EXPECT_FALSE(D2rReaderTakesTriplet(4, 2));
    EXPECT_FALSE(D2rReaderTakesTriplet(2, 2));
    EXPECT_FALSE(D2rReaderTakesTriplet(6, 6));
}

TEST(D2rTripletOnGrid, PutsTheStepsOnTheNearest32ndNotes) {
    EXPECT_EQ(D2rTripletOnGrid('1', '2', '3'), "10020300");
    EXPECT_EQ(D2rTripletOnGrid('T', '0', '6'), "00000600");
}

struct PlaceCase {
    std::string what;
    std::string pad1, pad2;  // MSD step data
    std::string placed1, placed2;
    std::size_t mismatches = 0;
    std::size_t on_grid = 0;
};

void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.what; }

class PlaceTriplets : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceTriplets, KeepsThePadsInStep) {
    const PlaceCase& c = GetParam();
    ErrorList errors;
    const D2rPlacedPads placed = PlaceD2rTriplets(Cells(c.pad1), Cells(c.pad2), "song.msd", errors);
    EXPECT_EQ(placed.pad1, c.placed1);
    EXPECT_EQ(placed.pad2, c.placed2);
    EXPECT_EQ(placed.triplets_on_grid, c.on_grid);
    ASSERT_EQ(errors.Size(), c.mismatches);
    for (const auto& line : errors.Lines()) EXPECT_EQ(line, "song.msd" + ErrorMessage(ErrorCode::kTripletMismatch));
}

INSTANTIATE_TEST_SUITE_P(
    Pads, PlaceTriplets,
    ::testing::Values(
        PlaceCase{"no triplets leave the texts as they are", "12", "(4444)", "10002000", "40404040"},
        PlaceCase{"a triplet on a beat keeps its T", "(123)4", "", "T1234000", ""},
        PlaceCase{"a triplet after a silent half beat keeps its T", "0(123)4", "", "0000T1234000", ""},
        PlaceCase{"a triplet against one step keeps its T and the step its cells", "(123)", "4", "T123", "4000"},
        PlaceCase{"both pads' triplets at one place keep their T", "(123)", "(789)", "T123", "T789"},
        PlaceCase{"a triplet after two 16ths goes on the grid", "0(4268)(123)", "", "000040206080" "10020300",
                  "", 0, 1},
        PlaceCase{"a triplet after a half beat with a 16th late in it goes on the grid", "0(0001)(123)", "",
                  "0000" "00000010" "10020300", "", 0, 1},
        PlaceCase{"a step of the other pad in the half beat before moves the triplet", "0(123)", "(01000000)",
                  "0000" "10020300", "01000000", 0, 1},
        PlaceCase{"both pads' triplets off the reader's beats go on the grid together", "0(4268)(123)",
                  "0(4268)(789)", "000040206080" "10020300", "000040206080" "70080900", 0, 2},
        PlaceCase{"a triplet against a busy beat is reported and goes on the grid", "(123)20", "(44)2",
                  "10020300" "20000000", "40004000" "2000", 1, 1},
        PlaceCase{"a triplet of pad 2 against a busy beat of pad 1", "(44)2", "(123)20", "40004000" "2000",
                  "10020300" "20000000", 1, 1},
        PlaceCase{"a busy triplet's error line leaves a later triplet its T", "(123)4(123)", "(44)",
                  "10020300" "4000" "T123", "40004000", 1, 1},
        PlaceCase{"a kept triplet half a beat off starts the reader's next beat", "0(123)(123)", "",
                  "0000" "T123" "T123", ""},
        PlaceCase{"a triplet on the grid leaves the reader's beats where they were", "0(123)(123)", "(01000000)",
                  "0000" "10020300" "10020300", "01000000", 0, 2},
        PlaceCase{"a T inside a group is a rest", "0(1T23)4", "(T)", "0000" "10002030" "4000", "00000000"},
        PlaceCase{"a T among a triplet's steps is a rest", "(T06)", "", "T006", ""},
        PlaceCase{"triplets half a beat apart both go on the grid", "(123)00", "0(789)", "10020300" "00000000",
                  "0000" "70080900", 2, 2}));

// Times of the steps of one MSD side in 1/192 beat against the music (a
// gap unit is 3 of them), triplet steps marked.
struct TimedStep {
    long long time;
    char step;
    bool in_triplet;
};

std::vector<TimedStep> TimedSteps(const std::string& side, long long gap) {
    const D2rPadCells cells = Cells(side);
    std::vector<TimedStep> steps;
    long long tick = 0;  // 1/24 beat
    std::size_t next = 0;
    for (std::size_t i = 0; i < cells.text.size(); ++i) {
        const char c = cells.text[i];
        if (c == ':' || c == ';') continue;
        if (next < cells.triplet_beats.size() && cells.triplet_beats[next] == i) {
            ++next;
            for (std::size_t j = 1; j <= 3 && i + j < cells.text.size(); ++j) {
                const char step = cells.text[i + j];
                if (step != '0' && step != 'T') steps.push_back({8 * tick - 3 * gap, step, j > 1});
                tick += 8;
            }
            i += 3;
            continue;
        }
        if (c != '0' && c != 'T') steps.push_back({8 * tick - 3 * gap, c, false});
        tick += 3;
    }
    return steps;
}

// The gap and the sides of the first chart of an MSD file as the d2r-to-MSD
// writer writes them.
std::pair<long long, std::vector<std::string>> FirstChartOf(const std::vector<std::string>& lines) {
    long long gap = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].starts_with("#GAP:")) gap = std::stoll(lines[i].substr(5));
        if (!lines[i].starts_with("#SINGLE:") && !lines[i].starts_with("#DOUBLE:") &&
            !lines[i].starts_with("#COUPLE:")) {
            continue;
        }
        std::string data;
        while (++i < lines.size()) {
            data += lines[i];
            if (EndsWithSemicolon(lines[i])) break;
        }
        if (EndsWithSemicolon(data)) data.pop_back();
        const std::size_t colon = data.find(':');
        if (colon == std::string::npos) return {gap, {data}};
        return {gap, {data.substr(0, colon), data.substr(colon + 1)}};
    }
    return {gap, {}};
}

struct RoundTripResult {
    ErrorList to_d2r;
    ErrorList back;
    std::string d2r;
    std::string msd;
};

RoundTripResult ThroughD2r(const std::string& msd) {
    RoundTripResult result;
    MemoryStorage storage;
    storage.files["song.msd"] = msd;
    ConvertMSD2d2r("song.msd", "song.d2r", kCaption, result.to_d2r, storage);
    Convertd2r2MSD("song.d2r", "song.MSD", kCaption, result.back, storage);
    result.d2r = storage.files["song.d2r"];
    result.msd = storage.files["song.MSD"];
    return result;
}

// Every step comes back at its time; a triplet's second or third step may
// come back on the grid, 1/24 beat from it.
void ExpectEveryStepInPlace(const std::vector<TimedStep>& before, const std::vector<TimedStep>& after,
                            const std::string& context) {
    ASSERT_EQ(after.size(), before.size()) << context;
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].step, before[i].step) << "step " << i << "\n" << context;
        const long long moved = std::llabs(after[i].time - before[i].time);
        EXPECT_LE(moved, before[i].in_triplet ? 8 : 0) << "step " << i << "\n" << context;
    }
}

TEST(TripletAgainstABusyBeat, KeepsEveryLaterStepOfBothPadsInPlaceThrough40Measures) {
    const std::string msd = test::ReadFile(std::string(TORVANE_TEST_DATA) +
                                           "/golden/d2r/msd2d2r-triplet-against-a-busy-beat-keeps-40-measures-in-step/"
                                           "input.msd");
    const RoundTripResult result = ThroughD2r(msd);
    ASSERT_EQ(result.to_d2r.Size(), 1u);
    EXPECT_TRUE(result.back.Empty()) << Cp932ToUtf8(result.back.Lines()[0]);
    const auto [gap_before, sides_before] = FirstChartOf(SplitCrLf(msd));
    const auto [gap_after, sides_after] = FirstChartOf(SplitCrLf(result.msd));
    ASSERT_EQ(sides_before.size(), 2u);
    ASSERT_EQ(sides_after.size(), 2u);
    for (std::size_t side = 0; side < 2; ++side) {
        const auto before = TimedSteps(sides_before[side], gap_before);
        const auto after = TimedSteps(sides_after[side], gap_after);
        // (123) and then 40 measures of 4 steps; (4268) and the same.
        ASSERT_EQ(before.size(), side == 0 ? 163u : 164u);
        ExpectEveryStepInPlace(before, after, "side " + std::to_string(side + 1));
    }
}

// Two sides of beats of every kind, triplets anywhere, half beats between.
class ChartGenerator {
public:
    explicit ChartGenerator(unsigned first_value) : random_(first_value) {}

    std::string Side() {
        std::string side(1, Step(0));  // a first step: no pad loses rests
        for (long long beat = Between(4, 24); beat > 0; --beat) {
            switch (Between(0, 6)) {
                case 0: side += Step(5); break;  // half a beat
                case 1: side += Step(5) + std::string(1, Step(5)); break;
                case 2: side += "(" + Steps(1) + ")"; break;
                case 3: side += "(" + Steps(4) + ")"; break;
                case 4: side += "(" + Steps(8) + ")"; break;
                default: side += "(" + Steps(3) + ")"; break;
            }
        }
        return side;
    }
    long long Between(long long low, long long high) {
        return std::uniform_int_distribution<long long>(low, high)(random_);
    }

private:
    char Step(int silent_in_ten) {
        static const std::string kSteps = "12346789AB";
        return Between(0, 9) < silent_in_ten ? '0' : kSteps[static_cast<std::size_t>(Between(0, 9))];
    }
    std::string Steps(int count) {
        std::string out;
        for (int i = 0; i < count; ++i) out += Step(6);
        return out;
    }

    std::mt19937 random_;
};

class TripletsAnywhere : public ::testing::TestWithParam<unsigned> {};

TEST_P(TripletsAnywhere, ReadBackFromD2rWithEveryStepInPlace) {
    ChartGenerator generator(GetParam());
    for (int song = 0; song < 60; ++song) {
        const std::string lead_in(static_cast<std::size_t>(generator.Between(0, 40)), '0');
        const std::vector<std::string> sides = {lead_in + generator.Side(), lead_in + generator.Side()};
        const long long gap = generator.Between(-600, 600);
        const std::string msd =
            CrLf({"#BPM:150;", "#GAP:" + std::to_string(gap) + ";", "#DOUBLE:BASIC:3:" + sides[0] + ":" + sides[1] + ";"});
        const RoundTripResult result = ThroughD2r(msd);
        const std::string context = msd + result.d2r + result.msd;
        for (const auto& line : result.to_d2r.Lines()) {
            ASSERT_EQ(line, "song.msd" + ErrorMessage(ErrorCode::kTripletMismatch)) << Cp932ToUtf8(line) << "\n" << context;
        }
        ASSERT_TRUE(result.back.Empty()) << Cp932ToUtf8(result.back.Lines()[0]) << "\n" << context;
        const auto [gap_after, sides_after] = FirstChartOf(SplitCrLf(result.msd));
        ASSERT_EQ(sides_after.size(), 2u) << context;
        for (std::size_t side = 0; side < 2; ++side) {
            ExpectEveryStepInPlace(TimedSteps(sides[side], gap), TimedSteps(sides_after[side], gap_after),
                                   "side " + std::to_string(side + 1) + "\n" + context);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, TripletsAnywhere, ::testing::Values(1u, 2u, 3u, 4u));

}  // namespace
}  // namespace torvane
