// MSD to ddr: one ddr file per chart of an MSD file.
#include <algorithm>
#include <cstddef>
#include <utility>

#include "ddr/ddr.hpp"
#include "ddr/ddr_format.hpp"
#include "ddr/ddr_notes.hpp"
#include "ddr/msd_to_ddr.hpp"
#include "msd/chart_section.hpp"
#include "msd/decoder.hpp"
#include "msd/header.hpp"
#include "msd/styles.hpp"
#include "text/fixed_texts.hpp"
#include "text/note_codes.hpp"
#include "text/numbers.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

// A whole double-byte character when the level starts with one, so that the
// level comment never ends in half a character.
std::string_view LevelCharacter(std::string_view level_field) {
    if (level_field.empty() || level_field.front() == ':') return {};
    return level_field.substr(0, SjisCharacterLength(level_field, 0));
}

}  // namespace

DdrOptions ClampDdrOptions(const DdrOptions& options) {
    DdrOptions clamped;
    clamped.mode = static_cast<DdrOptions::Mode>(std::clamp(static_cast<int>(options.mode),
                                                            static_cast<int>(DdrOptions::kDeleteLeadIn),
                                                            static_cast<int>(DdrOptions::kAsItIs)));
    clamped.delete_count = std::clamp(options.delete_count, kDdrDeleteCount.lowest, kDdrDeleteCount.highest);
    clamped.measure = std::clamp(options.measure, kDdrMeasure.lowest, kDdrMeasure.highest);
    clamped.half_beat = std::clamp(options.half_beat, kDdrHalfBeat.lowest, kDdrHalfBeat.highest);
    return clamped;
}

bool AddDdrHeaderLine(std::string_view line, std::vector<std::string>& header_block) {
    for (const HeaderKey& row : kDdrHeaderKeys) {
        if (line.starts_with(row.msd_tag)) {
            header_block.push_back(HeaderLineFromMsd(row, line));
            return true;
        }
    }
    return false;
}

char DdrStyleLetter(std::string_view line) {
    for (const StyleWords& style : kChartStyles) {
        if (line.starts_with(style.msd_tag)) return style.file_letter;
    }
    return 0;
}

DdrChart BeginDdrChart(char style, std::string_view rest, const std::vector<std::string>& header_block,
                       LineSource& source, std::vector<std::size_t>* later_starts) {
    DdrChart chart;
    chart.style = style;
    // No stop at the first word found: the next word is looked for in what
    // this one leaves, so one line can open a file per difficulty.
    for (const DifficultyWords& difficulty : kDifficulties) {
        if (!rest.starts_with(difficulty.msd_word)) continue;
        rest.remove_prefix(difficulty.msd_word.size());
        DdrChartFile& file = chart.files.emplace_back();
        file.difficulty = difficulty.file_letter;
        file.opening = header_block;
        if (!file.opening.empty()) {
            // The block ends without the blank of an empty last value.
            file.opening.back() = std::string(TrimBlanksAndControls(file.opening.back()));
        }
        for (const StyleWords& chart_style : kChartStyles) {
            if (chart_style.file_letter == style && !chart_style.ddr_directive.empty()) {
                file.opening.emplace_back(chart_style.ddr_directive);
            }
        }
        file.opening.emplace_back(difficulty.ddr_directive);
        file.opening.push_back(std::string("#comment LEVEL ").append(LevelCharacter(rest)));
    }
    const auto colon = rest.find(':');
    std::string text(colon == std::string_view::npos ? rest : rest.substr(colon + 1));
    if (!EndsWithSemicolon(text)) chart.terminated = AppendChartLines(source, text, later_starts);
    chart.lead_in = CountLeadingZeros(text);
    // In place: a long chart's text is not held twice.
    text.erase(0, chart.lead_in);
    chart.text = std::move(text);
    return chart;
}

DdrPadViews SplitDdrPadViews(std::string_view chart_text, std::size_t reference_lead_in) {
    auto without_semicolon = [](std::string_view pad) {
        if (EndsWithSemicolon(pad)) pad.remove_suffix(1);
        return pad;
    };
    DdrPadViews pads;
    const auto colon = chart_text.find(':');
    if (colon != std::string_view::npos) {
        pads.first = without_semicolon(chart_text.substr(0, colon));
        pads.second = without_semicolon(chart_text.substr(colon + 1));
        pads.second_start = colon + 1;
    } else {
        const std::string_view first = without_semicolon(chart_text);
        pads.second_silent = true;
        pads.silent_rests = first.size() + reference_lead_in;
        pads.in_step = false;
        // Taken off a second time as for a two-pad chart: "12;;" is the pad "12".
        pads.first = without_semicolon(first);
    }
    return pads;
}

DdrPads SplitDdrPads(std::string_view chart_text, std::size_t reference_lead_in) {
    const DdrPadViews views = SplitDdrPadViews(chart_text, reference_lead_in);
    DdrPads pads;
    pads.first = views.first;
    if (views.second_silent) {
        pads.second.assign(views.silent_rests, '0');
    } else {
        pads.second = views.second;
    }
    pads.in_step = views.in_step;
    pads.second_start = views.second_start;
    return pads;
}

DdrLeadIns DdrLeadInsFor(std::size_t lead_in, std::size_t second_rests, std::size_t reference_lead_in,
                         bool in_step, const DdrOptions& options) {
    const auto z = static_cast<long long>(lead_in);
    const auto z2 = static_cast<long long>(second_rests);
    const auto l0 = static_cast<long long>(reference_lead_in);
    DdrLeadIns moves;
    switch (options.mode) {
        case DdrOptions::kDeleteLeadIn: {
            moves.strip_second = true;
            const long long n = options.delete_count;
            if (in_step) {
                const long long k = std::min({n, z, z2});
                moves.first = z - k;
                moves.second = z2 - k;
                moves.late = n - k;
                return moves;
            }
            // A single chart's second pad: as it always was, against the
            // file's first chart.
            const long long first = z - n;
            const long long second = first + z2 - l0;
            if (first >= 0 && second >= 0) {
                moves.first = first;
                moves.second = second;
            } else {
                moves.late = n - z;
            }
            return moves;
        }
        case DdrOptions::kFirstStepAt: {
            moves.strip_second = true;
            const long long x = (options.measure - 1) * 8LL + (options.half_beat - 2);
            // Every chart moves by x - l0, so that the file's first chart
            // starts at x; a pad cannot lose more rests than it has.
            const long long fewest = in_step ? std::min(z, z2) : z;
            const long long s = std::max(x - l0, -fewest);
            moves.first = z + s;
            // A single chart's second pad: as it always was.
            moves.second = in_step ? z2 + s : x + z2 - l0;
            moves.late = s - (x - l0);
            return moves;
        }
        default:
            moves.first = z;
            return moves;
    }
}

long long ApplyDdrLeadIn(DdrPads& pads, std::size_t lead_in, std::size_t reference_lead_in,
                         const DdrOptions& options) {
    const std::size_t second_rests = CountLeadingZeros(pads.second);
    const DdrLeadIns moves = DdrLeadInsFor(lead_in, second_rests, reference_lead_in, pads.in_step, options);
    pads.first = WithLeadIn(moves.first, pads.first);
    if (moves.strip_second) pads.second = WithLeadIn(moves.second, std::string_view(pads.second).substr(second_rests));
    return moves.late;
}

namespace {


// Where each side of a chart split by SplitDdrPads stands in the chart's data,
// whose `lead_in` rests come before the step text: taken before the pads'
// lead-ins move.
struct DdrSidePlaces {
    StepTextPlace first;
    StepTextPlace second;
    bool two_sides = false;

    DdrSidePlaces(const StepTextPlace& chart, const DdrPadViews& pads, std::size_t lead_in)
        : first(chart), second(chart), two_sides(pads.second_start != 0) {
        first.side_start = 0;
        first.side_end = lead_in + pads.first.size();
        second.side_start = lead_in + pads.second_start;
        second.side_end = second.side_start + pads.second.size();
    }
    [[nodiscard]] const StepTextPlace* Second() const { return two_sides ? &second : nullptr; }
};

}  // namespace

std::vector<std::filesystem::path> ConvertMSD2ddr(const std::filesystem::path& source,
                                                  const std::filesystem::path& destination,
                                                  std::string_view caption, const DdrOptions& options,
                                                  ErrorList& errors, Storage& storage) {
    const DdrOptions in_range = ClampDdrOptions(options);
    const std::string file_name = FileNameForErrorLine(source);
    auto input = storage.OpenSource(source);
    const std::size_t reference_lead_in = FindReferenceLeadIn(*input);
    input->Rewind();

    std::vector<std::filesystem::path> written;
    // A later chart of the same style and difficulty replaces the file; it is
    // listed once.
    auto note_written = [&written, &errors](const std::filesystem::path& file) {
        if (std::find(written.begin(), written.end(), file) == written.end()) {
            written.push_back(file);
        } else {
            errors.AddNote(note::kChartReplaced, {}, FileNameForErrorLine(file));
        }
    };
    std::vector<std::string> header_block = DdrBanner(caption);
    ChartSourceLines chart_lines;  // of the chart in hand; kept to keep its room
    std::string line;
    while (input->ReadLine(line)) {
        if (AddDdrHeaderLine(line, header_block)) continue;
        const char style = DdrStyleLetter(line);
        if (style == 0) continue;
        const std::string chart_line = line;
        // The chart's data begins on its line, which the reader has just read.
        chart_lines.first_line = errors.SourceLine();
        chart_lines.later_starts.clear();
        // Every chart tag is as long as the single one.
        DdrChart chart = BeginDdrChart(style, std::string_view(chart_line).substr(kSingle.msd_tag.size()),
                                       header_block, *input, &chart_lines.later_starts);
        const StepTextPlace chart_place{ChartLabel(chart_line), &chart_lines};
        NoteMsdChartForDdr(chart_line, !chart.files.empty(), errors);
        if (chart.files.empty()) {
            errors.AddOnLine(chart_lines.first_line, file_name, ErrorCode::kUnknownDifficulty, ChartLabel(chart_line));
        }
        if (!chart.terminated) {
            errors.AddOnLine(chart_lines.first_line, file_name, ErrorCode::kUnterminatedChart, ChartLabel(chart_line));
        }
        if (chart.files.empty()) {
            // No file to write, but its groups are reported like any chart's
            // (a pad of rests alone has none).
            const DdrPadViews pads = SplitDdrPadViews(chart.text, 0);
            const DdrSidePlaces places(chart_place, pads, chart.lead_in);
            (void)DecodeMSDSteps(pads.first, file_name, errors, nullptr, &places.first);
            if (!pads.second_silent) (void)DecodeMSDSteps(pads.second, file_name, errors, nullptr, places.Second());
            continue;
        }

        // A file opened by an earlier difficulty word of the line is complete
        // with its opening lines; the steps go to the last one.
        for (std::size_t i = 0; i + 1 < chart.files.size(); ++i) {
            const auto file = DdrChartFileName(destination, chart.style, chart.files[i].difficulty);
            auto out = storage.CreateDestination(file, source);
            for (const auto& opening : chart.files[i].opening) out->WriteLine(opening);
            out->Commit();
            note_written(file);
        }
        const DdrChartFile& last = chart.files.back();
        const auto file = DdrChartFileName(destination, chart.style, last.difficulty);
        auto out = storage.CreateDestination(file, source);
        DdrChartNotes noted(*out, ChartLabel(chart_line), errors);
        for (const auto& opening : last.opening) out->WriteLine(opening);

        DdrPadViews pads = SplitDdrPadViews(chart.text, reference_lead_in);
        const DdrSidePlaces places(chart_place, pads, chart.lead_in);
        // A single chart's second side is no pad of its player's: it keeps
        // the lead-in it always had.
        pads.in_step = pads.in_step && chart.style != kSingle.file_letter;
        const std::size_t second_rests = pads.second_silent ? pads.silent_rests : CountLeadingZeros(pads.second);
        const DdrLeadIns moves = DdrLeadInsFor(chart.lead_in, second_rests, reference_lead_in, pads.in_step, in_range);
        NoteDdrChartShifted(ChartLabel(chart_line), moves.late, errors);
        if (moves.strip_second) pads.second.remove_prefix(std::min(second_rests, pads.second.size()));
        // The pads are decoded from the chart's text as the measures are
        // cut; the second pad's error lines follow the first's.
        HeldErrorLines second_errors(errors.SourceLine());
        MSDStepDecoder first(pads.first, static_cast<std::size_t>(std::max(moves.first, 0LL)), file_name, errors,
                             &places.first);
        MSDStepDecoder second(pads.second, static_cast<std::size_t>(std::max(moves.second, 0LL)), file_name,
                              second_errors.List(), places.Second());
        bool has_step5 = false;
        BuildDdrStepLinesAsDecoded(first, pads.second_silent ? nullptr : &second, noted, &noted.spread_measures,
                                   has_step5);
        second_errors.MoveTo(errors);
        NoteDdrPads(ChartLabel(chart_line), has_step5, errors);
        noted.Commit();
        note_written(file);
    }
    return written;
}

}  // namespace torvane
