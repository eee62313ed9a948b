// A chart's lines are built a stretch of cells at a time. The test keeps the
// formulation that decodes both pads whole, places them, then builds and
// merges, and checks that both give the same lines, error lines (in order,
// with their places) and triplets on the grid, for stretches of one cell up.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "d2r/msd_to_d2r.hpp"
#include "d2r/triplet_placement.hpp"
#include "msd/chart_section.hpp"
#include "msd/decoder.hpp"

namespace torvane {
namespace {

struct Built {
    std::vector<D2rStepLine> lines;
    std::vector<ErrorLine> errors;
    std::size_t triplets_on_grid = 0;
};

// The whole-pad formulation; a single chart's pad 2 is rests as long as pad 1.
Built WholePads(const std::string& text, long long chart_lead_in, long long lead_in, long long reference,
                const StepTextPlace& chart) {
    ErrorList errors;
    const std::size_t data_start = std::min(text.size(), static_cast<std::size_t>(chart_lead_in));
    const D2rPadTexts pads =
        BuildD2rPadTexts(std::string_view(text).substr(data_start), chart_lead_in, lead_in, reference);
    StepTextPlace side1 = chart;
    side1.side_end = pads.pad2_start == 0 ? text.size() : data_start + pads.pad2_start - 1;
    StepTextPlace side2 = chart;
    side2.side_start = data_start + pads.pad2_start;
    side2.side_end = text.size();
    D2rPadCells cells1;
    D2rPadCells cells2;
    cells1.text = DecodeMSDSteps(pads.pad1, "song.msd", errors, &cells1.triplet_beats, &side1);
    cells2.text = DecodeMSDSteps(pads.pad2, "song.msd", errors, &cells2.triplet_beats,
                                 pads.pad2_start != 0 ? &side2 : nullptr);
    if (EndsWithSemicolon(cells1.text)) cells1.text.pop_back();
    if (EndsWithSemicolon(cells2.text)) cells2.text.pop_back();
    D2rPlacedPads placed = PlaceD2rTriplets(cells1, cells2, "song.msd", errors);
    Built built;
    built.lines = MergeD2rStepLinesFully(BuildD2rStepLines(placed.pad1, placed.pad2, "song.msd", errors));
    built.errors = errors.Entries();
    built.triplets_on_grid = placed.triplets_on_grid;
    return built;
}

Built InStretches(const std::string& text, long long chart_lead_in, long long lead_in, long long reference,
                  const StepTextPlace& chart, std::size_t stretch) {
    ErrorList errors;
    Built built;
    built.lines = ConvertChartToD2rStepLinesInStretches(text, chart_lead_in, lead_in, reference, "song.msd", errors,
                                                        &built.triplets_on_grid, &chart, stretch);
    built.errors = errors.Entries();
    return built;
}

// Step data of every kind the decoder meets, good and bad, over a few lines.
struct ChartText {
    std::string text;
    ChartSourceLines lines;
};

ChartText RandomChart(std::mt19937& random, bool two_sides) {
    static const std::array<std::string_view, 24> kItems = {
        "0",      "0000",     "4",        "8",      "(12)",     "(4000)",     "(123)",      "(000)",
        "(48)",   "(12345678)", "(1T3)",  "(40000000)", "(12345)", "(1",      "{ab}",       "[12]",
        "[1",     "\x82\xa0", "T",        "5",      "(A0B)",    "00000000",   "(0000)",     "2"};
    const auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    ChartText chart;
    chart.lines.first_line = 7;
    const std::size_t items = pick(120) + 1;
    const std::size_t colon_at = two_sides ? pick(items) : items + 1;
    for (std::size_t k = 0; k < items; ++k) {
        if (pick(6) == 0) chart.lines.later_starts.push_back(chart.text.size());
        if (k == colon_at) chart.text += pick(3) == 0 ? ":000" : ":";
        // Unclosed groups only now and then: they end the side.
        std::string_view item = kItems[pick(kItems.size())];
        if ((item == "(1" || item == "[1") && pick(4) != 0) item = "(0)";
        chart.text += item;
    }
    if (pick(3) != 0) chart.text += ';';
    return chart;
}

TEST(ConvertChartToD2rStepLinesInStretches, GivesWhatWholePadsGive) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 600; ++round) {
        const bool two_sides = round % 2 == 1;
        const ChartText chart = RandomChart(random, two_sides);
        const long long chart_lead_in = static_cast<long long>(CountLeadingZeros(chart.text));
        const long long lead_in = std::uniform_int_distribution<long long>(0, 12)(random);
        const long long reference = std::uniform_int_distribution<long long>(0, 12)(random);
        const StepTextPlace place{"#DOUBLE:MANIAC:9:", &chart.lines};
        const Built whole = WholePads(chart.text, chart_lead_in, lead_in, reference, place);
        for (const std::size_t stretch : {1, 2, 3, 7, 17, 64, 16384}) {
            const Built stretched = InStretches(chart.text, chart_lead_in, lead_in, reference, place, stretch);
            ASSERT_EQ(stretched.lines, whole.lines) << chart.text << " stretch " << stretch;
            ASSERT_EQ(stretched.errors, whole.errors) << chart.text << " stretch " << stretch;
            ASSERT_EQ(stretched.triplets_on_grid, whole.triplets_on_grid) << chart.text << " stretch " << stretch;
        }
    }
}

// Charts of whole beats, half beats and triplets, mostly rests: the passes
// take most eights of lines at once, and leave that way of taking them and
// come back to it wherever a pass stands inside a beat, a triplet comes or
// the fourth pass first merges.
TEST(ConvertChartToD2rStepLinesInStretches, TakesBeatsAtOnceAsLinesOneByOne) {
    static const std::array<std::string_view, 10> kItems = {
        "0", "4", "(12)", "(123)", "(40000000)", "(12345678)", "(4000)", "00000000", "(0T0)", "(00010000)"};
    std::mt19937 random(7);
    std::vector<std::string> charts = {
        // The fourth pass first merges in the lines taken one by one
        // before the passes take beats again.
        "4(12345678)(123)0000000000000000000000000",
        "0(12345678)(123)0000000000000000(40000000)4(12)00000000",
    };
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        const std::size_t items = std::uniform_int_distribution<std::size_t>(1, 40)(random);
        for (std::size_t k = 0; k < items; ++k) {
            if (round % 2 == 1 && k == items / 2) text += ':';
            text += kItems[std::uniform_int_distribution<std::size_t>(0, kItems.size() - 1)(random)];
        }
        charts.push_back(text);
    }
    for (const std::string& text : charts) {
        ChartSourceLines lines;
        const StepTextPlace place{"#DOUBLE:MANIAC:9:", &lines};
        const long long lead_in = static_cast<long long>(CountLeadingZeros(text));
        const Built whole = WholePads(text, lead_in, 0, 0, place);
        const Built stretched = InStretches(text, lead_in, 0, 0, place, kD2rCellStretch);
        ASSERT_EQ(stretched.lines, whole.lines) << text;
        ASSERT_EQ(stretched.errors, whole.errors) << text;
    }
}

}  // namespace
}  // namespace torvane
