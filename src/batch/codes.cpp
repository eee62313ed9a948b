#include "batch/codes.hpp"

#include <utility>

#include "batch/input_check.hpp"
#include "text/fixed_texts.hpp"
#include "text/note_codes.hpp"

namespace torvane {
namespace {

struct MessageCode {
    const std::string* message;
    std::string_view code;
};

const std::vector<MessageCode>& Messages() {
    static const std::vector<MessageCode> messages = [] {
        const FixedTexts& texts = Texts();
        return std::vector<MessageCode>{
            {&texts.bad_step_length, "beat-group-length"},
            {&texts.bad_command, "command-group"},
            {&texts.bad_step_group, "two-beat-group"},
            {&texts.triplet_mismatch, "triplet-mismatch"},
            {&texts.bad_panels, "panel-field"},
            {&texts.bad_option, "option"},
            {&texts.step_length_mismatch, "triplet-off-beat"},
            {&texts.bad_ddr_slot, "ddr-slot"},
            {&texts.unterminated_chart, "unterminated-chart"},
            {&texts.unknown_difficulty, "unknown-difficulty"},
            {&texts.chart_start_mismatch, "chart-starts-before-gap"},
            {&UnconvertibleCharacterMessage(), "no-cp932-form"},
        };
    }();
    return messages;
}

}  // namespace

ErrorLineParts SplitErrorLine(std::string_view line, std::string_view file_name) {
    std::string_view rest = line;
    if (rest.starts_with(file_name)) rest.remove_prefix(file_name.size());
    for (const MessageCode& entry : Messages()) {
        if (rest.starts_with(*entry.message)) {
            return {entry.code, rest.substr(0, entry.message->size()), rest.substr(entry.message->size())};
        }
    }
    return {"unknown", {}, rest};
}

const std::vector<CodeDescription>& ErrorLineCodes() {
    static const std::vector<CodeDescription> codes = {
        {"beat-group-length", "a beat group \"(...)\" of a length that cannot be converted; one beat of rest instead"},
        {"command-group", "a command \"{...}\", which cannot be converted; removed"},
        {"two-beat-group", "a two-beat group \"[...]\", which cannot be converted; two beats of rest instead"},
        {"triplet-mismatch", "a triplet on one pad against steps of the other that cannot share its beat"},
        {"panel-field", "a d2r pad field of three or four panels or letters out of place; a rest instead"},
        {"option", "a d2r line that cannot be converted: a line ending the step lines, or a \"T\" after a step line"},
        {"triplet-off-beat", "a d2r triplet that begins inside a beat; it moves to the next beat"},
        {"ddr-slot", "a ddr slot character that is no panel code; a rest instead, unless MSD reads it as a step"},
        {"unterminated-chart", "a chart whose step data ends without \";\""},
        {"unknown-difficulty", "a chart whose difficulty is none of BASIC, ANOTHER and MANIAC"},
        {"chart-starts-before-gap",
         "a d2r chart that would have to start before the file's one gap; its steps come late against the music"},
        {"no-cp932-form", "a character of a UTF-8 source without a Shift-JIS form; \"?\" instead"},
        {"unknown", "a message this version does not know"},
    };
    return codes;
}

const std::vector<CodeDescription>& NoteCodes() {
    static const std::vector<CodeDescription> codes = {
        {note::kTempoDefault, "#BPM:120.0; was written: a ddr file holds no tempo (value: the tempo of its BPM comment)"},
        {note::kGapDefault, "#GAP:0; was written: a ddr file holds no gap (value: the gap of its GAP comment)"},
        {note::kLevelDefault, "level 1 was written: a ddr file holds its level only as a comment (value: that level)"},
        {note::kSongTagNotRead,
         "a song tag that the ddr file holds only as a comment was written empty (value: the comment's tag and text)"},
        {note::kDifficultyMissing, "no difficulty directive came before the chart: its chart line names none"},
        {note::kMeasureOver999,
         "a step line of a four-digit measure number is read from its first three digits and its slots are lost "
         "(value: its measure number)"},
        {note::kMeasureUnreadable,
         "a step line whose length is no slot count became a measure of rests (value: its measure number)"},
        {note::kSecondPadIgnored, "a single-play chart has \"$\" lines; their steps were not converted"},
        {note::kLineAfterStepsNotRead,
         "the directive right after a chart's step lines ends the chart and is not read (value: the line)"},
        {note::kLevelCut, "only the first character of the level was kept (value: the whole level)"},
        {note::kMeasuresOver999,
         "the chart has more than 999 measures; ddr readers cannot read measures from 1000 on (value: the last "
         "measure)"},
        {note::kChartOfUnknownDifficulty,
         "a chart whose difficulty is none of BASIC, ANOTHER and MANIAC was not converted"},
        {note::kChartReplaced,
         "a later chart of the same style and difficulty wrote a chart file again: the earlier chart is not in it "
         "(value: the file)"},
        {note::kNoChart, "the file holds no chart: no chart file was written"},
        {note::kTripletsApproximated,
         "triplets in measures with finer steps were put on the nearest 32nd notes (value: how many measures)"},
        {note::kStep5AsLeftUp, "the step \"5\" (no panel in MSD) was written as the ddr code 5, left and up"},
        {note::kTempoTruncated, "the tempo lost what lies past its tenths (value: the tempo of #BPM:)"},
        {note::kGapTruncated, "the gap lost its fraction (value: the gap of #GAP:)"},
        {note::kLeadInCut,
         "a pad's lead-in, shifted like the first chart's, came out below zero: its steps come that much early "
         "against the other charts (value: how many 8th notes)"},
        {note::kDifficultyNotWritten,
         "a chart whose difficulty is none of BASIC, ANOTHER and MANIAC got no MODE= and LEVEL= lines"},
        {note::kStartDefault, "the file has no START value other than 0; 4 measures were taken"},
        {note::kDelayDefault, "the file has no DELAY= line; a delay of 0 was taken for the gap"},
        {note::kStyleMissing,
         "no PLAYER=1, 2 or 3 line came before the chart: it was read as two pads and got no chart line"},
        {note::kModeNotADifficulty, "the chart's MODE= is none of BASIC, ANOTHER and MANIAC (value: the mode)"},
        {note::kStepLineDropped, "a step line without a length code was dropped; the chart is shorter (value: the line)"},
    };
    return codes;
}

std::string_view NoteDescription(std::string_view code) {
    for (const CodeDescription& entry : NoteCodes()) {
        if (entry.code == code) return entry.english;
    }
    return {};
}

}  // namespace torvane
