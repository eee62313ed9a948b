#include "d2r/d2r_notes.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "msd/chart_section.hpp"
#include "msd/styles.hpp"
#include "text/note_codes.hpp"

namespace torvane {

void NoteIfTruncated(std::string_view code, std::string_view value, double number, ErrorList& errors) {
    if (number != std::trunc(number)) errors.AddNote(code, {}, value);
}

void NoteMsdChartForD2r(std::string_view chart_line, std::string_view steps, long long chart_lead_in,
                        long long lead_in, long long reference_lead_in, ErrorList& errors) {
    const std::string_view label = ChartLabel(chart_line);
    // Every chart tag is as long as the single one.
    std::string_view rest = chart_line.substr(kSingle.msd_tag.size());
    bool named = false;
    for (const DifficultyWords& difficulty : kDifficulties) named = named || rest.starts_with(difficulty.msd_word);
    if (!named) errors.AddNote(note::kDifficultyNotWritten, label);
    if (steps.empty()) return;

    // Each pad starts lead_in - reference_lead_in after its own rests; below
    // zero, what is missing is lost.
    long long cut = std::max(0LL, reference_lead_in - lead_in - chart_lead_in);
    const std::size_t colon = steps.find(':');
    if (colon != std::string_view::npos) {
        const auto second_lead_in = static_cast<long long>(CountLeadingZeros(steps.substr(colon + 1)));
        cut = std::max(cut, reference_lead_in - lead_in - second_lead_in);
    }
    if (cut > 0) errors.AddNote(note::kLeadInCut, label, std::to_string(cut));
}

void NoteD2rBlockLine(std::string_view line, ErrorList& errors) {
    const bool has_length = line.starts_with("8.") || line.starts_with("T") || line.starts_with("4.") ||
                            line.starts_with("4p") || line.starts_with("4P") || line.starts_with("*");
    if (!has_length) errors.AddNote(note::kStepLineDropped, {}, line);
}

void NoteD2rChart(const D2rToMsdState& before, const D2rToMsdState& after, bool start_found, bool delay_found,
                  ErrorList& errors) {
    const std::string chart_line = before.style + ":" + before.mode + ":" + before.level + ":";
    if (before.style.empty()) {
        errors.AddNote(note::kStyleMissing);
    } else if (after.style.empty() && std::none_of(kDifficulties.begin(), kDifficulties.end(), [&](const DifficultyWords& difficulty) {
                   return before.mode == difficulty.Name();
               })) {
        errors.AddNote(note::kModeNotADifficulty, chart_line, before.mode);
    }
    if (before.delay != kGapWritten && after.delay == kGapWritten) {
        if (!start_found) errors.AddNote(note::kStartDefault);
        if (!delay_found) errors.AddNote(note::kDelayDefault);
    }
}

}  // namespace torvane
