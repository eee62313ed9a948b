#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "d2r/msd_to_d2r.hpp"
#include "recording_sink.hpp"
#include "step_line_text.hpp"

namespace torvane {
namespace {

// One pass of the rule as first written, line by line, kept here to check
// the converter's faster pass against: a rest line joins the line before it
// when both have the same length (not "4P"); otherwise the pass skips a
// beat's worth of lines.
std::vector<D2rStepLine> ReferencePass(const std::vector<D2rStepLine>& lines) {
    std::vector<D2rStepLine> out;
    std::size_t i = 0;
    while (i + 1 < lines.size()) {
        D2rStepLine line = lines[i];
        const D2rStepLine after = lines[i + 1];
        if (IsD2rRestLine(after) && line.length == after.length && line.length != D2rLength::kQuarter) {
            line.length = static_cast<D2rLength>(static_cast<int>(line.length) + 1);
            out.push_back(line);
            i += 2;
        } else {
            const std::size_t end = std::min<std::size_t>(lines.size(), i + D2rLinesPerBeat(line.length));
            while (i < end) out.push_back(lines[i++]);
        }
    }
    while (i < lines.size()) out.push_back(lines[i++]);
    return out;
}

// The rule itself: whole passes until one changes nothing.
std::vector<D2rStepLine> MergeByWholePasses(std::vector<D2rStepLine> lines) {
    for (;;) {
        std::vector<D2rStepLine> merged = ReferencePass(lines);
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

// Rests after steps of every length, in beats that fit and beats that do
// not: the lines that pass after pass merge further.
std::vector<D2rStepLine> RestHeavyLines(std::mt19937& random, std::size_t count) {
    std::vector<D2rStepLine> lines;
    std::uniform_int_distribution<int> choice(0, 99);
    while (lines.size() < count) {
        const int c = choice(random);
        lines.push_back(Line("8.", false, c));
        const int rests = c < 70 ? 7 : c % 9;
        for (int r = 0; r < rests; ++r) lines.push_back(Line("8.", true, 0));
        if (c > 95) {
            for (int t = 0; t < 3; ++t) lines.push_back(Line("T:", t > 0, t));
        }
    }
    return lines;
}

TEST(MergeD2rStepLines, OnePassGivesTheReferencePassOnRandomAndRestHeavyLines) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t count = std::uniform_int_distribution<std::size_t>(0, 150)(random);
        const auto lines = round % 2 == 0 ? RandomLines(random, count) : RestHeavyLines(random, count);
        ASSERT_EQ(MergeD2rStepLines(lines), ReferencePass(lines)) << "round " << round;
        // A pass on what a pass left, as the repeated passes do.
        const auto once = ReferencePass(lines);
        ASSERT_EQ(MergeD2rStepLines(once), ReferencePass(once)) << "second pass, round " << round;
    }
}

// The pass that goes along with building, line by line, and what follows it.
struct FedPass {
    std::vector<D2rStepLine> merged;
    std::size_t first_merge = D2rMergingPass::kNoMerge;
};

FedPass FeedPass(const std::vector<D2rStepLine>& lines) {
    FedPass fed;
    D2rMergingPass pass(fed.merged);
    for (const D2rStepLine& line : lines) pass.Add(line);
    pass.Finish();
    fed.first_merge = pass.FirstMerge();
    return fed;
}

// Where a pass first merged: the first line at which `merged` differs.
std::size_t FirstDifference(const std::vector<D2rStepLine>& lines, const std::vector<D2rStepLine>& merged) {
    if (lines.size() == merged.size()) return D2rMergingPass::kNoMerge;
    const auto [at, unused] = std::mismatch(merged.begin(), merged.end(), lines.begin());
    return static_cast<std::size_t>(at - merged.begin());
}

TEST(D2rMergingPass, GivesTheReferencePassAndItsFirstMergeLineByLine) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t count = std::uniform_int_distribution<std::size_t>(0, 150)(random);
        const auto lines = round % 2 == 0 ? RandomLines(random, count) : RestHeavyLines(random, count);
        const FedPass fed = FeedPass(lines);
        const auto reference = ReferencePass(lines);
        ASSERT_EQ(fed.merged, reference) << "round " << round;
        ASSERT_EQ(fed.first_merge, FirstDifference(lines, reference)) << "round " << round;
        const std::vector<D2rStepLine> fully =
            fed.first_merge == D2rMergingPass::kNoMerge
                ? fed.merged
                : MergeD2rStepLinesAfterFirstPass(fed.merged, fed.first_merge);
        ASSERT_EQ(fully, MergeByWholePasses(lines)) << "round " << round;
    }
}

TEST(MergeD2rStepLinesFully, GivesTheResultOfWholePassesOnRandomAndRestHeavyLines) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 2000; ++round) {
        const std::size_t count = std::uniform_int_distribution<std::size_t>(0, 300)(random);
        const auto lines = round % 2 == 0 ? RandomLines(random, count) : RestHeavyLines(random, count);
        ASSERT_EQ(MergeD2rStepLinesFully(lines), MergeByWholePasses(lines)) << "round " << round;
    }
    for (int round = 0; round < 10; ++round) {
        const auto lines = RestHeavyLines(random, 20000);
        ASSERT_EQ(MergeD2rStepLinesFully(lines), MergeByWholePasses(lines)) << "long round " << round;
    }
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

// The converter writes a chart's lines as they are settled, handing the
// built lines over a block at a time; on charts that need a pass for every
// few lines, what it writes is what whole passes make of the built lines.
TEST(WriteChartD2rStepLines, WritesWhatWholePassesMakeOfAChartThatCreeps) {
    for (const int repeats : {1, 30, 2000}) {
        std::string cells = "1";
        for (int r = 0; r < repeats; ++r) cells += "00011";
        cells.append((8 - cells.size() % 8) % 8, '0');
        std::string text;
        for (std::size_t at = 0; at < cells.size(); at += 8) text += "(" + cells.substr(at, 8) + ")";
        text += ";";
        ErrorList errors;
        test::RecordingSink sink;
        WriteChartD2rStepLines(text, 0, 0, 0, "song.msd", errors, nullptr, nullptr, sink);

        const D2rPadTexts pads = BuildD2rPadTexts(text, 0, 0, 0);
        std::string pad1 = DecodeMSDSteps(pads.pad1, "song.msd", errors);
        std::string pad2 = DecodeMSDSteps(pads.pad2, "song.msd", errors);
        if (pad1.ends_with(';')) pad1.pop_back();
        if (pad2.ends_with(';')) pad2.pop_back();
        const auto built = BuildD2rStepLines(pad1, pad2, "song.msd", errors);
        EXPECT_EQ(sink.lines, D2rStepLineTexts(MergeByWholePasses(built))) << repeats;
        EXPECT_TRUE(errors.Empty()) << repeats;
    }
}

// A bar of 1 to `most` lines of the first `kinds` lengths ("8." to "T:"), a
// line a rest `rest_share` times in a hundred (a triplet line never).
std::vector<D2rStepLine> RandomBar(std::mt19937& random, int kinds, int most, int rest_share) {
    static constexpr std::string_view kLengths[] = {"8.", "4.", "4p", "4P", "T:"};
    std::uniform_int_distribution<int> choice(0, 99);
    std::vector<D2rStepLine> bar;
    const int size = 1 + choice(random) % most;
    for (int k = 0; k < size; ++k) {
        const std::string_view length = kLengths[choice(random) % kinds];
        bar.push_back(Line(length, length != "T:" && choice(random) < rest_share, k));
    }
    return bar;
}

// A random bar of 1 to 24 lines of any length, repeated: the charts on which
// passes pile up behind one another, stand in every way a beat allows, merge
// again long after their first merge, and wait on each other.
TEST(MergeD2rStepLinesByWalking, GivesTheResultOfWholePassesOnRepeatedBars) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 400; ++round) {
        const int kinds = round % 3 == 0 ? 1 : round % 3 == 1 ? 3 : 5;  // 32nd notes only, merged, triplets
        const std::vector<D2rStepLine> bar = RandomBar(random, kinds, 24, 65);
        std::vector<D2rStepLine> lines = {Line("8.", false, 0)};
        while (lines.size() < 1500) lines.insert(lines.end(), bar.begin(), bar.end());
        ASSERT_EQ(MergeD2rStepLinesByWalking(lines), MergeByWholePasses(lines)) << "round " << round;
    }
}

// Bars that change after a few repeats: passes that have merged nothing for
// a long time meet lines that make them merge again.
TEST(MergeD2rStepLinesByWalking, GivesTheResultOfWholePassesWhenTheBarChanges) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> choice(0, 99);
    for (int round = 0; round < 300; ++round) {
        const int kinds = 1 + round % 5;
        std::vector<D2rStepLine> lines = {Line("8.", false, 0)};
        while (lines.size() < 2000) {
            const std::vector<D2rStepLine> bar = RandomBar(random, kinds, 12, 70);
            for (int repeat = choice(random) % 40; repeat >= 0; --repeat) {
                lines.insert(lines.end(), bar.begin(), bar.end());
            }
        }
        ASSERT_EQ(MergeD2rStepLinesByWalking(lines), MergeByWholePasses(lines)) << "round " << round;
    }
}

// The line a beat names, from the eight, the lines the passes stood on, or
// a rest.
D2rStepLine BeatLine(D2rMergeBeat::Ref ref, const std::array<D2rStepLine, 8>& eight,
                     const std::array<D2rStepLine, 4>& stood) {
    D2rStepLine line{D2rLength::k32nd, '0', '0'};
    if (ref.Source() < 8) line = eight[ref.Source()];
    if (ref.Source() >= 8 && ref.Source() < 12) line = stood[ref.Source() - 8];
    if (ref.Length() != D2rMergeBeat::Ref::kAsItStands) line.length = static_cast<D2rLength>(ref.Length());
    return line;
}

// Beats where every pass stands on no line or on one that passes a beat
// alone, against the rule as first written: the lines stood on (quarters and
// triplets, each ahead of those of the pass before it) and then the eight,
// merged by whole passes, are the lines the beat gives and then those it
// leaves the passes standing on.
TEST(D2rMergeBeats, GiveWhatWholePassesMakeOfTheLinesStoodOnAndTheEight) {
    std::size_t usable = 0;
    for (unsigned pending = 0; pending < 16; ++pending) {
        for (unsigned rests = 0; rests < 256; ++rests) {
            std::vector<D2rStepLine> lines;
            std::array<D2rStepLine, 4> stood{};
            unsigned codes = 0;
            for (unsigned pass = 4; pass-- > 0;) {
                if ((pending >> pass & 1u) == 0) continue;
                stood[pass] = Line(pass % 2 == 0 ? "4P" : "T:", pass == 2, static_cast<int>(pass));
                lines.push_back(stood[pass]);
                codes |= d2r_pass_code::kStandingOnAlone << (4 * pass);
            }
            std::array<D2rStepLine, 8> eight{};
            for (unsigned k = 0; k < 8; ++k) {
                eight[k] = Line("8.", (rests >> k & 1u) != 0, static_cast<int>(k));
                lines.push_back(eight[k]);
            }
            const D2rMergeBeat beat = D2rMergeBeats::WorkOut(rests, codes);
            if (!beat.usable) continue;
            ++usable;
            std::vector<D2rStepLine> given;
            for (std::size_t k = 0; k < beat.count; ++k) given.push_back(BeatLine(beat.lines[k], eight, stood));
            for (unsigned pass = 4; pass-- > 0;) {
                if ((beat.standing >> pass & 1u) != 0) given.push_back(BeatLine(beat.stood[pass], eight, stood));
            }
            ASSERT_EQ(given, MergeByWholePasses(lines)) << "pending " << pending << " rests " << rests;
        }
    }
    EXPECT_GT(usable, 2000U);
}

// Beats (and lines alone) from every place the passes may stand, against the
// passes taking the lines one by one: what the fourth gives, and where each
// stands after.
TEST(D2rMergeBeats, GiveWhatThePassesGiveLineByLineFromWhereverTheyStand) {
    std::mt19937 random(20261208);
    const auto place_of = [](unsigned code, unsigned pass) {
        D2rMergePassPlace place;
        if (code < d2r_pass_code::kStandingOnAlone) {
            place.beat_left = code;
            return place;
        }
        place.standing = true;
        if (code == d2r_pass_code::kStandingOnAlone) {
            place.at = Line(pass % 2 == 0 ? "4P" : "T:", false, static_cast<int>(pass));
            return place;
        }
        const unsigned shorter = code - d2r_pass_code::kStandingOnShorter;
        static constexpr std::string_view kPrefixes[] = {"8.", "4.", "4p"};
        place.at = Line(kPrefixes[shorter / 2], shorter % 2 != 0, static_cast<int>(pass));
        return place;
    };
    for (unsigned codes = 0; codes < (1u << 16); ++codes) {
        bool possible = true;
        for (unsigned pass = 0; pass < 4; ++pass) possible = possible && (codes >> (4 * pass) & 15u) < 14;
        if (!possible) continue;
        for (int round = 0; round < 6; ++round) {
            const auto rests = static_cast<unsigned>(random() % 256);
            std::array<D2rMergePassPlace, 4> places{};
            std::array<D2rStepLine, 4> stood{};
            for (unsigned pass = 0; pass < 4; ++pass) {
                places[pass] = place_of(codes >> (4 * pass) & 15u, pass);
                ASSERT_EQ(D2rPassCode(places[pass]), codes >> (4 * pass) & 15u);
                stood[pass] = places[pass].at;
            }
            // Eight 32nd-note lines, or one alone: a 32nd-note line or a
            // triplet line.
            const auto taken = static_cast<D2rMergeBeats::Taken>(round % 3);
            std::array<D2rStepLine, 8> eight{};
            for (unsigned k = 0; k < 8; ++k) eight[k] = Line("8.", (rests >> k & 1u) != 0, static_cast<int>(k));
            if (taken == D2rMergeBeats::kOneTriplet) eight[0] = Line("T:", false, 1);
            const std::size_t lines_taken = taken == D2rMergeBeats::kEight ? 8 : 1;
            std::vector<D2rStepLine> given;
            bool fourth_merged = false;
            std::function<void(D2rStepLine, unsigned)> take = [&](D2rStepLine line, unsigned pass) {
                std::array<D2rStepLine, 2> out{};
                D2rStepLine* end = out.data();
                if (TakeIntoD2rMergePass(line, places[pass], end) && pass == 3) fourth_merged = true;
                for (const D2rStepLine* g = out.data(); g != end; ++g) {
                    if (pass == 3) {
                        given.push_back(*g);
                    } else {
                        take(*g, pass + 1);
                    }
                }
            };
            for (std::size_t k = 0; k < lines_taken; ++k) take(eight[k], 0);
            const D2rMergeBeat beat = D2rMergeBeats::WorkOut(rests, codes, taken);
            ASSERT_EQ(beat.usable, !fourth_merged) << "codes " << codes << " rests " << rests;
            if (!beat.usable) continue;
            std::vector<D2rStepLine> from_beat;
            for (std::size_t k = 0; k < beat.count; ++k) from_beat.push_back(BeatLine(beat.lines[k], eight, stood));
            ASSERT_EQ(from_beat, given) << "codes " << codes << " rests " << rests;
            for (unsigned pass = 0; pass < 4; ++pass) {
                ASSERT_EQ(beat.after >> (4 * pass) & 15u, D2rPassCode(places[pass])) << "codes " << codes;
                ASSERT_EQ((beat.standing >> pass & 1u) != 0, places[pass].standing) << "codes " << codes;
                if (places[pass].standing) {
                    ASSERT_EQ(BeatLine(beat.stood[pass], eight, stood), places[pass].at) << "codes " << codes;
                }
            }
        }
    }
}

}  // namespace
}  // namespace torvane
