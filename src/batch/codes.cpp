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
        {note::kTempoDefault, "#BPM:120.0; was written: a ddr file holds no tempo (value: the tempo of its BPM comment)",
         "ddrファイルにはテンポがないため、#BPM:120.0;と書きました（値：BPMコメントのテンポ）"},
        {note::kGapDefault, "#GAP:0; was written: a ddr file holds no gap (value: the gap of its GAP comment)",
         "ddrファイルにはギャップがないため、#GAP:0;と書きました（値：GAPコメントのギャップ）"},
        {note::kLevelDefault, "level 1 was written: a ddr file holds its level only as a comment (value: that level)",
         "ddrファイルはレベルをコメントにしか持たないため、レベル1と書きました（値：そのレベル）"},
        {note::kSongTagNotRead,
         "a song tag that the ddr file holds only as a comment was written empty (value: the comment's tag and text)",
         "ddrファイルがコメントにしか持たない曲のタグを、空で書きました（値：コメントのタグと文字列）"},
        {note::kDifficultyMissing, "no difficulty directive came before the chart: its chart line names none",
         "譜面の前に難易度の指示がないため、譜面の行に難易度がありません"},
        {note::kMeasureOver999,
         "a step line of a four-digit measure number is read from its first three digits and its slots are lost "
         "(value: its measure number)",
         "4桁の小節番号のステップ行は最初の3桁で読まれ、その枠は失われます（値：小節番号）"},
        {note::kMeasureUnreadable,
         "a step line whose length is no slot count became a measure of rests (value: its measure number)",
         "長さが枠の数にならないステップ行は、休みの小節にしました（値：小節番号）"},
        {note::kSecondPadIgnored, "a single-play chart has \"$\" lines; their steps were not converted",
         "シングルの譜面に「$」の行があります。その足符は変換していません"},
        {note::kLineAfterStepsNotRead,
         "the directive right after a chart's step lines ends the chart and is not read (value: the line)",
         "ステップ行のすぐ後の指示は譜面を終わらせ、読まれません（値：その行）"},
        {note::kLevelCut, "only the first character of the level was kept (value: the whole level)",
         "レベルは最初の1文字だけを残しました（値：元のレベル）"},
        {note::kMeasuresOver999,
         "the chart has more than 999 measures; ddr readers cannot read measures from 1000 on (value: the last "
         "measure)",
         "譜面が999小節を超えています。ddrの読み手は1000小節目から読めません（値：最後の小節）"},
        {note::kChartOfUnknownDifficulty,
         "a chart whose difficulty is none of BASIC, ANOTHER and MANIAC was not converted",
         "難易度がBASIC、ANOTHER、MANIACのどれでもない譜面は変換していません"},
        {note::kChartReplaced,
         "a later chart of the same style and difficulty wrote a chart file again: the earlier chart is not in it "
         "(value: the file)",
         "同じスタイルと難易度の後の譜面が譜面ファイルを書き直しました。前の譜面は入っていません（値：ファイル）"},
        {note::kNoChart, "the file holds no chart: no chart file was written",
         "ファイルに譜面がないため、譜面ファイルを書いていません"},
        {note::kTripletsApproximated,
         "triplets in measures with finer steps were put on the nearest 32nd notes (value: how many measures)",
         "細かい足符のある小節の3連符を、近い32分の位置に置きました（値：小節の数）"},
        {note::kStep5AsLeftUp, "the step \"5\" (no panel in MSD) was written as the ddr code 5, left and up",
         "足符「5」（MSDでは踏む所なし）を、ddrのコード5（左と上）として書きました"},
        {note::kChartShifted,
         "fewer leading rests could be taken from the chart than asked: a pad of it has no more, and both pads of a "
         "chart move alike, so its steps come later than asked (value: how many beats)",
         "パッドに休みが足りず、譜面の両パッドを同じだけずらすため、指定より少ない休みしか削れませんでした。足符は指定より遅れます（値：拍の数）"},
        {note::kTempoTruncated, "the tempo lost what lies past its tenths (value: the tempo of #BPM:)",
         "テンポの小数第2位以下を切り捨てました（値：#BPM:のテンポ）"},
        {note::kGapTruncated, "the gap lost its fraction (value: the gap of #GAP:)",
         "ギャップの小数部を切り捨てました（値：#GAP:のギャップ）"},
        {note::kLeadInCut,
         "a pad's lead-in, shifted like the first chart's, came out below zero: the pad starts at its first step, "
         "so its steps come that much late against the other charts (value: how many 8th notes)",
         "最初の譜面に合わせてずらしたパッドの前置きが0を下回ったため、パッドは最初の足符から始まり、その分ほかの譜面より遅くなります（値：8分音符の数）"},
        {note::kDifficultyNotWritten,
         "a chart whose difficulty is none of BASIC, ANOTHER and MANIAC got no MODE= and LEVEL= lines",
         "難易度がBASIC、ANOTHER、MANIACのどれでもない譜面には、MODE=とLEVEL=の行を書いていません"},
        {note::kTripletsOnGrid,
         "triplets that d2r could not hold where they stand were put on the nearest 32nd notes, so that every step "
         "after them keeps its time (value: how many triplet beats)",
         "d2rがその位置で持てない3連符を近い32分の位置に置き、後の足符の時間を保ちました（値：3連符の拍の数）"},
        {note::kStartDefault, "the file has no START value other than 0; 4 measures were taken",
         "ファイルに0以外のSTARTの値がないため、4小節としました"},
        {note::kDelayDefault, "the file has no DELAY= line; a delay of 0 was taken for the gap",
         "ファイルにDELAY=の行がないため、ギャップを0としました"},
        {note::kStyleMissing,
         "no PLAYER=1, 2 or 3 line came before the chart: it was read as two pads and got no chart line",
         "譜面の前にPLAYER=1、2、3の行がないため、2パッドとして読み、譜面の行はありません"},
        {note::kModeNotADifficulty, "the chart's MODE= is none of BASIC, ANOTHER and MANIAC (value: the mode)",
         "譜面のMODE=がBASIC、ANOTHER、MANIACのどれでもありません（値：MODE）"},
        {note::kStepLineDropped, "a step line without a length code was dropped; the chart is shorter (value: the line)",
         "長さのコードがないステップ行を捨てました。譜面が短くなります（値：その行）"},
        {note::kEditChart,
         "written as an Edit chart: its difficulty is not BASIC, ANOTHER or MANIAC, or the song has that style and "
         "difficulty already (value: the MSD difficulty)",
         "Edit譜面として書きました。難易度がBASIC、ANOTHER、MANIACのどれでもないか、同じスタイルと難易度の譜面が"
         "すでにあります（値：MSDの難易度）"},
        {note::kMeterDefault, "meter 1 was written: the level is not a whole number (value: the level)",
         "レベルが整数ではないため、meter 1と書きました（値：レベル）"},
        {note::kStep5Dropped, "steps \"5\" press no panel and were not written (value: how many)",
         "ステップ「5」はどのパネルも踏まないため、書きませんでした（値：その数）"},
        {note::kSecondSideDropped, "a single chart's second side was not written (value: its steps)",
         "シングル譜面の2つ目のサイドは書きませんでした（値：そのステップ数）"},
        {note::kTimingPerChartLost,
         "a simfile holds one tempo and gap: this later value was not used (value: the tag and value)",
         "simfileはテンポとギャップを1つしか持てないため、この後の値は使いませんでした（値：タグと値）"},
        {note::kTextNotCp932, "a byte that is not Shift-JIS was written \"?\" (value: the tag and text)",
         "Shift-JISではないバイトを「?」と書きました（値：タグと文字列）"},
        {note::kMusicMissing, "the music file that #FILE: names is not beside the source (value: the #FILE: value)",
         "#FILE:の曲ファイルが変換元の隣にありません（値：#FILE:の値）"},
    };
    return codes;
}

std::string_view NoteDescription(std::string_view code) {
    for (const CodeDescription& entry : NoteCodes()) {
        if (entry.code == code) return entry.english;
    }
    return {};
}

std::string_view NoteDescriptionJapanese(std::string_view code) {
    for (const CodeDescription& entry : NoteCodes()) {
        if (entry.code == code) return entry.japanese;
    }
    return {};
}

}  // namespace torvane
