// MSD to d2r and back on generated charts: every step keeps its time against
// the music. A step's time is its place in beats less the gap's share (64 gap
// units a beat), since both conversions move the gap with the lead-in.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "d2r/d2r.hpp"
#include "msd/chart_section.hpp"
#include "msd/decoder.hpp"
#include "test_support.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

using test::CrLf;
using test::SplitCrLf;

struct GeneratedChart {
    std::string tag;  // "#SINGLE:BASIC:3:"
    std::vector<std::string> sides;
};

struct GeneratedSong {
    long long gap = 0;
    std::vector<GeneratedChart> charts;
};

// Steps that name panels; "5" names none and is not kept by d2r.
const std::string kSteps = "12346789AB";

class ChartGenerator {
public:
    explicit ChartGenerator(unsigned corpus) : random_(corpus) {}

    GeneratedSong Song() {
        GeneratedSong song;
        song.gap = Between(-3000, 3000);
        const int charts = static_cast<int>(Between(1, 3));
        long long reference = 0;
        for (int i = 0; i < charts; ++i) {
            static const char* kStyles[] = {"#SINGLE:", "#DOUBLE:", "#COUPLE:"};
            static const char* kDifficulties[] = {"BASIC:", "ANOTHER:", "MANIAC:"};
            GeneratedChart chart;
            const int style = static_cast<int>(Between(0, 2));
            chart.tag = std::string(kStyles[style]) + kDifficulties[Between(0, 2)] + std::to_string(Between(1, 9)) + ":";
            // Later charts start no earlier than the first, whose lead-in is
            // the reference: a pad shifted to before its data's start would
            // lose its first rests.
            const long long lead_in = i == 0 ? Between(0, 40) : reference + Between(0, 24);
            chart.sides = Sides(style == 0 ? 1 : 2, lead_in % 2 == 1);
            for (auto& side : chart.sides) side.insert(0, static_cast<std::size_t>(lead_in), '0');
            if (i == 0) reference = lead_in;
            song.charts.push_back(std::move(chart));
        }
        return song;
    }

private:
    long long Between(long long low, long long high) {
        return std::uniform_int_distribution<long long>(low, high)(random_);
    }
    char Step(int silent_in_ten) { return Between(0, 9) < silent_in_ten ? '0' : kSteps[Between(0, 9)]; }
    std::string Steps(std::size_t count, int silent_in_ten) {
        std::string out;
        for (std::size_t i = 0; i < count; ++i) out += Step(silent_in_ten);
        return out;
    }
    std::string Group(std::size_t size) { return "(" + Steps(size, 5) + ")"; }
    // A beat that another pad's triplet can go with: one step, then silence.
    std::string OneStepBeat() {
        const std::string step(1, Step(5));
        switch (Between(0, 4)) {
            case 0: return "(" + step + ")";
            case 1: return step + "0";
            case 2: return "(" + step + "0)";
            case 3: return "(" + step + "000)";
            default: return "(" + step + "0000000)";
        }
    }
    std::string Beat(bool triplet_allowed) {
        switch (Between(0, triplet_allowed ? 5 : 4)) {
            case 0: return Steps(2, 5);
            case 1: return Group(1);
            case 2: return Group(2);
            case 3: return Group(8);
            case 4: return Group(4);
            default: return Group(3);
        }
    }
    // The reader rebuilds beats from the chart's start and from the end of
    // each triplet, and takes a triplet only at the start of such a beat or
    // after a half beat stepped on its first cell alone. The sides keep to
    // that, so that no triplet is moved.
    std::vector<std::string> Sides(int count, bool odd_lead_in) {
        std::vector<std::string> sides(static_cast<std::size_t>(count));
        const long long slots = Between(1, 40);
        bool odd = odd_lead_in;   // the current place is half a beat off the chart's beats
        bool odd_beats = false;   // the reader's beats are half a beat off the chart's
        bool after_half = false;  // the last slot was half a beat
        for (long long slot = 0; slot < slots; ++slot) {
            if (Between(0, 9) < 3) {
                // Half a beat: one 8th note on every side.
                for (auto& side : sides) side += Step(5);
                odd = !odd;
                after_half = true;
                continue;
            }
            const bool triplet_allowed = odd == odd_beats || after_half;
            std::vector<std::string> beats;
            for (int i = 0; i < count; ++i) beats.push_back(Beat(triplet_allowed));
            if (count == 2 && (beats[0].size() == 5) != (beats[1].size() == 5)) {
                beats[beats[0].size() == 5 ? 1 : 0] = OneStepBeat();
            }
            if (beats[0].size() == 5 || beats.back().size() == 5) odd_beats = odd;
            after_half = false;
            for (int i = 0; i < count; ++i) sides[static_cast<std::size_t>(i)] += beats[static_cast<std::size_t>(i)];
        }
        for (auto& side : sides) {
            // Every chart has a step, so that its chart line is written.
            side += kSteps[Between(0, 9)];
            // The lead-in given to the chart is each side's whole run of "0":
            // a side whose own run is shorter than the reference lead-in
            // would lose rests when the gap rule shortens the lead-in.
            if (side[0] == '0') side[0] = kSteps[Between(0, 9)];
        }
        if (count == 2 && Between(0, 2) == 0) {
            // One side runs on past the other's end, with whole beats that
            // leave its triplets where they were.
            std::string& longer = sides[static_cast<std::size_t>(Between(0, 1))];
            for (long long beat = Between(1, 6); beat > 0; --beat) longer += Beat(false);
            longer += kSteps[Between(0, 9)];
        }
        return sides;
    }

    std::mt19937 random_;
};

// Step times as 3 times the time in gap units (1/24 beat is 8/3 units), with
// the step character.
using Steps = std::vector<std::pair<long long, char>>;

Steps TimedSteps(std::string_view side, long long gap) {
    ErrorList errors;
    const std::string cells = DecodeMSDSteps(side, "x", errors);
    EXPECT_TRUE(errors.Empty());
    Steps steps;
    long long tick = 0;  // 1/24 beat
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const char c = cells[i];
        if (c == ':' || c == ';') continue;
        if (c == 'T') {
            for (std::size_t j = 1; j <= 3 && i + j < cells.size(); ++j) {
                if (cells[i + j] != '0') steps.emplace_back(8 * tick - 3 * gap, cells[i + j]);
                tick += 8;
            }
            i += 3;
            continue;
        }
        if (c != '0') steps.emplace_back(8 * tick - 3 * gap, c);
        tick += 3;
    }
    return steps;
}

struct ReadChart {
    std::string tag;
    std::vector<std::string> sides;
};

// The gap and the charts of an MSD file as the d2r-to-MSD writer writes them.
std::pair<long long, std::vector<ReadChart>> ReadMsd(const std::vector<std::string>& lines) {
    long long gap = 0;
    std::vector<ReadChart> charts;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.starts_with("#GAP:")) gap = std::stoll(line.substr(5));
        if (!line.starts_with("#SINGLE:") && !line.starts_with("#DOUBLE:") && !line.starts_with("#COUPLE:")) continue;
        ReadChart chart{line, {}};
        std::string data;
        while (++i < lines.size()) {
            data += lines[i];
            if (EndsWithSemicolon(lines[i])) break;
        }
        const std::size_t colon = data.find(':');
        if (colon == std::string::npos) {
            chart.sides.push_back(data);
        } else {
            chart.sides.push_back(data.substr(0, colon));
            chart.sides.push_back(data.substr(colon + 1));
        }
        charts.push_back(std::move(chart));
    }
    return {gap, charts};
}

class RoundTrip : public ::testing::TestWithParam<unsigned> {};

TEST_P(RoundTrip, KeepsEveryStepAtItsTime) {
    ChartGenerator generator(GetParam());
    for (int song_number = 0; song_number < 40; ++song_number) {
        const GeneratedSong song = generator.Song();
        std::vector<std::string> msd = {"#TITLE:Song;", "#BPM:150;", "#GAP:" + std::to_string(song.gap) + ";"};
        for (const auto& chart : song.charts) {
            std::string data = chart.tag + chart.sides[0];
            if (chart.sides.size() == 2) data += ":" + chart.sides[1];
            msd.push_back(data + ";");
        }
        MemoryStorage storage;
        storage.files["song.msd"] = CrLf(msd);
        ErrorList errors;
        ConvertMSD2d2r("song.msd", "song.d2r", kCaption, errors, storage);
        const std::string context = "MSD:\n" + CrLf(msd) + "d2r:\n" + storage.files["song.d2r"];
        ASSERT_TRUE(errors.Empty()) << Cp932ToUtf8(errors.Lines()[0]) << "\n" << context;
        Convertd2r2MSD("song.d2r", "song.MSD", kCaption, errors, storage);
        // The writer follows every "MUSICEND" but the last with the next
        // section's separator, which the reader reports; nothing else.
        for (const auto& line : errors.Lines()) {
            ASSERT_EQ(line, "song.d2r" + ErrorMessage(ErrorCode::kOption) + "MUSICEND") << Cp932ToUtf8(line) << "\n" << context;
        }

        const auto [gap, charts] = ReadMsd(SplitCrLf(storage.files.at("song.MSD")));
        ASSERT_EQ(charts.size(), song.charts.size()) << context;
        for (std::size_t c = 0; c < charts.size(); ++c) {
            EXPECT_EQ(charts[c].tag, song.charts[c].tag);
            ASSERT_EQ(charts[c].sides.size(), song.charts[c].sides.size()) << context;
            for (std::size_t s = 0; s < charts[c].sides.size(); ++s) {
                ASSERT_EQ(TimedSteps(charts[c].sides[s], gap), TimedSteps(song.charts[c].sides[s], song.gap))
                    << "chart " << c << " side " << s << "\n"
                    << context << "back:\n"
                    << storage.files["song.MSD"];
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip, ::testing::Values(1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u));

}  // namespace
}  // namespace torvane
