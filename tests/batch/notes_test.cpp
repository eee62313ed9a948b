// What each conversion says it could not carry over or filled in itself: one
// case per note, with every note that the chart gives, so that a note that
// fires where nothing is lost is caught too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/conversions.hpp"
#include "test_support.hpp"
#include "text/error_codes.hpp"
#include "text/fixed_texts.hpp"
#include "text/note_codes.hpp"

namespace torvane {

void PrintTo(const Note& n, std::ostream* os) { *os << n.code << " [" << n.chart << "] " << n.value; }

namespace {

using test::CrLf;

struct NoteCase {
    std::string name;
    Conversion conversion;
    std::string source;
    std::vector<Note> notes;
};

void PrintTo(const NoteCase& c, std::ostream* os) { *os << c.name; }

std::vector<Note> NotesOf(Conversion conversion, const std::string& bytes) {
    MemoryStorage storage;
    const char* name = conversion == Conversion::kd2r2MSD   ? "song.d2r"
                       : conversion == Conversion::kddr2MSD ? "song.ddr"
                                                            : "song.msd";
    storage.files[name] = bytes;
    ErrorList errors;
    DdrOptions as_it_is;
    as_it_is.mode = DdrOptions::kAsItIs;
    (void)RunConversion(conversion, name, DestinationFor(conversion, name, "out"), kCaption, as_it_is, errors, storage);
    return errors.Notes();
}

class ConversionNotes : public ::testing::TestWithParam<NoteCase> {};

TEST_P(ConversionNotes, SayWhatWasLostWhereItWasLost) {
    EXPECT_EQ(NotesOf(GetParam().conversion, GetParam().source), GetParam().notes);
}

const std::string kSingleBasic = "#SINGLE:BASIC:1:";

INSTANTIATE_TEST_SUITE_P(
    Table, ConversionNotes,
    ::testing::Values(
        NoteCase{"ddr_comments_are_not_read",
                 Conversion::kddr2MSD,
                 CrLf({"#comment", "#comment FILE s.wav", "#title T", "#comment ARTIST Me", "#comment BPM 150",
                       "#comment GAP -40", "#basic", "#comment LEVEL 7", "#001:1000"}),
                 {{std::string(note::kTempoDefault), kSingleBasic, "150"},
                  {std::string(note::kGapDefault), kSingleBasic, "-40"},
                  {std::string(note::kLevelDefault), kSingleBasic, "7"},
                  {std::string(note::kSongTagNotRead), kSingleBasic, "FILE s.wav"},
                  {std::string(note::kSongTagNotRead), kSingleBasic, "ARTIST Me"}}},
        NoteCase{"ddr_without_difficulty_or_with_unreadable_lines",
                 Conversion::kddr2MSD,
                 CrLf({"#001:1000", "#002:10000", "$003:1000", "#1000:1000", "#double"}),
                 {{std::string(note::kLineAfterStepsNotRead), "", "#double"},
                  {std::string(note::kTempoDefault), "#SINGLE::1:", ""},
                  {std::string(note::kGapDefault), "#SINGLE::1:", ""},
                  {std::string(note::kLevelDefault), "#SINGLE::1:", ""},
                  {std::string(note::kDifficultyMissing), "#SINGLE::1:", ""},
                  {std::string(note::kMeasureUnreadable), "#SINGLE::1:", "002"},
                  {std::string(note::kMeasureOver999), "#SINGLE::1:", "1000"},
                  {std::string(note::kSecondPadIgnored), "#SINGLE::1:", ""}}},
        NoteCase{"msd_to_ddr_clean", Conversion::kMSD2ddr, CrLf({"#TITLE:t;", "#SINGLE:BASIC:3:", "4000(1234);"}), {}},
        NoteCase{"msd_to_ddr_losses",
                 Conversion::kMSD2ddr,
                 CrLf({"#SINGLE:BASIC:12:", "(123)(1234)0000;", "#SINGLE:HARD:5:", "4;", "#SINGLE:BASIC:1:", "5;"}),
                 {{std::string(note::kLevelCut), "#SINGLE:BASIC:12:", "12"},
                  {std::string(note::kTripletsApproximated), "#SINGLE:BASIC:12:", "1"},
                  {std::string(note::kChartOfUnknownDifficulty), "#SINGLE:HARD:5:", ""},
                  {std::string(note::kStep5AsLeftUp), kSingleBasic, ""},
                  {std::string(note::kChartReplaced), "", "song_sb.ddr"}}},
        NoteCase{"msd_to_ddr_past_measure_999",
                 Conversion::kMSD2ddr,
                 CrLf({kSingleBasic, std::string(8 * 999, '0') + "40000000" + "4;"}),
                 {{std::string(note::kMeasuresOver999), kSingleBasic, "1001"}}},
        NoteCase{"msd_to_d2r_clean", Conversion::kMSD2d2r,
                 CrLf({"#BPM:150.5;", "#GAP:-40;", "#SINGLE:BASIC:3:", "00000000004000(1234);"}), {}},
        NoteCase{"msd_to_d2r_losses",
                 Conversion::kMSD2d2r,
                 CrLf({"#BPM:128.55;", "#GAP:12.9;", "#SINGLE:HARD:5:", "4;"}),
                 {{std::string(note::kTempoTruncated), "", "128.55"},
                  {std::string(note::kGapTruncated), "", "12.9"},
                  {std::string(note::kDifficultyNotWritten), "#SINGLE:HARD:5:", ""}}},
        NoteCase{"msd_to_d2r_lead_in_cut",
                 Conversion::kMSD2d2r,
                 CrLf({"#GAP:0;", kSingleBasic + std::string(32, '0') + "4;",
                       "#DOUBLE:ANOTHER:2:" + std::string(20, '0') + "4:" + std::string(10, '0') + "4;"}),
                 {{std::string(note::kLeadInCut), "#DOUBLE:ANOTHER:2:", "8"}}},
        NoteCase{"d2r_defaults",
                 Conversion::kd2r2MSD,
                 CrLf({"TITLE=t", "PLAYER=1", "MODE=BASIC", "LEVEL=3", "MUSICSTART", "4P:L   :    :", "MUSICEND"}),
                 {{std::string(note::kStartDefault), "", ""}, {std::string(note::kDelayDefault), "", ""}}},
        NoteCase{"d2r_clean",
                 Conversion::kd2r2MSD,
                 CrLf({"DELAY=0", "START=1", "PLAYER=1", "MODE=BASIC", "LEVEL=3", "MUSICSTART", "4P:L   :    :",
                       "MUSICEND"}),
                 {}},
        NoteCase{"d2r_losses",
                 Conversion::kd2r2MSD,
                 CrLf({"DELAY=0", "START=1", "PLAYER=1", "MODE=HARD", "LEVEL=3", "4P:L   :    :", "4x:L   :    :",
                       "TITLE=late", "", "4P:L   :    :", "MUSICEND"}),
                 {{std::string(note::kStepLineDropped), "", "4x:L   :    :"},
                  {std::string(note::kModeNotADifficulty), "#SINGLE:HARD:3:", "HARD"},
                  {std::string(note::kStyleMissing), "", ""}}}),
    [](const ::testing::TestParamInfo<NoteCase>& info) { return info.param.name; });

TEST(NoteRows, EveryNoteACodeSaysHasWordsInBothLanguages) {
    for (const auto& row : NoteRows()) {
        EXPECT_FALSE(row.english.empty()) << row.code;
        EXPECT_FALSE(row.japanese.empty()) << row.code;
        EXPECT_EQ(NoteDescription(row.code), row.english);
        EXPECT_EQ(NoteDescriptionJapanese(row.code), row.japanese);
    }
    EXPECT_EQ(NoteRows().size(), 34u);
    EXPECT_TRUE(NoteDescription("no-such-note").empty());
}

TEST(ErrorCodeRows, StandInTheOrderOfTheirCodesWithDistinctNames) {
    const auto& rows = ErrorCodeRows();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(ErrorCode::kNone) + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(rows[i].code), i) << rows[i].name;
        EXPECT_FALSE(rows[i].english.empty()) << rows[i].name;
        for (std::size_t j = 0; j < i; ++j) EXPECT_NE(rows[i].name, rows[j].name);
        // Every message but the plain line's begins with the full-width colon.
        EXPECT_EQ(rows[i].message.starts_with("："), rows[i].code != ErrorCode::kNone) << rows[i].name;
    }
}

}  // namespace
}  // namespace torvane
