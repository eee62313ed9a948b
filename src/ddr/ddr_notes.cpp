#include "ddr/ddr_notes.hpp"

#include <array>
#include <cctype>
#include <string>

#include "msd/chart_section.hpp"
#include "msd/styles.hpp"
#include "text/note_codes.hpp"

namespace torvane {
namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The text after `prefix`, when `line` begins with it.
bool After(std::string_view line, std::string_view prefix, std::string& value) {
    if (!line.starts_with(prefix)) return false;
    value.assign(line.substr(prefix.size()));
    return true;
}

// The lengths of step lines whose slots a reader can take: 1 to 4, 8, 12, 16 or 32 slots.
bool IsSlotLength(std::size_t length) {
    return (length >= 6 && length <= 9) || length == 13 || length == 17 || length == 21 || length == 37;
}

}  // namespace

void KeepDdrComment(std::string_view line, DdrComments& comments) {
    if (!line.starts_with("#comment ")) return;
    if (After(line, "#comment BPM ", comments.bpm) || After(line, "#comment GAP ", comments.gap) ||
        After(line, "#comment LEVEL ", comments.level)) {
        return;
    }
    if (After(line, "#comment FILE ", comments.file)) comments.has_file = true;
    if (After(line, "#comment ARTIST ", comments.artist)) comments.has_artist = true;
    if (After(line, "#comment MSD:", comments.msd)) comments.has_msd = true;
}

void NoteDdrChart(const std::vector<std::string_view>& block, std::string_view style, std::string_view difficulty,
                  const DdrComments& comments, ErrorList& errors) {
    std::string chart_line(style);
    chart_line.append(":").append(difficulty).append(":1:");
    errors.AddNote(note::kTempoDefault, chart_line, comments.bpm);
    errors.AddNote(note::kGapDefault, chart_line, comments.gap);
    errors.AddNote(note::kLevelDefault, chart_line, comments.level);
    if (comments.has_file) errors.AddNote(note::kSongTagNotRead, chart_line, "FILE " + comments.file);
    if (comments.has_artist) errors.AddNote(note::kSongTagNotRead, chart_line, "ARTIST " + comments.artist);
    if (comments.has_msd) errors.AddNote(note::kSongTagNotRead, chart_line, "MSD:" + comments.msd);
    if (difficulty.empty()) errors.AddNote(note::kDifficultyMissing, chart_line);
    bool second_pad = false;
    for (const std::string_view line : block) {
        second_pad = second_pad || line.front() == '$';
        if (line.size() > 4 && IsDigit(line[4])) {
            // The separator after the fourth digit was taken for a slot.
            errors.AddNote(note::kMeasureOver999, chart_line, line.substr(1, 4));
        } else if (!IsSlotLength(line.size())) {
            errors.AddNote(note::kMeasureUnreadable, chart_line, line.substr(1, 3));
        }
    }
    if (second_pad && style == "#SINGLE") errors.AddNote(note::kSecondPadIgnored, chart_line);
}

void NoteLineAfterDdrSteps(std::string_view line, ErrorList& errors) {
    static constexpr std::array<std::string_view, 6> kDirectives = {"#title ", "#double", "#twoplay",
                                                                    "#basic",  "#another", "#maniac"};
    for (const std::string_view directive : kDirectives) {
        if (line.starts_with(directive)) {
            errors.AddNote(note::kLineAfterStepsNotRead, {}, line);
            return;
        }
    }
}

void NoteMsdChartForDdr(std::string_view chart_line, bool converted, ErrorList& errors) {
    const std::string_view label = ChartLabel(chart_line);
    if (!converted) {
        errors.AddNote(note::kChartOfUnknownDifficulty, label);
        return;
    }
    // The level as the chart's file takes it: after the tag and the
    // difficulty words, up to the next ":".
    // Every chart tag is as long as the single one.
    std::string_view rest = chart_line.substr(kSingle.msd_tag.size());
    for (const DifficultyWords& difficulty : kDifficulties) {
        if (rest.starts_with(difficulty.msd_word)) rest.remove_prefix(difficulty.msd_word.size());
    }
    const std::string_view level = rest.substr(0, rest.find(':'));
    // One character is kept, a double-byte one whole.
    const std::size_t kept = !level.empty() && static_cast<unsigned char>(level[0]) >= 0x80 ? 2 : 1;
    if (level.size() > kept) errors.AddNote(note::kLevelCut, label, level);
}

void NoteDdrChartShifted(std::string_view chart_line, long long eighths_late, ErrorList& errors) {
    if (eighths_late <= 0) return;
    // In beats: two 8th notes each.
    std::string beats = std::to_string(eighths_late / 2);
    if (eighths_late % 2 != 0) beats += ".5";
    errors.AddNote(note::kChartShifted, chart_line, beats);
}

void NoteDdrPads(std::string_view chart_line, bool has_step5, ErrorList& errors) {
    if (has_step5) errors.AddNote(note::kStep5AsLeftUp, chart_line);
}

void DdrChartNotes::WriteLine(std::string_view line) {
    if (line.size() > 4 && IsDigit(line[4])) last_measure_.assign(line.substr(1, line.find(':') - 1));
    out_.WriteLine(line);
}

void DdrChartNotes::Commit() {
    if (!last_measure_.empty()) errors_.AddNote(note::kMeasuresOver999, chart_line_, last_measure_);
    if (spread_measures > 0) errors_.AddNote(note::kTripletsApproximated, chart_line_, std::to_string(spread_measures));
    out_.Commit();
}

}  // namespace torvane
