// A song written as a simfile, in memory: the song values and their
// refusals, and the notes for what a simfile cannot hold.
#include "sm/simfile_writer.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "msd/decoder.hpp"

#include "simfile_reader.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/note_codes.hpp"

namespace torvane {

void PrintTo(const Note& n, std::ostream* os) { *os << n.code << " [" << n.chart << "] " << n.value; }

namespace {

using test::CrLf;
using test::J;

struct Written {
    std::string simfile;
    std::vector<Note> notes;
};

Written WriteSong(const std::vector<std::pair<std::string, std::string>>& files) {
    MemoryStorage storage;
    std::vector<std::filesystem::path> sources;
    for (const auto& [name, bytes] : files) {
        storage.files[name] = bytes;
        sources.emplace_back(name);
    }
    ErrorList errors;
    (void)WriteSimfile(sources, "out/song.sm", errors, storage);
    return {storage.files.at("out/song.sm"), errors.Notes()};
}

Written WriteMsd(const std::string& bytes) { return WriteSong({{"song.msd", bytes}}); }

const std::vector<std::string> kSong = {"#TITLE:T;", "#BPM:150;"};

std::string Msd(std::vector<std::string> lines) {
    std::vector<std::string> all = kSong;
    all.insert(all.end(), lines.begin(), lines.end());
    return CrLf(all);
}

struct NoteCase {
    std::string name;
    std::string msd;
    std::vector<Note> notes;
};

void PrintTo(const NoteCase& c, std::ostream* os) { *os << c.name; }

class SimfileNotes : public ::testing::TestWithParam<NoteCase> {};

TEST_P(SimfileNotes, SayWhatTheSimfileCannotHold) { EXPECT_EQ(WriteMsd(GetParam().msd).notes, GetParam().notes); }

const std::string kBasic = "#SINGLE:BASIC:3:";

INSTANTIATE_TEST_SUITE_P(
    Table, SimfileNotes,
    ::testing::Values(
        NoteCase{"nothing_lost", Msd({"#SINGLE:BASIC:3:1234;", "#DOUBLE:BASIC:3:12:34;"}), {}},
        NoteCase{"unknown_difficulty_is_an_edit",
                 Msd({"#SINGLE:SMANIAC:9:1234;"}),
                 {{"edit-chart", "#SINGLE:SMANIAC:9:", "SMANIAC"}}},
        NoteCase{"second_chart_of_a_style_and_difficulty_is_an_edit",
                 Msd({"#SINGLE:BASIC:3:1234;", "#DOUBLE:BASIC:3:1:2;", kBasic + "4;"}),
                 {{"edit-chart", kBasic, "BASIC"}}},
        NoteCase{"level_that_is_not_a_whole_number",
                 Msd({"#SINGLE:BASIC:3.5:1;", "#SINGLE:ANOTHER::1;"}),
                 {{"meter-default", "#SINGLE:BASIC:3.5:", "3.5"}, {"meter-default", "#SINGLE:ANOTHER::", ""}}},
        NoteCase{"steps_5_are_counted_in_groups_and_triplets",
                 Msd({"#SINGLE:BASIC:5:15(55)(5)(555);"}),
                 {{"step-5-dropped", "#SINGLE:BASIC:5:", "7"}}},
        NoteCase{"level_5_and_a_bad_group_with_5_are_no_steps",
                 Msd({"#SINGLE:BASIC:5:1(12345)[5]{5};"}), {}},
        NoteCase{"second_side_of_a_single_chart",
                 Msd({"#SINGLE:BASIC:3:1234:4646;"}),
                 {{"second-side-dropped", kBasic, "4"}}},
        NoteCase{"later_different_tempo_and_gap",
                 CrLf({"#BPM:150;", "#GAP:10;", "#SINGLE:BASIC:3:1;", "#BPM:150.0;", "#BPM:160;", "#GAP:10;",
                       "#GAP:x;"}),
                 {{"timing-per-chart-lost", "", "#BPM:160"}, {"timing-per-chart-lost", "", "#GAP:x"}}},
        NoteCase{"title_not_code_page_932",
                 CrLf({"#TITLE:a\xFF;", "#BPM:150;"}),
                 {{"text-not-cp932", "", "#TITLE:a\xFF"}}}),
    [](const auto& info) { return info.param.name; });

// The count must see what the decoder makes of the data, which the chart
// model then drops: a "5" cell of the expanded text.
TEST(CountMSDSteps5, CountsWhatTheDecoderKeepsAsSteps5) {
    const std::vector<std::string> pieces = {"5", "1", "0", "(5)", "(55)", "(555)", "(5555)", "(55555)", "(55555555)",
                                             "(5123)", "[5]", "{5}", "(", "[", "{", ")", "]", "}", J("ソ"), "\x83]",
                                             "\x83}", "a", "T"};
    std::mt19937 random(22);
    for (int round = 0; round < 3000; ++round) {
        std::string side;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) side += pieces[random() % pieces.size()];
        ErrorList errors;
        const std::string expanded = DecodeMSDSteps(side, "x", errors);
        EXPECT_EQ(CountMSDSteps5(side), static_cast<std::size_t>(std::count(expanded.begin(), expanded.end(), '5')))
            << side;
    }
}

TEST(WriteSimfile, WritesTheHeaderThenOneSectionPerChartWithCrLf) {
    const Written written = WriteMsd(CrLf({"#TITLE:" + J("曲: A;B") + ";", "#ARTIST:a\\b//c;", "#FILE:C:\\x\\Song.WAV;",
                                           "#BPM:150;", "#GAP:-40;", "#DOUBLE:MANIAC:8:(12)2:8;"}));
    const auto lines = test::SplitCrLf(written.simfile);
    ASSERT_GE(lines.size(), 20u);
    EXPECT_EQ(lines[0], "//");
    const std::vector<std::string> header(lines.begin() + 4, lines.begin() + 10);
    EXPECT_EQ(header, (std::vector<std::string>{"#TITLE:曲\\: A\\;B;", "#ARTIST:a\\\\b\\//c;", "#MUSIC:Song.WAV;",
                                                "#OFFSET:-0.250000;", "#BPMS:0.000000=150.000000;", "#STOPS:;"}));
    const std::vector<std::string> section(lines.begin() + 10, lines.end());
    EXPECT_EQ(section, (std::vector<std::string>{"", "#NOTES:", "     dance-double:", "     :", "     Hard:", "     8:",
                                                 "     0.000000,0.000000,0.000000,0.000000,0.000000:", "11000010",
                                                 "01000000", "01000000", "00000000", "00000000", "00000000",
                                                 "00000000", "00000000", ";"}));
    EXPECT_EQ(written.simfile.find('\n'), written.simfile.find("\r\n") + 1);
    EXPECT_EQ(std::count(written.simfile.begin(), written.simfile.end(), '\n'),
              std::count(written.simfile.begin(), written.simfile.end(), '\r'));
}

TEST(WriteSimfile, WritesTextsThatASimfileReaderGivesBackAsTheyWere) {
    const std::vector<std::string> titles = {"a:b;c", "\\", "x\\", "//", "a///b", "////", "/ / /", "a\\//b:;",
                                             "曲: 前編; \\後編// ///", "ソ\\ソ", "#NOTES:", "end;"};
    for (const auto& title : titles) {
        const auto simfile = test::ReadSimfile(WriteMsd(CrLf({"#TITLE:" + J(title) + ";", "#ARTIST:" + J(title) + ";",
                                                              "#FILE:x\\" + J(title) + ";", "#BPM:150;"}))
                                                   .simfile);
        EXPECT_EQ(simfile.tags.at("TITLE"), title);
        EXPECT_EQ(simfile.tags.at("ARTIST"), title);
        const std::string music = title.substr(title.find_last_of("\\/") == std::string::npos ? 0 : title.find_last_of("\\/") + 1);
        EXPECT_EQ(simfile.tags.at("MUSIC"), music) << title;
    }
}

TEST(WriteSimfile, WritesAChartWithoutStepsAsOneMeasureOfRests) {
    const auto simfile = test::ReadSimfile(WriteMsd(Msd({"#SINGLE:BASIC:1:00000000;", "#COUPLE:BASIC:1:;"})).simfile);
    ASSERT_EQ(simfile.charts.size(), 2u);
    for (const auto& chart : simfile.charts) {
        EXPECT_EQ(chart.rows_per_measure, std::vector<int>{4});
        EXPECT_TRUE(chart.steps.empty());
    }
}

TEST(WriteSimfile, KeepsTheLeadInAndEndsWithTheLastMeasureThatHoldsAStep) {
    // Nine 8th-note rests, a step up, then three measures of rests.
    const auto simfile = test::ReadSimfile(WriteMsd(Msd({"#SINGLE:BASIC:1:0000000008" + std::string(24, '0') + ";"})).simfile);
    ASSERT_EQ(simfile.charts.size(), 1u);
    EXPECT_EQ(simfile.charts[0].rows_per_measure, (std::vector<int>{4, 8}));
    EXPECT_EQ(simfile.charts[0].steps, (std::vector<test::SimfileStep>{{9 * 12, 2, 9 * 12 / 24.0 * 60 / 150}}));
}

TEST(WriteSimfile, RefusesASongWithoutAPositiveTempoAndWritesNothing) {
    struct Case {
        std::vector<std::string> lines;
        Failure kind;
        std::string text;
    };
    const std::vector<Case> cases = {
        {{"#TITLE:T;", "#SINGLE:BASIC:1:1;"}, Failure::kNoTempo, ""},
        {{"#BPM:0;", "#SINGLE:BASIC:1:1;"}, Failure::kNoTempo, "0"},
        {{"#BPM:-120;"}, Failure::kNoTempo, "-120"},
        {{"#BPM:fast;", "#BPM:150;"}, Failure::kNoTempo, "fast"},
        {{"#BPM:150;", "#GAP:soon;"}, Failure::kNotANumber, "soon"},
    };
    for (const auto& c : cases) {
        MemoryStorage storage;
        storage.files["song.msd"] = CrLf(c.lines);
        ErrorList errors;
        const std::vector<std::filesystem::path> sources = {"song.msd"};
        try {
            (void)WriteSimfile(sources, "song.sm", errors, storage);
            ADD_FAILURE() << c.lines[0] << ": no failure";
        } catch (const ConversionError& error) {
            EXPECT_EQ(error.Kind(), c.kind) << c.lines[0];
            EXPECT_EQ(error.Text(), c.text) << c.lines[0];
        }
        EXPECT_EQ(storage.files.count("song.sm"), 0u) << c.lines[0];
    }
}

TEST(WriteSimfile, TakesTheDdrFilesOfASongIntoOneSimfileWithTheFirstFilesValues) {
    const auto ddr = [](const std::string& title, const std::string& directives, const std::string& steps) {
        return CrLf({"#title " + title, directives, "#001:" + steps});
    };
    const Written written = WriteSong({{"song_sb.ddr", ddr("First", "#basic", "1248")},
                                       {"song_dm.ddr", ddr("Second", "#double\r\n#maniac", "1248\r\n$001:8421")}});
    const auto simfile = test::ReadSimfile(written.simfile);
    EXPECT_EQ(simfile.tags.at("TITLE"), "First");
    EXPECT_EQ(simfile.bpm, 120);
    ASSERT_EQ(simfile.charts.size(), 2u);
    EXPECT_EQ(simfile.charts[0].steps_type, "dance-single");
    EXPECT_EQ(simfile.charts[1].steps_type, "dance-double");
    EXPECT_EQ(simfile.charts[1].difficulty, "Hard");
    const auto tempo_defaults = std::count_if(written.notes.begin(), written.notes.end(),
                                              [](const Note& n) { return n.code == note::kTempoDefault; });
    EXPECT_EQ(tempo_defaults, 2);
    EXPECT_TRUE(std::none_of(written.notes.begin(), written.notes.end(),
                             [](const Note& n) { return n.code == note::kTimingPerChartLost; }));
}

TEST(WriteSimfile, WritesNothingWhenALaterSourceOfTheSongFails) {
    MemoryStorage storage;
    storage.files["song_sb.ddr"] = CrLf({"#title T", "#basic", "#001:1248"});
    ErrorList errors;
    const std::vector<std::filesystem::path> sources = {"song_sb.ddr", "song_sa.ddr"};
    EXPECT_THROW((void)WriteSimfile(sources, "song.sm", errors, storage), ConversionError);
    EXPECT_EQ(storage.files.count("song.sm"), 0u);
}

}  // namespace
}  // namespace torvane
