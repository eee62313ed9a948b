#include "text/error_codes.hpp"

#include "text/note_codes.hpp"
#include "text/sjis.hpp"

namespace torvane {

const std::vector<ErrorCodeRow>& ErrorCodeRows() {
    static const std::vector<ErrorCodeRow> rows = {
        {ErrorCode::kBeatGroupLength, "beat-group-length", "：変換不能な脚符長さです",
         "a beat group \"(...)\" of a length that cannot be converted; one beat of rest instead", false},
        {ErrorCode::kCommandGroup, "command-group", "：変換不能なコマンドです",
         "a command \"{...}\", which cannot be converted; removed", false},
        {ErrorCode::kTwoBeatGroup, "two-beat-group", "：変換不能な脚符情報です",
         "a two-beat group \"[...]\", which cannot be converted; two beats of rest instead", false},
        {ErrorCode::kTripletMismatch, "triplet-mismatch", "：プレイヤー間で３連符が不一致です",
         "a triplet on one pad against steps of the other that cannot share its beat", false},
        {ErrorCode::kPanelField, "panel-field", "：変換不可能な脚符情報です",
         "a d2r pad field of three or four panels or letters out of place; a rest instead", false},
        {ErrorCode::kOption, "option", "：指定不可能なオプションです",
         "a d2r line that cannot be converted: a line ending the step lines, or a \"T\" after a step line", false},
        {ErrorCode::kTripletOffBeat, "triplet-off-beat", "：脚符長さが不整合です",
         "a d2r triplet that begins inside a beat; it moves to the next beat", false},
        {ErrorCode::kDdrSlot, "ddr-slot", "：変換不可能な脚符です",
         "a ddr slot character that is no panel code; a rest instead, unless MSD reads it as a step", false},
        {ErrorCode::kUnterminatedChart, "unterminated-chart", "：譜面データが「;」で終わっていません",
         "a chart whose step data ends without \";\"", true},
        {ErrorCode::kUnknownDifficulty, "unknown-difficulty", "：変換不可能な難易度です",
         "a chart whose difficulty is none of BASIC, ANOTHER and MANIAC", true},
        {ErrorCode::kChartStartsBeforeGap, "chart-starts-before-gap", "：譜面の開始位置がＧＡＰと不整合です",
         "a d2r chart that would have to start before the file's one gap; its steps come late against the music",
         true},
        {ErrorCode::kNoCp932Form, "no-cp932-form", "：Shift-JISで表せない文字です",
         "a character of a UTF-8 source without a Shift-JIS form; \"?\" instead", false},
        {ErrorCode::kNone, "unknown", "", "a message this version does not know", false},
    };
    return rows;
}

const ErrorCodeRow& ErrorCodeRowOf(ErrorCode code) { return ErrorCodeRows()[static_cast<std::size_t>(code)]; }

const std::string& ErrorMessage(ErrorCode code) {
    static const auto messages = [] {
        std::vector<std::string> converted;
        for (const ErrorCodeRow& row : ErrorCodeRows()) converted.push_back(Utf8ToCp932(row.message));
        return converted;
    }();
    return messages[static_cast<std::size_t>(code)];
}

const std::vector<NoteRow>& NoteRows() {
    static const std::vector<NoteRow> rows = {
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
    return rows;
}

std::string_view NoteDescription(std::string_view code) {
    for (const NoteRow& row : NoteRows()) {
        if (row.code == code) return row.english;
    }
    return {};
}

std::string_view NoteDescriptionJapanese(std::string_view code) {
    for (const NoteRow& row : NoteRows()) {
        if (row.code == code) return row.japanese;
    }
    return {};
}

}  // namespace torvane
