// MSD to ddr to MSD on generated charts: every step comes back at its time,
// measured from the chart's first step, wherever the ddr grid can hold it.
// The one place it cannot is a triplet beat in a measure that also holds a
// step finer than a beat: its steps move to the beat's 32nd slots 1, 4 and 7.
//
// The charts are built beat by beat, so the test knows the time of every
// step without reading the MSD notation back: a beat is a triplet of three
// steps or eight 32nd-note cells, written in one of the notations that say
// exactly those cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "ddr/ddr.hpp"
#include "msd/chart_section.hpp"
#include "msd/decoder.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

using test::CrLf;
using test::SplitCrLf;

// Times are in 24ths of a beat, so that 32nd notes (3) and triplet 8th notes
// (8) both fall on whole numbers.
constexpr int kBeat = 24;

struct Beat {
    bool triplet = false;
    std::string steps;  // three steps, or eight cells
};

// A step: its time, its pad (0 or 1) and its MSD step character.
using Step = std::tuple<long long, int, char>;

class ChartMaker {
public:
    explicit ChartMaker(unsigned number) : random_(number) {}

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    char StepOrRest() {
        static constexpr std::string_view kSteps = "12346789AB";  // "5" has no ddr code of its own
        return Between(0, 1) == 0 ? '0' : kSteps[static_cast<std::size_t>(Between(0, 9))];
    }

    std::vector<Beat> Pad(int empty_beats, int measures) {
        std::vector<Beat> beats(static_cast<std::size_t>(empty_beats), Beat{false, std::string(8, '0')});
        for (int m = 0; m < measures; ++m) {
            const int kind = Between(0, 3);  // 0: coarse, 1: triplets and beats, 2: anything, 3: fine
            for (int b = 0; b < 4; ++b) beats.push_back(RandomBeat(kind));
        }
        return beats;
    }

    Beat RandomBeat(int kind) {
        const int finest = kind == 0 ? 2 : kind == 1 ? 0 : kind == 2 ? Between(0, 4) : Between(2, 4);
        if ((kind == 1 || kind == 2) && Between(0, 2) == 0) {
            return Beat{true, {StepOrRest(), StepOrRest(), StepOrRest()}};
        }
        // finest: 0 on the beat only, 1 also 8ths, 2 also 16ths, 3-4 32nds
        Beat beat{false, std::string(8, '0')};
        const int step = finest == 0 ? 8 : finest == 1 ? 4 : finest == 2 ? 2 : 1;
        for (int cell = 0; cell < 8; cell += step) beat.steps[static_cast<std::size_t>(cell)] = StepOrRest();
        return beat;
    }

    // One of the notations that say exactly the beat's cells.
    std::string Notation(const Beat& beat) {
        if (beat.triplet) return "(" + beat.steps + ")";
        const std::string& c = beat.steps;
        auto empty = [&c](std::initializer_list<int> cells) {
            return std::all_of(cells.begin(), cells.end(), [&c](int i) { return c[static_cast<std::size_t>(i)] == '0'; });
        };
        std::vector<std::string> forms = {"(" + c + ")"};
        if (empty({1, 3, 5, 7})) forms.push_back(std::string("(") + c[0] + c[2] + c[4] + c[6] + ")");
        if (empty({1, 2, 3, 5, 6, 7})) {
            forms.push_back(std::string() + c[0] + c[4]);
            forms.push_back(std::string("(") + c[0] + c[4] + ")");
            forms.push_back(std::string("(") + c[0] + "0" + c[4] + "0)");
        }
        if (empty({1, 2, 3, 4, 5, 6, 7})) forms.push_back(std::string("(") + c[0] + ")");
        return forms[static_cast<std::size_t>(Between(0, static_cast<int>(forms.size()) - 1))];
    }

    // The pad's step text, one line per measure.
    std::vector<std::string> Lines(const std::vector<Beat>& beats) {
        std::vector<std::string> lines;
        for (std::size_t b = 0; b < beats.size(); ++b) {
            if (b % 4 == 0) lines.emplace_back();
            lines.back() += Notation(beats[b]);
        }
        if (lines.empty()) lines.emplace_back();
        return lines;
    }

private:
    std::mt19937 random_;
};

bool HasFinerStepThanTheBeat(const Beat& beat) {
    return !beat.triplet && beat.steps.find_first_not_of('0', 1) != std::string::npos;
}

// Where the steps of `beats` must come back when the pad is moved by `shift`
// beats: the ddr measures are the groups of four beats after the shift.
void ExpectedSteps(const std::vector<Beat>& beats, int pad, long long shift, std::vector<Step>& steps) {
    const auto count = static_cast<long long>(beats.size());
    auto measure_of = [shift](long long b) { return (b + shift) / 4; };
    for (long long b = 0; b < count; ++b) {
        const Beat& beat = beats[static_cast<std::size_t>(b)];
        const long long start = (b + shift) * kBeat;
        if (!beat.triplet) {
            for (int cell = 0; cell < 8; ++cell) {
                const char c = beat.steps[static_cast<std::size_t>(cell)];
                if (c != '0') steps.emplace_back(start + cell * 3, pad, c);
            }
            continue;
        }
        bool mixed = false;
        for (long long other = 0; other < count; ++other) {
            if (measure_of(other) == measure_of(b) && HasFinerStepThanTheBeat(beats[static_cast<std::size_t>(other)])) {
                mixed = true;
            }
        }
        const int third = mixed ? 9 : 8;  // x00y00z0 in 32nds, or exact thirds
        for (int k = 0; k < 3; ++k) {
            const char c = beat.steps[static_cast<std::size_t>(k)];
            if (c != '0') steps.emplace_back(start + k * third, pad, c);
        }
    }
}

// The steps of one side of MSD step text, from the expanded step text.
void DecodedSteps(std::string_view side, int pad, std::vector<Step>& steps) {
    ErrorList errors;
    const std::string cells = DecodeMSDSteps(side, "t", errors);
    EXPECT_TRUE(errors.Empty()) << side;
    long long time = 0;
    for (std::size_t i = 0; i < cells.size();) {
        if (cells[i] == 'T') {
            for (std::size_t k = 1; k <= 3 && i + k < cells.size(); ++k) {
                if (cells[i + k] != '0') steps.emplace_back(time + static_cast<long long>(k - 1) * 8, pad, cells[i + k]);
            }
            time += kBeat;
            i += 4;
        } else {
            if (cells[i] != '0') steps.emplace_back(time, pad, cells[i]);
            time += 3;
            ++i;
        }
    }
}

// The steps from the first one on, as a sorted set.
std::multiset<Step> FromFirstStep(const std::vector<Step>& steps) {
    long long first = 0;
    if (!steps.empty()) {
        first = std::get<0>(*std::min_element(steps.begin(), steps.end()));
    }
    std::multiset<Step> out;
    for (const auto& [time, pad, c] : steps) out.emplace(time - first, pad, c);
    return out;
}

// The sides of the one chart of an MSD file written by Convertddr2MSD.
std::vector<std::string> ChartSides(const std::string& msd) {
    std::string data;
    bool in_chart = false;
    for (const auto& line : SplitCrLf(msd)) {
        if (line.starts_with("#SINGLE:") || line.starts_with("#DOUBLE:") || line.starts_with("#COUPLE:")) {
            EXPECT_FALSE(in_chart) << "one chart";
            in_chart = true;
            continue;
        }
        if (in_chart) data += line;
    }
    if (!in_chart) return {};
    if (!data.empty() && data.back() == ';') data.pop_back();
    std::vector<std::string> sides;
    const auto colon = data.find(':');
    sides.push_back(data.substr(0, colon));
    if (colon != std::string::npos) sides.push_back(data.substr(colon + 1));
    return sides;
}

struct TripResult {
    std::vector<Step> steps;
    std::size_t ddr_files = 0;
};

TripResult RoundTrip(const std::string& msd, const DdrOptions& options, bool two_pads) {
    MemoryStorage storage;
    ErrorList errors;
    storage.files["song.msd"] = msd;
    const auto written = ConvertMSD2ddr("song.msd", "song.ddr", "c", options, errors, storage);
    EXPECT_TRUE(errors.Empty());
    TripResult result;
    result.ddr_files = written.size();
    if (written.size() != 1) return result;
    Convertddr2MSD(written.front(), "song.MSD", "c", errors, storage);
    EXPECT_TRUE(errors.Empty());
    const auto sides = ChartSides(storage.files.at("song.MSD"));
    if (!sides.empty()) {
        EXPECT_EQ(sides.size(), two_pads ? 2u : 1u);
    }
    for (std::size_t pad = 0; pad < sides.size(); ++pad) DecodedSteps(sides[pad], static_cast<int>(pad), result.steps);
    return result;
}

TEST(DdrRoundTrip, KeepsEveryStepAtItsTimeWhereTheGridCanHoldIt) {
    int charts_with_steps = 0;
    for (unsigned number = 1; number <= 400; ++number) {
        ChartMaker maker(number);
        const int style = maker.Between(0, 2);
        const bool two_pads = style != 0;
        const auto first = maker.Pad(maker.Between(0, 12), maker.Between(1, 6));
        const auto second = two_pads ? maker.Pad(maker.Between(0, 12), maker.Between(0, 6)) : std::vector<Beat>();
        const auto first_lines = maker.Lines(first);
        const auto second_lines = maker.Lines(second);

        std::vector<std::string> msd = {"#TITLE:Round trip;",
                                        std::string(style == 0 ? "#SINGLE" : style == 1 ? "#DOUBLE" : "#COUPLE") +
                                            ":MANIAC:5:"};
        msd.insert(msd.end(), first_lines.begin(), first_lines.end());
        if (two_pads) {
            msd.back() += ":";
            msd.insert(msd.end(), second_lines.begin(), second_lines.end());
        }
        msd.back() += ";";

        // A shift of whole beats, the same for both pads, in the mode that
        // the number picks.
        std::string first_text, second_text;
        for (const auto& l : first_lines) first_text += l;
        for (const auto& l : second_lines) second_text += l;
        const auto lead_in = static_cast<int>(CountLeadingZeros(first_text));
        const auto second_lead_in = static_cast<int>(CountLeadingZeros(second_text));
        DdrOptions options;
        options.mode = DdrOptions::kAsItIs;
        long long shift = 0;
        if (number % 3 == 0) {
            options.mode = DdrOptions::kDeleteLeadIn;
            const int most = std::min(lead_in, two_pads ? second_lead_in : lead_in);
            options.delete_count = 2 * maker.Between(0, std::min(most, 150) / 2);
            shift = -options.delete_count / 2;
        } else if (number % 3 == 1 && lead_in <= 79) {
            options.mode = DdrOptions::kFirstStepAt;
            const int x = lead_in + 2 * maker.Between(0, (79 - lead_in) / 2);
            options.measure = x / 8 + 1;
            options.half_beat = x % 8 + 2;
            shift = (x - lead_in) / 2;
        }

        std::vector<Step> expected;
        ExpectedSteps(first, 0, shift, expected);
        ExpectedSteps(second, 1, shift, expected);
        const TripResult trip = RoundTrip(CrLf(msd), options, two_pads);
        if (expected.empty()) {
            EXPECT_TRUE(trip.steps.empty()) << "chart " << number;
            continue;
        }
        ++charts_with_steps;
        ASSERT_EQ(trip.ddr_files, 1u) << "chart " << number;
        EXPECT_EQ(FromFirstStep(trip.steps), FromFirstStep(expected))
            << "chart " << number << " in mode " << static_cast<int>(options.mode) << ":\n"
            << CrLf(msd);
    }
    EXPECT_GT(charts_with_steps, 300);
}

}  // namespace
}  // namespace torvane
